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
    // Jobs already queued still run; the context and its timers die on their own thread. A
    // deferred delete is carried out even when the thread is stopped before its loop ever ran,
    // where a queued call would be dropped and the context leaked.
    m_context->deleteLater();
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

} // namespace pemmo
