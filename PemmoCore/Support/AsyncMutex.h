// A first-come-first-served lock for coroutines on one thread: a waiter suspends instead of
// blocking the thread, and the lock passes straight to the longest waiter on release.
#pragma once

#include <QtGlobal>
#include <coroutine>
#include <deque>
#include <utility>

namespace pemmo {

class AsyncMutex {
public:
    // Unlocks on destruction unless moved from.
    class Guard {
    public:
        Guard() = default;
        explicit Guard(AsyncMutex* mutex)
            : m_mutex(mutex) {}
        Guard(Guard&& other) noexcept
            : m_mutex(std::exchange(other.m_mutex, nullptr)) {}
        Guard& operator=(Guard&& other) noexcept {
            if (this != &other) {
                unlock();
                m_mutex = std::exchange(other.m_mutex, nullptr);
            }
            return *this;
        }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;
        ~Guard() { unlock(); }

        void unlock() {
            if (auto* mutex = std::exchange(m_mutex, nullptr))
                mutex->unlock();
        }

    private:
        AsyncMutex* m_mutex = nullptr;
    };

    template <bool Scoped> class Awaiter {
    public:
        explicit Awaiter(AsyncMutex* mutex)
            : m_mutex(mutex) {}

        bool await_ready() noexcept { return m_mutex->tryLock(); }
        void await_suspend(std::coroutine_handle<> handle) { m_mutex->m_waiters.push_back(handle); }
        auto await_resume() noexcept {
            if constexpr (Scoped)
                return Guard(m_mutex);
        }

    private:
        AsyncMutex* m_mutex;
    };

    AsyncMutex() = default;
    Q_DISABLE_COPY_MOVE(AsyncMutex)

    // `co_await mutex.lock()` holds the lock until `unlock()`.
    Awaiter<false> lock() { return Awaiter<false>(this); }
    // `auto guard = co_await mutex.scopedLock()` holds it until the guard goes.
    Awaiter<true> scopedLock() { return Awaiter<true>(this); }

    bool tryLock();
    // Hands the lock to the first waiter, resuming it before returning, or frees it.
    void unlock();

    bool isLocked() const { return m_locked; }
    int waiterCount() const { return static_cast<int>(m_waiters.size()); }

private:
    bool m_locked = false;
    std::deque<std::coroutine_handle<>> m_waiters;
};

} // namespace pemmo
