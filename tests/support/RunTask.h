#pragma once

#include <QCoroTask>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <type_traits>
#include <variant>

// Thrown by runTask when the task has not finished within its limit.
class TaskTimedOut : public std::runtime_error {
public:
    TaskTimedOut()
        : std::runtime_error("the task did not finish in time") {}
};

namespace RunTaskDetail {

template <typename T> struct Outcome {
    bool finished = false;
    std::conditional_t<std::is_void_v<T>, std::monostate, std::optional<T>> value;
    std::exception_ptr error;
    QPointer<QEventLoop> loop;
};

// Not a lambda: a coroutine lambda's captures would dangle after its first suspension.
template <typename T> QCoro::Task<> settle(QCoro::Task<T> task, std::shared_ptr<Outcome<T>> outcome) {
    try {
        if constexpr (std::is_void_v<T>) {
            co_await task;
        } else {
            T value = co_await task;
            outcome->value.emplace(std::move(value));
        }
    } catch (...) {
        outcome->error = std::current_exception();
    }
    outcome->finished = true;
    if (outcome->loop)
        outcome->loop->quit();
}

} // namespace RunTaskDetail

// Runs the event loop until the task finishes and returns its value or rethrows
// its exception (QCoro::waitFor hangs when a task throws); throws TaskTimedOut
// when it is still running after `limit` (the task then goes on by itself;
// nothing it touches may go away before it ends). Free of QtTest, so the
// benchmarks use it too.
template <typename T> T runTask(QCoro::Task<T>&& task, std::chrono::milliseconds limit) {
    auto outcome = std::make_shared<RunTaskDetail::Outcome<T>>();
    QEventLoop loop;
    outcome->loop = &loop;
    // Tasks start at once: one that never suspends is done here already.
    QCoro::Task<> settling = RunTaskDetail::settle(std::move(task), outcome);
    if (!outcome->finished) {
        QTimer::singleShot(limit, &loop, &QEventLoop::quit);
        loop.exec();
    }
    outcome->loop = nullptr;
    if (!outcome->finished)
        throw TaskTimedOut();
    if (outcome->error)
        std::rethrow_exception(outcome->error);
    if constexpr (!std::is_void_v<T>)
        return std::move(*outcome->value);
}
