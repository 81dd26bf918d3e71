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
using AppRef = QSharedPointer<AppModel>;

namespace {

const QString kFeeds[] = {QStringLiteral("newapplications"), QStringLiteral("newfreeapplications"),
                          QStringLiteral("newpaidapplications")};

QString feedPath(const QString& kind) {
    return QStringLiteral("/us/rss/%1/limit=100/json").arg(kind);
}

QJsonArray entries(int from, int count) {
    QJsonArray list;
    for (int i = from; i < from + count; ++i)
        list.append(StoreDocuments::feedEntry(QString::number(i)));
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
    static QSettings settings() { return QSettings(QStringLiteral("Caldrin"), QStringLiteral("Caldrin")); }

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

    // Runs one collection and keeps the queue from working on what it was given.
    void runOnce(AppCollectorService& collector) {
        AsyncTest::run(collector.fetchNewApps());
        collector.detailsQueue().clearQueue();
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        // QSettings keeps the paths it computed first; point it at this test's folder.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           m_dir->filePath(QStringLiteral("config")));
        m_container = ModelContainer::open(m_dir->filePath(QStringLiteral("data/caldrin.sqlite")));
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

    void run_of45NewEntries_savesThreeBatches() {
        serveFeeds(entries(1, 30), entries(31, 15));
        AppCollectorService collector(context(), fast());
        QStringList statuses;
        connect(&collector, &AppCollectorService::changed, this, [&] {
            if (statuses.isEmpty() || statuses.last() != collector.statusMessage())
                statuses.append(collector.statusMessage());
        });
        ConsoleCapture console;
        runOnce(collector);
        QVERIFY(console.containsInOrder({
            QStringLiteral("🔄 Starting to fetch new apps..."),
            QStringLiteral("✅ Fetched 45 apps from iTunes API"),
            QStringLiteral("📦 Processing 45 apps in 3 batches of 20"),
            QStringLiteral("📦 Processing batch 1/3..."),
            QStringLiteral("💾 Saved batch 1 - Total saved: 20"),
            QStringLiteral("📦 Processing batch 2/3..."),
            QStringLiteral("💾 Saved batch 2 - Total saved: 40"),
            QStringLiteral("📦 Processing batch 3/3..."),
            QStringLiteral("💾 Saved batch 3 - Total saved: 45"),
            QStringLiteral("📋 Adding 45 apps to details queue"),
            QStringLiteral("📋 Added 45 apps to queue. Total: 45"),
        }));
        QCOMPARE(statuses, (QStringList{QStringLiteral("Fetching new apps..."),
                                        QStringLiteral("Saving 45 apps to database..."),
                                        QStringLiteral("✓ Saved 45 new apps, skipped 0 duplicates")}));
        QCOMPARE(m_container->database().queryInt64("SELECT count(*) FROM AppModel"), 45);
        QVERIFY(collector.lastFetchDate());
        const QVariant stored = settings().value(QStringLiteral("lastFetchDate"));
        QCOMPARE(stored.typeId(), QMetaType::QDateTime);
        QCOMPARE(stored.toDateTime(), *collector.lastFetchDate());
        QTRY_COMPARE(m_notifications->notifications().size(), 1);
        QCOMPARE(m_notifications->notifications().first().body,
                 QStringLiteral("45 new apps have been added to your collection"));
    }

    void run_ofKnownEntries_skipsThemAll() {
        serveFeeds(entries(1, 25));
        AppCollectorService collector(context(), fast());
        runOnce(collector);
        const QDateTime first = *collector.lastFetchDate();
        QTRY_COMPARE(m_notifications->notifications().size(), 1);
        ConsoleCapture console;
        QTest::qWait(5);
        runOnce(collector);
        QCOMPARE(collector.statusMessage(), QStringLiteral("✓ Saved 0 new apps, skipped 25 duplicates"));
        QVERIFY(console.contains(QStringLiteral("💾 Saved batch 2 - Total saved: 0")));
        QVERIFY(console.linesStartingWith(QStringLiteral("📋 Adding")).isEmpty());
        QVERIFY(*collector.lastFetchDate() > first);
        QCOMPARE(settings().value(QStringLiteral("lastFetchDate")).toDateTime(), *collector.lastFetchDate());
        QTest::qWait(100);
        QCOMPARE(m_notifications->notifications().size(), 1);
        QCOMPARE(m_container->database().queryInt64("SELECT count(*) FROM AppModel"), 25);
    }

    void run_whoseSecondSaveFails_keepsTheFirstBatch() {
        serveFeeds(entries(1, 45));
        int commits = 0;
        m_container->database().setFaultHook([&commits](const QByteArray& sql) {
            return sql == "COMMIT" && ++commits == 2 ? SQLITE_FULL : SQLITE_OK;
        });
        AppCollectorService collector(context(), fast());
        ConsoleCapture console;
        runOnce(collector);
        QVERIFY(collector.statusMessage().startsWith(QStringLiteral("Error: ")));
        const QStringList errors = console.linesStartingWith(QStringLiteral("❌ Error "));
        QCOMPARE(errors.size(), 2);
        QVERIFY(errors[0].startsWith(QStringLiteral("❌ Error fetching apps: ")));
        QVERIFY(errors[1].startsWith(QStringLiteral("❌ Error details: ")));
        QVERIFY(console.contains(QStringLiteral("💾 Saved batch 1 - Total saved: 20")));
        QVERIFY(!console.contains(QStringLiteral("📦 Processing batch 3/3...")));
        QCOMPARE(m_container->database().queryInt64("SELECT count(*) FROM AppModel"), 20);
        QVERIFY(!collector.lastFetchDate());
        QVERIFY(!settings().contains(QStringLiteral("lastFetchDate")));
        QVERIFY(collector.detailsQueue().queue().isEmpty());
        QTest::qWait(100);
        QVERIFY(m_notifications->notifications().isEmpty());
        // The failed batch waits in the context for the next save.
        m_container->database().setFaultHook({});
        context().save();
        QCOMPARE(m_container->database().queryInt64("SELECT count(*) FROM AppModel"), 40);
    }

    void overlappingRuns_storeEveryAppOnce() {
        serveFeeds(entries(1, 30), entries(20, 30));
        AppCollectorService collector(context(), fast());
        QCoro::Task<> first = collector.fetchNewApps();
        QCoro::Task<> second = collector.fetchNewApps();
        AsyncTest::run(std::move(first));
        AsyncTest::run(std::move(second));
        collector.detailsQueue().clearQueue();
        QCOMPARE(m_container->database().queryInt64("SELECT count(*) FROM AppModel"), 49);
        QCOMPARE(m_container->database().queryInt64("SELECT count(DISTINCT appleID) FROM AppModel"), 49);
    }

    void run_whenEveryFeedFails_completesEmpty() {
        qputenv("CALDRIN_STORE_ORIGIN", FakeStore::refusedOrigin().toUtf8());
        AppCollectorService collector(context(), fast());
        ConsoleCapture console;
        runOnce(collector);
        QCOMPARE(collector.statusMessage(), QStringLiteral("✓ Saved 0 new apps, skipped 0 duplicates"));
        QVERIFY(console.contains(QStringLiteral("📦 Processing 0 apps in 0 batches of 20")));
        QVERIFY(collector.lastFetchDate());
    }

    // At start-up every record missing details, screenshots or a description is queued.
    void startupCheck_queuesIncompleteRecords() {
        auto add = [&](const QString& id, bool fetched, std::optional<QStringList> shots,
                       std::optional<QString> description) {
            auto app = AppRef::create();
            app->setAppleID(id);
            app->setName(QStringLiteral("App ") + id);
            app->setReleaseDate(QDateTime::currentDateTimeUtc());
            app->setFetchedAt(QDateTime::currentDateTimeUtc());
            app->setDetailsFetched(fetched);
            app->setScreenshotURLs(shots);
            app->setAppDescription(description);
            context().insert(app);
        };
        const QStringList shot{QStringLiteral("https://img.example/s.png")};
        add(QStringLiteral("complete, empty description"), true, shot, QString());
        add(QStringLiteral("no description"), true, shot, std::nullopt);
        add(QStringLiteral("complete"), true, shot, QStringLiteral("d"));
        add(QStringLiteral("not fetched"), false, shot, QStringLiteral("d"));
        add(QStringLiteral("empty screenshots"), true, QStringList(), QStringLiteral("d"));
        add(QStringLiteral("no screenshots"), true, std::nullopt, QStringLiteral("d"));
        context().save();
        ConsoleCapture console;
        AppCollectorService collector(context(), fast());
        QStringList queued;
        connect(&collector.detailsQueue(), &DetailsFetchQueue::changed, this, [&] {
            if (queued.isEmpty())
                for (const auto& app : collector.detailsQueue().queue())
                    queued.append(app.appleID);
        });
        QTRY_VERIFY(console.contains(QStringLiteral("📋 Found 4 incomplete apps, adding to queue...")));
        QCOMPARE(queued,
                 (QStringList{QStringLiteral("no description"), QStringLiteral("not fetched"),
                              QStringLiteral("empty screenshots"), QStringLiteral("no screenshots")}));
        QCOMPARE(console.lines().mid(0, 1),
                 QStringList{QStringLiteral("🔍 Checking for incomplete apps on startup...")});
        collector.detailsQueue().clearQueue();
    }

    void startupCheck_withNothingIncomplete_saysSo() {
        ConsoleCapture console;
        AppCollectorService collector(context(), fast());
        QTRY_VERIFY(console.contains(QStringLiteral("✅ All apps have complete data")));
        QVERIFY(console.containsInOrder({QStringLiteral("🔍 Checking for incomplete apps on startup..."),
                                         QStringLiteral("✅ All apps have complete data")}));
        QTRY_VERIFY(console.contains(QStringLiteral("✅ Notification permission granted")));
    }

    void lastFetchDate_onlyADateTimeIsTaken_data() {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<bool>("taken");
        QTest::newRow("date-time") << QVariant(QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5), Qt::UTC)) << true;
        QTest::newRow("text that looks like one")
            << QVariant(QStringLiteral("2024-01-02T03:04:05Z")) << false;
        QTest::newRow("number") << QVariant(1704164645) << false;
    }
    void lastFetchDate_onlyADateTimeIsTaken() {
        QFETCH(QVariant, stored);
        QFETCH(bool, taken);
        settings().setValue(QStringLiteral("lastFetchDate"), stored);
        AppCollectorService collector(context(), fast());
        QCOMPARE(collector.lastFetchDate().has_value(), taken);
        if (taken)
            QCOMPARE(*collector.lastFetchDate(), stored.toDateTime());
    }

    void startAndStop_runOnceAndKeepOneTimer() {
        serveFeeds(entries(1, 3));
        AppCollectorService::Timing timing = fast();
        timing.interval = 400ms;
        AppCollectorService collector(context(), timing);
        QCOMPARE(collector.statusMessage(), QStringLiteral("Ready to start collecting apps"));
        ConsoleCapture console;
        collector.startCollecting();
        QTimer* timer = collector.timer();
        collector.startCollecting();
        QCOMPARE(collector.timer(), timer);
        QVERIFY(collector.isCollecting());
        QCOMPARE(collector.statusMessage(), QStringLiteral("Collection started"));
        QTRY_COMPARE(collector.statusMessage(), QStringLiteral("✓ Saved 3 new apps, skipped 0 duplicates"));
        QCOMPARE(console.linesStartingWith(QStringLiteral("🔄 Starting")).size(), 1);
        // The timer starts the next run by itself.
        QTRY_COMPARE_WITH_TIMEOUT(console.linesStartingWith(QStringLiteral("🔄 Starting")).size(), 2, 3000);
        collector.stopCollecting();
        QVERIFY(!collector.isCollecting());
        QVERIFY(!collector.timer());
        QTRY_VERIFY(console.lines().last() != QStringLiteral("🔄 Starting to fetch new apps..."));
        const qsizetype runs = console.linesStartingWith(QStringLiteral("🔄 Starting")).size();
        QTest::qWait(900);
        QCOMPARE(console.linesStartingWith(QStringLiteral("🔄 Starting")).size(), runs);
        collector.startCollecting();
        QVERIFY(collector.timer());
        QTRY_COMPARE(console.linesStartingWith(QStringLiteral("🔄 Starting")).size(), runs + 1);
        collector.detailsQueue().clearQueue();
    }

    // A collector (and its queue) destroyed while a run waits on the network or
    // the decoder: the run ends quietly when it resumes, nothing crashes.
    void collectorDestroyedMidRun_endsQuietly_data() {
        QTest::addColumn<int>("destroyAfterMs");
        QTest::addColumn<int>("firstFeedEntries");
        QTest::newRow("waiting for the first feed") << 20 << 3;
        QTest::newRow("between feeds") << 260 << 3;
        QTest::newRow("while a large feed is decoded") << 150 << 20000;
        QTest::newRow("while the queue looks up") << 900 << 3;
    }
    void collectorDestroyedMidRun_endsQuietly() {
        QFETCH(int, destroyAfterMs);
        QFETCH(int, firstFeedEntries);
        for (const QString& kind : kFeeds) {
            FakeStore::Response slow;
            slow.body = StoreDocuments::feedDocument(kind == kFeeds[0] ? entries(1, firstFeedEntries)
                                                                       : entries(100000, 3));
            slow.delayMs = firstFeedEntries > 3 ? 0 : 200;
            m_store->setResponse(feedPath(kind), slow);
        }
        for (int id : {1, 2, 3}) {
            FakeStore::Response slow = FakeStore::htmlError(404);
            slow.delayMs = 300;
            m_store->setResponse(QStringLiteral("/lookup?id=%1").arg(id), slow);
        }
        auto collector = std::make_unique<AppCollectorService>(context(), fast());
        collector->startCollecting();
        QTest::qWait(destroyAfterMs);
        collector.reset();
        QTest::qWait(2500);
        QCOMPARE(
            m_container->database().queryInt64("SELECT count(DISTINCT appleID) = count(*) FROM AppModel"), 1);
    }

    // The real program, started twice on empty directories against the fake store.
    void realProgram_collectsEnrichesAndNotifies() {
        FakeStore store;
        QVERIFY(store.listen());
        store.setFixturesDirectory(QStringLiteral(CALDRIN_FIXTURES_DIR "/collector"));
        QTemporaryDir home;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("CALDRIN_STORE_ORIGIN"), store.origin());
        environment.insert(
            QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"),
            QStringLiteral(
                "--host-resolver-rules=\"MAP * ~NOTFOUND, EXCLUDE 127.0.0.1, EXCLUDE localhost\""));

        auto runProgram = [&](QStringList& lines) {
            QProcess caldrin;
            caldrin.setProcessEnvironment(environment);
            caldrin.start(QStringLiteral(CALDRIN_EXECUTABLE), {});
            if (!caldrin.waitForStarted())
                return false;
            QByteArray output;
            const bool done = QTest::qWaitFor(
                [&] {
                    output += caldrin.readAllStandardOutput();
                    return output.contains("✅ Queue processing complete\n") ||
                           caldrin.state() == QProcess::NotRunning;
                },
                120000);
            caldrin.terminate();
            caldrin.waitForFinished(10000);
            output += caldrin.readAllStandardOutput();
            lines = QString::fromUtf8(output).split(QLatin1Char('\n'));
            return done && output.contains("✅ Queue processing complete\n");
        };

        QStringList first;
        QVERIFY2(runProgram(first), qPrintable(first.join(QLatin1Char('\n'))));
        const auto inOrder = [](const QStringList& lines, const QStringList& expected) {
            qsizetype at = 0;
            for (const QString& line : expected) {
                at = lines.indexOf(line, at);
                if (at < 0)
                    return false;
            }
            return true;
        };
        QVERIFY(inOrder(first, {QStringLiteral("✅ ModelContainer created successfully"),
                                QStringLiteral("🔄 Starting to fetch new apps..."),
                                QStringLiteral("📊 Total apps before deduplication: 7"),
                                QStringLiteral("✨ Unique apps after deduplication: 6"),
                                QStringLiteral("📦 Processing 6 apps in 1 batches of 20"),
                                QStringLiteral("💾 Saved batch 1 - Total saved: 6"),
                                QStringLiteral("📋 Adding 6 apps to details queue"),
                                QStringLiteral("🚀 Starting queue processing: 6 apps"),
                                QStringLiteral("✅ Queue processing complete")}));
        QVERIFY(first.contains(QStringLiteral("✅ Notification permission granted")));
        QVERIFY(first.contains(QStringLiteral("📬 Notification sent: 6 new apps")));
        QVERIFY(first.contains(QStringLiteral("❌ ERROR processing Lost Signal:")));
        QCOMPARE(first.count(QStringLiteral("  🌐 WebKit scraper returned successfully")), 2);
        QTRY_COMPARE(m_notifications->notifications().size(), 1);
        QCOMPARE(m_notifications->notifications().first().body,
                 QStringLiteral("6 new apps have been added to your collection"));

        const QString path = home.filePath(QStringLiteral("data/Caldrin/caldrin.sqlite"));
        struct Expected {
            const char* appleID;
            const char* name;
            bool fetched;
            int screenshots;
        };
        const Expected expected[] = {
            {"3000000001", "Harbor Lights", true, 3}, {"3000000002", "Puzzle Grove", true, 2},
            {"3000000003", "Couch Cinema", true, 2},  {"3000000004", "Quiet Notes", true, 3},
            {"3000000005", "Lost Signal", false, 0},  {"3000000006", "Paid Planner", true, 3}};
        {
            auto container = ModelContainer::open(path);
            const auto apps =
                container->mainContext().fetch<AppModel>(FetchDescriptor::sorted("appleID", true));
            QCOMPARE(apps.size(), 6);
            for (int i = 0; i < 6; ++i) {
                QCOMPARE(apps[i]->appleID(), QString::fromLatin1(expected[i].appleID));
                QCOMPARE(apps[i]->name(), QString::fromUtf8(expected[i].name));
                QCOMPARE(apps[i]->detailsFetched(), expected[i].fetched);
                QCOMPARE(apps[i]->screenshotURLs().value_or(QStringList()).size(), expected[i].screenshots);
            }
            QCOMPARE(apps[5]->hasInAppPurchases(), std::optional<bool>(true));
            QCOMPARE(apps[5]->inAppPurchaseItems().value_or(QList<IAPItem>()).size(), 2);
            QCOMPARE(apps[5]->appDescription(), std::optional<QString>(QStringLiteral(
                                                    "Paid Planner, as its product page describes it.")));
            QCOMPARE(apps[3]->hasInAppPurchases(), std::optional<bool>(false));
        }
        const QSettings stored(home.filePath(QStringLiteral("config/Caldrin/Caldrin.conf")),
                               QSettings::IniFormat);
        QCOMPARE(stored.value(QStringLiteral("lastFetchDate")).typeId(), QMetaType::QDateTime);

        // The second start queues only what is still incomplete and stores no duplicate.
        QStringList second;
        QVERIFY2(runProgram(second), qPrintable(second.join(QLatin1Char('\n'))));
        QVERIFY(second.contains(QStringLiteral("📋 Found 1 incomplete apps, adding to queue...")));
        QVERIFY(second.contains(QStringLiteral("💾 Saved batch 1 - Total saved: 0")));
        QVERIFY(second.contains(QStringLiteral("🔍 Processing: Lost Signal")));
        // One app's block: its three rules.
        QCOMPARE(second.count(QString(80, QLatin1Char('='))), 3);
        auto container = ModelContainer::open(path);
        QCOMPARE(container->mainContext().count<AppModel>(), 6);
    }
};

int main(int argc, char* argv[]) {
    PrivateSessionBus bus;
    QTemporaryDir home;
    prepareWebEngineTestEnvironment(home);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Caldrin"));
    TestCollector test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_collector.moc"
