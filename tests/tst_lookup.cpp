// Lookup: the lookup document and the lookup client.
#include "AppDetailsService.h"
#include "AsyncTest.h"
#include "ConsoleCapture.h"
#include "StoreDocuments.h"
#include "FakeStore.h"
#include "iTunesLookupResponse.h"
#include "NumberText.h"
#include "TransferError.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QUrlQuery>

#include <cmath>
#include <limits>

Q_DECLARE_METATYPE(FakeStore::Response)

namespace {

QByteArray lookupDocument(qint64 count, const QJsonArray& results) {
    return StoreDocuments::lookupDocument(count, results);
}

QByteArray oneResult(const QByteArray& resultJson) {
    return R"({"resultCount":1,"results":[)" + resultJson + "]}";
}

} // namespace

class TestLookup : public QObject {
    Q_OBJECT

    FakeStore* m_store = nullptr;

    std::optional<iTunesAppDetails> lookUp(AppDetailsService& service, const QString& appleID) {
        return AsyncTest::run(service.fetchAppDetails(appleID));
    }

private slots:
    void init() {
        m_store = new FakeStore(this);
        QVERIFY(m_store->listen());
        qputenv("CALDRIN_STORE_ORIGIN", m_store->origin().toUtf8());
    }
    void cleanup() {
        qunsetenv("CALDRIN_STORE_ORIGIN");
        delete m_store;
        m_store = nullptr;
    }

    void lookupDocument_decodesWholeOrNotAtAll_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("error"); // empty: decodes
        QTest::newRow("one empty result") << oneResult("{}") << QString();
        QTest::newRow("unknown keys ignored")
            << oneResult(R"({"wrapperType":"software","artistId":5})") << QString();
        QTest::newRow("null leaves a field absent")
            << oneResult(R"({"trackName":null,"screenshotUrls":null})") << QString();
        QTest::newRow("integral rating") << oneResult(R"({"averageUserRating":4})") << QString();
        QTest::newRow("file size as digits in a string")
            << oneResult(R"({"fileSizeBytes":"123456789"})") << QString();
        QTest::newRow("file size as a number")
            << oneResult(R"({"fileSizeBytes":123})")
            << "results[0].fileSizeBytes: expected a string, found a number";
        QTest::newRow("name as a number")
            << oneResult(R"({"trackName":7})") << "results[0].trackName: expected a string, found a number";
        QTest::newRow("identifier as a string")
            << oneResult(R"({"trackId":"123"})")
            << "results[0].trackId: expected a 64-bit integer, found a string";
        QTest::newRow("identifier with a fraction")
            << oneResult(R"({"trackId":1.5})")
            << "results[0].trackId: expected a 64-bit integer, found the number 1.5";
        QTest::newRow("identifier beyond 64 bits")
            << oneResult(R"({"trackId":9223372036854775808})")
            << "results[0].trackId: expected a 64-bit integer, found the number 9.2233720368547758e+18";
        QTest::newRow("rating count with an exponent beyond 64 bits")
            << oneResult(R"({"userRatingCount":1e19})")
            << "results[0].userRatingCount: expected a 64-bit integer, found the number 1e+19";
        QTest::newRow("rating as a string")
            << oneResult(R"({"averageUserRating":"4.5"})")
            << "results[0].averageUserRating: expected a number, found a string";
        QTest::newRow("game center as 1")
            << oneResult(R"({"isGameCenterEnabled":1})")
            << "results[0].isGameCenterEnabled: expected a boolean, found a number";
        QTest::newRow("screenshot list with a number")
            << oneResult(R"({"screenshotUrls":["a",2]})")
            << "results[0].screenshotUrls[1]: expected a string, found a number";
        QTest::newRow("screenshot list as a string")
            << oneResult(R"({"screenshotUrls":"a"})")
            << "results[0].screenshotUrls: expected an array, found a string";
        QTest::newRow("result not an object") << QByteArray(R"({"resultCount":1,"results":[3]})")
                                              << "results[0]: expected an object, found a number";
        QTest::newRow("second result broken")
            << QByteArray(R"({"resultCount":2,"results":[{},{"price":"free"}]})")
            << "results[1].price: expected a number, found a string";
        QTest::newRow("no resultCount") << QByteArray(R"({"results":[]})") << "resultCount: key not found";
        QTest::newRow("no results") << QByteArray(R"({"resultCount":0})") << "results: key not found";
        QTest::newRow("null results")
            << QByteArray(R"({"resultCount":0,"results":null})") << "results: expected an array, found null";
        QTest::newRow("count as a string") << QByteArray(R"({"resultCount":"1","results":[]})")
                                           << "resultCount: expected a 64-bit integer, found a string";
        QTest::newRow("count with a fraction")
            << QByteArray(R"({"resultCount":0.5,"results":[]})")
            << "resultCount: expected a 64-bit integer, found the number 0.5";
        QTest::newRow("not JSON") << QByteArray("Not Found")
                                  << "document: malformed JSON at byte 1: illegal value";
    }
    void lookupDocument_decodesWholeOrNotAtAll() {
        QFETCH(QByteArray, json);
        QFETCH(QString, error);
        try {
            const iTunesLookupResponse document = iTunesLookupResponse::decode(json);
            QVERIFY2(error.isEmpty(), "decoded a document that must fail");
            QCOMPARE(document.results.size(), 1);
        } catch (const DecodingError& failure) {
            QCOMPARE(failure.description(), error);
        }
    }

    void lookupDocument_integersAreExact_data() {
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<qint64>("value");
        QTest::newRow("small") << QByteArray("42") << qint64(42);
        QTest::newRow("negative") << QByteArray("-7") << qint64(-7);
        QTest::newRow("2^53 + 1, beyond a double's exact range")
            << QByteArray("9007199254740993") << qint64(9007199254740993LL);
        QTest::newRow("largest") << QByteArray("9223372036854775807") << std::numeric_limits<qint64>::max();
        QTest::newRow("smallest") << QByteArray("-9223372036854775808") << std::numeric_limits<qint64>::min();
        QTest::newRow("whole number with an exponent") << QByteArray("1e3") << qint64(1000);
    }
    void lookupDocument_integersAreExact() {
        QFETCH(QByteArray, written);
        QFETCH(qint64, value);
        const iTunesLookupResponse document =
            iTunesLookupResponse::decode(oneResult(R"({"trackId":)" + written + "}"));
        QCOMPARE(document.results.first().trackId, std::optional<qint64>(value));
        // The echo writes it back unchanged.
        QCOMPARE(document.results.first().toJson().value("trackId").toInteger(), value);
    }

    void fetchAppDetails_printsSummaryAndEcho_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("summary"); // the lines between the status line and the echo
        QTest::addColumn<QByteArray>("echo");

        QTest::newRow("one empty result") << oneResult("{}")
                                          << QStringList{"✅ Fetched details for: Unknown",
                                                         "   Description: ❌ (0 chars)",
                                                         "   Screenshots: 0",
                                                         "   iPad Screenshots: 0",
                                                         "   AppleTV Screenshots: 0",
                                                         "   Rating: 0.0 (0 reviews)",
                                                         "   Price: N/A (0.0)",
                                                         "   Features: 0",
                                                         "   Advisories: 0",
                                                         "   Kind: N/A"}
                                          << QByteArray("{}");
        QTest::newRow("full result, first of two")
            << lookupDocument(
                   2, {QJsonObject{{"trackId", qint64(9007199254740993LL)},
                                   {"trackName", "Gem \"Quest\""},
                                   {"description", "Dig."},
                                   {"screenshotUrls", QJsonArray{"https://s/1.png", "https://s/2.png"}},
                                   {"ipadScreenshotUrls", QJsonArray{"https://s/3.png"}},
                                   {"appletvScreenshotUrls", QJsonArray()},
                                   {"averageUserRating", 4.5},
                                   {"userRatingCount", 10},
                                   {"price", 0.99},
                                   {"formattedPrice", "$0.99"},
                                   {"features", QJsonArray{"iosUniversal"}},
                                   {"advisories", QJsonArray{"Mild Violence", "Gambling"}},
                                   {"kind", "software"},
                                   {"isGameCenterEnabled", true},
                                   {"fileSizeBytes", "123456"},
                                   {"artistName", QJsonValue()},
                                   {"wrapperType", "not echoed"}},
                       QJsonObject{{"trackName", "Second"}}})
            << QStringList{"✅ Fetched details for: Gem \"Quest\"",
                           "   Description: ✅ (4 chars)",
                           "   Screenshots: 2",
                           "   iPad Screenshots: 1",
                           "   AppleTV Screenshots: 0",
                           "   Rating: 4.5 (10 reviews)",
                           "   Price: $0.99 (0.99)",
                           "   Features: 1",
                           "   Advisories: 2",
                           "   Kind: software"}
            << QByteArray(
                   R"({"advisories":["Mild Violence","Gambling"],"appletvScreenshotUrls":[],)"
                   R"("averageUserRating":4.5,"description":"Dig.","features":["iosUniversal"],)"
                   R"("fileSizeBytes":"123456","formattedPrice":"$0.99","ipadScreenshotUrls":["https://s/3.png"],)"
                   R"("isGameCenterEnabled":true,"kind":"software","price":0.99,)"
                   R"("screenshotUrls":["https://s/1.png","https://s/2.png"],"trackId":9007199254740993,)"
                   "\"trackName\":\"Gem \\\"Quest\\\"\",\"userRatingCount\":10}");
        QTest::newRow("three emoji count three")
            << oneResult(R"({"trackName":null,"description":"🎮🚀✨","averageUserRating":5,"price":0})")
            << QStringList{"✅ Fetched details for: Unknown",
                           "   Description: ✅ (3 chars)",
                           "   Screenshots: 0",
                           "   iPad Screenshots: 0",
                           "   AppleTV Screenshots: 0",
                           "   Rating: 5.0 (0 reviews)",
                           "   Price: N/A (0.0)",
                           "   Features: 0",
                           "   Advisories: 0",
                           "   Kind: N/A"}
            << QByteArray(R"({"averageUserRating":5,"description":"🎮🚀✨","price":0})");
        QTest::newRow("joined emoji, flag and combining accent count one each")
            << oneResult(
                   "{\"description\":\"🇯🇵👨‍👩‍👧e\\u0301\",\"averageUserRating\":0.00001}")
            << QStringList{"✅ Fetched details for: Unknown",
                           "   Description: ✅ (3 chars)",
                           "   Screenshots: 0",
                           "   iPad Screenshots: 0",
                           "   AppleTV Screenshots: 0",
                           "   Rating: 1e-05 (0 reviews)",
                           "   Price: N/A (0.0)",
                           "   Features: 0",
                           "   Advisories: 0",
                           "   Kind: N/A"}
            << QByteArray(
                   "{\"averageUserRating\":1e-05,\"description\":\"🇯🇵👨‍👩‍👧e\xcc\x81\"}");
    }
    void fetchAppDetails_printsSummaryAndEcho() {
        QFETCH(QByteArray, body);
        QFETCH(QStringList, summary);
        QFETCH(QByteArray, echo);
        m_store->setJson("/lookup?id=123", body);
        AppDetailsService service;
        ConsoleCapture console;

        const std::optional<iTunesAppDetails> details = lookUp(service, "123");

        QVERIFY(details.has_value());
        const QStringList expected =
            QStringList{"🔍 Fetching details for app ID: 123", "📊 Lookup HTTP Status: 200"} + summary +
            QStringList{"📦 Raw API response:", QString::fromUtf8(echo)};
        QCOMPARE(console.lines(), expected);
        QCOMPARE(*details, iTunesLookupResponse::decode(body).results.first());
    }

    void fetchAppDetails_noResult_isAbsent_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("count 0, empty list") << lookupDocument(0, {});
        QTest::newRow("count 3, empty list") << lookupDocument(3, {});
        QTest::newRow("count 0, one result") << lookupDocument(0, {QJsonObject{{"trackName", "x"}}});
        QTest::newRow("negative count, one result") << lookupDocument(-1, {QJsonObject{{"trackName", "x"}}});
    }
    void fetchAppDetails_noResult_isAbsent() {
        QFETCH(QByteArray, body);
        m_store->setJson("/lookup?id=55", body);
        AppDetailsService service;
        ConsoleCapture console;
        QVERIFY(!lookUp(service, "55").has_value());
        QCOMPARE(console.lines(),
                 (QStringList{"🔍 Fetching details for app ID: 55", "📊 Lookup HTTP Status: 200",
                              "⚠️ No results found for app ID: 55"}));
    }

    void fetchAppDetails_failure_isPrintedAndThrown_data() {
        QTest::addColumn<FakeStore::Response>("response");
        QTest::addColumn<QString>("status"); // empty: no HTTP answer
        QTest::addColumn<QString>("error");

        QTest::newRow("404 page that is not JSON") << FakeStore::htmlError(404) << "📊 Lookup HTTP Status: 404"
                                                   << "document: malformed JSON at byte 1: illegal value";
        FakeStore::Response numberSize;
        numberSize.body = oneResult(R"({"trackName":"x","fileSizeBytes":123})");
        QTest::newRow("file size as a number")
            << numberSize << "📊 Lookup HTTP Status: 200"
            << "results[0].fileSizeBytes: expected a string, found a number";
        FakeStore::Response notADocument;
        notADocument.body = R"({"errorMessage":"Invalid value(s) for key(s): [id]"})";
        notADocument.status = 400;
        QTest::newRow("error document") << notADocument << "📊 Lookup HTTP Status: 400"
                                        << "resultCount: key not found";
        FakeStore::Response stalled;
        stalled.body = oneResult("{}");
        stalled.behaviour = FakeStore::Behaviour::Stall;
        QTest::newRow("stalled body")
            << stalled << QString() << "Transfer timed out: nothing received for 1 s";
        FakeStore::Response truncated = stalled;
        truncated.behaviour = FakeStore::Behaviour::Truncate;
        QTest::newRow("truncated body") << truncated << QString() << "Connection closed";
    }
    void fetchAppDetails_failure_isPrintedAndThrown() {
        QFETCH(FakeStore::Response, response);
        QFETCH(QString, status);
        QFETCH(QString, error);
        m_store->setResponse("/lookup?id=77", response);
        HttpFetcher::Limits limits;
        limits.transferTimeout = std::chrono::seconds(1);
        AppDetailsService service(limits);
        ConsoleCapture console;
        try {
            lookUp(service, "77");
            QFAIL("no exception");
        } catch (const DecodingError& thrown) {
            QVERIFY(!status.isEmpty());
            QCOMPARE(thrown.description(), error);
        } catch (const TransferError& thrown) {
            QVERIFY(status.isEmpty());
            QCOMPARE(thrown.description(), error);
        }
        QStringList expected{"🔍 Fetching details for app ID: 77"};
        if (!status.isEmpty())
            expected << status;
        expected << "❌ Error fetching app details: " + error;
        QCOMPARE(console.lines(), expected);
    }

    void fetchAppDetails_refusedConnection_isPrintedAndThrown() {
        qputenv("CALDRIN_STORE_ORIGIN", FakeStore::refusedOrigin().toUtf8());
        AppDetailsService service;
        ConsoleCapture console;
        QVERIFY_THROWS_EXCEPTION(TransferError, lookUp(service, "1"));
        QCOMPARE(console.lines(), (QStringList{"🔍 Fetching details for app ID: 1",
                                               "❌ Error fetching app details: Connection refused"}));
    }

    void fetchAppDetails_invalidOrigin_printsInvalidURL() {
        qputenv("CALDRIN_STORE_ORIGIN", "not a url");
        AppDetailsService service;
        ConsoleCapture console;
        QVERIFY(!lookUp(service, "1").has_value());
        QCOMPARE(console.lines(),
                 (QStringList{"🔍 Fetching details for app ID: 1", "❌ Invalid URL for lookup"}));
    }

    void fetchAppDetails_hostileIdentifier_asksForExactlyThatIdentifier_data() {
        QTest::addColumn<QString>("appleID");
        QTest::newRow("ampersand and parameter") << "1&country=de";
        QTest::newRow("second id parameter") << "1&id=2";
        QTest::newRow("slash") << "12/../34";
        QTest::newRow("spaces") << "12 34";
        QTest::newRow("plus") << "+1";
        QTest::newRow("hash") << "1#fragment";
        QTest::newRow("question mark") << "1?x=1";
        QTest::newRow("percent escape") << "%41%26";
        QTest::newRow("semicolon") << "1;2";
        QTest::newRow("non-ASCII") << "ü✓ 游戏";
        QTest::newRow("line break") << "1\r\nHost: elsewhere";
        QTest::newRow("empty") << "";
    }
    void fetchAppDetails_hostileIdentifier_asksForExactlyThatIdentifier() {
        QFETCH(QString, appleID);
        AppDetailsService service;
        ConsoleCapture console;
        try {
            lookUp(service, appleID); // nothing is served for it: a 404 page
        } catch (const DecodingError&) {
        }
        QCOMPARE(m_store->requests().size(), 1);
        const QUrl received(QStringLiteral("http://store") + m_store->requests().first());
        QCOMPARE(received.path(), QStringLiteral("/lookup"));
        QVERIFY(!received.hasFragment());
        const QList<QPair<QString, QString>> items = QUrlQuery(received).queryItems(QUrl::FullyDecoded);
        QCOMPARE(items.size(), 1);
        QCOMPARE(items.first().first, QStringLiteral("id"));
        QCOMPARE(items.first().second, appleID);
        QCOMPARE(console.lines().first(), "🔍 Fetching details for app ID: " + appleID);
    }

    void numberText_alwaysShowsAFraction_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "0.0";
        QTest::newRow("negative zero") << -0.0 << "-0.0";
        QTest::newRow("half") << 4.5 << "4.5";
        QTest::newRow("whole") << 100.0 << "100.0";
        QTest::newRow("price") << 0.99 << "0.99";
        QTest::newRow("shortest round trip") << 0.1 + 0.2 << "0.30000000000000004";
        QTest::newRow("many digits") << 12345678.9 << "12345678.9";
        QTest::newRow("smallest plain") << 0.0001 << "0.0001";
        QTest::newRow("small") << 0.00001 << "1e-05";
        QTest::newRow("2^54 still plain") << 18014398509481984.0 << "18014398509481984.0";
        QTest::newRow("beyond 2^54") << 36028797018963968.0 << "3.602879701896397e+16";
        QTest::newRow("large") << 1.5e20 << "1.5e+20";
        QTest::newRow("negative") << -2.25 << "-2.25";
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << "inf";
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << "nan";
    }
    void numberText_alwaysShowsAFraction() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(NumberText::fromDouble(value), text);
    }
};

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    TestLookup test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_lookup.moc"
