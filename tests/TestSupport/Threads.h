// Telling, from a test, that another thread of this process has reached a wait: a job can hold its
// executor's thread until the thread that destroys the executor is blocked waiting for it.
#pragma once

#include <QFile>
#include <QThread>
#include <unistd.h>

namespace pemmo::test {

// Whether thread `tid` of this process is blocked in the kernel, as one waiting for another thread
// to finish is. When that cannot be read it answers yes, so nothing waits on it forever.
inline bool isBlocked(pid_t tid) {
    QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray fields = stat.readAll();
    // The state follows the thread's name, which is in parentheses and may hold anything.
    return fields.mid(fields.lastIndexOf(')') + 2, 1) == "S";
}

// Yields until thread `tid` is blocked.
inline void waitUntilBlocked(pid_t tid) {
    while (!isBlocked(tid))
        QThread::yieldCurrentThread();
}

} // namespace pemmo::test
