// Runs a task to completion from plain code (the command line, tests), spinning an event loop
// meanwhile, and hands back its result or rethrows its exception.
//
// QCoro::waitFor of QCoro 0.8 never returns when the task throws, so Pemmo uses this one.
#pragma once

#include <QCoroTask>
#include <QEventLoop>
#include <exception>
#include <optional>
#include <type_traits>

namespace pemmo {
namespace detail {

template <class T> struct Outcome {
    std::conditional_t<std::is_void_v<T>, bool, std::optional<T>> value{};
    std::exception_ptr error;
    bool done = false;
};

template <class T> QCoro::Task<void> settle(QCoro::Task<T> task, Outcome<T>& outcome, QEventLoop& loop) {
    try {
        if constexpr (std::is_void_v<T>) {
            co_await task;
            outcome.value = true;
        } else {
            outcome.value.emplace(co_await task);
        }
    } catch (...) {
        outcome.error = std::current_exception();
    }
    outcome.done = true;
    loop.quit();
}

} // namespace detail

template <class T> T waitFor(QCoro::Task<T>&& task) {
    QEventLoop loop;
    detail::Outcome<T> outcome;
    auto settling = detail::settle(std::move(task), outcome, loop);
    if (!outcome.done)
        loop.exec();
    if (outcome.error)
        std::rethrow_exception(outcome.error);
    if constexpr (!std::is_void_v<T>)
        return std::move(*outcome.value);
}

} // namespace pemmo
