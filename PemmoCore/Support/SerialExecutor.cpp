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
    // Jobs already queued still run; the context and its timers die on their own thread.
    QMetaObject::invokeMethod(
        m_context, [ctx = m_context] { delete ctx; }, Qt::QueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

} // namespace pemmo
