// The three extraction scripts, run by the scraper in the real engine on pages
// written for these tests, and what the scraper makes of their values.
#include "ConsoleCapture.h"
#include "FakeStore.h"
#include "ProductPages.h"
#include "RunTask.h"
#include "WebEngineTestMain.h"
#include "WebKitScraperService.h"

#include <QRegularExpression>

#include <memory>

using namespace std::chrono_literals;
using ProductPages::imageAddress;

namespace {

struct Scrape {
    std::optional<WebKitScrapedData> data;
    QStringList console, page;
};

QByteArray gallery(const QStringList& sources) {
    QByteArray markup = "<section class=\"we-screenshots\">";
    for (const QString& source : sources)
        markup += "<picture><img src=\"" + source.toUtf8() + "\"></picture>";
    return markup + "</section>";
}

// Where the purchase verdict came from: each page below shows which alone.
const QString subtitleLine = QStringLiteral("✅ Found IAP in subtitle");
const QString sectionLine = QStringLiteral("✅ Found IAP section");
const QString bodyLine = QStringLiteral("✅ Found IAP in body text");

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

    // Serves a page of its own for the body and scrapes it.
    Scrape scrape(const QByteArray& body, const QByteArray& head = {}) {
        const QString path = QStringLiteral("/us/app/test/id%1").arg(++m_pages);
        m_store.setResponse(path, ProductPages::html(ProductPages::page(body, head)));
        ConsoleCapture console;
        Scrape result;
        result.data = runTask(m_service->scrapePage(m_store.origin() + path), 30s);
        result.console = console.lines();
        result.page = console.pageLines();
        return result;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_store.listen());
        m_service = std::make_unique<WebKitScraperService>(WebKitScraperService::Durations{30ms, 20s});
    }
    void cleanupTestCase() { m_service.reset(); }

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
                           "  ✅ Found 3 screenshots with selector: "
                           "section.l-content-width.section.section--bordered.whats-new__content picture",
                           "🔍 Sample URLs found:",
                           "  [3] " + a3};

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
                           "  Found 2 URLs from HTML"};

        // One address per strict-filter test; one side of 800 or more is enough.
        const QString features = QStringLiteral(
            "https://is1-ssl.mzstatic.com/image/thumb/Features126/v4/PurpleSource/x/1290x2796bb.png");
        const QString icon =
            QStringLiteral("https://is1-ssl.mzstatic.com/image/thumb/Purple124/v4/Prod-1/1024x1024.png");
        const QString bare = imageAddress("Purple", 7, "1290x2796");
        const QString tiny = imageAddress("PurpleSource", 9, "230x0w");
        const QString undimensioned = imageAddress("PurpleSource", 10, "source");
        const QString small = imageAddress("PurpleSource", 11, "392x696");
        const QString narrow = imageAddress("PurpleSource", 22, "640x1136");
        const QString square = imageAddress("PurpleSource", 12, "2048x2048");
        const QString flat = imageAddress("Purple124", 14, "1000x0");
        QTest::newRow("strict filter: every rejection and the acceptances")
            << gallery({features, icon, bare, tiny, undimensioned, small, narrow, square, flat})
            << sorted({narrow, flat})
            << QStringList{"❌ Rejecting Features folder (category icon): "
                           "/Features126/v4/PurpleSource/x/1290x2796bb.png",
                           "❌ Skipping app icon (Prod-)",
                           "❌ Not in Purple screenshot folder, skipping",
                           "✅ Found URL in Purple screenshot folder!",
                           "❌ Skipping tiny icon: /230x0",
                           "❌ No dimensions in URL, skipping",
                           "📐 Checking: 392x696",
                           "❌ Too small (< 800px)",
                           "✅ REAL SCREENSHOT: 640x1136, ratio 1.77",
                           "❌ Too square (ratio < 1.3)",
                           "   Ratio: Infinity",
                           "✅ REAL SCREENSHOT: 1000x0, ratio Infinity"};

        const QString relaxedSmall = imageAddress("PurpleSource", 15, "392x696");
        QTest::newRow("relaxed fallback")
            << gallery({relaxedSmall, imageAddress("Purple124", 16, "300x300"),
                        imageAddress("Purple124", 17, "150x400")})
            << QStringList{relaxedSmall}
            << QStringList{"After filtering: 0 URLs",
                           "⚠️ Strict filtering resulted in 0 screenshots! Trying relaxed filtering...",
                           "  Relaxed: keeping 392x696 (ratio: 1.78)",
                           "Fallback 1 found 1 URLs (relaxed filtering)"};

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
        QStringList twelve, firstMet;
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
            << QStringList{"After removing exact duplicates: 14 URLs",
                           "✅ Keeping unique screenshot UUID: " + identifier,
                           "⏭️ Skipping duplicate UUID: " + identifier,
                           "✅ Keeping unique screenshot UUID: " + identifier.toUpper(),
                           "⚠️ No UUID found in URL, keeping anyway: /1290x2796bb.png",
                           "After UUID deduplication: 8 unique screenshots"};

        QStringList fifteen;
        for (int shot = 15; shot > 0; --shot)
            fifteen << imageAddress(shot % 2 ? "Purple124" : "PurpleSource", 60 + shot, "1290x2796");
        // The page's own scripts cannot change what the scripts see of the language.
        QTest::newRow("fifteen cut to ten after sorting, on a page that redefines the language")
            << gallery(fifteen) + "<script>Array.prototype.push = function () { throw new Error('no'); };"
                                  "String.prototype.includes = function () { return false; };"
                                  "console.log = function () {};</script>"
            << sorted(fifteen).mid(0, 10)
            << QStringList{"  [5] " + fifteen[4], "  ... and 10 more",
                           "After UUID deduplication: 15 unique screenshots",
                           "Limiting to first 10 screenshots", "📸 FINAL: Returning 10 screenshot URLs"};

        QTest::newRow("no pictures at all")
            << QByteArray("<p>Nothing to see.</p>") << QStringList()
            << QStringList{"📊 Total URLs before filtering: 0",
                           "⚠️ WARNING: Found 0 URLs! Page may not have loaded properly or has different "
                           "structure.",
                           "Fallback 2 found 0 URLs (Purple folders only)",
                           "📸 FINAL: Returning 0 screenshot URLs"};
    }

    void screenshots() {
        QFETCH(QByteArray, body);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, pageLines);
        const Scrape result = scrape(body);
        QVERIFY(result.data);
        QCOMPARE(result.data->screenshotURLs, expected);
        QVERIFY2(ConsoleCapture::inOrder(result.page, pageLines), qPrintable(result.page.join(u'\n')));
        QCOMPARE(result.console.contains("⚠️ WARNING: No screenshots found after filtering!"),
                 expected.isEmpty());
    }

    void purchases_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("hasIAP");
        QTest::addColumn<QStringList>("items"); // "name|price"
        QTest::addColumn<QStringList>("pageLines");

        // Hidden text is in the subtitle's text content but not in the rendered body text.
        QTest::newRow("verdict from the subtitle alone")
            << QByteArray(
                   "<p class=\"product-header__subtitle\" style=\"display:none\">Offers In-App Purchases</p>")
            << true << QStringList() << QStringList{"🔍 Starting IAP extraction...", subtitleLine};
        QTest::newRow("verdict from the purchase section alone")
            << QByteArray("<div class=\"in-app-purchases\"></div><p>Nothing to buy.</p>") << true
            << QStringList() << QStringList{sectionLine};
        QTest::newRow("verdict from the body text with a non-breaking hyphen")
            << QByteArray("<p>Offers In\u2011App Purchases</p>") << true << QStringList()
            << QStringList{bodyLine};

        // Prices: a euro sign after or before, two decimals only.
        QTest::newRow("approach 1: rows of a name and a price, compared on both")
            << QByteArray("<div><div><span>Gem Pack</span><span>$4.99</span></div>"
                          "<div><span>Gem Pack</span><span>$4.99</span></div>"
                          "<div><p>Gem Pack</p><p>$9.99</p></div></div>"
                          "<div><span>Coins</span><span>4,99 €</span></div>"
                          "<div><span>Gems</span><span>€ 9,99</span></div>"
                          "<div><span>Stars</span><span>4,9 €</span></div>"
                          "<div><span>Moons</span><span>£12</span></div>")
            << false << QStringList{"Gem Pack|$4.99", "Gem Pack|$9.99", "Coins|4,99 €", "Gems|€ 9,99"}
            << QStringList{"🔍 Searching for IAP items in page...", "📋 Scanning 8 elements for IAP data...",
                           "✅ Found IAP: \"Gem Pack\" - $4.99",    "✅ Found IAP: \"Gem Pack\" - $9.99",
                           "✅ Found IAP: \"Coins\" - 4,99 €",      "IAP extraction complete. Found 4 items"};
        // Approach 1 never takes purchase words, short texts or long prices.
        QTest::newRow("approach 2 compares names only and stops at the first selector with items")
            << QByteArray(
                   "<div><span>Offers In-App Purchases</span><span>$1.99</span></div>"
                   "<div><span>Privacy Policy</span><span>$2.99</span></div>"
                   "<div><span>ab</span><span>$3.99</span></div>"
                   "<div><span>Long Price</span><span>Only $3.99 for a limited time</span></div>"
                   "<ul><li>Starter Bundle $1.99</li><li>Starter Bundle $2.99</li>"
                   "<li>Mega Bundle 19,99 €</li><li>$5.00</li></ul><ol><li>Other Thing $3.00</li></ol>")
            << true << QStringList{"Starter Bundle|$1.99", "Mega Bundle|19,99 €"}
            << QStringList{bodyLine,
                           "⚠️ Approach 1 found no items, trying specific selectors...",
                           "  Checking selector: .we-lockup, found 0 elements",
                           "  Checking selector: ul li, found 4 elements",
                           "✅ Found IAP (selector): \"Starter Bundle\" - $1.99",
                           "✅ Found IAP (selector): \"Mega Bundle\" - 19,99 €",
                           "IAP extraction complete. Found 2 items"};
    }

    void purchases() {
        QFETCH(QByteArray, body);
        QFETCH(bool, hasIAP);
        QFETCH(QStringList, items);
        QFETCH(QStringList, pageLines);
        const Scrape result = scrape(body);
        QVERIFY(result.data && result.data->hasInAppPurchases == hasIAP);
        QCOMPARE(result.data->inAppPurchaseInfo,
                 hasIAP ? std::optional<QString>(QStringLiteral("Offers In-App Purchases")) : std::nullopt);
        QStringList found;
        for (const InAppPurchaseItem& item : result.data->inAppPurchaseItems)
            found << item.name() + '|' + item.price();
        QCOMPARE(found, items);
        QVERIFY2(ConsoleCapture::inOrder(result.page, pageLines), qPrintable(result.page.join(u'\n')));
        for (const QString& source : {subtitleLine, sectionLine, bodyLine})
            QCOMPARE(result.page.contains(source), pageLines.contains(source));
        // The page's HTML, hidden text included, is checked with either hyphen.
        const bool inHtml = body.contains("In-App Purchases") || body.contains("In\u2011App Purchases");
        QVERIFY(result.console.contains(inHtml ? "✅ HTML contains 'In-App Purchases' text"
                                               : "❌ HTML does NOT contain 'In-App Purchases' text"));
    }

    void description_data() {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<std::optional<QString>>("expected");
        QTest::addColumn<QStringList>("lines"); // the description line and any failure line

        // Fifty characters: a flag and forty-nine letters with a combining accent.
        const QString accented = "🇳🇴" + QString(60, QChar(u'e')).replace("e", "e\u0301");
        QTest::newRow("meta description, longer than fifty characters")
            << ("<meta name=\"description\" content=\"" + accented.toUtf8() + "\">") << QByteArray()
            << std::optional<QString>(accented)
            << QStringList{"📝 Description: " + accented.left(4 + 98) + "..."};
        QTest::newRow("empty content stays empty text")
            << QByteArray("<meta name=\"description\" content=\"\">")
            << QByteArray(
                   "<script>window.__INITIAL_STATE__ = {product: {description: 'from state'}};</script>")
            << std::optional<QString>(QString()) << QStringList{"📝 Description: ..."};
        QTest::newRow("nothing") << QByteArray() << QByteArray("<p>No words.</p>") << std::optional<QString>()
                                 << QStringList();
        QTest::newRow("the page's initial state")
            << QByteArray()
            << QByteArray(
                   "<script>window.__INITIAL_STATE__ = {product: {description: 'Tend a garden.'}};</script>")
            << std::optional<QString>(QStringLiteral("Tend a garden."))
            << QStringList{"📝 Description: Tend a garden...."};
        // Each script that reaches for the missing document or the throwing state fails
        // with its own message; the scrape goes on.
        QTest::newRow("page that removes its document and whose state throws")
            << QByteArray("<meta name=\"description\" content=\"Gone\">")
            << QByteArray("<script>Object.defineProperty(window, '__INITIAL_STATE__', "
                          "{get() { throw new Error('state unavailable'); }});"
                          "addEventListener('load', () => document.removeChild(document.documentElement));"
                          "</script>")
            << std::optional<QString>()
            << QStringList{
                   "❌ Error saving HTML: TypeError: Cannot read properties of null (reading 'outerHTML')",
                   "❌ Error extracting screenshots: TypeError: Cannot read properties of null (reading "
                   "'innerHTML')",
                   "❌ Error extracting IAP: TypeError: Cannot read properties of null (reading 'innerText')",
                   "❌ Error extracting description: Error: state unavailable"};
    }

    void description() {
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, body);
        QFETCH(std::optional<QString>, expected);
        QFETCH(QStringList, lines);
        const Scrape result = scrape(body, head);
        QVERIFY(result.data && result.data->description == expected);
        QCOMPARE(result.console.filter(QRegularExpression("^(📝|❌ Error)")), lines);
    }

    // Values the scripts never give, should a page ever bring them about: only
    // well-formed parts are taken; purchase items need a text name and a text price.
    void values_takeOnlyWellFormedParts_data() {
        QTest::addColumn<bool>("purchases");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QStringList>("taken"); // screenshots, or purchase items "name|price"
        QTest::addColumn<QString>("line");
        const auto item = [](const QVariant& name, const QVariant& price) {
            return QVariantMap{{"name", name}, {"price", price}};
        };
        QTest::newRow("purchase items without a text name and price")
            << true
            << QVariant(
                   QVariantMap{{"hasIAP", true},
                               {"items", QVariantList{item("A", "$1.00"), QVariantMap{{"name", "B"}},
                                                      item("C", 3), item(4, "$4.00"), item("D", "$2.00")}}})
            << QStringList{"A|$1.00", "D|$2.00"} << "💰 IAP: true, Items: 2";
        QTest::newRow("no boolean verdict") << true << QVariant(QVariantMap{{"hasIAP", "yes"}, {"info", 5}})
                                            << QStringList() << "💰 IAP: false, Items: 0";
        const QString wrongType = QStringLiteral("⚠️ Screenshots JavaScript returned nil or wrong type");
        QTest::newRow("screenshots: list with a number")
            << false << QVariant(QVariantList{"a", 1}) << QStringList() << wrongType;
        QTest::newRow("screenshots: absent") << false << QVariant() << QStringList() << wrongType;
    }
    void values_takeOnlyWellFormedParts() {
        QFETCH(bool, purchases);
        QFETCH(QVariant, value);
        QFETCH(QStringList, taken);
        QFETCH(QString, line);
        ConsoleCapture console;
        const PageEvaluation::Outcome outcome{true, value, {}, false};
        QStringList found;
        if (purchases) {
            const WebKitScraperService::PurchaseFindings findings =
                WebKitScraperService::takePurchases(outcome);
            QVERIFY(!findings.info); // never from a value that is not text
            for (const InAppPurchaseItem& item : findings.items)
                found << item.name() + '|' + item.price();
        } else {
            found = WebKitScraperService::takeScreenshots(outcome);
        }
        QCOMPARE(found, taken);
        QCOMPARE(console.lines(), QStringList{line}); // the verdict is in the line
    }
};

CALDRIN_WEBENGINE_TEST_MAIN(TestScripts)
#include "tst_scripts.moc"
