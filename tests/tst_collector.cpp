// Collection: the collector's runs, its start-up check, its settings, and the
// real program collecting on its own against the fake store.
#include "AppCollectorService.h"
#include "AppModel.h"
#include "AsyncTest.h"
#include "ConsoleCapture.h"
#include "FakeNotificationServer.h"
#include "FakeStore.h"
#include "ModelContainer.h"
#include "ModelContext.h"
#include "PrivateSessionBus.h"
#include "SampleApps.h"
#include "SqliteDatabase.h"
#include "StoreDocuments.h"
#include "WebEngineTestMain.h"

#include <QApplication>
#include <QJsonArray>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sqlite3.h>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using AppRef = QSharedPointer<AppModel>;

namespace {

const QString kFeeds[] = {u"newapplications"_s, u"newfreeapplications"_s, u"newpaidapplications"_s};

const auto feedPath = [](const QString& kind) { return u"/us/rss/%1/limit=100/json"_s.arg(kind); };

// "from" ... "from + count - 1".
QStringList ids(int from, int count) {
    QStringList list;
    for (int i = from; i < from + count; ++i)
        list.append(QString::number(i));
    return list;
}

QJsonArray entries(int from, int count) {
    QJsonArray list;
    for (const QString& id : ids(from, count))
        list.append(StoreDocuments::feedEntry(id));
    return list;
}

} // namespace

class TestCollector : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ModelContainer> m_container;
    std::unique_ptr<FakeStore> m_store;
    std::unique_ptr<FakeNotificationServer> m_notifications;

    ModelContext& context() { return m_container->mainContext(); }
    static QSettings settings() { return QSettings(u"Caldrin"_s, u"Caldrin"_s); }
    qint64 storedCount() { return m_container->database().queryInt64("SELECT count(*) FROM AppModel"); }
    // What the fake server was asked to show.
    QStringList notified() const {
        QStringList bodies;
        for (const auto& notification : m_notifications->notifications())
            bodies.append(notification.body);
        return bodies;
    }

    AppCollectorService::Timing fast() {
        AppCollectorService::Timing timing;
        timing.batchPause = 5ms;
        timing.interval = 1h;
        timing.queue.pauseBetweenApps = 5ms;
        timing.queue.scraper = {30ms, 2s};
        return timing;
    }

    void serveFeeds(const QJsonArray& first, const QJsonArray& second = {}, const QJsonArray& third = {}) {
        m_store->setJson(feedPath(kFeeds[0]), StoreDocuments::feedDocument(first));
        m_store->setJson(feedPath(kFeeds[1]), StoreDocuments::feedDocument(second));
        m_store->setJson(feedPath(kFeeds[2]), StoreDocuments::feedDocument(third));
    }

    // The apple IDs in the collector's queue when it first filled.
    void recordFirstQueue(AppCollectorService& collector, QStringList& queued) {
        connect(&collector.detailsQueue(), &DetailsFetchQueue::changed, this, [&] {
            if (queued.isEmpty())
                queued = collector.detailsQueue().queue().appleIDs();
        });
    }

    // Runs one collection and keeps the queue from working on what it was given.
    void runOnce(AppCollectorService& collector) {
        AsyncTest::run(collector.fetchNewApps());
        collector.detailsQueue().clearQueue();
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        // QSettings keeps the paths it computed first; point it at this test's folder.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir->filePath(u"config"_s));
        m_container = ModelContainer::open(m_dir->filePath(u"data/caldrin.sqlite"_s));
        m_store = std::make_unique<FakeStore>();
        QVERIFY(m_store->listen());
        qputenv("CALDRIN_STORE_ORIGIN", m_store->origin().toUtf8());
        m_notifications = std::make_unique<FakeNotificationServer>();
        QVERIFY(m_notifications->start());
    }
    void cleanup() {
        m_notifications.reset();
        m_store.reset();
        m_container.reset();
        m_dir.reset();
    }

    // 45 new entries, then the same again: all known now.
    void runs_saveNewEntriesInBatches_andSkipKnownOnes() {
        serveFeeds(entries(1, 30), entries(31, 15));
        AppCollectorService collector(context(), fast());
        QCOMPARE(collector.statusMessage(), u"Ready to start collecting apps"_s);
        QStringList statuses;
        connect(&collector, &AppCollectorService::changed, this, [&] {
            if (statuses.isEmpty() || statuses.last() != collector.statusMessage())
                statuses.append(collector.statusMessage());
        });
        ConsoleCapture console;
        runOnce(collector);
        QVERIFY(console.containsInOrder(QStringList() << "🔄 Starting to fetch new apps..."
                                                      << "✅ Fetched 45 apps from iTunes API"
                                                      << "📦 Processing 45 apps in 3 batches of 20"
                                                      << "📦 Processing batch 1/3..."
                                                      << "💾 Saved batch 1 - Total saved: 20"
                                                      << "📦 Processing batch 2/3..."
                                                      << "💾 Saved batch 2 - Total saved: 40"
                                                      << "📦 Processing batch 3/3..."
                                                      << "💾 Saved batch 3 - Total saved: 45"
                                                      << "📋 Adding 45 apps to details queue"
                                                      << "📋 Added 45 apps to queue. Total: 45"));
        QCOMPARE(statuses, (QStringList{"Fetching new apps...", "Saving 45 apps to database...",
                                        "✓ Saved 45 new apps, skipped 0 duplicates"}));
        QCOMPARE(storedCount(), 45);
        const QDateTime first = collector.lastFetchDate().value();
        QCOMPARE(settings().value(u"lastFetchDate"_s).toDateTime(), first);
        QTRY_COMPARE(notified(), QStringList{u"45 new apps have been added to your collection"_s});

        console.clear();
        QTest::qWait(5);
        runOnce(collector);
        QCOMPARE(collector.statusMessage(), u"✓ Saved 0 new apps, skipped 45 duplicates"_s);
        QVERIFY(console.linesStartingWith(u"📋 Adding"_s).isEmpty());
        QVERIFY(*collector.lastFetchDate() > first && storedCount() == 45);
        QTest::qWait(100);
        QCOMPARE(notified().size(), 1);
    }

    // The apps of the batch that was saved are announced and queued all the same.
    void run_whoseSecondSaveFails_keepsTheFirstBatch() {
        serveFeeds(entries(1, 45));
        int commits = 0;
        m_container->database().setFaultHook([&commits](const QByteArray& sql) {
            return sql == "COMMIT" && ++commits == 2 ? SQLITE_FULL : SQLITE_OK;
        });
        AppCollectorService collector(context(), fast());
        QStringList queued;
        recordFirstQueue(collector, queued);
        ConsoleCapture console;
        runOnce(collector);
        QVERIFY(collector.statusMessage().startsWith(u"Error: "_s));
        const QStringList errors = console.linesStartingWith(u"❌ Error "_s);
        QVERIFY(errors.size() == 2 && errors[0].startsWith(u"❌ Error fetching apps: "_s) &&
                errors[1].startsWith(u"❌ Error details: "_s));
        QVERIFY(console.containsInOrder(
            {u"💾 Saved batch 1 - Total saved: 20"_s, u"📦 Processing batch 2/3..."_s,
             u"📋 Adding 20 apps to details queue"_s, u"📋 Added 20 apps to queue. Total: 20"_s, errors[0]}));
        QVERIFY(!console.contains(u"📦 Processing batch 3/3..."_s));
        QVERIFY(queued == ids(1, 20) && storedCount() == 20);
        QVERIFY(!collector.lastFetchDate() && !settings().contains(u"lastFetchDate"_s));
        QTRY_COMPARE(notified(), QStringList{u"20 new apps have been added to your collection"_s});
        // The failed batch waits in the context for the next save.
        m_container->database().setFaultHook({});
        context().save();
        QCOMPARE(storedCount(), 40);
    }

    void overlappingRuns_storeEveryAppOnce() {
        serveFeeds(entries(1, 30), entries(20, 30));
        AppCollectorService collector(context(), fast());
        QCoro::Task<> first = collector.fetchNewApps(), second = collector.fetchNewApps();
        AsyncTest::run(std::move(first));
        AsyncTest::run(std::move(second));
        collector.detailsQueue().clearQueue();
        QCOMPARE(storedCount(), 49); // the ids 1 to 49, each once
    }

    // Each feed's failure is told; no status line, since no answer came.
    void run_whenEveryFeedFails_completesEmpty() {
        qputenv("CALDRIN_STORE_ORIGIN", FakeStore::refusedOrigin().toUtf8());
        AppCollectorService collector(context(), fast());
        ConsoleCapture console;
        runOnce(collector);
        QCOMPARE(collector.statusMessage(), u"✓ Saved 0 new apps, skipped 0 duplicates"_s);
        QCOMPARE(console.linesStartingWith(u"❌ Error fetching new"_s),
                 (QStringList{"❌ Error fetching newapplications: networkError(Connection refused)",
                              "❌ Error fetching newfreeapplications: networkError(Connection refused)",
                              "❌ Error fetching newpaidapplications: networkError(Connection refused)"}));
        QVERIFY(console.linesStartingWith(u"📊 HTTP Status"_s).isEmpty() && collector.lastFetchDate());
        QVERIFY(console.containsInOrder({u"📊 Total apps before deduplication: 0"_s,
                                         u"✨ Unique apps after deduplication: 0"_s,
                                         u"📦 Processing 0 apps in 0 batches of 20"_s}));
    }

    // At start-up every record missing details, screenshots or a description is queued.
    void startupCheck_queuesIncompleteRecords() {
        ConsoleCapture console;
        {
            AppCollectorService empty(context(), fast());
            QTRY_VERIFY(console.contains(u"✅ All apps have complete data"_s));
            // The notification permission's answer may come at any point.
            QVERIFY(console.containsInOrder(
                {u"🔍 Checking for incomplete apps on startup..."_s, u"✅ All apps have complete data"_s}));
        }
        auto add = [&](const QString& id, bool fetched, std::optional<QStringList> shots,
                       std::optional<QString> description) {
            auto app = SampleApps::make(id, {u"App "_s + id});
            app->setDetailsFetched(fetched);
            app->setScreenshotURLs(shots);
            app->setAppDescription(description);
            context().insert(app);
        };
        const QStringList shot{u"https://img.example/s.png"_s};
        add(u"complete, empty description"_s, true, shot, QString());
        add(u"no description"_s, true, shot, std::nullopt);
        add(u"complete"_s, true, shot, u"d"_s);
        add(u"not fetched"_s, false, shot, u"d"_s);
        add(u"empty screenshots"_s, true, QStringList(), u"d"_s);
        add(u"no screenshots"_s, true, std::nullopt, u"d"_s);
        context().save();
        console.clear();
        AppCollectorService collector(context(), fast());
        QStringList queued;
        recordFirstQueue(collector, queued);
        QTRY_VERIFY(console.contains(u"📋 Found 4 incomplete apps, adding to queue..."_s));
        QCOMPARE(queued,
                 (QStringList{"no description", "not fetched", "empty screenshots", "no screenshots"}));
        collector.detailsQueue().clearQueue();
        // An unsaved one, which only the window's own connection sees, counts too.
        add(u"unsaved"_s, false, shot, u"d"_s);
        AppCollectorService again(context(), fast());
        QTRY_VERIFY(console.contains(u"📋 Found 5 incomplete apps, adding to queue..."_s));
        again.detailsQueue().clearQueue();
    }

    // The hourly timer: one per collector however often it is started, gone when stopped.
    void startAndStop_runOnceAndKeepOneTimer() {
        serveFeeds(entries(1, 3));
        AppCollectorService::Timing timing = fast();
        timing.interval = 400ms;
        AppCollectorService collector(context(), timing);
        ConsoleCapture console;
        const auto runs = [&] { return console.linesStartingWith(u"🔄 Starting"_s).size(); };
        collector.startCollecting();
        const QPointer<QTimer> timer = collector.timer();
        collector.startCollecting();
        QCOMPARE(collector.timer(), timer.data());
        QTRY_COMPARE(collector.statusMessage(), u"✓ Saved 3 new apps, skipped 0 duplicates"_s);
        QCOMPARE(runs(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(runs(), 2, 3000); // started by the timer
        collector.stopCollecting();
        QVERIFY(!collector.timer());
        QTRY_VERIFY(console.lines().last() != u"🔄 Starting to fetch new apps..."_s);
        const qsizetype stopped = runs();
        QTest::qWait(900);
        QCOMPARE(runs(), stopped);

        // Started again: a run at once, not left to the timer, and a fresh timer.
        collector.startCollecting();
        QVERIFY(collector.timer() && collector.timer()->isActive() && collector.timer()->interval() == 400);
        QSignalSpy fired(collector.timer(), &QTimer::timeout);
        QTRY_COMPARE(runs(), stopped + 1);
        QVERIFY(fired.size() == 0 && !timer); // the old one is gone
        QTRY_COMPARE_WITH_TIMEOUT(runs(), stopped + 2, 3000);
        QCOMPARE(fired.size(), 1);
        collector.stopCollecting();
        collector.detailsQueue().clearQueue();
    }

    // Only a stored date-time is taken; a text that reads as one is not.
    void loadLastFetchDate_takesOnlyADateTime_data() {
        QTest::addColumn<QVariant>("stored");
        QTest::newRow("date-time") << QVariant(QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5), Qt::UTC));
        QTest::newRow("text of a date-time") << QVariant(u"2024-01-02T03:04:05Z"_s);
        QTest::newRow("nothing") << QVariant();
    }
    void loadLastFetchDate_takesOnlyADateTime() {
        QFETCH(QVariant, stored);
        if (stored.isValid()) // each test has a settings folder of its own
            settings().setValue(u"lastFetchDate"_s, stored);
        AppCollectorService collector(context(), fast());
        const bool taken = stored.typeId() == QMetaType::QDateTime;
        QCOMPARE(collector.lastFetchDate(), taken ? std::optional(stored.toDateTime()) : std::nullopt);
        // Reading changes nothing stored.
        QCOMPARE(settings().value(u"lastFetchDate"_s), stored);
    }

    // A collector (and its queue) destroyed while a run waits on the network or
    // the decoder: the run ends quietly when it resumes, nothing crashes.
    void collectorDestroyedMidRun_endsQuietly_data() {
        QTest::addColumn<int>("destroyAfterMs");
        QTest::addColumn<int>("firstFeedEntries");
        QTest::newRow("waiting for the first feed") << 20 << 3;
        QTest::newRow("while a large feed is decoded") << 150 << 20000;
        QTest::newRow("while the queue looks up") << 900 << 3;
    }
    void collectorDestroyedMidRun_endsQuietly() {
        QFETCH(int, destroyAfterMs);
        QFETCH(int, firstFeedEntries);
        for (const QString& kind : kFeeds)
            m_store->setResponse(feedPath(kind),
                                 {.body = StoreDocuments::feedDocument(
                                      kind == kFeeds[0] ? entries(1, firstFeedEntries) : entries(100000, 3)),
                                  .delayMs = firstFeedEntries > 3 ? 0 : 200});
        FakeStore::Response slowLookup = FakeStore::htmlError(404);
        slowLookup.delayMs = 300;
        for (const QString& id : ids(1, 3))
            m_store->setResponse(u"/lookup?id="_s + id, slowLookup);
        auto collector = std::make_unique<AppCollectorService>(context(), fast());
        collector->startCollecting();
        QCOMPARE(collector->statusMessage(), u"Collection started"_s);
        QTest::qWait(destroyAfterMs);
        collector.reset();
        QTest::qWait(2500);
        QCOMPARE(
            m_container->database().queryInt64("SELECT count(DISTINCT appleID) = count(*) FROM AppModel"), 1);
    }

    // The real program, started on empty directories against the fake store;
    // the lines it prints are each asserted exactly by a unit test. The web
    // engine's account of its set-up, given when the first page is scraped,
    // stays off standard error unless QT_LOGGING_RULES asks for it.
    void realProgram_collectsEnrichesAndNotifies() {
        FakeStore store;
        QVERIFY(store.listen());
        store.setFixturesDirectory(QStringLiteral(CALDRIN_FIXTURES_DIR "/collector"));
        QTemporaryDir home;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString kind : {"data", "config", "cache"})
            environment.insert(u"XDG_%1_HOME"_s.arg(kind.toUpper()), home.filePath(kind));
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        environment.insert(u"CALDRIN_STORE_ORIGIN"_s, store.origin());
        environment.remove(u"QT_LOGGING_RULES"_s);
        environment.insert(
            u"QTWEBENGINE_CHROMIUM_FLAGS"_s,
            QStringLiteral(
                "--host-resolver-rules=\"MAP * ~NOTFOUND, EXCLUDE 127.0.0.1, EXCLUDE localhost\""));
        QProcess caldrin;
        caldrin.setProcessEnvironment(environment);
        caldrin.start(QStringLiteral(CALDRIN_EXECUTABLE), {});
        QByteArray output;
        const bool ended = QTest::qWaitFor(
            [&] {
                output += caldrin.readAllStandardOutput();
                return output.contains("✅ Queue processing complete\n") ||
                       caldrin.state() == QProcess::NotRunning;
            },
            120000);
        caldrin.terminate();
        caldrin.waitForFinished(10000);
        const QStringList first = QString::fromUtf8(output + caldrin.readAllStandardOutput()).split(u'\n');
        QVERIFY2(ended && first.contains(u"✅ Queue processing complete"_s), qPrintable(first.join(u'\n')));
        for (const QString& line :
             {u"💾 Saved batch 1 - Total saved: 6"_s, u"📬 Notification sent: 6 new apps"_s,
              u"❌ ERROR processing Lost Signal:"_s, u"🔍 Checking for incomplete apps on startup..."_s})
            QVERIFY2(first.contains(line), qPrintable(line));
        QCOMPARE(first.count(u"  🌐 WebKit scraper returned successfully"_s), 2);
        QVERIFY(!caldrin.readAllStandardError().contains("qt.webenginecontext"));
        QTRY_COMPARE(m_notifications->notifications().size(), 1);

        {
            auto container = ModelContainer::open(home.filePath(u"data/Caldrin/caldrin.sqlite"_s));
            QStringList stored; // appleID, name, details fetched, screenshots, purchases
            for (const auto& app :
                 container->mainContext().fetch<AppModel>(FetchDescriptor::sorted("appleID", true)))
                stored << u"%1 %2 %3 %4 %5"_s.arg(app->appleID(), app->name())
                              .arg(app->detailsFetched())
                              .arg(app->screenshotURLs().value_or(QStringList()).size())
                              .arg(app->inAppPurchaseItems().value_or(QList<IAPItem>()).size());
            QCOMPARE(stored, (QStringList{"3000000001 Harbor Lights 1 3 0", "3000000002 Puzzle Grove 1 2 0",
                                          "3000000003 Couch Cinema 1 2 0", "3000000004 Quiet Notes 1 3 0",
                                          "3000000005 Lost Signal 0 0 0", "3000000006 Paid Planner 1 3 2"}));
        }
        const QSettings settings(home.filePath(u"config/Caldrin/Caldrin.conf"_s), QSettings::IniFormat);
        QCOMPARE(settings.value(u"lastFetchDate"_s).typeId(), QMetaType::QDateTime);
    }
};

CALDRIN_WEBENGINE_TEST_MAIN_AFTER(TestCollector, PrivateSessionBus bus)
#include "tst_collector.moc"
