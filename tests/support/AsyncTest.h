#pragma once

#include "RunTask.h"

#include <QElapsedTimer>
#include <QString>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <stdexcept>

// Runs a coroutine task to its end for a test (see runTask) and hands back its
// value or rethrows its exception. Fails (a QtTest failure, then an
// AsyncTest::Failure exception) when the task has not finished within the
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
        qint64 longestStall = 0;
        QElapsedTimer sinceTick;
        QTimer ticker;
        ticker.setInterval(10);
        QObject::connect(&ticker, &QTimer::timeout,
                         [&] { longestStall = std::max(longestStall, sinceTick.restart()); });
        sinceTick.start();
        ticker.start();
        const auto checkStall = [&] {
            longestStall = std::max(longestStall, sinceTick.elapsed());
            if (longestStall > options.maxStall.count())
                fail(QStringLiteral("the event loop stopped turning for %1 ms while the task ran")
                         .arg(longestStall));
        };
        try {
            if constexpr (std::is_void_v<T>) {
                runTask(std::move(task), options.timeout);
                checkStall();
            } else {
                T value = runTask(std::move(task), options.timeout);
                checkStall();
                return value;
            }
        } catch (const TaskTimedOut&) {
            fail(QStringLiteral("the task did not finish within %1 ms").arg(options.timeout.count()));
        }
    }

private:
    // Records the failure with QtTest, then unwinds the test function: there is
    // no value to go on with.
    [[noreturn]] static void fail(const QString& message) {
        QTest::qFail(qPrintable(message), __FILE__, __LINE__);
        throw Failure(message);
    }
};
