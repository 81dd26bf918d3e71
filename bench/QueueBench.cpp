// The details queue of the real main window enriching 20 new apps against a
// large store while the window shows them at the top of its list: a lookup
// for each, the product page scraped for one app in five (the first of them
// starts the web engine), each app saved and its row redrawn. Prints the
// longest time the main thread is kept from its events, and its 99th
// percentile. The lookups and pages come from the tests' fake store, served
// from a thread of its own. The queue's pauses are shortened (0.1 s between
// apps, no fixed wait on a page): they are idle time and change no stall.
// The apps are deleted again at the end.
//   bench_queue <path/to/caldrin.sqlite>
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
#include "RealisticProductPage.h"
#include "StoreDocuments.h"
#include "StoreError.h"
#include "WebEngineEnvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkProxyFactory>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

using namespace std::chrono_literals;

namespace {

constexpr int kApps = 20;

QString appleID(int i) {
    return QStringLiteral("benchq%1").arg(i);
}

bool needsPage(int i) {
    return i % 5 == 0;
}

QJsonObject lookupResult(int i) {
    QJsonObject result{{"description", QStringLiteral("Bench queue app %1. ").arg(i).repeated(40)},
                       {"averageUserRating", 4.5},
                       {"userRatingCount", 120 + i},
                       {"fileSizeBytes", "52428800"},
                       {"version", "1.2.3"},
                       {"contentAdvisoryRating", "4+"}};
    if (!needsPage(i)) {
        QJsonArray shots;
        for (int shot = 0; shot < 6; ++shot)
            shots.append(RealisticProductPage::image(shot, "600x1300", "png"));
        result.insert("screenshotUrls", shots);
    }
    return result;
}

QSharedPointer<AppModel> newApp(int i, const QString& origin) {
    return BenchSupport::newApp(appleID(i), QStringLiteral("Bench Queue App %1").arg(i),
                                QStringLiteral("com.example.benchq%1").arg(i),
                                origin + QStringLiteral("/us/app/x/id") + appleID(i));
}

int run(const QString& path) {
    QThread serverThread;
    serverThread.start();
    auto* store = new FakeStore;
    store->moveToThread(&serverThread);
    bool listening = false;
    QString origin;
    QMetaObject::invokeMethod(
        store,
        [&] {
            listening = store->listen();
            origin = store->origin();
            for (const char* kind : {"newapplications", "newfreeapplications", "newpaidapplications"})
                store->setJson(QStringLiteral("/us/rss/%1/limit=100/json").arg(QLatin1String(kind)),
                               StoreDocuments::feedDocument({}));
            const QByteArray page = RealisticProductPage::html();
            for (int i = 0; i < kApps; ++i) {
                store->setJson(QStringLiteral("/lookup?id=") + appleID(i),
                               StoreDocuments::lookupDocument(1, {lookupResult(i)}));
                if (needsPage(i))
                    store->setResponse(QStringLiteral("/us/app/x/id") + appleID(i), ProductPages::html(page));
            }
        },
        Qt::BlockingQueuedConnection);
    auto stopServer = qScopeGuard([&] {
        QMetaObject::invokeMethod(
            store, [&] { delete store; }, Qt::BlockingQueuedConnection);
        serverThread.quit();
        serverThread.wait();
    });
    if (!listening)
        return 1;
    qputenv("CALDRIN_STORE_ORIGIN", origin.toUtf8());
    BenchSupport::reachOnlyLocalHost();

    auto container = ModelContainer::open(path);
    ModelContext& context = container->mainContext();
    ContentView::Options options;
    AppCollectorService::Timing timing;
    timing.queue.pauseBetweenApps = 100ms;
    timing.queue.scraper.pageWait = 0ms;
    options.collectorTiming = timing;
    ContentView window(context, options);
    AppCollectorService* const collector = BenchSupport::showAndAwaitFirstCollection(window);
    if (!collector)
        return 1;
    DetailsFetchQueue& queue = collector->detailsQueue();

    // The new apps, as a collection run leaves them: saved, at the top of the list.
    QList<QSharedPointer<AppModel>> apps;
    for (int i = 0; i < kApps; ++i)
        apps.append(context.insert(newApp(i, origin)));
    context.save();
    BenchSupport::waitUntil([] { return false; }, 500);

    StallProbe probe;
    QElapsedTimer wall;
    probe.start();
    wall.start();
    queue.addToQueue(apps);
    const bool drained = BenchSupport::waitUntil(
        [&] { return !queue.isProcessing() && queue.queue().isEmpty() && queue.processedCount() > 0; },
        300'000);
    probe.stop();
    const double wallMs = static_cast<double>(wall.elapsed());

    int enriched = 0;
    for (const auto& app : apps)
        enriched += app->detailsFetched() && app->screenshotURLs() && !app->screenshotURLs()->isEmpty();
    BenchSupport::stallFigures("queue", probe);
    BenchSupport::figure("queue_apps_enriched", enriched);
    BenchSupport::figure("queue_wall_ms", wallMs);
    if (!drained)
        std::fprintf(stderr, "the queue did not finish\n");

    window.setSelectedApp({});
    for (const auto& app : apps)
        context.remove(app.data());
    context.save();
    return drained && enriched == kApps ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    BenchApplication application(argc, argv);
    BenchSupport::quietTrails();
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_queue <path/to/caldrin.sqlite>\n");
        return 2;
    }
    try {
        return run(QString::fromLocal8Bit(argv[1]));
    } catch (const StoreError& error) {
        std::fprintf(stderr, "store error: %s\n", qPrintable(error.description()));
        return 1;
    }
}
