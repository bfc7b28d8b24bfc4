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

    // Queues `job`; the future finishes with its result or its exception.
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

    // Runs `job` on the executor and resumes the awaiting coroutine on its own thread, with the
    // job's result or rethrowing its exception.
    template <class F> auto run(F job) -> QCoro::Task<std::invoke_result_t<F&>> {
        using R = std::invoke_result_t<F&>;
        // Awaiting a QFuture rethrows the exception the job stored in it.
        if constexpr (std::is_void_v<R>)
            co_await post(std::move(job));
        else
            co_return co_await post(std::move(job));
    }

private:
    QThread* m_thread;
    QObject* m_context;
};

} // namespace pemmo
