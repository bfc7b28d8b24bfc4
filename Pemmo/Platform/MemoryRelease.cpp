#include "Platform/MemoryRelease.h"

#include <malloc.h>

namespace pemmo {

MemoryRelease::MemoryRelease(std::chrono::milliseconds settleTime, QObject* parent)
    : QObject(parent) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(settleTime);
    connect(&m_timer, &QTimer::timeout, this, &MemoryRelease::releaseNow);
}

void MemoryRelease::limitRetention() {
    // A fixed threshold also stops glibc from raising it after each large free.
    ::mallopt(M_MMAP_THRESHOLD, 256 * 1024);
}

void MemoryRelease::schedule() {
    m_timer.start();
}

void MemoryRelease::releaseNow() {
    ::malloc_trim(0);
}

} // namespace pemmo
