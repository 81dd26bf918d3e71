// The page scraper: its trail, its three ways to end a scrape, hostile and
// broken pages, the debug file, and the caldrin-scrape tool.
#include "AtomicTextFile.h"
#include "ConsoleCapture.h"
#include "FakeStore.h"
#include "PageConsoleCapture.h"
#include "ProductPages.h"
#include "RunTask.h"
#include "ScraperPage.h"
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
#include <QSignalSpy>
#include <QTextBoundaryFinder>
#include <QTimer>

#include <memory>

using namespace std::chrono_literals;
using Durations = WebKitScraperService::Durations;

namespace {

const Durations fast{30ms, 20s};
const QString productPath = QStringLiteral("/us/app/pixel-garden/id1000000001");

QByteArray fixture(const QString& relativePath) {
    QFile file(QStringLiteral(CALDRIN_FIXTURES_DIR "/") + relativePath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

qsizetype graphemes(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() > 0)
        ++count;
    return count;
}

enum class Ending { Data, Timeout, Either };

} // namespace

Q_DECLARE_METATYPE(FakeStore::Response)
Q_DECLARE_METATYPE(Ending)
Q_DECLARE_METATYPE(WebKitScrapedData)

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
    // A page that is known to scrape well, to show that a service still works.
    QString healthyPage() {
        return serve("<p>Still working</p>", "<meta name=\"description\" content=\"Still working\">");
    }
    static void verifyStillWorks(WebKitScraperService& service, const QString& url) {
        const std::optional<WebKitScrapedData> data = runTask(service.scrapePage(url), 20s);
        QVERIFY(data);
        QCOMPARE(data->description, std::optional<QString>(QStringLiteral("Still working")));
    }

private slots:
    void initTestCase() {
        QVERIFY(m_store.listen());
        m_store.setFixturesDirectory(QStringLiteral(CALDRIN_FIXTURES_DIR));
    }

    void notAWebAddress_givesNothingAtOnce_data() {
        QTest::addColumn<QString>("text");
        for (const char* text : {"", "not an address", "file:///etc/passwd", "ftp://127.0.0.1/x",
                                 "relative/page", "http://", "javascript:alert(1)", "about:blank"})
            QTest::newRow(text) << QString::fromUtf8(text);
    }

    void notAWebAddress_givesNothingAtOnce() {
        QFETCH(QString, text);
        WebKitScraperService service(fast);
        ConsoleCapture console;
        m_store.clearRequests();
        QCoro::Task<std::optional<WebKitScrapedData>> task = service.scrapePage(text);
        QVERIFY(task.isReady());
        QVERIFY(!runTask(std::move(task), 1s));
        QTest::qWait(200);
        QCOMPARE(console.lines(), QStringList());
        QCOMPARE(m_store.requests(), QStringList());
    }

    void productPage_printsItsTrailInOrder() {
        WebKitScraperService service(fast);
        ConsoleCapture console;
        PageConsoleCapture page;
        const QString url = m_store.origin() + productPath;
        const std::optional<WebKitScrapedData> data = runTask(service.scrapePage(url), 20s);
        QVERIFY(data);

        const QString source = QString::fromUtf8(fixture(QStringLiteral("pages/1000000001.html")));
        QStringList screenshots;
        for (const auto& match :
             QRegularExpression(QStringLiteral("https://[^ \"]+/784x1392bb\\.webp")).globalMatch(source))
            screenshots << match.captured();
        screenshots.sort();
        QCOMPARE(screenshots.size(), 5);
        QCOMPARE(data->screenshotURLs, screenshots);
        QCOMPARE(data->description,
                 std::optional<QString>(QStringLiteral(
                     "Grow a tiny garden one pixel at a time. Plant seeds, water them and watch "
                     "your garden bloom in calm, hand-drawn scenes. No timers, no hurry.")));
        QVERIFY(data->hasInAppPurchases);
        QCOMPARE(data->inAppPurchaseInfo, std::optional<QString>(QStringLiteral("Offers In-App Purchases")));
        // The last one is added by the page's own script after it loaded.
        const QList<InAppPurchaseItem> items{{"Seed Pack", "$0.99"},
                                             {"Garden Bundle", "$4.99"},
                                             {"Remove Ads", "$2.99"},
                                             {"Season Pass", "$9.99"}};
        QCOMPARE(data->inAppPurchaseItems, items);

        QFile debug(WebKitScraperService::debugFilePath);
        QVERIFY(debug.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(debug.readAll());
        QVERIFY(html.startsWith(QLatin1String("<html")));
        QVERIFY(html.contains(QLatin1String("Season Pass")));

        QStringList expected{"🌐 WebKit scraping: " + url,
                             "✅ WebKit page loaded",
                             "⏳ Waiting for page to fully load...",
                             "📄 Page title: Pixel Garden on the App Store",
                             "🔗 Current URL: " + url,
                             "💾 Saved HTML to: /tmp/appstore_page_debug.html",
                             QStringLiteral("📊 HTML length: %1 chars").arg(graphemes(html)),
                             "✅ HTML contains 'In-App Purchases' text",
                             QStringLiteral("📸 Found %1 occurrences of 'mzstatic.com' in HTML")
                                 .arg(source.count(QLatin1String("mzstatic.com"))),
                             "📸 WebKit found 5 screenshots"};
        for (int index = 0; index < screenshots.size(); ++index)
            expected << QStringLiteral("  [%1] %2").arg(index + 1).arg(screenshots[index]);
        expected << "💰 IAP: true, Items: 4"
                 << "📝 Description: Grow a tiny garden one pixel at a time. Plant seed...";
        QCOMPARE(console.lines(), expected);
        // The scripts' own lines go to the page console only.
        for (const char* line :
             {"🔍 Starting screenshot extraction...", "📸 FINAL: Returning 5 screenshot URLs",
              "🔍 Starting IAP extraction...", "IAP extraction complete. Found 4 items"})
            QVERIFY2(page.lines().contains(QString::fromUtf8(line)), line);
    }

    void httpErrorPage_isAPageThatFinished_data() {
        QTest::addColumn<int>("status");
        QTest::newRow("404") << 404;
        QTest::newRow("500") << 500;
    }

    void httpErrorPage_isAPageThatFinished() {
        QFETCH(int, status);
        WebKitScraperService service(fast);
        ConsoleCapture console;
        const FakeStore::Response response = FakeStore::htmlError(status);
        const std::optional<WebKitScrapedData> data = runTask(service.scrapePage(serve(response)), 20s);
        QVERIFY(data);
        QCOMPARE(data->screenshotURLs, QStringList());
        QVERIFY(console.containsInOrder(
            {"✅ WebKit page loaded", "📄 Page title: " + QString::number(status) + ' ' +
                                         (status == 404 ? "Not Found" : "Internal Server Error")}));
    }

    void navigationFailure_throwsTheError_data() {
        QTest::addColumn<FakeStore::Response>("response");
        QTest::addColumn<QString>("error");
        FakeStore::Response truncated = ProductPages::html(ProductPages::page("<p>cut short</p>"));
        truncated.behaviour = FakeStore::Behaviour::Truncate;
        QTest::newRow("body cut short") << truncated << "net::ERR_CONTENT_LENGTH_MISMATCH";
        QTest::newRow("page stops its own load")
            << ProductPages::html(ProductPages::page("<p>a</p><script>window.stop();</script><p>b</p>"))
            << "net::ERR_ABORTED";
    }

    void navigationFailure_throwsTheError() {
        QFETCH(FakeStore::Response, response);
        QFETCH(QString, error);
        WebKitScraperService service(Durations{30ms, 1500ms});
        ConsoleCapture console;
        const QString url = serve(response);
        try {
            runTask(service.scrapePage(url), 10s);
            QFAIL("the scrape did not fail");
        } catch (const WebKitNavigationError& failure) {
            QCOMPARE(failure.description(), error);
        }
        // Completed once: its time-out, long past, does nothing.
        QTest::qWait(2000);
        QCOMPARE(console.lines(),
                 (QStringList{"🌐 WebKit scraping: " + url, "❌ WebKit load failed: " + error}));
        verifyStillWorks(service, healthyPage());
    }

    // Failures before anything of the page arrived are left to the time-out.
    void unreachableHost_endsByTimeout_data() {
        QTest::addColumn<QString>("url");
        QTest::newRow("connection refused") << FakeStore::refusedOrigin() + productPath;
        QTest::newRow("unknown host name") << QStringLiteral("http://apps.caldrin.invalid") + productPath;
    }

    void unreachableHost_endsByTimeout() {
        QFETCH(QString, url);
        WebKitScraperService service(Durations{30ms, 1500ms});
        ConsoleCapture console;
        QVERIFY(!runTask(service.scrapePage(url), 10s));
        QCOMPARE(console.lines(), (QStringList{"🌐 WebKit scraping: " + url, "⏰ WebKit scraping timeout"}));
        verifyStillWorks(service, healthyPage());
    }

    void hostilePage_endsAndTheNextScrapeWorks_data() {
        QTest::addColumn<FakeStore::Response>("response");
        QTest::addColumn<Ending>("ending");
        using ProductPages::html;
        using ProductPages::page;
        QTest::newRow("own script loops forever after loading")
            << html(page(
                   "<p>x</p><script>addEventListener('load', () => setTimeout(() => { for (;;) {} }, 0));"
                   "</script>"))
            << Ending::Timeout;
        QTest::newRow("own script loops forever while loading")
            << html(page("<p>x</p><script>for (;;) {}</script>")) << Ending::Timeout;
        FakeStore::Response stalled = html(page("<p>" + QByteArray(40000, 'x') + "</p>"));
        stalled.behaviour = FakeStore::Behaviour::Stall;
        QTest::newRow("never finishes loading") << stalled << Ending::Timeout;
        QByteArray crowd;
        for (int row = 0; row < 100000; ++row)
            crowd +=
                "<div>row " + QByteArray::number(row) + " $" + QByteArray::number(row % 100) + ".99</div>";
        QTest::newRow("100,000 elements") << html(page(crowd)) << Ending::Either;
        QTest::newRow("navigates away after loading")
            << html(page(
                   "<script>addEventListener('load', () => setTimeout(() => { location.href = '/elsewhere'; "
                   "}, 0));</script>"))
            << Ending::Data;
        QTest::newRow("reloads itself over and over")
            << html(page("<script>addEventListener('load', () => setTimeout(() => location.reload(), "
                         "5));</script>"))
            << Ending::Either;
        QTest::newRow("asks for windows, permissions and other schemes")
            << html(page("<script>window.open('/popup'); Notification.requestPermission();"
                         "navigator.geolocation.getCurrentPosition(() => {});"
                         "setTimeout(() => { location.href = 'mailto:someone@example.com'; }, 0);</script>"))
            << Ending::Data;
    }

    void hostilePage_endsAndTheNextScrapeWorks() {
        QFETCH(FakeStore::Response, response);
        QFETCH(Ending, ending);
        WebKitScraperService service(Durations{30ms, 3s});
        ConsoleCapture console;
        const std::optional<WebKitScrapedData> data = runTask(service.scrapePage(serve(response)), 15s);
        const bool timedOut = console.contains(QStringLiteral("⏰ WebKit scraping timeout"));
        QCOMPARE(timedOut, !data);
        if (ending != Ending::Either)
            QCOMPARE(bool(data), ending == Ending::Data);
        verifyStillWorks(service, healthyPage());
    }

    // A page that finishes twice: the first extraction to end delivers, the
    // second prints its lines and delivers nothing; neither reaches into the next scrape.
    void pageThatFinishesTwice_deliversOnce() {
        WebKitScraperService service(Durations{400ms, 20s});
        ConsoleCapture console;
        const QByteArray twice =
            "<script>if (!location.search) addEventListener('load', () => setTimeout(() => "
            "location.replace(location.pathname + '?again'), 0));</script>";
        const QString url = serve(twice, "<meta name=\"description\" content=\"Twice\">");
        m_store.setResponse(
            QUrl(url).path() + "?again",
            ProductPages::html(ProductPages::page(twice, "<meta name=\"description\" content=\"Twice\">")));
        QVERIFY(runTask(service.scrapePage(url), 20s));
        QTRY_COMPARE(console.lines().count(QStringLiteral("✅ WebKit page loaded")), 2);
        QTRY_COMPARE(console.lines().count(QStringLiteral("📝 Description: Twice...")), 2);

        // Again, with the next scrape started at once: the second extraction stops.
        const QString again = serve(twice, "<meta name=\"description\" content=\"Twice\">");
        m_store.setResponse(
            QUrl(again).path() + "?again",
            ProductPages::html(ProductPages::page(twice, "<meta name=\"description\" content=\"Twice\">")));
        QVERIFY(runTask(service.scrapePage(again), 20s));
        console.clear();
        verifyStillWorks(service, healthyPage());
        QTest::qWait(600);
        QCOMPARE(console.lines().filter(QStringLiteral("📝 Description:")),
                 QStringList{"📝 Description: Still working..."});
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
        FakeStore::Response stalled =
            ProductPages::html(ProductPages::page("<p>" + QByteArray(40000, 'x') + "</p>"));
        stalled.behaviour = FakeStore::Behaviour::Stall;
        QCoro::Task<std::optional<WebKitScrapedData>> first = service.scrapePage(serve(stalled));
        QTest::qWait(300);
        QCoro::Task<std::optional<WebKitScrapedData>> second = service.scrapePage(healthyPage());
        QVERIFY(!runTask(std::move(first), 2s));
        const std::optional<WebKitScrapedData> data = runTask(std::move(second), 20s);
        QVERIFY(data);
        QCOMPARE(data->description, std::optional<QString>(QStringLiteral("Still working")));
    }

    void serviceGoneDuringAScrape_callerGetsNothing_data() {
        QTest::addColumn<FakeStore::Response>("response");
        QTest::addColumn<int>("goneAfterMs");
        FakeStore::Response stalled =
            ProductPages::html(ProductPages::page("<p>" + QByteArray(40000, 'x') + "</p>"));
        stalled.behaviour = FakeStore::Behaviour::Stall;
        QTest::newRow("while the page loads") << stalled << 300;
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

    void debugFile_plantedLinkIsReplacedNotFollowed() {
        QTemporaryDir elsewhere;
        const QString victim = elsewhere.filePath(QStringLiteral("precious.txt"));
        QFile file(victim);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("precious");
        file.close();
        QFile::remove(WebKitScraperService::debugFilePath);
        if (!QFile::link(victim, WebKitScraperService::debugFilePath))
            QSKIP("could not plant a link at the debug file's path");

        WebKitScraperService service(fast);
        const QString url = serve("<p>Marker 7d2f</p>");
        ConsoleCapture console;
        QVERIFY(runTask(service.scrapePage(url), 20s));
        QVERIFY(console.contains(QStringLiteral("💾 Saved HTML to: /tmp/appstore_page_debug.html")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("precious"));
        const QFileInfo debug(WebKitScraperService::debugFilePath);
        QVERIFY(!debug.isSymLink());
        QFile written(WebKitScraperService::debugFilePath);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QVERIFY(written.readAll().contains("Marker 7d2f"));
    }

    void atomicTextFile_writesOnlyAtItsPath_data() {
        QTest::addColumn<QString>("occupant"); // what sits at the path before
        QTest::addColumn<bool>("succeeds");
        QTest::newRow("nothing") << "nothing" << true;
        QTest::newRow("a file") << "file" << true;
        QTest::newRow("a link to another file") << "link" << true;
        QTest::newRow("a directory") << "directory" << false;
    }

    void atomicTextFile_writesOnlyAtItsPath() {
        QFETCH(QString, occupant);
        QFETCH(bool, succeeds);
        QTemporaryDir directory;
        const QString path = directory.filePath(QStringLiteral("page.html"));
        const QString other = directory.filePath(QStringLiteral("other.txt"));
        QFile otherFile(other);
        QVERIFY(otherFile.open(QIODevice::WriteOnly));
        otherFile.write("other");
        otherFile.close();
        if (occupant == QLatin1String("file"))
            QVERIFY(QFile::copy(other, path));
        else if (occupant == QLatin1String("link"))
            QVERIFY(QFile::link(other, path));
        else if (occupant == QLatin1String("directory"))
            QVERIFY(QDir(directory.path()).mkdir(QStringLiteral("page.html")));

        const QString failure = AtomicTextFile::write(path, QStringLiteral("<html>ünïcode</html>"));
        QCOMPARE(failure.isEmpty(), succeeds);
        QVERIFY(otherFile.open(QIODevice::ReadOnly));
        QCOMPARE(otherFile.readAll(), QByteArray("other"));
        if (succeeds) {
            QVERIFY(!QFileInfo(path).isSymLink());
            QFile written(path);
            QVERIFY(written.open(QIODevice::ReadOnly));
            QCOMPARE(QString::fromUtf8(written.readAll()), QStringLiteral("<html>ünïcode</html>"));
        }
        // No temporary file is left behind either way.
        QCOMPARE(
            QDir(directory.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::System),
            (QStringList{"other.txt", "page.html"}));
    }

    void page_cannotReachLocalFiles() {
        WebKitScraperService service(fast);
        ConsoleCapture console;
        PageConsoleCapture page;
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
        QVERIFY(data);
        QCOMPARE(data->description.value_or(QString()), QStringLiteral("nothing read"));
        QVERIFY(console.contains("🔗 Current URL: " + url));
        QVERIFY(
            page.lines().contains(QStringLiteral("Not allowed to load local resource: file:///etc/passwd")));
    }

    void navigation_onlyToWebAddresses_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("mainFrame");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("https") << "https://apps.apple.com/us/app/x/id1" << true << true;
        QTest::newRow("http") << "http://127.0.0.1:8080/" << true << true;
        QTest::newRow("file") << "file:///etc/passwd" << true << false;
        QTest::newRow("file in a frame") << "file:///etc/passwd" << false << false;
        QTest::newRow("qrc") << "qrc:/icons/app.svg" << true << false;
        QTest::newRow("data page") << "data:text/html,<b>x</b>" << true << false;
        QTest::newRow("data frame") << "data:text/html,<b>x</b>" << false << true;
        QTest::newRow("blank frame") << "about:blank" << false << true;
        QTest::newRow("custom scheme") << "caldrin://open" << true << false;
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
        FakeStore::Response truncated = ProductPages::html(ProductPages::page("<p>cut short</p>"));
        truncated.behaviour = FakeStore::Behaviour::Truncate;
        QTest::newRow("data") << QStringList{m_store.origin() + productPath} << 0
                              << "🔍 Starting screenshot extraction...";
        QTest::newRow("not a web address") << QStringList{"file:///etc/passwd"} << 1 << QString();
        QTest::newRow("navigation failure")
            << QStringList{serve(truncated)} << 2 << "❌ WebKit load failed: net::ERR_CONTENT_LENGTH_MISMATCH";
        QTest::newRow("no address") << QStringList() << 64 << "Usage: caldrin-scrape URL";
    }

    void scrapeTool_printsJsonAndItsExitStatus() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, trail);
        QProcess tool;
        tool.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        QSignalSpy finished(&tool, &QProcess::finished);
        tool.start(QStringLiteral(CALDRIN_SCRAPE_TOOL), arguments);
        QVERIFY(finished.wait(60000)); // keeps the fake store serving meanwhile
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        const QByteArray output = tool.readAllStandardOutput();
        const QString errors = QString::fromUtf8(tool.readAllStandardError());
        QVERIFY2(tool.exitCode() == status, qPrintable(errors));
        if (!trail.isEmpty())
            QVERIFY2(errors.split('\n').contains(trail), qPrintable(errors));
        if (status != 0) {
            QCOMPARE(output, QByteArray());
            return;
        }
        QVERIFY(output.endsWith('\n') && output.count('\n') == 1);
        const QJsonObject object = QJsonDocument::fromJson(output).object();
        QCOMPARE(object.keys(), (QStringList{"description", "hasInAppPurchases", "inAppPurchaseInfo",
                                             "inAppPurchaseItems", "screenshotURLs"}));
        QCOMPARE(object.value("screenshotURLs").toArray().size(), 5);
        QVERIFY(object.value("hasInAppPurchases").toBool());
        QCOMPARE(object.value("inAppPurchaseItems").toArray().first().toObject(),
                 (QJsonObject{{"name", "Seed Pack"}, {"price", "$0.99"}}));
        QVERIFY(errors.contains("🌐 WebKit scraping: " + arguments.first()));
    }

    void scrapedData_json_data() {
        QTest::addColumn<WebKitScrapedData>("data");
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("absent values are null")
            << WebKitScrapedData{}
            << QByteArray("{\"screenshotURLs\":[],\"description\":null,\"hasInAppPurchases\":false,"
                          "\"inAppPurchaseInfo\":null,\"inAppPurchaseItems\":[]}");
        QTest::newRow("every field")
            << WebKitScrapedData{{"https://a/1.png"},
                                 "Say \"hi\"",
                                 true,
                                 "Offers In-App Purchases",
                                 {{"Gem", "€1,00"}}}
            << QByteArray("{\"screenshotURLs\":[\"https://a/1.png\"],\"description\":\"Say \\\"hi\\\"\","
                          "\"hasInAppPurchases\":true,\"inAppPurchaseInfo\":\"Offers In-App Purchases\","
                          "\"inAppPurchaseItems\":[{\"name\":\"Gem\",\"price\":\"€1,00\"}]}");
    }

    void purchaseItem_fromJson_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("valid");
        QTest::newRow("both texts") << QByteArray(R"({"name":"Gem","price":"$1.99","extra":1})") << true;
        QTest::newRow("no price") << QByteArray(R"({"name":"Gem"})") << false;
        QTest::newRow("price not text") << QByteArray(R"({"name":"Gem","price":1.99})") << false;
    }

    void purchaseItem_fromJson() {
        QFETCH(QByteArray, json);
        QFETCH(bool, valid);
        const auto item = InAppPurchaseItem::fromJson(QJsonDocument::fromJson(json).object());
        QCOMPARE(item.has_value(), valid);
        if (valid) {
            QCOMPARE(*item, InAppPurchaseItem("Gem", "$1.99"));
            QCOMPARE(item->toJson(), (QJsonObject{{"name", "Gem"}, {"price", "$1.99"}}));
        }
    }

    void scrapedData_json() {
        QFETCH(WebKitScrapedData, data);
        QFETCH(QByteArray, json);
        QCOMPARE(data.toJson(), json);
    }
};

CALDRIN_WEBENGINE_TEST_MAIN(TestScraper)
#include "tst_scraper.moc"
