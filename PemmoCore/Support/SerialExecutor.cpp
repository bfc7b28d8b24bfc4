#include "Support/SerialExecutor.h"

namespace pemmo {

SerialExecutor::SerialExecutor(const QString& name)
    : m_thread(new QThread)
    , m_context(new QObject) {
    m_thread->setObjectName(name);
    m_context->moveToThread(m_thread);
    m_thread->start();
}

SerialExecutor::~SerialExecutor() {
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
    delete m_thread;
}

} // namespace pemmo
