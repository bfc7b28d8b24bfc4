// Runs a task to completion from a plain test function, spinning the event loop meanwhile; its
// exception, if any, is rethrown so QVERIFY_THROWS_EXCEPTION can see it.
#pragma once

#include "Support/WaitFor.h"

namespace pemmo::test {

template <class T> auto await(QCoro::Task<T>&& task) {
    return pemmo::waitFor(std::move(task));
}

} // namespace pemmo::test
