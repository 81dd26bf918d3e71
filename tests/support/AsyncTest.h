#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QString>
#include <QTest>
#include <QTimer>

#include <qcoro/qcorotask.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <type_traits>
#include <variant>

// Runs a coroutine task to its end in an event loop, for tests, and hands back
// its value or rethrows its exception (QCoro::waitFor hangs when a task throws).
// Fails (a QtTest failure, then an AsyncTest::Failure exception) when the task has not finished within the
// time-out, or when the event loop stopped turning for longer than maxStall
// while the task ran: a sign that something blocked the main thread instead of
// suspending.
class AsyncTest {
public:
    struct Options {
        std::chrono::milliseconds timeout{30000};
        std::chrono::milliseconds maxStall{2000};
    };

    class Failure : public std::runtime_error {
    public:
        explicit Failure(const QString& message)
            : std::runtime_error(message.toStdString()) {}
    };

    template <class T> static T run(QCoro::Task<T> task) { return run(std::move(task), Options()); }

    template <class T> static T run(QCoro::Task<T> task, Options options) {
        auto state = std::make_shared<State<T>>();
        QEventLoop loop;
        state->loop = &loop;
        // Tasks start at once: a task that never suspends is done here already.
        QCoro::Task<void> driver = drive<T>(std::move(task), state);
        qint64 longestStall = 0;
        if (!state->done) {
            QElapsedTimer sinceTick;
            QTimer ticker;
            ticker.setInterval(10);
            QObject::connect(&ticker, &QTimer::timeout,
                             [&] { longestStall = std::max(longestStall, sinceTick.restart()); });
            QTimer deadline;
            deadline.setSingleShot(true);
            QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
            sinceTick.start();
            ticker.start();
            deadline.start(options.timeout);
            loop.exec();
            longestStall = std::max(longestStall, sinceTick.elapsed());
        }
        // A task still pending after the time-out may finish later; it must not
        // reach this loop then.
        state->loop = nullptr;
        if (!state->done)
            throw Failure(
                QStringLiteral("the task did not finish within %1 ms").arg(options.timeout.count()));
        if (longestStall > options.maxStall.count())
            throw Failure(QStringLiteral("the event loop stopped turning for %1 ms while the task ran")
                              .arg(longestStall));
        if (state->error)
            std::rethrow_exception(state->error);
        if constexpr (!std::is_void_v<T>)
            return std::move(*state->value);
    }

private:
    // Records the failure with QtTest, then unwinds the test function: there is
    // no value to go on with.
    [[noreturn]] static void fail(const QString& message) {
        QTest::qFail(qPrintable(message), __FILE__, __LINE__);
        throw Failure(message);
    }

    template <class T> struct State {
        bool done = false;
        std::conditional_t<std::is_void_v<T>, std::monostate, std::optional<T>> value;
        std::exception_ptr error;
        QEventLoop* loop = nullptr;
    };

    template <class T> static QCoro::Task<void> drive(QCoro::Task<T> task, std::shared_ptr<State<T>> state) {
        try {
            if constexpr (std::is_void_v<T>)
                co_await task;
            else {
                T value = co_await task;
                state->value.emplace(std::move(value));
            }
        } catch (...) {
            state->error = std::current_exception();
        }
        state->done = true;
        if (state->loop)
            state->loop->quit();
    }
};
