// Telling ThreadSanitizer about an order between threads that it cannot see by itself.
//
// Qt's event queue, its thread pool and QThread::wait() order the work of two threads, but the Qt
// libraries are built without ThreadSanitizer, so it sees none of that order and takes what one
// thread handed to another for a race. Where Pemmo hands work over through them, the sending side
// calls release() once its last write is done and the receiving side acquire() before its first
// read, on the same key. Outside ThreadSanitizer builds both do nothing.
#pragma once

#if defined(__SANITIZE_THREAD__)
#define PEMMO_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define PEMMO_THREAD_SANITIZER 1
#endif
#endif

#ifdef PEMMO_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

namespace pemmo::HandOver {

inline void release([[maybe_unused]] const void* key) {
#ifdef PEMMO_THREAD_SANITIZER
    __tsan_release(const_cast<void*>(key));
#endif
}

inline void acquire([[maybe_unused]] const void* key) {
#ifdef PEMMO_THREAD_SANITIZER
    __tsan_acquire(const_cast<void*>(key));
#endif
}

} // namespace pemmo::HandOver
