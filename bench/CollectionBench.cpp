// One collection run of 300 feed entries (200 new apps, 100 already stored)
// against a large store, by the collector of the real main window while it
// shows the list: how much of it is our own work rather than waiting, and the
// longest time the main thread is kept from its events. The feeds come from
// the tests' fake store, served from a thread of its own so that its work is
// not counted. Prints "<figure>: <value>" lines; nothing fails on a timing.
// The apps it adds are deleted again at the end.
#include "AppCollectorService.h"
#include "AppIndex.h"
#include "AppModel.h"
#include "BenchApplication.h"
#include "BenchSupport.h"
#include "Console.h"
#include "ContentView.h"
#include "DetailsFetchQueue.h"
#include "FakeStore.h"
#include "ModelContainer.h"
#include "ModelContext.h"
#include "SqliteDatabase.h"
#include "SqliteStatement.h"
#include "StoreDocuments.h"
#include "WebEngineEnvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QNetworkProxyFactory>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <qcoro/qcorotask.h>

#include <cstdio>
#include <ctime>
#include <sys/resource.h>

using namespace std::chrono_literals;

namespace {

double processCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

QCoro::Task<> run(AppCollectorService& collector, QEventLoop& loop) {
    QCoro::Task<> collecting = collector.fetchNewApps();
    co_await collecting;
    loop.quit();
}

} // namespace

int main(int argc, char* argv[]) {
    BenchApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_collection <store file>\n");
        return 2;
    }
    BenchSupport::quietTrails();
    auto container = ModelContainer::open(QString::fromLocal8Bit(argv[1]));
    ModelContext& context = container->mainContext();
    SqliteDatabase& database = container->database();
    database.exec("DELETE FROM AppModel WHERE appleID LIKE 'bench-%'");

    // 300 entries: 200 apps nobody has seen and 100 from the middle of the store.
    QStringList known;
    {
        SqliteStatement statement(database, "SELECT appleID FROM AppModel ORDER BY pk LIMIT 100 OFFSET "
                                            "(SELECT count(*) / 2 FROM AppModel)");
        while (statement.step())
            known.append(statement.text(0));
    }
    QJsonArray feeds[3];
    for (int i = 0; i < 300; ++i) {
        const QString id = i % 3 == 2 && !known.isEmpty() ? known.at((i / 3) % known.size())
                                                          : QStringLiteral("bench-%1").arg(i);
        feeds[i / 100].append(StoreDocuments::feedEntry(id, QStringLiteral("Bench App %1").arg(i)));
    }

    QThread serverThread;
    serverThread.start();
    auto* store = new FakeStore;
    store->moveToThread(&serverThread);
    double serverCpuBefore = 0;
    const char* kinds[] = {"newapplications", "newfreeapplications", "newpaidapplications"};
    auto serveFeeds = [&](bool full) {
        QMetaObject::invokeMethod(
            store,
            [&] {
                for (int i = 0; i < 3; ++i)
                    store->setJson(QStringLiteral("/us/rss/%1/limit=100/json").arg(QLatin1String(kinds[i])),
                                   StoreDocuments::feedDocument(full ? feeds[i] : QJsonArray()));
            },
            Qt::BlockingQueuedConnection);
    };
    bool listening = false;
    QMetaObject::invokeMethod(
        store, [&] { listening = store->listen(); }, Qt::BlockingQueuedConnection);
    if (!listening)
        return 1;
    serveFeeds(false);
    qputenv("CALDRIN_STORE_ORIGIN", store->origin().toUtf8());
    BenchSupport::reachOnlyLocalHost();

    // The window starts its collector after its first paint; that first run
    // finds empty feeds. The run measured is a later one, as "Fetch Now" or
    // the hourly timer starts it, with the list index in.
    ContentView window(context);
    AppCollectorService* const started = BenchSupport::showAndAwaitFirstCollection(window);
    if (!started)
        return 1;
    AppCollectorService& collector = *started;
    BenchSupport::waitUntil([] { return false; }, 500);
    serveFeeds(true);
    QMetaObject::invokeMethod(
        store, [&] { serverCpuBefore = BenchSupport::threadCpuMs(); }, Qt::BlockingQueuedConnection);

    StallProbe probe;
    probe.start();
    const double cpuBefore = processCpuMs();
    const double mainBefore = BenchSupport::threadCpuMs();
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QCoro::Task<> running = run(collector, loop);
    loop.exec();
    probe.stop();
    const double wallMs = wall.elapsed();
    const double mainMs = BenchSupport::threadCpuMs() - mainBefore;
    const double cpuMs = processCpuMs() - cpuBefore;
    collector.detailsQueue().clearQueue();
    double serverMs = 0;
    QMetaObject::invokeMethod(
        store, [&] { serverMs = BenchSupport::threadCpuMs() - serverCpuBefore; },
        Qt::BlockingQueuedConnection);

    const QString status = collector.statusMessage();
    std::printf("collection_run_status: %s\n", qPrintable(status));
    std::printf("collection_run_cpu_ms: %.0f\n", cpuMs - serverMs);
    std::printf("collection_run_main_thread_cpu_ms: %.0f\n", mainMs);
    std::printf("collection_run_wall_ms: %.0f\n", wallMs);
    std::printf("collection_run_pauses_ms: %d\n", 15 * 100);
    std::fflush(stdout);
    BenchSupport::stallFigures("collection", probe);

    QMetaObject::invokeMethod(
        store, [&] { delete store; }, Qt::BlockingQueuedConnection);
    serverThread.quit();
    serverThread.wait();
    database.exec("DELETE FROM AppModel WHERE appleID LIKE 'bench-%'");
    return status.startsWith(QStringLiteral("✓ Saved 200 new apps")) ? 0 : 1;
}
