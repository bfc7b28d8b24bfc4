// An immutable value held once and shared by every copy of its handle: copying a handle costs a
// reference count, not the value. The lists that hold every contact all day (the store's
// records, the address book's people, the published profiles) share one body per contact this
// way instead of each keeping a copy.
//
// Handles may be copied, read and dropped on any thread at once: the count is atomic and a body
// never changes once another handle holds it. To change a value, change a copy and make a new
// handle (`with`, `edit`); every other holder keeps the value it had. A moved-from handle may only
// be assigned to or destroyed.
#pragma once

#include <atomic>
#include <memory>
#include <utility>

namespace pemmo {

template <typename T> class Shared {
public:
    // The default value; every default handle of a type shares one body.
    Shared()
        : m_body(defaultBody()) {}
    // Implicit, so that a value can be given wherever a handle is kept.
    Shared(T value)
        : m_body(std::make_shared<T>(std::move(value))) {}

    const T& operator*() const noexcept { return *m_body; }
    const T* operator->() const noexcept { return m_body.get(); }

    // A handle to a copy of the value, changed by `change(T&)`; this one keeps its value.
    template <typename Change> Shared with(Change&& change) const {
        T value = *m_body;
        std::forward<Change>(change)(value);
        return Shared(std::move(value));
    }

    // The value to change in place: the body itself while this handle is its only holder (no
    // other thread can then reach it), else a copy that this handle takes in its stead. Change
    // through the reference only before this handle is next copied.
    T& edit() {
        if (m_body.use_count() != 1)
            m_body = std::make_shared<T>(*m_body);
        else // what a holder on another thread read before letting go comes before this change
            std::atomic_thread_fence(std::memory_order_acquire);
        // Every body is made as a T, not a const T, so changing it through this cast is sound.
        return const_cast<T&>(*m_body);
    }

    // Whether both handles hold the very same body (not merely equal values).
    bool sharesBodyWith(const Shared& other) const noexcept { return m_body == other.m_body; }

    // Compares values, as a T would; a shared body is equal without looking further. (Members,
    // not hidden friends: g++ 12 leaves a friend of a class template undefined when a defaulted
    // comparison of an enclosing struct is what calls it.)
    bool operator==(const Shared& other) const { return m_body == other.m_body || *m_body == *other.m_body; }
    bool operator==(const T& value) const { return *m_body == value; }

private:
    static const std::shared_ptr<const T>& defaultBody() {
        static const std::shared_ptr<const T> body = std::make_shared<T>();
        return body;
    }

    std::shared_ptr<const T> m_body;
};

} // namespace pemmo
