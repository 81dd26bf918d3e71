// Lookup: the lookup document and the lookup client.
#include "AppDetailsService.h"
#include "AsyncTest.h"
#include "ConsoleCapture.h"
#include "FakeStore.h"
#include "iTunesLookupResponse.h"
#include "StoreDocuments.h"
#include "TransferError.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTest>
#include <QUrlQuery>

Q_DECLARE_METATYPE(FakeStore::Response)

namespace {

const auto lookupDocument = &StoreDocuments::lookupDocument;

QByteArray oneResult(const QByteArray& resultJson) {
    return R"({"resultCount":1,"results":[)" + resultJson + "]}";
}

// The summary printed for a result, line by line.
QStringList summary(const QString& name, const QString& description, const QList<int>& screenshots,
                    const QString& rating, const QString& price, int features, int advisories,
                    const QString& kind) {
    return QStringList() << "✅ Fetched details for: " + name << "   Description: " + description
                         << QStringLiteral("   Screenshots: %1").arg(screenshots[0])
                         << QStringLiteral("   iPad Screenshots: %1").arg(screenshots[1])
                         << QStringLiteral("   AppleTV Screenshots: %1").arg(screenshots[2])
                         << "   Rating: " + rating << "   Price: " + price
                         << QStringLiteral("   Features: %1").arg(features)
                         << QStringLiteral("   Advisories: %1").arg(advisories) << "   Kind: " + kind;
}

} // namespace

class TestLookup : public QObject {
    Q_OBJECT

    FakeStore m_store;

private slots:
    void initTestCase() { QVERIFY(m_store.listen()); }
    void init() {
        m_store.clearRequests();
        qputenv("CALDRIN_STORE_ORIGIN", m_store.origin().toUtf8());
    }

    void fetchAppDetails_printsSummaryAndEcho_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("summary"); // the lines between the status line and the echo
        QTest::addColumn<QByteArray>("echo");

        QTest::newRow("one empty result")
            << oneResult("{}")
            << summary("Unknown", "❌ (0 chars)", {0, 0, 0}, "0.0 (0 reviews)", "N/A (0.0)", 0, 0, "N/A")
            << QByteArray("{}");
        // Echoed with its keys sorted, without nulls and keys a result does not have.
        const QByteArray echoed =
            R"({"advisories":["Mild Violence","Gambling"],"appletvScreenshotUrls":[],)"
            R"("averageUserRating":4.5,"description":"Dig.","features":["iosUniversal"],)"
            R"("fileSizeBytes":"123456","formattedPrice":"$0.99","ipadScreenshotUrls":["https://s/3.png"],)"
            R"("isGameCenterEnabled":true,"kind":"software","price":0.99,)"
            R"("screenshotUrls":["https://s/1.png","https://s/2.png"],"trackId":9007199254740993,)"
            "\"trackName\":\"Gem \\\"Quest\\\"\",\"userRatingCount\":10}"; // moc misreads \" in raw strings
        QByteArray full = echoed;
        full.insert(full.indexOf("\"averageUserRating\""), "\"artistName\":null,");
        full.replace(full.size() - 1, 1, ",\"wrapperType\":\"not echoed\"}");
        QTest::newRow("full result, first of two")
            << R"({"resultCount":2,"results":[)" + full + R"(,{"trackName":"Second"}]})"
            << summary("Gem \"Quest\"", "✅ (4 chars)", {2, 1, 0}, "4.5 (10 reviews)", "$0.99 (0.99)", 1, 2,
                       "software")
            << echoed;
        QTest::newRow("three emoji count three")
            << oneResult(R"({"trackName":null,"description":"🎮🚀✨","averageUserRating":5,"price":0})")
            << summary("Unknown", "✅ (3 chars)", {0, 0, 0}, "5.0 (0 reviews)", "N/A (0.0)", 0, 0, "N/A")
            << QByteArray(R"({"averageUserRating":5,"description":"🎮🚀✨","price":0})");
        // Flag first: Qt 6.4 splits a flag that follows an emoji.
        QTest::newRow("joined emoji, flag, combining accent and plain emoji count one each")
            << oneResult(
                   "{\"trackName\":null,\"description\":\"🇯🇵👨‍👩‍👧e\\u0301🎮🚀✨\","
                   "\"averageUserRating\":0.00001,\"price\":0}")
            << summary("Unknown", "✅ (6 chars)", {0, 0, 0}, "1e-05 (0 reviews)", "N/A (0.0)", 0, 0, "N/A")
            << QByteArray("{\"averageUserRating\":1e-05,\"description\":"
                          "\"🇯🇵👨‍👩‍👧e\xcc\x81🎮🚀✨\","
                          "\"price\":0}");
    }
    void fetchAppDetails_printsSummaryAndEcho() {
        QFETCH(QByteArray, body);
        QFETCH(QStringList, summary);
        QFETCH(QByteArray, echo);
        m_store.setJson("/lookup?id=123", body);
        AppDetailsService service;
        ConsoleCapture console;
        const std::optional<iTunesAppDetails> details = AsyncTest::run(service.fetchAppDetails("123"));
        QVERIFY(details.has_value());
        const QStringList expected =
            QStringList{"🔍 Fetching details for app ID: 123", "📊 Lookup HTTP Status: 200"} + summary +
            QStringList{"📦 Raw API response:", QString::fromUtf8(echo)};
        QCOMPARE(console.lines(), expected);
        QCOMPARE(*details, iTunesLookupResponse::decode(body).results.first());
    }

    void fetchAppDetails_withoutDetails_endsWithItsLine_data() {
        QTest::addColumn<FakeStore::Response>("response");
        QTest::addColumn<QString>("origin");    // empty: the fake store's
        QTest::addColumn<QStringList>("lines"); // after the first
        QTest::addColumn<QString>("thrown");    // empty: no details, nothing thrown
        const auto answer = [](const QByteArray& body, int status) {
            return FakeStore::Response{.status = status, .body = body};
        };
        const QStringList none{"📊 Lookup HTTP Status: 200", "⚠️ No results found for app ID: 77"};
        QTest::newRow("count 3, empty list")
            << answer(lookupDocument(3, {}), 200) << QString() << none << QString();
        QTest::newRow("count 0, one result")
            << answer(lookupDocument(0, {QJsonObject{{"trackName", "x"}}}), 200) << QString() << none
            << QString();
        // A document with any broken value is refused whole.
        for (const auto& [name, body, status, error] :
             {std::tuple{"error document",
                         QByteArray(R"({"errorMessage":"Invalid value(s) for key(s): [id]"})"), 400,
                         "resultCount: key not found"},
              {"identifier beyond 64 bits", oneResult(R"({"trackId":9223372036854775808})"), 200,
               "results[0].trackId: expected a 64-bit integer, found the number 9.2233720368547758e+18"},
              {"screenshot list with a number", oneResult(R"({"screenshotUrls":["a",2]})"), 200,
               "results[0].screenshotUrls[1]: expected a string, found a number"},
              {"second result broken", QByteArray(R"({"resultCount":2,"results":[{},{"price":"free"}]})"),
               200, "results[1].price: expected a number, found a string"}})
            QTest::newRow(name) << answer(body, status) << QString()
                                << QStringList{QStringLiteral("📊 Lookup HTTP Status: %1").arg(status),
                                               QStringLiteral("❌ Error fetching app details: ") + error}
                                << QString::fromUtf8(error);
        const FakeStore::Response stalled{.body = oneResult("{}"), .behaviour = FakeStore::Behaviour::Stall};
        const QString timeout = QStringLiteral("Transfer timed out: nothing received for 1 s");
        QTest::newRow("stalled body")
            << stalled << QString() << QStringList{"❌ Error fetching app details: " + timeout} << timeout;
        // Its 32 bytes would take 8 s.
        const FakeStore::Response trickled{
            .body = stalled.body, .behaviour = FakeStore::Behaviour::Trickle, .trickleIntervalMs = 250};
        const QString deadline = QStringLiteral("Transfer timed out: no whole response within 2 s");
        QTest::newRow("trickled body")
            << trickled << QString() << QStringList{"❌ Error fetching app details: " + deadline} << deadline;
        QTest::newRow("origin not an address")
            << stalled << "not a url" << QStringList{"❌ Invalid URL for lookup"} << QString();
    }
    void fetchAppDetails_withoutDetails_endsWithItsLine() {
        QFETCH(FakeStore::Response, response);
        QFETCH(QString, origin);
        QFETCH(QStringList, lines);
        QFETCH(QString, thrown);
        m_store.setResponse("/lookup?id=77", response);
        if (!origin.isEmpty())
            qputenv("CALDRIN_STORE_ORIGIN", origin.toUtf8());
        HttpFetcher::Limits limits;
        limits.transferTimeout = std::chrono::seconds(1);
        limits.overallDeadline = std::chrono::seconds(2);
        AppDetailsService service(limits);
        ConsoleCapture console;
        QString caught;
        try {
            QVERIFY(!AsyncTest::run(service.fetchAppDetails("77")));
        } catch (const DecodingError& error) {
            caught = error.description();
        } catch (const TransferError& error) {
            caught = error.description();
        }
        QCOMPARE(caught, thrown);
        QCOMPARE(console.lines(), QStringList{"🔍 Fetching details for app ID: 77"} + lines);
    }

    void fetchAppDetails_hostileIdentifier_asksForExactlyThatIdentifier_data() {
        QTest::addColumn<QString>("appleID");
        QTest::newRow("ampersand and parameter") << "1&country=de";
        QTest::newRow("plus") << "+1";
        QTest::newRow("hash") << "1#fragment";
        QTest::newRow("non-ASCII and a line break") << "ü✓ 游戏\r\nHost: elsewhere";
    }
    void fetchAppDetails_hostileIdentifier_asksForExactlyThatIdentifier() {
        QFETCH(QString, appleID);
        AppDetailsService service;
        ConsoleCapture console;
        try {
            AsyncTest::run(service.fetchAppDetails(appleID)); // nothing is served for it: a 404 page
        } catch (const DecodingError&) {
        }
        QCOMPARE(m_store.requests().size(), 1);
        const QUrl received(QStringLiteral("http://store") + m_store.requests().first());
        QCOMPARE(received.path(), QStringLiteral("/lookup"));
        QVERIFY(!m_store.requests().first().contains(u'+')); // a server may read it as a space
        QCOMPARE(QUrlQuery(received).queryItems(QUrl::FullyDecoded),
                 (QList<QPair<QString, QString>>{{QStringLiteral("id"), appleID}}));
        QCOMPARE(console.lines().first(), "🔍 Fetching details for app ID: " + appleID);
    }
};

QTEST_GUILESS_MAIN(TestLookup)

#include "tst_lookup.moc"
