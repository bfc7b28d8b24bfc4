// A one-thread executor for serial actors: jobs run one at a time, in order, off the caller's thread.
#pragma once

#include "Support/HandOver.h"

#include <QCoroFuture>
#include <QCoroTask>
#include <QFuture>
#include <QMetaObject>
#include <QObject>
#include <QPromise>
#include <QThread>
#include <exception>
#include <memory>
#include <optional>
#include <type_traits>

namespace pemmo {

class SerialExecutor {
public:
    explicit SerialExecutor(const QString& name);
    // Finishes first, if the owner has not.
    ~SerialExecutor();

    // Runs every job queued so far, then stops the thread. An owner calls it before its own state
    // goes, while the executor is still reachable: a job that runs now may still use it (a write
    // scheduled on its thread). Nothing may be posted afterwards.
    void finish();

    SerialExecutor(const SerialExecutor&) = delete;
    SerialExecutor& operator=(const SerialExecutor&) = delete;

    // An object that lives on the executor's thread: the parent for its timers.
    QObject* context() const { return m_context; }
    bool isCurrentThread() const { return QThread::currentThread() == m_thread; }

    // A queued job's outcome. Awaiting it resumes the caller on its own thread with the job's
    // result, or rethrows the job's exception.
    template <class R> class Job {
    public:
        Job(QFuture<R> future, std::shared_ptr<const void> handOver)
            : m_future(std::move(future))
            , m_handOver(std::move(handOver)) {}

        QFuture<R> future() const { return m_future; }

        // Blocks until the job has run, for plain code.
        void waitForFinished() {
            m_future.waitForFinished();
            HandOver::acquire(m_handOver.get());
        }

        // QCoro's own awaiter for the future, acquiring the key before the outcome is read.
        auto operator co_await() const {
            using FutureAwaiter = QCoro::detail::awaiter_type_t<QFuture<R>>;
            struct Awaiter : FutureAwaiter {
                std::shared_ptr<const void> handOver;
                R await_resume() {
                    HandOver::acquire(handOver.get());
                    return FutureAwaiter::await_resume();
                }
            };
            return Awaiter{FutureAwaiter(m_future), m_handOver};
        }

    private:
        QFuture<R> m_future;
        // What the job did is the awaiting side's once it has finished: the job releases this
        // key before it finishes, and the awaiting side acquires it before it reads the outcome.
        std::shared_ptr<const void> m_handOver;
    };

    // Queues `job`; it runs after every job queued before it.
    //
    // Keep the returned job in a named local before awaiting it: g++ 12 destroys temporaries of a
    // co_await full-expression (such as a lambda with captures) twice.
    template <class F> auto post(F job) -> Job<std::invoke_result_t<F&>> {
        using R = std::invoke_result_t<F&>;
        auto promise = std::make_shared<QPromise<R>>();
        QFuture<R> future = promise->future();
        promise->start();
        // The job reads what the poster wrote before posting it.
        HandOver::release(promise.get());
        QMetaObject::invokeMethod(
            m_context,
            [promise, job = std::optional<F>(std::move(job))]() mutable {
                HandOver::acquire(promise.get());
                try {
                    if constexpr (std::is_void_v<R>)
                        (*job)();
                    else
                        promise->addResult((*job)());
                } catch (...) {
                    promise->setException(std::current_exception());
                }
                // What the job captured goes here, after it ran, on this thread. Qt would free it
                // with the queued call, on whichever thread lets go of that last, which can be the
                // poster's: the last owner of something the job wrote to would then free it with
                // nothing to order the two but Qt's own reference count.
                job.reset();
                HandOver::release(promise.get());
                promise->finish();
            },
            Qt::QueuedConnection);
        return Job<R>(std::move(future), promise);
    }

private:
    QThread* m_thread;
    QObject* m_context;
};

} // namespace pemmo
