// Runs a task that may throw to completion and hands back what it threw (null when it did not).
// `await` cannot do this: a task that throws under it never ends the loop it spins.
#pragma once

#include <QCoroTask>
#include <exception>
#include <optional>

namespace pemmo::test {

namespace detail {

// A task cannot hand back a bare exception_ptr: it keeps its own error in the same slot type.
struct Caught {
    std::exception_ptr error;
};

template <class T> QCoro::Task<Caught> catchError(QCoro::Task<T> task) {
    Caught caught;
    try {
        co_await task;
    } catch (...) {
        caught.error = std::current_exception();
    }
    co_return caught;
}

} // namespace detail

template <class T> std::exception_ptr awaitError(QCoro::Task<T>&& task) {
    return QCoro::waitFor(detail::catchError(std::move(task))).error;
}

// The exception of type E the task threw; absent when it threw nothing or something else.
template <class E, class T> std::optional<E> awaitErrorOf(QCoro::Task<T>&& task) {
    const std::exception_ptr error = awaitError(std::move(task));
    if (!error)
        return std::nullopt;
    try {
        std::rethrow_exception(error);
    } catch (const E& e) {
        return e;
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace pemmo::test
