#pragma once

// Small helpers shared by the bench_* programs: figures, process clocks, a
// span measured by the stall probe, and the set-up of the process and of the
// window they measure.

#include "StallProbe.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QList>
#include <QSharedPointer>
#include <QString>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <functional>
#include <unistd.h>

class AppCollectorService;
class AppModel;
class ContentView;
class QTemporaryDir;

namespace BenchSupport {

inline void figure(const char* name, double value) {
    std::printf("%s: %.0f\n", name, value);
    std::fflush(stdout);
}

inline void note(const char* name, const char* text) {
    std::printf("%s: %s\n", name, text);
    std::fflush(stdout);
}

// Milliseconds since the kernel started this process, so that loading the
// program and its libraries counts too.
inline double msSinceProcessStart() {
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // Fields after the command name, which is in parentheses and may hold spaces.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double startTicks = fields.value(19).toDouble(); // field 22, starttime
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double nowMs = static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
    return nowMs - startTicks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

inline qint64 residentMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() / 1024;
    }
    return -1;
}

// Turns the event loop until `done` holds or `limitMs` passed; false on the limit.
inline bool waitUntil(const std::function<bool()>& done, int limitMs) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

// Prints "<name>_max_stall_ms" and "<name>_stall_p99_ms" of the probe's last
// span, and the same of the main thread's own processor time in those delays
// ("_cpu_"), which a machine busy with other work does not inflate.
inline void stallFigures(const char* name, const StallProbe& probe) {
    const QByteArray prefix(name);
    figure((prefix + "_max_stall_ms").constData(), probe.maxStallMs());
    figure((prefix + "_stall_p99_ms").constData(), probe.percentileMs(99));
    figure((prefix + "_max_stall_cpu_ms").constData(), probe.maxStallCpuMs());
    figure((prefix + "_stall_cpu_p99_ms").constData(), probe.cpuPercentileMs(99));
}

// Processor time of the calling thread, in ms.
inline double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Before the QApplication: the window's size and the collector's last run go
// to settings of their own under `home`, so the user's stay untouched; the
// offscreen platform unless another was chosen.
void useTemporaryHome(const QTemporaryDir& home);

// Before the QApplication: the web engine resolves no name but 127.0.0.1 and
// localhost, unless its flags were chosen.
void resolveOnlyLocalHost();

// The window's collector and its details queue, and the list's icons, get a
// refused connection instead of the network.
void refuseNetwork();

// The fake store on 127.0.0.1 directly; everything else (the list's icons) to
// a port where nothing listens.
void reachOnlyLocalHost();

// After the QApplication: the program's console trail and the scraped pages'
// console lines stay off standard error, which keeps warnings and errors only.
void quietTrails();

// Shows the window and waits for its list index and for the first run of its
// collector, which it starts after its first paint; then drops the incomplete
// apps the start-up check queued, which are not measured. Null, with a line on
// stderr, when that first run did not finish within two minutes.
AppCollectorService* showAndAwaitFirstCollection(ContentView& window);

// A new app as a collection run leaves it, released and fetched just now.
QSharedPointer<AppModel> newApp(const QString& appleID, const QString& name, const QString& bundleID,
                                const QString& appStoreURL);

} // namespace BenchSupport
