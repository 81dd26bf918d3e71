// The page scraper: its trail, its three ways to end a scrape, hostile and
// broken pages, the debug file, and the caldrin-scrape tool.
#include "ConsoleCapture.h"
#include "FakeStore.h"
#include "ProductPages.h"
#include "RunTask.h"
#include "ScraperPage.h"
#include "TestFiles.h"
#include "UserCharacters.h"
#include "WebEngineTestMain.h"
#include "WebKitNavigationError.h"
#include "WebKitScraperService.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <memory>

using namespace std::chrono_literals;
using Durations = WebKitScraperService::Durations;

namespace {

const Durations fast{30ms, 20s};
const QString productPath = QStringLiteral("/us/app/pixel-garden/id1000000001");

// A page whose body never finishes arriving.
FakeStore::Response stalledPage() {
    return ProductPages::html(ProductPages::page("<p>" + QByteArray(40000, 'x') + "</p>"),
                              FakeStore::Behaviour::Stall);
}

enum class Ending { Data, Nothing, Either };

} // namespace

Q_DECLARE_METATYPE(FakeStore::Response)
Q_DECLARE_METATYPE(Ending)

class TestScraper : public QObject {
    Q_OBJECT

private:
    FakeStore m_store;
    int m_pages = 0;

    QString serve(const FakeStore::Response& response) {
        const QString path = QStringLiteral("/us/app/test/id%1").arg(++m_pages);
        m_store.setResponse(path, response);
        return m_store.origin() + path;
    }
    QString serve(const QByteArray& body, const QByteArray& head = {}) {
        return serve(ProductPages::html(ProductPages::page(body, head)));
    }
    QString truncatedPage() {
        return serve(
            ProductPages::html(ProductPages::page("<p>cut short</p>"), FakeStore::Behaviour::Truncate));
    }
    // A page that is known to scrape well, to show that a service still works.
    QString healthyPage() {
        return serve("<p>Still working</p>", "<meta name=\"description\" content=\"Still working\">");
    }
    static void verifyStillWorks(QCoro::Task<std::optional<WebKitScrapedData>> scrape) {
        const std::optional<WebKitScrapedData> data = runTask(std::move(scrape), 20s);
        QVERIFY(data && data->description == std::optional<QString>(QStringLiteral("Still working")));
    }

private slots:
    void initTestCase() {
        QVERIFY(m_store.listen());
        m_store.setFixturesDirectory(QStringLiteral(CALDRIN_FIXTURES_DIR));
    }

    void notAWebAddress_givesNothingAtOnce() {
        WebKitScraperService service(fast);
        ConsoleCapture console;
        m_store.clearRequests();
        for (const QString text : {"file:///etc/passwd", "http://"}) {
            QCoro::Task<std::optional<WebKitScrapedData>> task = service.scrapePage(text);
            QVERIFY(task.isReady() && !runTask(std::move(task), 1s));
        }
        QTest::qWait(200);
        QVERIFY(console.lines().isEmpty() && m_store.requests().isEmpty());
    }

    void productPage_printsItsTrailInOrder() {
        WebKitScraperService service(fast);
        ConsoleCapture console;
        const QString url = m_store.origin() + productPath;
        const std::optional<WebKitScrapedData> data = runTask(service.scrapePage(url), 20s);
        QVERIFY(data);

        QFile fixture(QStringLiteral(CALDRIN_FIXTURES_DIR "/pages/1000000001.html"));
        QVERIFY(fixture.open(QIODevice::ReadOnly));
        const QString source = QString::fromUtf8(fixture.readAll());
        QStringList screenshots;
        for (const auto& match :
             QRegularExpression(QStringLiteral("https://[^ \"]+/784x1392bb\\.webp")).globalMatch(source))
            screenshots << match.captured();
        screenshots.sort();
        QCOMPARE(data->screenshotURLs, screenshots);
        // Added by the page's own script after it loaded.
        QCOMPARE(data->inAppPurchaseItems.last(), InAppPurchaseItem("Season Pass", "$9.99"));

        QFile debug(WebKitScraperService::debugFilePath);
        QVERIFY(debug.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(debug.readAll());

        QStringList expected = QStringList()
                               << "🌐 WebKit scraping: " + url << "✅ WebKit page loaded"
                               << "⏳ Waiting for page to fully load..."
                               << "📄 Page title: Pixel Garden on the App Store"
                               << "🔗 Current URL: " + url << "💾 Saved HTML to: /tmp/appstore_page_debug.html"
                               << QStringLiteral("📊 HTML length: %1 chars").arg(UserCharacters::count(html))
                               << "✅ HTML contains 'In-App Purchases' text"
                               << QStringLiteral("📸 Found %1 occurrences of 'mzstatic.com' in HTML")
                                      .arg(source.count(QLatin1String("mzstatic.com")))
                               << "📸 WebKit found 5 screenshots";
        for (int index = 0; index < screenshots.size(); ++index)
            expected << QStringLiteral("  [%1] %2").arg(index + 1).arg(screenshots[index]);
        expected << "💰 IAP: true, Items: 4"
                 << "📝 Description: Grow a tiny garden one pixel at a time. Plant seed...";
        QCOMPARE(console.lines(), expected);
    }

    // Failures the engine reports are thrown, before or after any of the page
    // arrived; a page that never finishes, or whose script never ends, ends by
    // the time-out. Each ends the scrape once, and the next scrape works.
    void badPage_endsTheScrapeOnce_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<Ending>("ending");
        QTest::addColumn<QString>("last"); // when set: the only line after the first
        const QString failed = QStringLiteral("❌ WebKit load failed: net::ERR_");
        QTest::newRow("body cut short")
            << truncatedPage() << Ending::Nothing << failed + "CONTENT_LENGTH_MISMATCH";
        QTest::newRow("connection refused")
            << FakeStore::refusedOrigin() + productPath << Ending::Nothing << failed + "CONNECTION_REFUSED";
        QTest::newRow("unknown host")
            << "http://store.invalid" + productPath << Ending::Nothing << failed + "NAME_NOT_RESOLVED";
        QTest::newRow("page never finishes")
            << serve(stalledPage()) << Ending::Nothing << "⏰ WebKit scraping timeout";
        QTest::newRow("own script loops forever after loading")
            << serve("<p>x</p><script>addEventListener('load', () => setTimeout(() => { for (;;) {} }, 0));"
                     "</script>")
            << Ending::Nothing << QString();
        QTest::newRow("own script loops forever while loading")
            << serve("<p>x</p><script>for (;;) {}</script>") << Ending::Nothing << QString();
        QByteArray crowd;
        for (int row = 0; row < 100000; ++row)
            crowd +=
                "<div>row " + QByteArray::number(row) + " $" + QByteArray::number(row % 100) + ".99</div>";
        QTest::newRow("100,000 elements") << serve(crowd) << Ending::Either << QString();
        QTest::newRow("HTTP error page") << serve(FakeStore::htmlError(404)) << Ending::Data << QString();
        QTest::newRow("asks for windows, permissions and other schemes")
            << serve("<script>window.open('/popup'); Notification.requestPermission();"
                     "navigator.geolocation.getCurrentPosition(() => {});"
                     "setTimeout(() => { location.href = 'mailto:someone@example.com'; }, 0);</script>")
            << Ending::Data << QString();
    }

    void badPage_endsTheScrapeOnce() {
        QFETCH(QString, url);
        QFETCH(Ending, ending);
        QFETCH(QString, last);
        WebKitScraperService service(Durations{30ms, 2500ms});
        ConsoleCapture console;
        std::optional<WebKitScrapedData> data;
        QString thrown;
        try {
            data = runTask(service.scrapePage(url), 15s);
        } catch (const WebKitNavigationError& failure) {
            thrown = "❌ WebKit load failed: " + failure.description();
        }
        if (ending != Ending::Either)
            QCOMPARE(bool(data), ending == Ending::Data);
        // Ended once: its time-out, long past by now, prints nothing more.
        if (!data)
            QTest::qWait(3000);
        const QStringList lines = console.lines();
        if (!thrown.isEmpty())
            QCOMPARE(thrown, lines.last());
        if (!last.isEmpty())
            QCOMPARE(lines, (QStringList{"🌐 WebKit scraping: " + url, last}));
        QCOMPARE(lines.count(QStringLiteral("⏰ WebKit scraping timeout")), int(!data && thrown.isEmpty()));
        verifyStillWorks(service.scrapePage(healthyPage()));
    }

    // A page that finishes twice: the first extraction to end delivers, the
    // second prints its lines and delivers nothing, nor into the next scrape.
    void pageThatFinishesTwice_deliversOnce() {
        WebKitScraperService service(Durations{400ms, 20s});
        ConsoleCapture console;
        const auto servedTwice = [this] {
            const FakeStore::Response twice = ProductPages::html(ProductPages::page(
                "<script>if (!location.search) addEventListener('load', () => setTimeout(() => "
                "location.replace(location.pathname + '?again'), 0));</script>",
                "<meta name=\"description\" content=\"Twice\">"));
            const QString url = serve(twice);
            m_store.setResponse(QUrl(url).path() + "?again", twice);
            return url;
        };
        QVERIFY(runTask(service.scrapePage(servedTwice()), 20s));
        QTRY_COMPARE(console.lines().count(QStringLiteral("✅ WebKit page loaded")), 2);
        QTRY_COMPARE(console.lines().count(QStringLiteral("📝 Description: Twice...")), 2);

        QVERIFY(runTask(service.scrapePage(servedTwice()), 20s));
        verifyStillWorks(service.scrapePage(healthyPage()));
    }

    // A time-out ends only the scrape that started it, never a later one.
    void timeout_belongsToItsOwnScrape() {
        WebKitScraperService service(Durations{30ms, 4s});
        ConsoleCapture console;
        FakeStore::Response slow = ProductPages::html(ProductPages::page("<p>slow</p>"));
        slow.delayMs = 2000;
        QVERIFY(runTask(service.scrapePage(serve(slow)), 10s));
        slow.delayMs = 2500;
        // Ends about 4.7 s after the first scrape started, within its own 4 s.
        QVERIFY(runTask(service.scrapePage(serve(slow)), 10s));
        QVERIFY(!console.contains(QStringLiteral("⏰ WebKit scraping timeout")));
    }

    void secondScrapeWhileOneWaits_endsTheFirstWithNothing() {
        WebKitScraperService service(fast);
        QCoro::Task<std::optional<WebKitScrapedData>> first = service.scrapePage(serve(stalledPage()));
        QTest::qWait(300);
        QCoro::Task<std::optional<WebKitScrapedData>> second = service.scrapePage(healthyPage());
        QVERIFY(!runTask(std::move(first), 2s));
        verifyStillWorks(std::move(second));
    }

    void serviceGoneDuringAScrape_callerGetsNothing_data() {
        QTest::addColumn<FakeStore::Response>("response");
        QTest::addColumn<int>("goneAfterMs");
        QTest::newRow("while the page loads") << stalledPage() << 300;
        QTest::newRow("while waiting for the page to settle")
            << ProductPages::html(ProductPages::page("<p>settling</p>")) << 300;
        QTest::newRow("while an evaluation waits")
            << ProductPages::html(ProductPages::page(
                   "<script>addEventListener('load', () => setTimeout(() => { for (;;) {} }, 0));</script>"))
            << 1500;
    }

    void serviceGoneDuringAScrape_callerGetsNothing() {
        QFETCH(FakeStore::Response, response);
        QFETCH(int, goneAfterMs);
        auto* service = new WebKitScraperService(Durations{800ms, 20s});
        QTimer::singleShot(goneAfterMs, [service] { delete service; });
        QVERIFY(!runTask(service->scrapePage(serve(response)), 10s));
        // Whatever was still suspended wakes up to find the service gone.
        QTest::qWait(1200);
    }

    // The debug file is never written through a planted link, and a failed write says so.
    void debugFile_neitherFollowsALinkNorClaimsAFailedWrite() {
        const QString path = WebKitScraperService::debugFilePath;
        QTemporaryDir elsewhere;
        const QString victim = elsewhere.filePath(QStringLiteral("precious.txt"));
        QVERIFY(TestFiles::writeFile(victim, "precious"));
        QFile::remove(path);
        if (!QFile::link(victim, path))
            QSKIP("could not plant a link at the debug file's path");
        WebKitScraperService service(fast);
        ConsoleCapture console;
        QVERIFY(runTask(service.scrapePage(serve("<p>Marker 7d2f</p>")), 20s));
        QVERIFY(console.contains(QStringLiteral("💾 Saved HTML to: /tmp/appstore_page_debug.html")));
        QCOMPARE(TestFiles::readFile(victim), QByteArray("precious"));
        QVERIFY(!QFileInfo(path).isSymLink() && TestFiles::readFile(path).contains("Marker 7d2f"));

        QVERIFY(QFile::remove(path) && QDir().mkdir(path));
        const auto removeDirectory = qScopeGuard([&] { QDir().rmdir(path); });
        console.clear();
        verifyStillWorks(service.scrapePage(healthyPage()));
        QVERIFY(console.contains(
            QStringLiteral("⚠️ Could not save HTML to: /tmp/appstore_page_debug.html (") +
            QString::fromLocal8Bit(std::strerror(EISDIR)) + ')'));
    }

    void page_cannotReachLocalFiles() {
        WebKitScraperService service(fast);
        ConsoleCapture console;
        const QString url = serve(
            "<iframe src=\"file:///etc/passwd\"></iframe>"
            "<script>"
            "const tell = (what) => document.querySelector('meta[name=description]').content = what;"
            "fetch('file:///etc/passwd').then(r => r.text()).then(t => tell('fetched ' + t.length)).catch(() "
            "=> {});"
            "const request = new XMLHttpRequest();"
            "try { request.open('GET', 'file:///etc/passwd', false); request.send();"
            "      if (request.responseText) tell('read ' + request.responseText.length); } catch (e) {}"
            "const resource = 'qrc:/qt-project.org/qmessagebox/images/qtlogo-64.png';"
            "fetch(resource).then(r => r.blob()).then(b => tell('fetched resource ' + b.size)).catch(() => "
            "{});"
            "const probe = new Image(); probe.onload = () => tell('loaded resource'); probe.src = resource;"
            "setTimeout(() => { location.href = 'file:///etc/passwd'; }, 0);"
            "</script>",
            "<meta name=\"description\" content=\"nothing read\">");
        const std::optional<WebKitScrapedData> data = runTask(service.scrapePage(url), 20s);
        QVERIFY(data && data->description.value_or(QString()) == QStringLiteral("nothing read"));
        QVERIFY(console.contains("🔗 Current URL: " + url));
        QVERIFY(console.pageLines().contains(u"Not allowed to load local resource: file:///etc/passwd"));
    }

    void navigation_onlyToWebAddresses_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("mainFrame");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("https") << "https://apps.apple.com/us/app/x/id1" << true << true;
        QTest::newRow("qrc frame") << "qrc:/icons/app.svg" << false << false;
        QTest::newRow("data page") << "data:text/html,<b>x</b>" << true << false;
        QTest::newRow("data frame") << "data:text/html,<b>x</b>" << false << true;
    }

    void navigation_onlyToWebAddresses() {
        QFETCH(QString, url);
        QFETCH(bool, mainFrame);
        QFETCH(bool, allowed);
        QCOMPARE(ScraperPage::isAllowedNavigation(QUrl(url), mainFrame), allowed);
    }

    void scrapeTool_printsJsonAndItsExitStatus_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("trail"); // a line expected on standard error
        QTest::newRow("data") << QStringList{m_store.origin() + productPath} << 0
                              << "🔍 Starting screenshot extraction...";
        QTest::newRow("navigation failure")
            << QStringList{truncatedPage()} << 2 << "❌ WebKit load failed: net::ERR_CONTENT_LENGTH_MISMATCH";
        QTest::newRow("no address") << QStringList() << 64 << "Usage: caldrin-scrape URL";
    }

    void scrapeTool_printsJsonAndItsExitStatus() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, trail);
        QProcess tool;
        QSignalSpy finished(&tool, &QProcess::finished);
        tool.start(QStringLiteral(CALDRIN_SCRAPE_TOOL), arguments);
        QVERIFY(finished.wait(60000)); // keeps the fake store serving meanwhile
        const QByteArray output = tool.readAllStandardOutput();
        const QString errors = QString::fromUtf8(tool.readAllStandardError());
        QVERIFY2(tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == status, qPrintable(errors));
        QVERIFY2(errors.split('\n').contains(trail), qPrintable(errors));
        if (status != 0) {
            QCOMPARE(output, QByteArray());
            return;
        }
        QVERIFY(output.endsWith('\n') && output.count('\n') == 1);
        const QJsonObject object = QJsonDocument::fromJson(output).object();
        QCOMPARE(object.value("screenshotURLs").toArray().size(), 5);
        QCOMPARE(object.value("inAppPurchaseItems").toArray().size(), 4);
    }
};

CALDRIN_WEBENGINE_TEST_MAIN(TestScraper)
#include "tst_scraper.moc"
