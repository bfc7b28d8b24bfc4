#include "Support/SerialExecutor.h"

#include <utility>

namespace pemmo {

SerialExecutor::SerialExecutor(const QString& name)
    : m_thread(new QThread)
    , m_context(new QObject) {
    m_thread->setObjectName(name);
    m_context->moveToThread(m_thread);
    // The context goes last on its thread, after every job and timer: from then on all they did is
    // the destroying thread's to see, once wait() returns.
    QObject::connect(m_context, &QObject::destroyed, [this] { HandOver::release(this); });
    m_thread->start();
}

SerialExecutor::~SerialExecutor() {
    finish();
}

void SerialExecutor::finish() {
    if (!m_thread)
        return;
    // The last job stops the thread, so every job queued before it still runs. The context (and its
    // timers) is deleted on its own thread as that thread finishes.
    QMetaObject::invokeMethod(
        m_context,
        [context = m_context, thread = m_thread] {
            context->deleteLater();
            thread->quit();
        },
        Qt::QueuedConnection);
    m_thread->wait();
    HandOver::acquire(this);
    delete std::exchange(m_thread, nullptr);
    m_context = nullptr;
}

} // namespace pemmo
