// A one-thread executor for serial actors: jobs run one at a time, in order, off the caller's thread.
#pragma once

#include <QCoroFuture>
#include <QCoroTask>
#include <QFuture>
#include <QMetaObject>
#include <QObject>
#include <QPromise>
#include <QThread>
#include <exception>
#include <memory>
#include <type_traits>

namespace pemmo {

class SerialExecutor {
public:
    explicit SerialExecutor(const QString& name);
    ~SerialExecutor();

    SerialExecutor(const SerialExecutor&) = delete;
    SerialExecutor& operator=(const SerialExecutor&) = delete;

    // An object that lives on the executor's thread: the parent for its timers.
    QObject* context() const { return m_context; }
    bool isCurrentThread() const { return QThread::currentThread() == m_thread; }

    // Queues `job`; the future finishes with its result or its exception. A coroutine awaits it with
    // `co_await future`, which resumes on the awaiting thread and rethrows the job's exception.
    //
    // Keep the future in a named local before awaiting it: g++ 12 destroys temporaries of a
    // co_await full-expression (such as a lambda with captures) twice.
    template <class F> auto post(F job) -> QFuture<std::invoke_result_t<F&>> {
        using R = std::invoke_result_t<F&>;
        auto promise = std::make_shared<QPromise<R>>();
        QFuture<R> future = promise->future();
        promise->start();
        QMetaObject::invokeMethod(
            m_context,
            [promise, job = std::move(job)]() mutable {
                try {
                    if constexpr (std::is_void_v<R>)
                        job();
                    else
                        promise->addResult(job());
                } catch (...) {
                    promise->setException(std::current_exception());
                }
                promise->finish();
            },
            Qt::QueuedConnection);
        return future;
    }

private:
    QThread* m_thread;
    QObject* m_context;
};

} // namespace pemmo
