// Feeds: the feed document, the entry-to-record conversion and the feed client.
#include "AppModel.h"
#include "AsyncTest.h"
#include "ConsoleCapture.h"
#include "FakeStore.h"
#include "HttpFetcher.h"
#include "StoreDocuments.h"
#include "iTunesAPIError.h"
#include "iTunesRSSResponse.h"
#include "iTunesService.h"
#include "TransferError.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <QSet>

#include <cmath>
#include <limits>

Q_DECLARE_METATYPE(FakeStore::Response)

namespace {

const QString kDemoFixtures = QStringLiteral(CALDRIN_FIXTURES_DIR "/demo");

QJsonObject feedEntry(const QString& id, const QString& name = QString()) {
    return StoreDocuments::feedEntry(id, name);
}

QByteArray feedDocument(const QJsonArray& entries) {
    return StoreDocuments::feedDocument(entries);
}

// `root` with the value at `path` replaced, or removed when `value` is undefined.
// Path parts are object keys, or "#<n>" for an array index.
QJsonValue withChange(const QJsonValue& root, QStringList path, const QJsonValue& value) {
    if (path.isEmpty())
        return value;
    const QString part = path.takeFirst();
    if (part.startsWith(QLatin1Char('#'))) {
        QJsonArray array = root.toArray();
        const int index = part.mid(1).toInt();
        array.replace(index, withChange(array.at(index), path, value));
        return array;
    }
    QJsonObject object = root.toObject();
    const QJsonValue changed = withChange(object.value(part), path, value);
    if (changed.isUndefined())
        object.remove(part);
    else
        object.insert(part, changed);
    return object;
}

AppEntry decodeEntry(const QJsonObject& entry) {
    return iTunesRSSResponse::decode(feedDocument(QJsonArray{entry})).feed.entry.first();
}

QString feedPath(const char* kind) {
    return QStringLiteral("/us/rss/%1/limit=100/json").arg(QLatin1String(kind));
}

QList<AppEntry> fetchAll(iTunesService& service) {
    return AsyncTest::run(service.fetchAllFeeds(QStringLiteral("us"), 100));
}

QStringList idsOf(const QList<AppEntry>& entries) {
    QStringList ids;
    for (const AppEntry& entry : entries)
        ids.append(entry.id.attributes.id);
    return ids;
}

} // namespace

class TestFeeds : public QObject {
    Q_OBJECT

private slots:
    void feedDocument_decodesWholeOrNotAtAll_data() {
        QTest::addColumn<QStringList>("path"); // into entry [1] of two, or "@" for the whole document
        QTest::addColumn<QJsonValue>("value"); // undefined: the key is removed
        QTest::addColumn<QByteArray>("body");  // when set, replaces the document
        QTest::addColumn<QString>("error");    // empty: decodes
        const QJsonValue removed(QJsonValue::Undefined);
        const auto row = [](const char* name) -> QTestData& { return QTest::newRow(name); };

        row("complete entries") << QStringList() << removed << QByteArray() << QString();
        row("unknown keys ignored") << QStringList{"id", "attributes", "extra"} << QJsonValue(1)
                                    << QByteArray() << QString();
        row("no rights") << QStringList{"rights"} << removed << QByteArray() << QString();
        row("null rights") << QStringList{"rights"} << QJsonValue() << QByteArray() << QString();
        row("no artist attributes") << QStringList{"im:artist", "attributes"} << removed << QByteArray()
                                    << QString();
        row("no release date attributes")
            << QStringList{"im:releaseDate", "attributes"} << removed << QByteArray() << QString();
        row("empty image list") << QStringList{"im:image"} << QJsonValue(QJsonArray()) << QByteArray()
                                << QString();
        row("missing im:bundleId") << QStringList{"id", "attributes", "im:bundleId"} << removed
                                   << QByteArray()
                                   << R"(feed.entry[1].id.attributes["im:bundleId"]: key not found)";
        row("missing im:image") << QStringList{"im:image"} << removed << QByteArray()
                                << R"(feed.entry[1]["im:image"]: key not found)";
        row("image list an object") << QStringList{"im:image"} << QJsonValue(QJsonObject()) << QByteArray()
                                    << R"(feed.entry[1]["im:image"]: expected an array, found an object)";
        row("image height a number")
            << QStringList{"im:image", "#2", "attributes", "height"} << QJsonValue(100) << QByteArray()
            << R"(feed.entry[1]["im:image"][2].attributes.height: expected a string, found a number)";
        row("link an array") << QStringList{"link"} << QJsonValue(QJsonArray{QJsonObject()}) << QByteArray()
                             << R"(feed.entry[1].link: expected an object, found an array)";
        row("price amount a number")
            << QStringList{"im:price", "attributes", "amount"} << QJsonValue(1.99) << QByteArray()
            << R"(feed.entry[1]["im:price"].attributes.amount: expected a string, found a number)";
        row("price without attributes") << QStringList{"im:price", "attributes"} << removed << QByteArray()
                                        << R"(feed.entry[1]["im:price"].attributes: key not found)";
        row("required label null") << QStringList{"im:name", "label"} << QJsonValue() << QByteArray()
                                   << R"(feed.entry[1]["im:name"].label: expected a string, found null)";
        row("required object null") << QStringList{"category"} << QJsonValue() << QByteArray()
                                    << R"(feed.entry[1].category: expected an object, found null)";
        row("artist attributes without href")
            << QStringList{"im:artist", "attributes", "href"} << removed << QByteArray()
            << R"(feed.entry[1]["im:artist"].attributes.href: key not found)";
        row("release date attributes without label")
            << QStringList{"im:releaseDate", "attributes", "label"} << removed << QByteArray()
            << R"(feed.entry[1]["im:releaseDate"].attributes.label: key not found)";
        row("rights present but malformed") << QStringList{"rights"} << QJsonValue("© 2024") << QByteArray()
                                            << R"(feed.entry[1].rights: expected an object, found a string)";
        row("entry a string") << QStringList{"@"} << QJsonValue() << feedDocument({feedEntry("1"), "entry"})
                              << "feed.entry[1]: expected an object, found a string";
        row("no entry key") << QStringList{"@"} << QJsonValue() << QByteArray(R"({"feed":{"entries":[]}})")
                            << "feed.entry: key not found";
        row("no feed key") << QStringList{"@"} << QJsonValue() << QByteArray(R"({"entry":[]})")
                           << "feed: key not found";
        row("document an array") << QStringList{"@"} << QJsonValue() << QByteArray("[]")
                                 << "document: expected an object, found an array";
        row("truncated JSON") << QStringList{"@"} << QJsonValue() << QByteArray(R"({"feed":{"entry":[)")
                              << "document: malformed JSON at byte 18: unterminated array";
        row("trailing garbage") << QStringList{"@"} << QJsonValue()
                                << QByteArray(R"({"feed":{"entry":[]}} x)")
                                << "document: malformed JSON at byte 22: garbage at the end of the document";
        row("invalid UTF-8") << QStringList{"@"} << QJsonValue()
                             << QByteArray("{\"feed\":{\"entry\":[],\"x\":\"\xff\"}}")
                             << "document: malformed JSON at byte 25: invalid UTF8 string";
        row("empty body") << QStringList{"@"} << QJsonValue() << QByteArray("")
                          << "document: malformed JSON at byte 0: illegal value";
        row("HTML page") << QStringList{"@"} << QJsonValue() << FakeStore::htmlError(404).body
                         << "document: malformed JSON at byte 1: illegal value";
    }
    void feedDocument_decodesWholeOrNotAtAll() {
        QFETCH(QStringList, path);
        QFETCH(QJsonValue, value);
        QFETCH(QByteArray, body);
        QFETCH(QString, error);
        if (body.isEmpty() && path != QStringList{"@"}) {
            const QJsonValue second =
                path.isEmpty() ? QJsonValue(feedEntry("2")) : withChange(feedEntry("2"), path, value);
            body = feedDocument({feedEntry("1"), second});
        }
        try {
            const iTunesRSSResponse document = iTunesRSSResponse::decode(body);
            QVERIFY2(error.isEmpty(), "decoded a document that must fail");
            QCOMPARE(idsOf(document.feed.entry), (QStringList{"1", "2"}));
        } catch (const DecodingError& failure) {
            QCOMPARE(failure.description(), error);
            QCOMPARE(QString::fromUtf8(failure.what()), error);
        }
    }

    void conversion_takesEveryFieldFromTheEntry_data() {
        QTest::addColumn<bool>("complete");
        QTest::newRow("complete entry") << true;
        QTest::newRow("no rights, no artist or release date attributes") << false;
    }
    void conversion_takesEveryFieldFromTheEntry() {
        QFETCH(bool, complete);
        QJsonObject json = feedEntry("987654321", QStringLiteral("Zen 🌸 Garden"));
        if (!complete) {
            json.remove("rights");
            json = withChange(json, {"im:artist", "attributes"}, QJsonValue::Undefined).toObject();
            json = withChange(json, {"im:releaseDate", "attributes"}, QJsonValue::Undefined).toObject();
        }
        const QDateTime before = QDateTime::currentDateTimeUtc();
        const AppModel app(decodeEntry(json));
        const QDateTime after = QDateTime::currentDateTimeUtc();

        QCOMPARE(app.appleID(), QStringLiteral("987654321"));
        QCOMPARE(app.name(), QStringLiteral("Zen 🌸 Garden"));
        QCOMPARE(app.bundleID(), QStringLiteral("com.example.app987654321"));
        QCOMPARE(app.developerName(), QStringLiteral("Example Dev"));
        QCOMPARE(app.developerURL(),
                 complete ? std::optional<QString>(QStringLiteral("https://apps.example/dev/id9"))
                          : std::nullopt);
        QCOMPARE(app.appStoreURL(), QStringLiteral("https://apps.example/us/app/x/id987654321"));
        QCOMPARE(app.price(), 1.99);
        QCOMPARE(app.currency(), QStringLiteral("USD"));
        QCOMPARE(app.priceLabel(), QStringLiteral("$1.99"));
        QCOMPARE(app.category(), QStringLiteral("Games"));
        QCOMPARE(app.categoryID(), QStringLiteral("6014"));
        QCOMPARE(app.releaseDate(), QDateTime(QDate(2024, 3, 15), QTime(7, 0), Qt::UTC));
        QCOMPARE(app.releaseDateString(), complete ? QStringLiteral("March 15, 2024") : QString());
        QCOMPARE(app.iconURL(),
                 std::optional<QString>(QStringLiteral("https://img.example/987654321/100.png")));
        QCOMPARE(app.copyright(),
                 complete ? std::optional<QString>(QStringLiteral("© 2024 Example")) : std::nullopt);
        QVERIFY(app.fetchedAt() >= before && app.fetchedAt() <= after);
        // Enrichment fields absent, not empty.
        QVERIFY(!app.hasAppDescription());
        QVERIFY(!app.screenshotURLs());
        QVERIFY(!app.rating());
        QVERIFY(!app.ratingCount());
        QVERIFY(!app.appSize());
        QVERIFY(!app.appVersion());
        QVERIFY(!app.ageRating());
        QVERIFY(!app.hasInAppPurchases());
        QVERIFY(!app.inAppPurchaseInfo());
        QVERIFY(!app.inAppPurchaseItems());
        QVERIFY(!app.detailsFetched());
        QVERIFY(!app.isViewed());
        QVERIFY(!app.isInserted());
    }

    void conversion_iconIsTheLastImage_data() {
        QTest::addColumn<QStringList>("heights");
        QTest::addColumn<QString>("icon"); // empty: no icon
        QTest::newRow("small to large") << QStringList{"53", "75", "100"} << "100";
        QTest::newRow("large to small") << QStringList{"100", "75", "53"} << "53";
        QTest::newRow("one image") << QStringList{"75"} << "75";
        QTest::newRow("no image") << QStringList() << QString();
    }
    void conversion_iconIsTheLastImage() {
        QFETCH(QStringList, heights);
        QFETCH(QString, icon);
        QJsonArray images;
        for (const QString& height : heights)
            images.append(QJsonObject{{"label", "https://img.example/" + height + ".png"},
                                      {"attributes", QJsonObject{{"height", height}}}});
        QJsonObject json = feedEntry("1");
        json.insert("im:image", images);
        const AppModel app(decodeEntry(json));
        QCOMPARE(app.iconURL(), icon.isEmpty()
                                    ? std::nullopt
                                    : std::optional<QString>("https://img.example/" + icon + ".png"));
    }

    void conversion_priceReadsLikeCStrtod_data() {
        QTest::addColumn<QString>("amount");
        QTest::addColumn<double>("price");
        const double inf = std::numeric_limits<double>::infinity();
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("zero with decimals") << "0.00000" << 0.0;
        QTest::newRow("plain") << "1.99" << 1.99;
        QTest::newRow("plus sign") << "+2.5" << 2.5;
        QTest::newRow("minus sign") << "-3" << -3.0;
        QTest::newRow("no leading digit") << ".5" << 0.5;
        QTest::newRow("no trailing digit") << "5." << 5.0;
        QTest::newRow("exponent") << "1e3" << 1000.0;
        QTest::newRow("hexadecimal") << "0x1p3" << 8.0;
        QTest::newRow("hexadecimal upper case with fraction") << "0X1.8P1" << 3.0;
        QTest::newRow("infinity") << "inf" << inf;
        QTest::newRow("infinity spelled out, any case") << "-INFinity" << -inf;
        QTest::newRow("not a number") << "nan" << nan;
        QTest::newRow("not a number with payload") << "NaN(123)" << nan;
        QTest::newRow("overflow") << "1e999" << inf;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("letters") << "abc" << 0.0;
        QTest::newRow("leading space") << " 1.99" << 0.0;
        QTest::newRow("leading tab") << "\t1.99" << 0.0;
        QTest::newRow("leading form feed") << "\f1.99" << 0.0;
        QTest::newRow("trailing space") << "1.99 " << 0.0;
        QTest::newRow("decimal comma") << "1,99" << 0.0;
        QTest::newRow("currency after") << "1.99 USD" << 0.0;
        QTest::newRow("currency before") << "$1.99" << 0.0;
        QTest::newRow("bare hexadecimal prefix") << "0x" << 0.0;
        QTest::newRow("exponent without digits") << "1e" << 0.0;
        QTest::newRow("embedded NUL") << QStringLiteral("1.5") + QChar(0) + QStringLiteral("7") << 0.0;
        QTest::newRow("Arabic-Indic digits") << "١٫٥" << 0.0;
        QTest::newRow("infinity with trailing letters") << "infinit" << 0.0;
    }
    void conversion_priceReadsLikeCStrtod() {
        QFETCH(QString, amount);
        QFETCH(double, price);
        QJsonObject json = feedEntry("1");
        json = withChange(json, {"im:price", "attributes", "amount"}, amount).toObject();
        json = withChange(json, {"im:price", "label"}, "Label stays").toObject();
        const AppModel app(decodeEntry(json));
        if (std::isnan(price))
            QVERIFY(std::isnan(app.price()));
        else
            QCOMPARE(app.price(), price);
        QCOMPARE(app.priceLabel(), QStringLiteral("Label stays"));
    }

    void conversion_releaseDateIsAStrictInternetDateTime_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QDateTime>("date"); // invalid: the creation time
        const auto utc = [](int y, int mo, int d, int h, int mi, int s) {
            return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
        };
        const QDateTime creation;
        QTest::newRow("Z") << "2024-03-15T10:20:30Z" << utc(2024, 3, 15, 10, 20, 30);
        QTest::newRow("midnight at minus seven hours")
            << "2024-03-15T00:00:00-07:00" << utc(2024, 3, 15, 7, 0, 0);
        QTest::newRow("half-hour offset") << "2024-03-15T10:20:30+05:30" << utc(2024, 3, 15, 4, 50, 30);
        QTest::newRow("minus zero offset") << "2024-03-15T10:20:30-00:00" << utc(2024, 3, 15, 10, 20, 30);
        QTest::newRow("offset crosses the year") << "2024-12-31T23:30:00-01:00" << utc(2025, 1, 1, 0, 30, 0);
        QTest::newRow("leap day") << "2024-02-29T12:00:00Z" << utc(2024, 2, 29, 12, 0, 0);
        QTest::newRow("last second of 9999") << "9999-12-31T23:59:59Z" << utc(9999, 12, 31, 23, 59, 59);
        QTest::newRow("date only") << "2024-03-15" << creation;
        QTest::newRow("no zone") << "2024-03-15T10:20:30" << creation;
        QTest::newRow("fractional seconds") << "2024-03-15T10:20:30.123Z" << creation;
        QTest::newRow("no seconds") << "2024-03-15T10:20Z" << creation;
        QTest::newRow("space for T") << "2024-03-15 10:20:30Z" << creation;
        QTest::newRow("lower-case t and z") << "2024-03-15t10:20:30z" << creation;
        QTest::newRow("offset without colon") << "2024-03-15T10:20:30+0530" << creation;
        QTest::newRow("offset hours only") << "2024-03-15T10:20:30+05" << creation;
        QTest::newRow("offset hour 24") << "2024-03-15T10:20:30+24:00" << creation;
        QTest::newRow("offset minute 60") << "2024-03-15T10:20:30+05:60" << creation;
        QTest::newRow("month 13") << "2024-13-01T00:00:00Z" << creation;
        QTest::newRow("month 0") << "2024-00-10T00:00:00Z" << creation;
        QTest::newRow("February 30") << "2024-02-30T00:00:00Z" << creation;
        QTest::newRow("February 29 of a common year") << "2023-02-29T00:00:00Z" << creation;
        QTest::newRow("day 32") << "2024-01-32T00:00:00Z" << creation;
        QTest::newRow("hour 24") << "2024-03-15T24:00:00Z" << creation;
        QTest::newRow("minute 60") << "2024-03-15T23:60:00Z" << creation;
        QTest::newRow("leap second") << "2024-03-15T23:59:60Z" << creation;
        QTest::newRow("year 0") << "0000-01-01T00:00:00Z" << creation;
        QTest::newRow("one-digit month") << "2024-3-15T10:20:30Z" << creation;
        QTest::newRow("leading space") << " 2024-03-15T10:20:30Z" << creation;
        QTest::newRow("trailing space") << "2024-03-15T10:20:30Z " << creation;
        QTest::newRow("Arabic-Indic digits") << "٢٠٢٤-03-15T10:20:30Z" << creation;
        QTest::newRow("display text") << "March 15, 2024" << creation;
        QTest::newRow("empty") << "" << creation;
    }
    void conversion_releaseDateIsAStrictInternetDateTime() {
        QFETCH(QString, label);
        QFETCH(QDateTime, date);
        const AppModel app(
            decodeEntry(withChange(feedEntry("1"), {"im:releaseDate", "label"}, label).toObject()));
        if (date.isValid()) {
            QCOMPARE(app.releaseDate(), date);
        } else {
            // Two clock readings of one conversion: no more apart than a test can make them.
            QVERIFY(app.releaseDate().isValid());
            QVERIFY(app.releaseDate() >= app.fetchedAt());
            QVERIFY(app.fetchedAt().msecsTo(app.releaseDate()) < 1000);
        }
    }

    void feedType_namesEveryKind() {
        using FeedType = iTunesService::FeedType;
        QCOMPARE(iTunesService::rawValue(FeedType::newApplications), QStringLiteral("newapplications"));
        QCOMPARE(iTunesService::rawValue(FeedType::newFreeApplications),
                 QStringLiteral("newfreeapplications"));
        QCOMPARE(iTunesService::rawValue(FeedType::newPaidApplications),
                 QStringLiteral("newpaidapplications"));
        QCOMPARE(iTunesService::rawValue(FeedType::topFreeApplications),
                 QStringLiteral("topfreeapplications"));
        QCOMPARE(iTunesService::rawValue(FeedType::topPaidApplications),
                 QStringLiteral("toppaidapplications"));
    }

    void fetchAllFeeds_normalRun_printsTheTrailAndKeepsTheFirstEntryPerApp() {
        FakeStore store;
        QVERIFY(store.listen());
        store.setFixturesDirectory(kDemoFixtures);
        iTunesService service(store.origin());
        QCOMPARE(service.baseURL(), store.origin());
        ConsoleCapture console;

        const QList<AppEntry> entries = fetchAll(service);

        const auto size = [&](const char* kind) {
            QFile file(kDemoFixtures + QStringLiteral("/feeds/%1.json").arg(QLatin1String(kind)));
            file.open(QIODevice::ReadOnly);
            return file.readAll().replace("{{origin}}", store.origin().toUtf8()).size();
        };
        QStringList expected{QStringLiteral("🔄 Fetching from 3 collections...")};
        for (const auto& [kind, count] :
             {std::pair{"newapplications", 6}, std::pair{"newfreeapplications", 4},
              std::pair{"newpaidapplications", 3}}) {
            expected << QStringLiteral("📱 Fetching %1...").arg(QLatin1String(kind))
                     << QStringLiteral("📡 Fetching from URL: ") + store.origin() + feedPath(kind)
                     << QStringLiteral("🌐 Making network request...") << QStringLiteral("📊 HTTP Status: 200")
                     << QStringLiteral("📦 Received %1 bytes of data").arg(size(kind))
                     << QStringLiteral("✅ Decoded %1 app entries").arg(count)
                     << QStringLiteral("✅ Added %1 apps from %2").arg(count).arg(QLatin1String(kind));
        }
        expected << QStringLiteral("📊 Total apps before deduplication: 13")
                 << QStringLiteral("✨ Unique apps after deduplication: 10");
        QCOMPARE(console.lines(), expected);

        QCOMPARE(store.requests(), (QStringList{feedPath("newapplications"), feedPath("newfreeapplications"),
                                                feedPath("newpaidapplications")}));
        QStringList ids;
        for (int i = 1; i <= 10; ++i)
            ids << QString::number(1000000000 + i);
        QCOMPARE(idsOf(entries), ids);
        // 1000000002 is in the first two feeds under different names: the first feed's wins.
        QCOMPARE(entries[1].name.label, QStringLiteral("Pocket Herbarium"));
        // Placeholders in the fixtures point back at the store.
        QCOMPARE(entries[0].link.attributes.href,
                 store.origin() + QStringLiteral("/us/app/tidewatch-harbour-tides/id1000000001?uo=2"));
    }

    void fakeStoreTool_servesTheDemoFolder() {
        QProcess tool;
        tool.start(QStringLiteral(CALDRIN_FAKE_STORE_EXECUTABLE),
                   {"--port", "0", "--fixtures", kDemoFixtures});
        QVERIFY(tool.waitForStarted());
        const QRegularExpression serving(QStringLiteral("^Serving .* at (http://127\\.0\\.0\\.1:\\d+)$"));
        QRegularExpressionMatch match;
        QTRY_VERIFY_WITH_TIMEOUT(tool.canReadLine() || tool.state() != QProcess::Running, 10000);
        match = serving.match(QString::fromUtf8(tool.readLine()).trimmed());
        QVERIFY2(match.hasMatch(), tool.readAllStandardError().constData());

        iTunesService service(match.captured(1));
        ConsoleCapture console;
        QCOMPARE(fetchAll(service).size(), 10);
        tool.terminate();
        QVERIFY(tool.waitForFinished(10000));
        QVERIFY(tool.readAllStandardOutput().contains("GET /us/rss/newpaidapplications/limit=100/json"));
    }

    void fetchAllFeeds_duplicateWithinAndAcrossFeeds_firstWins() {
        FakeStore store;
        QVERIFY(store.listen());
        store.setJson(feedPath("newapplications"), feedDocument({feedEntry("1", "first"), feedEntry("2"),
                                                                 feedEntry("1", "later in feed")}));
        store.setJson(feedPath("newfreeapplications"),
                      feedDocument({feedEntry("3"), feedEntry("2", "free copy")}));
        store.setJson(feedPath("newpaidapplications"),
                      feedDocument({feedEntry("1", "paid copy"), feedEntry("4")}));
        iTunesService service(store.origin());
        ConsoleCapture console;
        const QList<AppEntry> entries = fetchAll(service);
        QCOMPARE(idsOf(entries), (QStringList{"1", "2", "3", "4"}));
        QCOMPARE(entries[0].name.label, QStringLiteral("first"));
        QCOMPARE(entries[1].name.label, QStringLiteral("App 2"));
        QVERIFY(console.containsInOrder(
            {"📊 Total apps before deduplication: 7", "✨ Unique apps after deduplication: 4"}));
    }

    void fetchAllFeeds_secondFeedFails_reportsItAndKeepsTheOthers_data() {
        QTest::addColumn<FakeStore::Response>("response");
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("answered"); // an HTTP answer came: status and size are printed

        FakeStore::Response notFound = FakeStore::htmlError(404);
        QTest::newRow("404 HTML page")
            << notFound << "decodingError(document: malformed JSON at byte 1: illegal value)" << true;
        FakeStore::Response malformed;
        malformed.body = R"({"feed":{"entry":[{"im:name":{"label":"x"})";
        QTest::newRow("malformed JSON")
            << malformed << "decodingError(document: malformed JSON at byte 42: unterminated object)" << true;
        FakeStore::Response wrongShape;
        wrongShape.body =
            feedDocument({feedEntry("5"), withChange(feedEntry("6"), {"id", "attributes", "im:bundleId"},
                                                     QJsonValue::Undefined)});
        QTest::newRow("entry without bundle id")
            << wrongShape << R"(decodingError(feed.entry[1].id.attributes["im:bundleId"]: key not found))"
            << true;
        FakeStore::Response truncated;
        truncated.body = feedDocument({feedEntry("5")});
        truncated.behaviour = FakeStore::Behaviour::Truncate;
        QTest::newRow("truncated body") << truncated << "networkError(Connection closed)" << false;
        FakeStore::Response closed;
        closed.behaviour = FakeStore::Behaviour::Close;
        QTest::newRow("closed without answer") << closed << "networkError(Connection closed)" << false;
        FakeStore::Response stalled;
        stalled.body = feedDocument({feedEntry("5")});
        stalled.behaviour = FakeStore::Behaviour::Stall;
        QTest::newRow("stalled body")
            << stalled << "networkError(Transfer timed out: nothing received for 1500 ms)" << false;
        FakeStore::Response huge;
        huge.body = QByteArray(HttpFetcher::kMaxBodyBytes + 1, ' ');
        QTest::newRow("body over 64 MiB, announced")
            << huge << "networkError(Response body larger than 64 MiB refused)" << false;
        huge.announceLength = false;
        QTest::newRow("body over 64 MiB, not announced")
            << huge << "networkError(Response body larger than 64 MiB refused)" << false;
    }
    void fetchAllFeeds_secondFeedFails_reportsItAndKeepsTheOthers() {
        QFETCH(FakeStore::Response, response);
        QFETCH(QString, error);
        QFETCH(bool, answered);
        FakeStore store;
        QVERIFY(store.listen());
        store.setJson(feedPath("newapplications"), feedDocument({feedEntry("1"), feedEntry("2")}));
        store.setResponse(feedPath("newfreeapplications"), response);
        store.setJson(feedPath("newpaidapplications"), feedDocument({feedEntry("3")}));
        HttpFetcher::Limits limits;
        limits.transferTimeout = std::chrono::milliseconds(1500);
        iTunesService service(store.origin(), limits);
        ConsoleCapture console;

        const QList<AppEntry> entries = fetchAll(service);

        QCOMPARE(idsOf(entries), (QStringList{"1", "2", "3"}));
        const QStringList lines = console.lines();
        const qsizetype start = lines.indexOf("📱 Fetching newfreeapplications...");
        const qsizetype end = lines.indexOf("📱 Fetching newpaidapplications...");
        QVERIFY(start >= 0 && end > start);
        QStringList expected{"📱 Fetching newfreeapplications...",
                             "📡 Fetching from URL: " + store.origin() + feedPath("newfreeapplications"),
                             "🌐 Making network request..."};
        if (answered)
            expected << QStringLiteral("📊 HTTP Status: %1").arg(response.status)
                     << QStringLiteral("📦 Received %1 bytes of data").arg(response.body.size());
        expected << "❌ Error fetching newfreeapplications: " + error;
        QCOMPARE(lines.mid(start, end - start), expected);
        QVERIFY(console.containsInOrder(
            {"✅ Added 1 apps from newpaidapplications", "📊 Total apps before deduplication: 3"}));
    }

    void fetchAllFeeds_refusedConnection_yieldsNothing() {
        iTunesService service(FakeStore::refusedOrigin());
        ConsoleCapture console;
        QVERIFY(fetchAll(service).isEmpty());
        for (const char* kind : {"newapplications", "newfreeapplications", "newpaidapplications"})
            QVERIFY(console.contains(QStringLiteral("❌ Error fetching %1: networkError(Connection refused)")
                                         .arg(QLatin1String(kind))));
        QVERIFY(console.linesStartingWith("📊 HTTP Status").isEmpty());
        QVERIFY(console.containsInOrder(
            {"📊 Total apps before deduplication: 0", "✨ Unique apps after deduplication: 0"}));
    }

    void fetchFeed_invalidAddress_failsWithInvalidURL_data() {
        QTest::addColumn<QString>("baseURL");
        QTest::newRow("not a URL") << "not a url";
        QTest::newRow("no scheme") << "itunes.apple.com";
        QTest::newRow("not http") << "ftp://store.example";
        QTest::newRow("empty") << "";
    }
    void fetchFeed_invalidAddress_failsWithInvalidURL() {
        QFETCH(QString, baseURL);
        iTunesService service(baseURL);
        ConsoleCapture console;
        const QString address = baseURL + QStringLiteral("/us/rss/newapplications/limit=100/json");
        try {
            AsyncTest::run(service.fetchFeed("us", iTunesService::FeedType::newApplications, 100));
            QFAIL("an invalid address was fetched");
        } catch (const iTunesAPIError& error) {
            QCOMPARE(error.errorCase(), iTunesAPIError::Case::invalidURL);
            QCOMPARE(error.description(), QStringLiteral("invalidURL"));
        }
        QCOMPARE(console.lines(),
                 (QStringList{"📡 Fetching from URL: " + address, "❌ Invalid URL: " + address}));
    }

    void fetchFeed_topChartKinds_canBeFetchedSingly() {
        FakeStore store;
        QVERIFY(store.listen());
        store.setJson("/us/rss/toppaidapplications/limit=25/json",
                      feedDocument({feedEntry("8"), feedEntry("9")}));
        iTunesService service(store.origin());
        ConsoleCapture console;
        const QList<AppEntry> entries =
            AsyncTest::run(service.fetchFeed("us", iTunesService::FeedType::topPaidApplications, 25));
        QCOMPARE(idsOf(entries), (QStringList{"8", "9"}));
        QCOMPARE(store.requests(), QStringList{"/us/rss/toppaidapplications/limit=25/json"});
        QVERIFY(console.contains("✅ Decoded 2 app entries"));
    }

    void fetchFeed_redirectAndErrorStatus_plainGetWithStatusPrinted() {
        FakeStore store;
        QVERIFY(store.listen());
        store.setResponse(feedPath("newapplications"), FakeStore::redirect(302, "/moved/feed.json"));
        FakeStore::Response moved;
        moved.status = 503; // printed, never judged: a feed document is a feed document
        moved.body = feedDocument({feedEntry("1")});
        store.setResponse("/moved/feed.json", moved);
        iTunesService service(store.origin());
        ConsoleCapture console;
        const QList<AppEntry> entries =
            AsyncTest::run(service.fetchFeed("us", iTunesService::FeedType::newApplications, 100));
        QCOMPARE(idsOf(entries), QStringList{"1"});
        QCOMPARE(store.requests(), (QStringList{feedPath("newapplications"), "/moved/feed.json"}));
        QVERIFY(console.contains("📊 HTTP Status: 503"));
        // One plain GET each, nothing beyond the headers Qt sends by itself.
        const QSet<QByteArray> defaults{"host", "connection", "accept-encoding", "accept-language",
                                        "user-agent"};
        for (const QByteArray& head : store.requestHeads()) {
            QList<QByteArray> lines = head.split('\n');
            QVERIFY2(lines.takeFirst().startsWith("GET "), head.constData());
            for (const QByteArray& line : lines)
                QVERIFY2(defaults.contains(line.left(line.indexOf(':')).trimmed().toLower()),
                         line.constData());
        }
    }

    void httpFetcher_bodyLimit_refusesOnlyWhatIsOver_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("announced");
        QTest::addColumn<bool>("refused");
        QTest::newRow("at the limit") << 4096 << true << false;
        QTest::newRow("at the limit, not announced") << 4096 << false << false;
        QTest::newRow("one byte over") << 4097 << true << true;
        QTest::newRow("one byte over, not announced") << 4097 << false << true;
    }
    void httpFetcher_bodyLimit_refusesOnlyWhatIsOver() {
        QFETCH(int, size);
        QFETCH(bool, announced);
        QFETCH(bool, refused);
        FakeStore store;
        QVERIFY(store.listen());
        FakeStore::Response response;
        response.body = QByteArray(size, 'x');
        response.announceLength = announced;
        store.setResponse("/body", response);
        HttpFetcher::Limits limits;
        limits.maxBodyBytes = 4096;
        HttpFetcher fetcher(limits);
        try {
            const HttpFetcher::Response answer = AsyncTest::run(fetcher.get(QUrl(store.origin() + "/body")));
            QVERIFY(!refused);
            QCOMPARE(answer.body, response.body);
            QCOMPARE(answer.statusCode, std::optional<int>(200));
        } catch (const TransferError& error) {
            QVERIFY2(refused, error.what());
            QCOMPARE(error.kind(), TransferError::Kind::BodyTooLarge);
            QCOMPARE(error.description(), QStringLiteral("Response body larger than 4096 bytes refused"));
        }
    }
};

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    TestFeeds test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_feeds.moc"
