#include "Support/AsyncMutex.h"

namespace pemmo {

bool AsyncMutex::tryLock() {
    if (m_locked)
        return false;
    m_locked = true;
    return true;
}

void AsyncMutex::unlock() {
    if (m_waiters.empty()) {
        m_locked = false;
        return;
    }
    // The lock stays taken: it belongs to the waiter from here on.
    const std::coroutine_handle<> next = m_waiters.front();
    m_waiters.pop_front();
    next.resume();
}

} // namespace pemmo
