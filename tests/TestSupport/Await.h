// Runs a task to completion from a plain test function, spinning the event loop meanwhile.
#pragma once

#include <QCoroTask>

namespace pemmo::test {

template <class T> auto await(QCoro::Task<T>&& task) {
    return QCoro::waitFor(std::move(task));
}

} // namespace pemmo::test
