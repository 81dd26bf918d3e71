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
#include "SampleApps.h"
#include "SqliteDatabase.h"
#include "StoreDocuments.h"
#include "WebEngineTestMain.h"

#include <QApplication>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using AppRef = QSharedPointer<AppModel>;

namespace {

const QString kRule = QString(80, QLatin1Char('='));

const auto strings = [](const QStringList& list) { return QJsonArray::fromStringList(list); };

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
        auto app = SampleApps::make(appleID, {u"App "_s + appleID});
        app->setAppStoreURL(m_store->origin() + u"/us/app/x/id"_s + appleID);
        app = context().insert(app);
        context().save();
        return app;
    }

    void serveLookup(const QString& appleID, const QJsonObject& result, int delayMs = 0) {
        m_store->setResponse(u"/lookup?id="_s + appleID,
                             {.body = StoreDocuments::lookupDocument(1, {result}), .delayMs = delayMs});
    }
    void servePage(const QString& appleID, FakeStore::Response response) {
        m_store->setResponse(u"/us/app/x/id"_s + appleID, response);
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_container = ModelContainer::open(m_dir->filePath(u"caldrin.sqlite"_s));
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
        QTest::newRow("sign only") << text("+") << std::optional<QString>();
        QTest::newRow("two signs") << text("+-5") << std::optional<QString>();
        QTest::newRow("other digits") << text("١٢") << std::optional<QString>();
        QTest::newRow("overflow") << text("9223372036854775808") << std::optional<QString>();
        QTest::newRow("megabytes, plus sign") << text("+15500000") << text("15.5 MB");
        QTest::newRow("largest") << text("9223372036854775807") << text("9.22 EB");
    }
    void formatFileSize_parsesDecimalIntegersOnly() {
        QFETCH(std::optional<QString>, input);
        QFETCH(std::optional<QString>, expected);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(DetailsFetchQueue::formatFileSize(input), expected);
    }

    // The first present, non-empty list of iPhone, iPad and Apple TV screenshots
    // wins; with none, those of an earlier run stay and no page is asked. Other
    // values the lookup lacks are cleared, but not the description.
    void processApp_takesScreenshotsByPriority_andClearsWhatTheLookupLacks_data() {
        QTest::addColumn<QJsonValue>("iphone");
        QTest::addColumn<QJsonValue>("ipad");
        QTest::addColumn<QJsonValue>("tv");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("line");
        const QJsonValue none(QJsonValue::Undefined);
        QTest::newRow("iPad only") << none << QJsonValue(strings({"i1"})) << QJsonValue(strings({"t1"}))
                                   << QStringList{"i1"} << "  ✅ Got 1 iPad screenshots from API";
        QTest::newRow("TV only") << none << none << QJsonValue(strings({"t1", "t2"}))
                                 << QStringList{"t1", "t2"} << "  ✅ Got 2 AppleTV screenshots from API";
        QTest::newRow("empty lists skipped")
            << QJsonValue(QJsonArray()) << QJsonValue(QJsonArray()) << QJsonValue(strings({"t1"}))
            << QStringList{"t1"} << "  ✅ Got 1 AppleTV screenshots from API";
        QTest::newRow("none") << none << none << none << QStringList{"old"}
                              << "  ⚠️ No screenshots in iTunes API response";
    }
    void processApp_takesScreenshotsByPriority_andClearsWhatTheLookupLacks() {
        QFETCH(QJsonValue, iphone);
        QFETCH(QJsonValue, ipad);
        QFETCH(QJsonValue, tv);
        QFETCH(QStringList, expected);
        QFETCH(QString, line);
        AppRef app = storedApp(u"11"_s);
        app->setRating(3.0);
        app->setAppVersion(u"1.0"_s);
        app->setAppDescription(u"Kept"_s);
        app->setScreenshotURLs(QStringList{u"old"_s});
        context().save();
        QJsonObject result{{"fileSizeBytes", "2500000"}};
        for (const auto& [key, value] :
             {std::pair{"screenshotUrls", iphone}, std::pair{"ipadScreenshotUrls", ipad},
              std::pair{"appletvScreenshotUrls", tv}})
            if (!value.isUndefined())
                result.insert(QLatin1String(key), value);
        serveLookup(u"11"_s, result);
        DetailsFetchQueue queue(context(), fast());
        ConsoleCapture console;
        AsyncTest::run(queue.processApp(app));
        QCOMPARE(app->screenshotURLs(), std::optional<QStringList>(expected));
        QVERIFY(console.containsInOrder({line, u"   Needs WebKit? false"_s}));
        QVERIFY(!app->rating() && !app->appVersion() && app->appDescription() == u"Kept"_s);
        QCOMPARE(app->appSize(),
                 std::optional(QLocale().formattedDataSize(2500000, 1, QLocale::DataSizeSIFormat)));
    }

    // The whole console block for one app whose lookup has everything.
    void processApp_printsItsBlock() {
        AppRef app = storedApp(u"12"_s);
        serveLookup(u"12"_s,
                    QJsonObject{{"description", "Désc 🎮"},
                                {"screenshotUrls", strings({"https://img.example/a/b/first.png", "x"})},
                                {"averageUserRating", 4.5},
                                {"userRatingCount", 12}});
        DetailsFetchQueue queue(context(), fast());
        ConsoleCapture console;
        AsyncTest::run(queue.processApp(app));
        const QStringList lines = console.lines();
        const QStringList head = QStringList() << u"\n"_s + kRule << u"🔍 Processing: App 12"_s
                                               << u"   Apple ID: 12"_s << u"   URL: "_s + app->appStoreURL()
                                               << kRule << u"📡 Step 1: Fetching from iTunes API..."_s;
        QCOMPARE(lines.mid(0, head.size()), head);
        const QStringList tail = QStringList()
                                 << u"  📱 Checking API for screenshots..."_s << u"    iPhone screenshots: 2"_s
                                 << u"    iPad screenshots: 0"_s << u"    AppleTV screenshots: 0"_s
                                 << u"  ✅ Got 2 iPhone screenshots from API"_s
                                 << u"  💾 Saved 2 screenshots to app model"_s << u"\n📊 After iTunes API:"_s
                                 << u"   Screenshots: 2"_s << u"   Description: true"_s
                                 << u"   Needs WebKit? false"_s << u"\n✅ FINAL RESULTS for App 12:"_s
                                 << u"   ✓ Details fetched: YES"_s << u"   ✓ Description: YES (6 chars)"_s
                                 << u"   ✓ Screenshots: 2"_s << u"   ✓ First screenshot: first.png"_s
                                 << u"   ✓ IAP: false"_s << kRule + u"\n"_s;
        QCOMPARE(lines.mid(lines.size() - tail.size()), tail);
        QVERIFY(app->rating() == 4.5 && app->ratingCount() == 12);
    }

    // The page is asked when the lookup gave no screenshots; it fills what is
    // missing, and a page that never finishes loading still ends the app's block.
    void processApp_takesWhatThePageGives_data() {
        QTest::addColumn<QJsonObject>("lookup");
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<bool>("stalls");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("absentLine");
        QTest::addColumn<QString>("stored"); // screenshots, purchases, verdict (info), description
        const QString shot = ProductPages::imageAddress(u"Purple116"_s, 1, u"1290x2796"_s);
        QTest::newRow("screenshots, purchases, description")
            << QJsonObject{{"screenshotUrls", QJsonArray()}} << ProductPages::samplePage() << false
            << QStringList{"   Needs WebKit? true",
                           "\n🌐 Step 2: Launching WebKit scraper...",
                           "   This may take 5-10 seconds...",
                           "  🌐 WebKit scraper returned successfully",
                           "  ✅ Got 1 screenshots from WebKit",
                           "    [1] " + shot,
                           "  💰 Found 1 IAP products",
                           "  💰 Has In-App Purchases",
                           "   ✓ IAP: true"}
            << QString() << u"1 shots, 1 items, IAP 1 (Offers In-App Purchases), From the page"_s;
        QTest::newRow("purchases without the verdict, the lookup's description")
            << QJsonObject{{"description", "Lookup text"}}
            << ProductPages::page("<ul><li><span>Coins</span><span>$0.99</span></li></ul>",
                                  "<meta name=\"description\" content=\"Page text\">")
            << false << QStringList{"  ⚠️ WebKit returned 0 screenshots", "  💰 Found 1 IAP products"}
            << u"  💰 Has In-App Purchases"_s << u"0 shots, 1 items, IAP 0 (-), Lookup text"_s;
        QTest::newRow("page stalls past the time-out")
            << QJsonObject() << ProductPages::samplePage() << true
            << QStringList{"   Needs WebKit? true", "   ✓ Details fetched: YES"}
            << u"  🌐 WebKit scraper returned successfully"_s << u"0 shots, 0 items, IAP 0 (-), -"_s;
    }
    void processApp_takesWhatThePageGives() {
        QFETCH(QJsonObject, lookup);
        QFETCH(QByteArray, page);
        QFETCH(bool, stalls);
        QFETCH(QStringList, lines);
        QFETCH(QString, absentLine);
        QFETCH(QString, stored);
        AppRef app = storedApp(u"14"_s);
        app->setHasInAppPurchases(false);
        context().save();
        serveLookup(u"14"_s, lookup);
        servePage(u"14"_s, ProductPages::html(page, stalls ? FakeStore::Behaviour::Stall
                                                           : FakeStore::Behaviour::Normal));
        DetailsFetchQueue::Timing timing = fast();
        timing.scraper.timeout = 1500ms;
        DetailsFetchQueue queue(context(), timing);
        ConsoleCapture console;
        AsyncTest::run(queue.processApp(app));
        QVERIFY2(console.containsInOrder(lines), qPrintable(console.lines().join(u'\n')));
        QVERIFY(absentLine.isEmpty() || !console.contains(absentLine));
        QCOMPARE(
            u"%1 shots, %2 items, IAP %3 (%4), %5"_s.arg(app->screenshotURLs().value_or(QStringList()).size())
                .arg(app->inAppPurchaseItems().value_or(QList<IAPItem>()).size())
                .arg(app->hasInAppPurchases() ? int(*app->hasInAppPurchases()) : -1)
                .arg(app->inAppPurchaseInfo().value_or(u"-"_s), app->appDescription().value_or(u"-"_s)),
            stored);
        QVERIFY(app->detailsFetched() && !context().hasChanges());
    }

    // Failures end the app's block with the error and leave it unmarked.
    void processApp_failures_leaveTheAppUnmarked_data() {
        QTest::addColumn<QString>("failure");
        QTest::newRow("lookup answers a 404 page") << u"lookup"_s;
        QTest::newRow("page load breaks off") << u"page"_s;
        QTest::newRow("page's host refuses the connection") << u"refused"_s;
        QTest::newRow("save fails") << u"save"_s;
    }
    void processApp_failures_leaveTheAppUnmarked() {
        QFETCH(QString, failure);
        AppRef app = storedApp(u"17"_s);
        if (failure == QLatin1String("lookup")) {
            m_store->setResponse(u"/lookup?id=17"_s, FakeStore::htmlError(404));
        } else {
            serveLookup(u"17"_s, QJsonObject{{"version", "2.0"}});
            servePage(u"17"_s,
                      ProductPages::html(ProductPages::samplePage(), failure == QLatin1String("page")
                                                                         ? FakeStore::Behaviour::Truncate
                                                                         : FakeStore::Behaviour::Normal));
            if (failure == QLatin1String("refused")) {
                app->setAppStoreURL(FakeStore::refusedOrigin() + u"/us/app/x/id17"_s);
                context().save();
            }
        }
        if (failure == QLatin1String("save"))
            m_container->database().setFaultHook(
                [](const QByteArray& sql) { return sql == "COMMIT" ? SQLITE_FULL : SQLITE_OK; });
        DetailsFetchQueue queue(context(), fast());
        ConsoleCapture console;
        AsyncTest::run(queue.processApp(app));
        const QStringList lines = console.lines();
        QCOMPARE(lines.at(lines.size() - 3), u"\n❌ ERROR processing App 17:"_s);
        QVERIFY(lines.at(lines.size() - 2).startsWith(u"   "_s) && lines.at(lines.size() - 2).size() > 3);
        QCOMPARE(lines.last(), kRule + u"\n"_s);
        m_container->database().setFaultHook({});
        if (failure == QLatin1String("lookup")) {
            QVERIFY(!app->detailsFetched() && !context().hasChanges());
            return;
        }
        // What was applied stays in memory and reaches the file with the next save.
        QCOMPARE(app->appVersion(), std::optional<QString>(u"2.0"_s));
        QVERIFY(app->detailsFetched() == (failure == QLatin1String("save")) && context().hasChanges());
        context().save();
        QCOMPARE(m_container->database().queryInt64("SELECT count(*) FROM AppModel WHERE appVersion = '2.0'"),
                 1);
    }

    // Apple IDs come back exactly as given, in order, whatever their form;
    // only the same text counts as the same app.
    void waitingApps_keepIDsAsGiven() {
        WaitingApps waiting;
        const QStringList ids{"123", "0123", "id-7", "123", "999999999999999999", "1000000000000000000", ""};
        for (int i = 0; i < ids.size(); ++i)
            waiting.append(WaitingApp{nullptr, i + 1, ids[i]});
        QCOMPARE(waiting.appleIDs(), ids);
        QCOMPARE((QList<qsizetype>{waiting.count(u"123"_s), waiting.count(u"0123"_s), waiting.count(u"0"_s)}),
                 (QList<qsizetype>{2, 1, 0}));
        for (int i = 0; i < ids.size(); ++i) {
            const WaitingApp app = waiting.takeFirst();
            QVERIFY(app.appleID == ids[i] && app.persistentId == i + 1);
        }
        QVERIFY(waiting.isEmpty() && waiting.count(u"id-7"_s) == 0);
    }

    // Apps already waiting are skipped; apps added while it works are taken on;
    // a clear stops it after the app in hand.
    void queue_takesNewAppsOnce_andStopsAfterClear() {
        QList<AppRef> apps;
        for (int i = 0; i < 5; ++i) {
            const QString id = QString::number(31 + i);
            apps.append(storedApp(id));
            serveLookup(id, QJsonObject{{"screenshotUrls", strings({"s"})}}, 150);
        }
        DetailsFetchQueue queue(context(), fast());
        ConsoleCapture console;
        QCOMPARE(queue.statusMessage(), u"Queue idle"_s);
        queue.addToQueue(apps.mid(0, 3));
        queue.addToQueue(apps.mid(0, 3));
        QCOMPARE(queue.queueStatus(), u"Queue: 3 apps waiting"_s);
        QCOMPARE(console.lines(),
                 (QStringList{"📋 Added 3 apps to queue. Total: 3", "📋 Added 0 apps to queue. Total: 3"}));
        QTRY_VERIFY(queue.isProcessing());
        queue.addToQueue(apps.mid(3, 2));
        QCOMPARE(queue.totalCount(), 4); // the app in hand has left the list
        QTRY_COMPARE_WITH_TIMEOUT(queue.processedCount(), 2, 10000);
        QTRY_COMPARE(queue.statusMessage(), u"Processing 3/4: App 33"_s);
        QCOMPARE(queue.queueStatus(), u"Processing 3/4"_s);
        queue.clearQueue();
        QCOMPARE(queue.statusMessage(), u"Queue cleared"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!queue.isProcessing(), 10000);
        QCOMPARE(queue.statusMessage(), u"Queue complete. Processed 3 apps"_s);
        QCOMPARE(console.lines().last(), u"✅ Queue processing complete"_s);
        QCOMPARE(console.linesStartingWith(u"🚀 Starting queue processing: "_s),
                 QStringList{u"🚀 Starting queue processing: 3 apps"_s});
        QVERIFY(apps[2]->detailsFetched() && !apps[3]->detailsFetched());
    }

    // Apps queued by identity are read when their turn comes; one deleted
    // meanwhile is passed over.
    void storedApps_areReadWhenTheirTurnComes() {
        const AppRef kept = storedApp(u"41"_s), gone = storedApp(u"42"_s);
        serveLookup(u"41"_s, QJsonObject{{"screenshotUrls", strings({"s"})}});
        const qint64 keptId = kept->persistentId();
        const qint64 goneId = gone->persistentId();
        DetailsFetchQueue queue(context(), fast());
        ConsoleCapture console;
        queue.addToQueue(
            QList<DetailsFetchQueue::Waiting>{{nullptr, goneId, u"42"_s}, {nullptr, keptId, u"41"_s}});
        context().remove(gone.data());
        context().save();
        QTRY_VERIFY_WITH_TIMEOUT(console.contains(u"✅ Queue processing complete"_s), 10000);
        QVERIFY(kept->detailsFetched());
        QCOMPARE(console.linesStartingWith(u"🔍 Processing: "_s), QStringList{u"🔍 Processing: App 41"_s});
    }
};

CALDRIN_WEBENGINE_TEST_MAIN(TestQueue)

#include "tst_queue.moc"
