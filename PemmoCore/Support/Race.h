// "The first of the operation and a timer decides": bounds a running task by a time limit.
//
// QCoro tasks start at once and cannot be cancelled, so the operation that loses keeps running to
// its end; its result or error is then dropped. It shares nothing with the caller but a small state
// block that it keeps alive itself, so it never touches anything the caller has already destroyed.
// A timer that loses is stopped and destroyed with that state.
#pragma once

#include <QCoroTask>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <coroutine>
#include <exception>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

namespace pemmo {
namespace detail {

template <class T> struct RaceState {
    using Value = std::conditional_t<std::is_void_v<T>, std::monostate, T>;

    std::optional<Value> value;
    std::exception_ptr error;
    bool decided = false;
    std::coroutine_handle<> waiter;
    QTimer timer;

    void decide() {
        decided = true;
        timer.stop();
        if (auto handle = std::exchange(waiter, {}))
            handle.resume();
    }
};

// Holds a plain pointer: the racing coroutine keeps the state alive, and GCC 12 mishandles
// temporary awaiters with non-trivial destructors.
template <class T> struct RaceAwaiter {
    RaceState<T>* state;

    bool await_ready() const noexcept { return state->decided; }
    void await_suspend(std::coroutine_handle<> handle) noexcept { state->waiter = handle; }
    void await_resume() const noexcept {}
};

// Runs detached: owns the operation and a share of the state until the operation ends.
template <class T>
QCoro::Task<void> watchOperation(QCoro::Task<T> operation, std::shared_ptr<RaceState<T>> state) {
    std::exception_ptr error;
    std::optional<typename RaceState<T>::Value> value;
    try {
        if constexpr (std::is_void_v<T>) {
            co_await operation;
            value.emplace();
        } else {
            value.emplace(co_await operation);
        }
    } catch (...) {
        error = std::current_exception();
    }
    if (state->decided)
        co_return; // the timer won; nobody is waiting for this any more
    state->value = std::move(value);
    state->error = error;
    state->decide();
}

} // namespace detail

// Awaits `operation`, or fails with `timeoutError` when `limit` passes first.
template <class T, class E>
QCoro::Task<T> raceWithTimeout(QCoro::Task<T> operation, std::chrono::milliseconds limit, E timeoutError) {
    auto state = std::make_shared<detail::RaceState<T>>();
    detail::watchOperation(std::move(operation), state);
    if (!state->decided) {
        state->timer.setSingleShot(true);
        state->timer.setTimerType(Qt::PreciseTimer);
        std::weak_ptr<detail::RaceState<T>> weak = state;
        QObject::connect(&state->timer, &QTimer::timeout, [weak, timeoutError] {
            // While the operation is still out, its watcher holds the state, so resuming the
            // waiter from here cannot destroy the timer that is emitting.
            const auto locked = weak.lock();
            if (!locked || locked->decided)
                return;
            locked->error = std::make_exception_ptr(timeoutError);
            locked->decide();
        });
        state->timer.start(limit);
        co_await detail::RaceAwaiter<T>{state.get()};
    }
    if (state->error)
        std::rethrow_exception(state->error);
    if constexpr (!std::is_void_v<T>)
        co_return std::move(*state->value);
}

} // namespace pemmo
