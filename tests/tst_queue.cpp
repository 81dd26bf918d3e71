// The details queue: enrichment of one app from the lookup and the page, and the
// queue's own rules.
#include "AppModel.h"
#include "AsyncTest.h"
#include "ConsoleCapture.h"
#include "DetailsFetchQueue.h"
#include "FakeStore.h"
#include "ModelContainer.h"
#include "ModelContext.h"
#include "ProductPages.h"
#include "SqliteDatabase.h"
#include "StoreDocuments.h"
#include "WebEngineTestMain.h"

#include <QApplication>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using namespace std::chrono_literals;
using AppRef = QSharedPointer<AppModel>;

namespace {

const QString kRule = QString(80, QLatin1Char('='));

QJsonArray strings(const QStringList& list) {
    return QJsonArray::fromStringList(list);
}

} // namespace

class TestQueue : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ModelContainer> m_container;
    std::unique_ptr<FakeStore> m_store;

    ModelContext& context() { return m_container->mainContext(); }

    DetailsFetchQueue::Timing fast() {
        DetailsFetchQueue::Timing timing;
        timing.pauseBetweenApps = 20ms;
        timing.scraper = {30ms, 3s};
        return timing;
    }

    AppRef storedApp(const QString& appleID) {
        auto app = AppRef::create();
        app->setAppleID(appleID);
        app->setName(QStringLiteral("App ") + appleID);
        app->setBundleID(QStringLiteral("com.example.") + appleID);
        app->setDeveloperName(QStringLiteral("Example"));
        app->setAppStoreURL(m_store->origin() + QStringLiteral("/us/app/x/id") + appleID);
        app->setReleaseDate(QDateTime::currentDateTimeUtc());
        app->setFetchedAt(QDateTime::currentDateTimeUtc());
        app = context().insert(app);
        context().save();
        return app;
    }

    void serveLookup(const QString& appleID, const QJsonObject& result) {
        m_store->setJson(QStringLiteral("/lookup?id=") + appleID,
                         StoreDocuments::lookupDocument(1, {result}));
    }

    void servePage(const QString& appleID, FakeStore::Response response) {
        m_store->setResponse(QStringLiteral("/us/app/x/id") + appleID, response);
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_container = ModelContainer::open(m_dir->filePath(QStringLiteral("caldrin.sqlite")));
        m_store = std::make_unique<FakeStore>();
        QVERIFY(m_store->listen());
        qputenv("CALDRIN_STORE_ORIGIN", m_store->origin().toUtf8());
    }
    void cleanup() {
        m_store.reset();
        m_container.reset();
        m_dir.reset();
    }

    void formatFileSize_parsesDecimalIntegersOnly_data() {
        QTest::addColumn<std::optional<QString>>("input");
        QTest::addColumn<std::optional<QString>>("expected");
        const auto text = [](const char* value) { return std::optional<QString>(QString::fromUtf8(value)); };
        QTest::newRow("absent") << std::optional<QString>() << std::optional<QString>();
        QTest::newRow("empty") << text("") << std::optional<QString>();
        QTest::newRow("letter") << text("12a") << std::optional<QString>();
        QTest::newRow("space") << text(" 12") << std::optional<QString>();
        QTest::newRow("sign only") << text("+") << std::optional<QString>();
        QTest::newRow("decimal point") << text("1.5") << std::optional<QString>();
        QTest::newRow("other digits") << text("١٢") << std::optional<QString>();
        QTest::newRow("overflow") << text("9223372036854775808") << std::optional<QString>();
        QTest::newRow("bytes") << text("999") << text("999 bytes");
        QTest::newRow("kilobytes") << text("15500") << text("16 kB");
        QTest::newRow("megabytes, plus sign") << text("+15500000") << text("15.5 MB");
        QTest::newRow("gigabytes") << text("1234567890") << text("1.23 GB");
        QTest::newRow("largest") << text("9223372036854775807") << text("9.22 EB");
    }
    void formatFileSize_parsesDecimalIntegersOnly() {
        QFETCH(std::optional<QString>, input);
        QFETCH(std::optional<QString>, expected);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(DetailsFetchQueue::formatFileSize(input), expected);
    }

    // The first present, non-empty list of iPhone, iPad and Apple TV screenshots wins.
    void processApp_takesScreenshotsByPriority_data() {
        QTest::addColumn<QJsonValue>("iphone");
        QTest::addColumn<QJsonValue>("ipad");
        QTest::addColumn<QJsonValue>("tv");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("line");
        const QJsonValue none(QJsonValue::Undefined);
        QTest::newRow("iPhone") << QJsonValue(strings({"p1", "p2"})) << QJsonValue(strings({"i1"})) << none
                                << QStringList{"p1", "p2"} << "  ✅ Got 2 iPhone screenshots from API";
        QTest::newRow("iPad only") << none << QJsonValue(strings({"i1"})) << QJsonValue(strings({"t1"}))
                                   << QStringList{"i1"} << "  ✅ Got 1 iPad screenshots from API";
        QTest::newRow("TV only") << none << none << QJsonValue(strings({"t1", "t2", "t3"}))
                                 << QStringList{"t1", "t2", "t3"} << "  ✅ Got 3 AppleTV screenshots from API";
        QTest::newRow("empty lists skipped")
            << QJsonValue(QJsonArray()) << QJsonValue(QJsonArray()) << QJsonValue(strings({"t1"}))
            << QStringList{"t1"} << "  ✅ Got 1 AppleTV screenshots from API";
    }
    void processApp_takesScreenshotsByPriority() {
        QFETCH(QJsonValue, iphone);
        QFETCH(QJsonValue, ipad);
        QFETCH(QJsonValue, tv);
        QFETCH(QStringList, expected);
        QFETCH(QString, line);
        AppRef app = storedApp(QStringLiteral("11"));
        QJsonObject result{{"description", "From the lookup"}};
        if (!iphone.isUndefined())
            result.insert("screenshotUrls", iphone);
        if (!ipad.isUndefined())
            result.insert("ipadScreenshotUrls", ipad);
        if (!tv.isUndefined())
            result.insert("appletvScreenshotUrls", tv);
        serveLookup(QStringLiteral("11"), result);
        DetailsFetchQueue queue(context(), fast());
        ConsoleCapture console;
        AsyncTest::run(queue.processApp(app));
        QCOMPARE(app->screenshotURLs(), std::optional<QStringList>(expected));
        QVERIFY(console.containsInOrder(
            {line, QStringLiteral("  💾 Saved %1 screenshots to app model").arg(expected.size()),
             QStringLiteral("   Needs WebKit? false")}));
        QVERIFY(!console.contains(QStringLiteral("\n🌐 Step 2: Launching WebKit scraper...")));
        QVERIFY(app->detailsFetched());
        QVERIFY(!context().hasChanges());
    }

    // The whole console block for one app whose lookup has everything.
    void processApp_printsItsBlock() {
        AppRef app = storedApp(QStringLiteral("12"));
        serveLookup(QStringLiteral("12"),
                    QJsonObject{{"description", "Désc 🎮"},
                                {"screenshotUrls", strings({"https://img.example/a/b/first.png", "x"})},
                                {"averageUserRating", 4.5},
                                {"userRatingCount", 12}});
        DetailsFetchQueue queue(context(), fast());
        ConsoleCapture console;
        AsyncTest::run(queue.processApp(app));
        const QStringList lines = console.lines();
        const QStringList head{QStringLiteral("\n") + kRule,
                               QStringLiteral("🔍 Processing: App 12"),
                               QStringLiteral("   Apple ID: 12"),
                               QStringLiteral("   URL: ") + app->appStoreURL(),
                               kRule,
                               QStringLiteral("📡 Step 1: Fetching from iTunes API...")};
        QCOMPARE(lines.mid(0, head.size()), head);
        const QStringList tail{QStringLiteral("  📱 Checking API for screenshots..."),
                               QStringLiteral("    iPhone screenshots: 2"),
                               QStringLiteral("    iPad screenshots: 0"),
                               QStringLiteral("    AppleTV screenshots: 0"),
                               QStringLiteral("  ✅ Got 2 iPhone screenshots from API"),
                               QStringLiteral("  💾 Saved 2 screenshots to app model"),
                               QStringLiteral("\n📊 After iTunes API:"),
                               QStringLiteral("   Screenshots: 2"),
                               QStringLiteral("   Description: true"),
                               QStringLiteral("   Needs WebKit? false"),
                               QStringLiteral("\n✅ FINAL RESULTS for App 12:"),
                               QStringLiteral("   ✓ Details fetched: YES"),
                               QStringLiteral("   ✓ Description: YES (6 chars)"),
                               QStringLiteral("   ✓ Screenshots: 2"),
                               QStringLiteral("   ✓ First screenshot: first.png"),
                               QStringLiteral("   ✓ IAP: false"),
                               kRule + QStringLiteral("\n")};
        QCOMPARE(lines.mid(lines.size() - tail.size()), tail);
        QCOMPARE(app->rating(), std::optional<double>(4.5));
        QCOMPARE(app->ratingCount(), std::optional<qint64>(12));
    }

    void processApp_absentLookupValuesClear_butDescriptionStays() {
        AppRef app = storedApp(QStringLiteral("13"));
        app->setRating(3.0);
        app->setRatingCount(7);
        app->setAppVersion(QStringLiteral("1.0"));
        app->setAppDescription(QStringLiteral("Kept"));
        app->setScreenshotURLs(QStringList{QStringLiteral("https://img.example/old.png")});
        context().save();
        serveLookup(QStringLiteral("13"), QJsonObject{{"fileSizeBytes", "2500000"}});
        DetailsFetchQueue queue(context(), fast());
        ConsoleCapture console;
        AsyncTest::run(queue.processApp(app));
        QCOMPARE(app->rating(), std::optional<double>());
        QCOMPARE(app->ratingCount(), std::optional<qint64>());
        QCOMPARE(app->appVersion(), std::optional<QString>());
        QCOMPARE(app->appSize(),
                 std::optional<QString>(QLocale().formattedDataSize(2500000, 1, QLocale::DataSizeSIFormat)));
        QCOMPARE(app->appDescription(), std::optional<QString>(QStringLiteral("Kept")));
        // Screenshots from an earlier run: no page, whatever else is missing.
        QCOMPARE(app->screenshotURLs()->size(), 1);
        QVERIFY(console.contains(QStringLiteral("  ⚠️ No screenshots in iTunes API response")));
        QVERIFY(console.contains(QStringLiteral("   Needs WebKit? false")));
        QVERIFY(app->detailsFetched());
    }

    void processApp_mergesThePage_whenTheLookupHasNoScreenshots() {
        AppRef app = storedApp(QStringLiteral("14"));
        app->setHasInAppPurchases(false);
        context().save();
        serveLookup(QStringLiteral("14"), QJsonObject{{"screenshotUrls", QJsonArray()}});
        servePage(QStringLiteral("14"), ProductPages::html(ProductPages::samplePage()));
        DetailsFetchQueue queue(context(), fast());
        ConsoleCapture console;
        AsyncTest::run(queue.processApp(app));
        QCOMPARE(app->screenshotURLs()->size(), 1);
        QCOMPARE(app->appDescription(), std::optional<QString>(QStringLiteral("From the page")));
        QCOMPARE(app->hasInAppPurchases(), std::optional<bool>(true));
        QCOMPARE(app->inAppPurchaseInfo(), std::optional<QString>(QStringLiteral("Offers In-App Purchases")));
        QCOMPARE(app->inAppPurchaseItems(), std::optional<QList<IAPItem>>(QList<IAPItem>{
                                                {QStringLiteral("Gem Pack"), QStringLiteral("$4.99")}}));
        QVERIFY(app->detailsFetched());
        QVERIFY(console.containsInOrder({QStringLiteral("   Needs WebKit? true"),
                                         QStringLiteral("\n🌐 Step 2: Launching WebKit scraper..."),
                                         QStringLiteral("   This may take 5-10 seconds..."),
                                         QStringLiteral("  🌐 WebKit scraper returned successfully"),
                                         QStringLiteral("  ✅ Got 1 screenshots from WebKit"),
                                         QStringLiteral("    [1] ") + app->screenshotURLs()->first(),
                                         QStringLiteral("  💰 Found 1 IAP products"),
                                         QStringLiteral("  💰 Has In-App Purchases"),
                                         QStringLiteral("   ✓ IAP: true")}));
    }

    // The page's items are stored even when its own verdict is false.
    void processApp_itemsWithoutVerdict_areStored() {
        AppRef app = storedApp(QStringLiteral("15"));
        app->setAppDescription(QStringLiteral("Lookup text"));
        context().save();
        serveLookup(QStringLiteral("15"), QJsonObject{});
        servePage(QStringLiteral("15"), ProductPages::html(ProductPages::page(
                                            "<ul><li><span>Coins</span><span>$0.99</span></li></ul>",
                                            "<meta name=\"description\" content=\"Page text\">")));
        DetailsFetchQueue queue(context(), fast());
        ConsoleCapture console;
        AsyncTest::run(queue.processApp(app));
        QCOMPARE(app->hasInAppPurchases(), std::optional<bool>(false));
        QCOMPARE(app->inAppPurchaseItems()->size(), 1);
        QCOMPARE(app->appDescription(), std::optional<QString>(QStringLiteral("Lookup text")));
        QVERIFY(console.contains(QStringLiteral("  ⚠️ WebKit returned 0 screenshots")));
        QVERIFY(console.contains(QStringLiteral("  💰 Found 1 IAP products")));
        QVERIFY(!console.contains(QStringLiteral("  💰 Has In-App Purchases")));
    }

    void processApp_scraperTimeout_stillMarksTheAppFetched() {
        AppRef app = storedApp(QStringLiteral("16"));
        serveLookup(QStringLiteral("16"), QJsonObject{});
        FakeStore::Response stalled = ProductPages::html(ProductPages::samplePage());
        stalled.behaviour = FakeStore::Behaviour::Stall;
        servePage(QStringLiteral("16"), stalled);
        DetailsFetchQueue::Timing timing = fast();
        timing.scraper.timeout = 1500ms;
        DetailsFetchQueue queue(context(), timing);
        ConsoleCapture console;
        AsyncTest::run(queue.processApp(app));
        QVERIFY(app->detailsFetched());
        QCOMPARE(app->hasInAppPurchases(), std::optional<bool>());
        QVERIFY(!console.contains(QStringLiteral("  🌐 WebKit scraper returned successfully")));
        QVERIFY(console.contains(QStringLiteral("   ✓ Details fetched: YES")));
        QVERIFY(!context().hasChanges());
    }

    // Failures end the app's block with the error and leave it unmarked.
    void processApp_failures_leaveTheAppUnmarked_data() {
        QTest::addColumn<QString>("failure");
        QTest::newRow("lookup answers a 404 page") << QStringLiteral("lookup");
        QTest::newRow("page load breaks off") << QStringLiteral("page");
        QTest::newRow("save fails") << QStringLiteral("save");
    }
    void processApp_failures_leaveTheAppUnmarked() {
        QFETCH(QString, failure);
        AppRef app = storedApp(QStringLiteral("17"));
        if (failure == QLatin1String("lookup")) {
            m_store->setResponse(QStringLiteral("/lookup?id=17"), FakeStore::htmlError(404));
        } else {
            serveLookup(QStringLiteral("17"), QJsonObject{{"version", "2.0"}});
            FakeStore::Response page = ProductPages::html(ProductPages::samplePage());
            if (failure == QLatin1String("page"))
                page.behaviour = FakeStore::Behaviour::Truncate;
            servePage(QStringLiteral("17"), page);
        }
        if (failure == QLatin1String("save"))
            m_container->database().setFaultHook(
                [](const QByteArray& sql) { return sql == "COMMIT" ? SQLITE_FULL : SQLITE_OK; });
        DetailsFetchQueue queue(context(), fast());
        ConsoleCapture console;
        AsyncTest::run(queue.processApp(app));
        const QStringList lines = console.lines();
        QCOMPARE(lines.at(lines.size() - 3), QStringLiteral("\n❌ ERROR processing App 17:"));
        QVERIFY(lines.at(lines.size() - 2).startsWith(QStringLiteral("   ")));
        QVERIFY(lines.at(lines.size() - 2).size() > 3);
        QCOMPARE(lines.last(), kRule + QStringLiteral("\n"));
        m_container->database().setFaultHook({});
        if (failure == QLatin1String("lookup")) {
            QVERIFY(!app->detailsFetched());
            QVERIFY(!context().hasChanges());
            return;
        }
        // What was applied stays in memory and reaches the file with the next save.
        QCOMPARE(app->appVersion(), std::optional<QString>(QStringLiteral("2.0")));
        QCOMPARE(app->detailsFetched(), failure == QLatin1String("save"));
        QVERIFY(context().hasChanges());
        context().save();
        QCOMPARE(m_container->database().queryInt64("SELECT count(*) FROM AppModel WHERE appVersion = '2.0'"),
                 1);
    }

    void addToQueue_skipsWaitingApps_andReportsItsStatus() {
        const AppRef a = storedApp(QStringLiteral("21"));
        const AppRef b = storedApp(QStringLiteral("22"));
        for (const QString& id : {QStringLiteral("21"), QStringLiteral("22")}) {
            FakeStore::Response slow;
            slow.body = StoreDocuments::lookupDocument(1, {QJsonObject{{"screenshotUrls", strings({"s"})}}});
            slow.delayMs = 300;
            m_store->setResponse(QStringLiteral("/lookup?id=") + id, slow);
        }
        DetailsFetchQueue queue(context(), fast());
        ConsoleCapture console;
        QCOMPARE(queue.queueStatus(), QStringLiteral("Queue empty"));
        QCOMPARE(queue.statusMessage(), QStringLiteral("Queue idle"));
        queue.addToQueue({a, b});
        queue.addToQueue({a, b});
        QCOMPARE(queue.queueStatus(), QStringLiteral("Queue: 2 apps waiting"));
        QCOMPARE(console.lines(), (QStringList{QStringLiteral("📋 Added 2 apps to queue. Total: 2"),
                                               QStringLiteral("📋 Added 0 apps to queue. Total: 2")}));
        // The same app twice within one list is not guarded against.
        queue.clearQueue();
        QCOMPARE(queue.statusMessage(), QStringLiteral("Queue cleared"));
        queue.addToQueue({a, a});
        QCOMPARE(queue.queue().size(), 2);
        QTRY_VERIFY(queue.isProcessing());
        QCOMPARE(queue.queueStatus(), QStringLiteral("Processing 1/2"));
        QTRY_VERIFY_WITH_TIMEOUT(!queue.isProcessing(), 20000);
        QCOMPARE(queue.processedCount(), 2);
        QCOMPARE(queue.statusMessage(), QStringLiteral("Queue complete. Processed 2 apps"));
        QCOMPARE(console.lines().last(), QStringLiteral("✅ Queue processing complete"));
        QCOMPARE(console.linesStartingWith(QStringLiteral("🚀 Starting queue processing: ")),
                 QStringList{QStringLiteral("🚀 Starting queue processing: 2 apps")});
    }

    // Apps queued by identity are read when their turn comes; one deleted
    // meanwhile is passed over.
    void storedApps_areReadWhenTheirTurnComes() {
        const AppRef kept = storedApp(QStringLiteral("41"));
        const AppRef gone = storedApp(QStringLiteral("42"));
        serveLookup(QStringLiteral("41"), QJsonObject{{"screenshotUrls", strings({"s"})}});
        const qint64 keptId = kept->persistentId();
        const qint64 goneId = gone->persistentId();
        DetailsFetchQueue queue(context(), fast());
        ConsoleCapture console;
        queue.addToQueue(QList<DetailsFetchQueue::Waiting>{{nullptr, goneId, QStringLiteral("42")},
                                                           {nullptr, keptId, QStringLiteral("41")}});
        context().remove(gone.data());
        context().save();
        QTRY_VERIFY_WITH_TIMEOUT(console.contains(QStringLiteral("✅ Queue processing complete")), 10000);
        QVERIFY(kept->detailsFetched());
        QCOMPARE(console.linesStartingWith(QStringLiteral("🔍 Processing: ")),
                 QStringList{QStringLiteral("🔍 Processing: App 41")});
    }

    void drain_picksUpAppsAddedMeanwhile_andStopsAfterClear() {
        QList<AppRef> apps;
        for (int i = 0; i < 5; ++i) {
            const QString id = QString::number(31 + i);
            apps.append(storedApp(id));
            FakeStore::Response slow;
            slow.body = StoreDocuments::lookupDocument(1, {QJsonObject{{"screenshotUrls", strings({"s"})}}});
            slow.delayMs = 150;
            m_store->setResponse(QStringLiteral("/lookup?id=") + id, slow);
        }
        DetailsFetchQueue queue(context(), fast());
        ConsoleCapture console;
        queue.addToQueue(apps.mid(0, 3));
        QTRY_VERIFY(queue.isProcessing());
        queue.addToQueue(apps.mid(3, 2));
        QCOMPARE(queue.totalCount(), 4); // the app in hand has left the list
        QTRY_COMPARE_WITH_TIMEOUT(queue.processedCount(), 2, 10000);
        QTRY_COMPARE(queue.statusMessage(), QStringLiteral("Processing 3/4: App 33"));
        QCOMPARE(queue.queueStatus(), QStringLiteral("Processing 3/4"));
        queue.clearQueue();
        QCOMPARE(queue.statusMessage(), QStringLiteral("Queue cleared"));
        QTRY_VERIFY_WITH_TIMEOUT(!queue.isProcessing(), 10000);
        QCOMPARE(queue.processedCount(), 3);
        QCOMPARE(queue.statusMessage(), QStringLiteral("Queue complete. Processed 3 apps"));
        QVERIFY(apps[2]->detailsFetched());
        QVERIFY(!apps[3]->detailsFetched());
    }
};

CALDRIN_WEBENGINE_TEST_MAIN(TestQueue)

#include "tst_queue.moc"
