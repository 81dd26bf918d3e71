// The three extraction scripts, run by the scraper in the real engine on pages
// written for these tests, and what the scraper makes of their values.
#include "ConsoleCapture.h"
#include "FakeStore.h"
#include "PageConsoleCapture.h"
#include "PageEvaluation.h"
#include "ProductPages.h"
#include "RunTask.h"
#include "WebEngineTestMain.h"
#include "WebKitScraperService.h"

#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <memory>

using namespace std::chrono_literals;
using ProductPages::imageAddress;

namespace {

struct Scrape {
    std::optional<WebKitScrapedData> data;
    QStringList console;
    QStringList page;
};

QByteArray gallery(const QStringList& sources) {
    QByteArray markup = "<section class=\"we-screenshots\">";
    for (const QString& source : sources)
        markup += "<picture><img src=\"" + source.toUtf8() + "\"></picture>";
    return markup + "</section>";
}

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

} // namespace

class TestScripts : public QObject {
    Q_OBJECT

private:
    FakeStore m_store;
    std::unique_ptr<WebKitScraperService> m_service;
    int m_pages = 0;
    std::unique_ptr<QWebEngineProfile> m_profile;
    std::unique_ptr<QWebEnginePage> m_page;

    // Values made by the engine itself, from object literals, in a plain page.
    PageEvaluation::Outcome evaluate(const QString& script) {
        return runTask(evaluation(m_page.get(), script), 10s);
    }
    static QCoro::Task<PageEvaluation::Outcome> evaluation(QWebEnginePage* page, QString script) {
        co_return co_await PageEvaluation(page, script, PageEvaluation::World::Isolated);
    }

    QString serve(const QByteArray& body, const QByteArray& head = {}) {
        const QString path = QStringLiteral("/us/app/test/id%1").arg(++m_pages);
        m_store.setResponse(path, ProductPages::html(ProductPages::page(body, head)));
        return m_store.origin() + path;
    }

    Scrape scrape(const QString& url) {
        ConsoleCapture console;
        PageConsoleCapture page;
        Scrape result;
        result.data = runTask(m_service->scrapePage(url), 30s);
        result.console = console.lines();
        result.page = page.lines();
        return result;
    }

    static void verifyInOrder(const QStringList& lines, const QStringList& expected) {
        qsizetype position = 0;
        for (const QString& line : expected) {
            const qsizetype found = lines.indexOf(line, position);
            QVERIFY2(found >= 0, qPrintable(QStringLiteral("missing in order: ") + line));
            position = found + 1;
        }
    }

    static void verifyAbsent(const QStringList& lines, const QStringList& absent) {
        for (const QString& line : absent)
            QVERIFY2(!lines.contains(line), qPrintable(QStringLiteral("unexpected: ") + line));
    }

private slots:
    void initTestCase() {
        QVERIFY(m_store.listen());
        m_service = std::make_unique<WebKitScraperService>(WebKitScraperService::Durations{30ms, 20s});
        m_store.setResponse("/blank", ProductPages::html(ProductPages::page("<p>blank</p>")));
        m_profile = std::make_unique<QWebEngineProfile>();
        m_page = std::make_unique<QWebEnginePage>(m_profile.get());
        QSignalSpy loaded(m_page.get(), &QWebEnginePage::loadFinished);
        m_page->load(QUrl(m_store.origin() + "/blank"));
        QVERIFY(loaded.wait(20000));
    }

    void cleanupTestCase() {
        m_service.reset();
        m_page.reset();
        m_profile.reset();
    }

    void screenshots_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QStringList>("pageLines");

        const QString a1 = imageAddress("PurpleSource", 1, "1290x2796");
        const QString a2 = imageAddress("PurpleSource", 2, "1290x2796");
        const QString a3 = imageAddress("Purple124", 3, "1242x2688");
        QTest::newRow("specific selector, srcset of three, src only, neither")
            << ("<section class=\"l-content-width section section--bordered whats-new__content\"><picture>"
                "<source srcset=\"" +
                a1.toUtf8() + " 300w, " + a2.toUtf8() + "?fmt=webp&amp;q=1 600w,\n  " + a3.toUtf8() +
                " 1200w\"><img src=\"" + m_store.origin().toUtf8() +
                "/images/icon.png\">"
                "</picture><picture><img alt=\"no source\"></picture></section>")
            << sorted({a1, a2, a3})
            << QStringList{"🔍 Starting screenshot extraction...",
                           "📱 Approach 1: Looking for screenshot gallery section...",
                           "  Trying selector: "
                           "\"section.l-content-width.section.section--bordered.whats-new__content "
                           "picture\" - found 2 elements",
                           "    ✅ Found screenshot: " + a1,
                           "    ✅ Found screenshot: " + a2,
                           "    ✅ Found screenshot: " + a3,
                           "  ✅ Found 3 screenshots with selector: "
                           "section.l-content-width.section.section--bordered.whats-new__content picture",
                           "📊 Total URLs before filtering: 3",
                           "🔍 Sample URLs found:",
                           "  [1] " + a1,
                           "  [2] " + a2,
                           "  [3] " + a3,
                           "After filtering: 3 URLs",
                           "After removing exact duplicates: 3 URLs",
                           "After UUID deduplication: 3 unique screenshots",
                           "📸 FINAL: Returning 3 screenshot URLs"};

        const QString b1 = imageAddress("PurpleSource", 4, "1290x2796");
        QTest::newRow("a selector that matches but yields nothing, then the broad ones")
            << ("<div class=\"screenshots\"><picture><img "
                "src=\"https://example.com/image/thumb/a.png\"></picture>"
                "</div><div><picture><img srcset=\"" +
                b1.toUtf8() + " 2x\"></picture></div>")
            << QStringList{b1}
            << QStringList{"  Trying selector: \"div[class*=\"screenshot\"] picture\" - found 1 elements",
                           "  Trying selector: \"section picture\" - found 0 elements",
                           "  Trying selector: \"picture\" - found 2 elements",
                           "    ✅ Found screenshot: " + b1, "  ✅ Found 1 screenshots with selector: picture"};

        // Addresses inside script text, with escaped slashes after the image path.
        const QString c1 = imageAddress("Purple124", 5, "1242x2688");
        const QString c2 = imageAddress("PurpleSource", 6, "1290x2796");
        QByteArray escaped = c1.toUtf8();
        escaped.replace("/v4/", "\\/v4\\/");
        QTest::newRow("html scan with escaped addresses")
            << ("<script type=\"application/json\">{\"shots\":[\"" + escaped +
                "?fmt=webp\",\"https://"
                "static.mzstatic.com/image/thumb/PurpleSource/v4/x/1290x2796bb.png\"]}</script>"
                "<a href=\"" +
                c2.toUtf8() + "\">large</a>")
            << sorted({c1, c2})
            << QStringList{"  Trying selector: \"picture\" - found 0 elements",
                           "📋 Approach 2: Scanning entire HTML for screenshot URLs...",
                           "  Found 2 URLs from HTML",
                           "📊 Total URLs before filtering: 2",
                           "  [1] " + c1,
                           "  [2] " + c2};

        // Each strict-filter test in turn, and the two ways through it.
        const QString features = QStringLiteral(
            "https://is1-ssl.mzstatic.com/image/thumb/Features126/v4/PurpleSource/x/1290x2796bb.png");
        const QString icon =
            QStringLiteral("https://is1-ssl.mzstatic.com/image/thumb/Purple124/v4/Prod-1/1024x1024.png");
        const QString bare = imageAddress("Purple", 7, "1290x2796");
        const QString joined = imageAddress("PurpleSource126", 8, "1290x2796");
        const QString tiny = imageAddress("PurpleSource", 9, "230x0w");
        const QString undimensioned = imageAddress("PurpleSource", 10, "source");
        const QString small = imageAddress("PurpleSource", 11, "392x696");
        const QString narrow = imageAddress("PurpleSource", 22, "640x1136"); // one side of 800 or more is enough
        const QString square = imageAddress("PurpleSource", 12, "2048x2048");
        const QString tall = imageAddress("PurpleSource", 13, "1290x2796");
        const QString flat = imageAddress("Purple124", 14, "1000x0");
        QTest::newRow("strict filter: every rejection and both acceptances")
            << gallery({features, icon, bare, joined, tiny, undimensioned, small, narrow, square, tall, flat})
            << sorted({narrow, tall, flat})
            << QStringList{"❌ Rejecting Features folder (category icon): "
                           "/Features126/v4/PurpleSource/x/1290x2796bb.png",
                           "❌ Skipping app icon (Prod-)",
                           "❌ Not in Purple screenshot folder, skipping",
                           "❌ Not in Purple screenshot folder, skipping",
                           "✅ Found URL in Purple screenshot folder!",
                           "❌ Skipping tiny icon: /230x0",
                           "✅ Found URL in Purple screenshot folder!",
                           "❌ No dimensions in URL, skipping",
                           "📐 Checking: 392x696",
                           "❌ Too small (< 800px)",
                           "📐 Checking: 640x1136",
                           "   Ratio: 1.77",
                           "✅ REAL SCREENSHOT: 640x1136, ratio 1.77",
                           "📐 Checking: 2048x2048",
                           "   Ratio: 1.00",
                           "❌ Too square (ratio < 1.3)",
                           "📐 Checking: 1290x2796",
                           "   Ratio: 2.17",
                           "✅ REAL SCREENSHOT: 1290x2796, ratio 2.17",
                           "📐 Checking: 1000x0",
                           "   Ratio: Infinity",
                           "✅ REAL SCREENSHOT: 1000x0, ratio Infinity",
                           "After filtering: 3 URLs",
                           "After removing exact duplicates: 3 URLs"};

        const QString relaxedSmall = imageAddress("PurpleSource", 15, "392x696");
        QTest::newRow("relaxed fallback")
            << gallery({relaxedSmall, imageAddress("Purple124", 16, "300x300"),
                        imageAddress("Purple124", 17, "150x400")})
            << QStringList{relaxedSmall}
            << QStringList{"After filtering: 0 URLs",
                           "⚠️ Strict filtering resulted in 0 screenshots! Trying relaxed filtering...",
                           "  Relaxed: keeping 392x696 (ratio: 1.78)",
                           "Fallback 1 found 1 URLs (relaxed filtering)",
                           "After removing exact duplicates: 1 URLs"};

        const QString purple = imageAddress("Purple", 18, "300x300");
        const QString purpleJoined = imageAddress("PurpleSource126", 19, "512x512");
        QTest::newRow("purple fallback")
            << gallery({purple, imageAddress("Purple124", 20, "48x48"), imageAddress("Music", 21, "300x300"),
                        purpleJoined})
            << sorted({purple, purpleJoined})
            << QStringList{"Fallback 1 found 0 URLs (relaxed filtering)",
                           "🚨 FALLBACK 2: Trying Purple folders with minimal filtering...",
                           "  DEBUG: keeping Purple URL: " + purple,
                           "  DEBUG: keeping Purple URL: " + purpleJoined,
                           "Fallback 2 found 2 URLs (Purple folders only)"};

        // Six screenshots in two sizes each, met in mixed order; one address
        // twice; one identifier in capitals (a different identifier); one without.
        QStringList twelve;
        QStringList firstMet;
        for (int shot : {5, 3, 1, 4, 0, 2}) {
            const QString big = imageAddress("PurpleSource", 30 + shot, "1290x2796");
            const QString medium = imageAddress("PurpleSource", 30 + shot, "1242x2688");
            twelve << (shot % 2 ? big : medium) << (shot % 2 ? medium : big);
            firstMet << twelve[twelve.size() - 2];
        }
        const QString identifier = QString::asprintf("%08x-4e2f-4a1b-9c3d-5e6f7a8b9c0d", 0x1000 + 35);
        const QString capitals = QString(twelve[0]).replace(identifier, identifier.toUpper());
        const QString noIdentifier = QStringLiteral(
            "https://is2-ssl.mzstatic.com/image/thumb/PurpleSource/v4/aa/bb/Shot.png/1290x2796bb.png");
        QTest::newRow("one address per identifier, first met kept")
            << gallery(twelve + QStringList{twelve[3], capitals, noIdentifier})
            << sorted(firstMet + QStringList{capitals, noIdentifier})
            << QStringList{"After filtering: 15 URLs",
                           "After removing exact duplicates: 14 URLs",
                           "✅ Keeping unique screenshot UUID: " + identifier,
                           "⏭️ Skipping duplicate UUID: " + identifier,
                           "✅ Keeping unique screenshot UUID: " + identifier.toUpper(),
                           "⚠️ No UUID found in URL, keeping anyway: /1290x2796bb.png",
                           "After UUID deduplication: 8 unique screenshots",
                           "📸 FINAL: Returning 8 screenshot URLs"};

        QStringList fifteen;
        for (int shot = 15; shot > 0; --shot)
            fifteen << imageAddress(shot % 2 ? "Purple124" : "PurpleSource", 60 + shot, "1290x2796");
        QTest::newRow("fifteen cut to ten after sorting")
            << gallery(fifteen) << sorted(fifteen).mid(0, 10)
            << QStringList{"  [5] " + fifteen[4], "  ... and 10 more",
                           "After UUID deduplication: 15 unique screenshots",
                           "Limiting to first 10 screenshots", "📸 FINAL: Returning 10 screenshot URLs"};

        QTest::newRow("no pictures at all")
            << QByteArray("<p>Nothing to see.</p>") << QStringList()
            << QStringList{"  Trying selector: \"picture\" - found 0 elements",
                           "📋 Approach 2: Scanning entire HTML for screenshot URLs...",
                           "  Found 0 URLs from HTML",
                           "📊 Total URLs before filtering: 0",
                           "⚠️ WARNING: Found 0 URLs! Page may not have loaded properly or has different "
                           "structure.",
                           "After filtering: 0 URLs",
                           "⚠️ Strict filtering resulted in 0 screenshots! Trying relaxed filtering...",
                           "Fallback 1 found 0 URLs (relaxed filtering)",
                           "🚨 FALLBACK 2: Trying Purple folders with minimal filtering...",
                           "Fallback 2 found 0 URLs (Purple folders only)",
                           "After removing exact duplicates: 0 URLs",
                           "After UUID deduplication: 0 unique screenshots",
                           "📸 FINAL: Returning 0 screenshot URLs"};
    }

    void screenshots() {
        QFETCH(QByteArray, body);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, pageLines);
        const Scrape result = scrape(serve(body));
        // The script's own account, shown when a check below fails.
        const auto trail = qScopeGuard([&] {
            if (QTest::currentTestFailed())
                qInfo().noquote() << result.page.join('\n');
        });
        QVERIFY(result.data);
        QCOMPARE(result.data->screenshotURLs, expected);
        verifyInOrder(result.page, pageLines);
        QVERIFY(
            result.console.contains(QStringLiteral("📸 WebKit found %1 screenshots").arg(expected.size())));
    }

    void purchases_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("hasIAP");
        QTest::addColumn<QStringList>("items"); // "name|price"
        QTest::addColumn<QStringList>("pageLines");
        QTest::addColumn<QStringList>("absentLines");
        QTest::addColumn<QString>("htmlLine");

        const QString inHtml = QStringLiteral("✅ HTML contains 'In-App Purchases' text");
        const QString notInHtml = QStringLiteral("❌ HTML does NOT contain 'In-App Purchases' text");
        const QString subtitleLine = QStringLiteral("✅ Found IAP in subtitle");
        const QString sectionLine = QStringLiteral("✅ Found IAP section");
        const QString bodyLine = QStringLiteral("✅ Found IAP in body text");

        // Hidden text is in the subtitle's text content but not in the rendered body text.
        QTest::newRow("verdict from the subtitle alone")
            << QByteArray(
                   "<p class=\"product-header__subtitle\" style=\"display:none\">Offers In-App Purchases</p>")
            << true << QStringList() << QStringList{"🔍 Starting IAP extraction...", subtitleLine}
            << QStringList{sectionLine, bodyLine} << inHtml;
        QTest::newRow("verdict from the purchase section alone")
            << QByteArray("<div class=\"in-app-purchases\"></div><p>Nothing to buy.</p>") << true
            << QStringList() << QStringList{sectionLine} << QStringList{subtitleLine, bodyLine} << notInHtml;
        QTest::newRow("verdict from the body text with a non-breaking hyphen")
            << QByteArray("<p>Offers In\u2011App Purchases</p>") << true << QStringList()
            << QStringList{bodyLine} << QStringList{subtitleLine, sectionLine} << inHtml;
        QTest::newRow("no sign of purchases")
            << QByteArray("<p>Free, with nothing to buy.</p>") << false << QStringList()
            << QStringList{"🔍 Searching for IAP items in page...", "📋 Scanning 0 elements for IAP data...",
                           "IAP extraction complete. Found 0 items"}
            << QStringList{subtitleLine, sectionLine, bodyLine} << notInHtml;

        QTest::newRow("approach 1: a row of a name and a price")
            << QByteArray("<div><span>Gem Pack</span><span>$4.99</span></div>") << false
            << QStringList{"Gem Pack|$4.99"}
            << QStringList{"📋 Scanning 1 elements for IAP data...", "✅ Found IAP: \"Gem Pack\" - $4.99",
                           "IAP extraction complete. Found 1 items"}
            << QStringList{"⚠️ Approach 1 found no items, trying specific selectors..."} << notInHtml;
        QTest::newRow("approach 1 compares name and price")
            << QByteArray("<div><div><span>Gem Pack</span><span>$4.99</span></div>"
                          "<div><span>Gem Pack</span><span>$4.99</span></div>"
                          "<div><p>Gem Pack</p><p>$9.99</p></div></div>")
            << false << QStringList{"Gem Pack|$4.99", "Gem Pack|$9.99"}
            << QStringList{"✅ Found IAP: \"Gem Pack\" - $4.99", "✅ Found IAP: \"Gem Pack\" - $9.99"}
            << QStringList() << notInHtml;
        QTest::newRow("approach 1 never takes purchase words or short texts as names")
            << QByteArray("<div><span>Offers In-App Purchases</span><span>$1.99</span></div>"
                          "<div><span>Privacy Policy</span><span>$2.99</span></div>"
                          "<div><span>ab</span><span>$3.99</span></div>"
                          "<div><span>Long Price</span><span>Only $3.99 for a limited time</span></div>")
            << true << QStringList()
            << QStringList{bodyLine,
                           "⚠️ Approach 1 found no items, trying specific selectors...",
                           "  Checking selector: .in-app-purchase__row, found 0 elements",
                           "  Checking selector: [class*=\"in-app\"] [class*=\"row\"], found 0 elements",
                           "  Checking selector: [data-test-bidi*=\"in-app\"] > div, found 0 elements",
                           "  Checking selector: .we-lockup, found 0 elements",
                           "  Checking selector: ul li, found 0 elements",
                           "  Checking selector: ol li, found 0 elements",
                           "IAP extraction complete. Found 0 items"}
            << QStringList() << inHtml;
        QTest::newRow("price pattern: euro sign after or before, two decimals only")
            << QByteArray("<div><span>Coins</span><span>4,99 €</span></div>"
                          "<div><span>Gems</span><span>€ 9,99</span></div>"
                          "<div><span>Stars</span><span>4,9 €</span></div>"
                          "<div><span>Moons</span><span>£12</span></div>")
            << false << QStringList{"Coins|4,99 €", "Gems|€ 9,99"}
            << QStringList{"✅ Found IAP: \"Coins\" - 4,99 €"} << QStringList() << notInHtml;
        QTest::newRow("approach 2 compares names only and stops at the first selector with items")
            << QByteArray(
                   "<ul><li>Starter Bundle $1.99</li><li>Starter Bundle $2.99</li>"
                   "<li>Mega Bundle 19,99 €</li><li>$5.00</li></ul><ol><li>Other Thing $3.00</li></ol>")
            << false << QStringList{"Starter Bundle|$1.99", "Mega Bundle|19,99 €"}
            << QStringList{"⚠️ Approach 1 found no items, trying specific selectors...",
                           "  Checking selector: .we-lockup, found 0 elements",
                           "  Checking selector: ul li, found 4 elements",
                           "✅ Found IAP (selector): \"Starter Bundle\" - $1.99",
                           "✅ Found IAP (selector): \"Mega Bundle\" - 19,99 €",
                           "IAP extraction complete. Found 2 items"}
            << QStringList{"  Checking selector: ol li, found 1 elements"} << notInHtml;
        QTest::newRow("approach 2: a purchase row")
            << QByteArray("<div class=\"in-app-purchase__row\">  Remove Ads $2.99 </div>") << false
            << QStringList{"Remove Ads|$2.99"}
            << QStringList{"  Checking selector: .in-app-purchase__row, found 1 elements",
                           "✅ Found IAP (selector): \"Remove Ads\" - $2.99"}
            << QStringList() << notInHtml;
    }

    void purchases() {
        QFETCH(QByteArray, body);
        QFETCH(bool, hasIAP);
        QFETCH(QStringList, items);
        QFETCH(QStringList, pageLines);
        QFETCH(QStringList, absentLines);
        QFETCH(QString, htmlLine);
        const Scrape result = scrape(serve(body));
        QVERIFY(result.data);
        QCOMPARE(result.data->hasInAppPurchases, hasIAP);
        QCOMPARE(result.data->inAppPurchaseInfo,
                 hasIAP ? std::optional<QString>(QStringLiteral("Offers In-App Purchases")) : std::nullopt);
        QStringList found;
        for (const InAppPurchaseItem& item : result.data->inAppPurchaseItems)
            found << item.name() + '|' + item.price();
        QCOMPARE(found, items);
        verifyInOrder(result.page, pageLines);
        verifyAbsent(result.page, absentLines);
        QVERIFY(result.console.contains(htmlLine));
        QVERIFY(result.console.contains(
            QStringLiteral("💰 IAP: %1, Items: %2").arg(hasIAP ? "true" : "false").arg(items.size())));
        QCOMPARE(result.page.count(QStringLiteral("✅ Found IAP: \"Gem Pack\" - $4.99")),
                 body.count("Gem Pack") ? 1 : 0);
    }

    void description_data() {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<std::optional<QString>>("expected");
        QTest::addColumn<QString>("line"); // the console line, or none

        const QString accented =
            QString(60, QChar(u'e')).replace(QStringLiteral("e"), QStringLiteral("e\u0301"));
        QTest::newRow("meta description, longer than fifty characters")
            << ("<meta name=\"description\" content=\"" + accented.toUtf8() + "\">") << QByteArray()
            << std::optional<QString>(accented)
            << QStringLiteral("📝 Description: ") + accented.left(100) + QStringLiteral("...");
        QTest::newRow("ten characters print whole")
            << QByteArray("<meta name=\"description\" content=\"Grow herbs\">") << QByteArray()
            << std::optional<QString>(QStringLiteral("Grow herbs"))
            << QStringLiteral("📝 Description: Grow herbs...");
        QTest::newRow("flags count as one character each")
            << ("<meta name=\"description\" content=\"" +
                QString(51, QChar(u'x')).replace(0, 1, QStringLiteral("🇳🇴")).toUtf8() + "\">")
            << QByteArray() << std::optional<QString>(QStringLiteral("🇳🇴") + QString(50, QChar(u'x')))
            << QStringLiteral("📝 Description: 🇳🇴") + QString(49, QChar(u'x')) + QStringLiteral("...");
        QTest::newRow("empty content stays empty text")
            << QByteArray("<meta name=\"description\" content=\"\">")
            << QByteArray(
                   "<script>window.__INITIAL_STATE__ = {product: {description: 'from state'}};</script>")
            << std::optional<QString>(QString()) << QStringLiteral("📝 Description: ...");
        QTest::newRow("meta without content")
            << QByteArray("<meta name=\"description\">") << QByteArray() << std::optional<QString>(QString())
            << QStringLiteral("📝 Description: ...");
        QTest::newRow("the page's initial state")
            << QByteArray()
            << QByteArray(
                   "<script>window.__INITIAL_STATE__ = {product: {description: 'Tend a garden.'}};</script>")
            << std::optional<QString>(QStringLiteral("Tend a garden."))
            << QStringLiteral("📝 Description: Tend a garden....");
        QTest::newRow("initial state with an empty description")
            << QByteArray()
            << QByteArray("<script>window.__INITIAL_STATE__ = {product: {description: ''}};</script>")
            << std::optional<QString>() << QString();
        QTest::newRow("initial state description that is no text")
            << QByteArray()
            << QByteArray("<script>window.__INITIAL_STATE__ = {product: {description: 42}};</script>")
            << std::optional<QString>() << QString();
        QTest::newRow("nothing") << QByteArray() << QByteArray("<p>No words.</p>") << std::optional<QString>()
                                 << QString();
        QTest::newRow("initial state that throws")
            << QByteArray()
            << QByteArray("<script>Object.defineProperty(window, '__INITIAL_STATE__', "
                          "{get() { throw new Error('state unavailable'); }});</script>")
            << std::optional<QString>()
            << QStringLiteral("❌ Error extracting description: Error: state unavailable");
    }

    void description() {
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, body);
        QFETCH(std::optional<QString>, expected);
        QFETCH(QString, line);
        const Scrape result = scrape(serve(body, head));
        QVERIFY(result.data);
        QCOMPARE(result.data->description, expected);
        const QStringList printed =
            result.console.filter(QRegularExpression("^(📝|❌ Error extracting description)"));
        QCOMPARE(printed, line.isEmpty() ? QStringList() : QStringList{line});
    }

    // A page that takes its body away breaks the purchase script; the others go on.
    void scriptThatThrows_isReportedWithItsMessage() {
        const Scrape result =
            scrape(serve("<picture><img src=\"" + imageAddress("PurpleSource", 90, "1290x2796").toUtf8() +
                             "\"></picture>"
                             "<script>addEventListener('load', () => "
                             "document.documentElement.removeChild(document.body));</script>",
                         "<meta name=\"description\" content=\"Still here\">"));
        QVERIFY(result.data);
        QVERIFY(result.console.contains(
            "❌ Error extracting IAP: TypeError: Cannot read properties of null (reading 'innerText')"));
        QVERIFY(!result.data->hasInAppPurchases);
        QCOMPARE(result.data->screenshotURLs.size(), 0); // the picture went with the body
        QCOMPARE(result.data->description, std::optional<QString>(QStringLiteral("Still here")));
    }

    // The page's own scripts cannot change what the scripts see of the
    // language: they run in a world of their own.
    void pageThatRedefinesTheLanguage_doesNotDisturbTheScripts() {
        const QString shot = imageAddress("PurpleSource", 91, "1290x2796");
        const Scrape result =
            scrape(serve("<picture><img src=\"" + shot.toUtf8() +
                         "\"></picture>"
                         "<div><span>Gem Pack</span><span>$4.99</span></div>"
                         "<script>Array.prototype.push = function () { throw new Error('no'); };"
                         "String.prototype.includes = function () { return false; };"
                         "console.log = function () {};</script>"));
        QVERIFY(result.data);
        QCOMPARE(result.data->screenshotURLs, QStringList{shot});
        QCOMPARE(result.data->inAppPurchaseItems.size(), 1);
        QVERIFY(result.page.contains(QStringLiteral("📸 FINAL: Returning 1 screenshot URLs")));
    }

    // What the scraper makes of each script's value.
    void evaluation_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("error");
        QTest::newRow("text") << "document.title" << true << QVariant(QStringLiteral("Test Product"))
                              << QString();
        QTest::newRow("null is absent") << "null" << true << QVariant() << QString();
        QTest::newRow("undefined is absent") << "undefined" << true << QVariant() << QString();
        QTest::newRow("a thrown error carries its message")
            << "(function () { throw new TypeError('broken page'); })()" << false << QVariant()
            << "TypeError: broken page";
        QTest::newRow("a thrown text")
            << "(function () { throw 'plain'; })()" << false << QVariant() << "plain";
    }

    void evaluation() {
        QFETCH(QString, script);
        QFETCH(bool, ok);
        QFETCH(QVariant, value);
        QFETCH(QString, error);
        const PageEvaluation::Outcome outcome = evaluate(script);
        QCOMPARE(outcome.ok, ok);
        QCOMPARE(outcome.value, value);
        QCOMPARE(outcome.error, error);
        QVERIFY(!outcome.pageGone);
    }

    void screenshotValues_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("texts") << "['a', 'b']" << QStringList{"a", "b"}
                               << QStringList{"📸 WebKit found 2 screenshots", "  [1] a", "  [2] b"};
        QTest::newRow("empty list") << "[]" << QStringList()
                                    << QStringList{"📸 WebKit found 0 screenshots",
                                                   "⚠️ WARNING: No screenshots found after filtering!"};
        for (const char* wrong : {"['a', 1]", "null", "'a'", "({a: 'b'})"})
            QTest::newRow(wrong) << wrong << QStringList()
                                 << QStringList{"⚠️ Screenshots JavaScript returned nil or wrong type"};
        QTest::newRow("failure")
            << "(function () { null.x; })()" << QStringList()
            << QStringList{"❌ Error extracting screenshots: TypeError: Cannot read properties of "
                           "null (reading 'x')"};
    }

    void screenshotValues() {
        QFETCH(QString, script);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, lines);
        const PageEvaluation::Outcome outcome = evaluate(script);
        ConsoleCapture console;
        QCOMPARE(WebKitScraperService::takeScreenshots(outcome), expected);
        QCOMPARE(console.lines(), lines);
    }

    void purchaseValues_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("verdict");
        QTest::addColumn<std::optional<QString>>("info");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QStringList>("lines");
        const std::optional<QString> offers = QStringLiteral("Offers In-App Purchases");
        QTest::newRow("verdict without items")
            << "({hasIAP: true, info: 'Offers In-App Purchases', items: []})" << true << offers
            << QStringList() << QStringList{"💰 IAP: true, Items: 0"};
        QTest::newRow("items without a text price are skipped")
            << "({hasIAP: true, info: null, items: [{name: 'A', price: '$1.00'}, {name: 'B'}, "
               "{name: 'C', price: 3}, {name: 'D', price: '$2.00', extra: 1}]})"
            << true << std::optional<QString>() << QStringList{"A|$1.00", "D|$2.00"}
            << QStringList{"💰 IAP: true, Items: 2"};
        QTest::newRow("items that are not all objects")
            << "({hasIAP: false, items: [{name: 'A', price: '$1.00'}, 'text']})" << false
            << std::optional<QString>() << QStringList() << QStringList{"💰 IAP: false, Items: 0"};
        QTest::newRow("no boolean verdict, no text info, no items")
            << "({hasIAP: 'yes', info: 5})" << false << std::optional<QString>() << QStringList()
            << QStringList{"💰 IAP: false, Items: 0"};
        QTest::newRow("not a dictionary")
            << "[1, 2]" << false << std::optional<QString>() << QStringList() << QStringList();
        QTest::newRow("absent") << "null" << false << std::optional<QString>() << QStringList()
                                << QStringList();
        QTest::newRow("failure") << "(function () { throw new Error('gone'); })()" << false
                                 << std::optional<QString>() << QStringList()
                                 << QStringList{"❌ Error extracting IAP: Error: gone"};
    }

    void purchaseValues() {
        QFETCH(QString, script);
        QFETCH(bool, verdict);
        QFETCH(std::optional<QString>, info);
        QFETCH(QStringList, items);
        QFETCH(QStringList, lines);
        const PageEvaluation::Outcome outcome = evaluate(script);
        ConsoleCapture console;
        const WebKitScraperService::PurchaseFindings findings = WebKitScraperService::takePurchases(outcome);
        QCOMPARE(findings.hasInAppPurchases, verdict);
        QCOMPARE(findings.info, info);
        QStringList found;
        for (const InAppPurchaseItem& item : findings.items)
            found << item.name() + '|' + item.price();
        QCOMPARE(found, items);
        QCOMPARE(console.lines(), lines);
    }
};

CALDRIN_WEBENGINE_TEST_MAIN(TestScripts)
#include "tst_scripts.moc"
