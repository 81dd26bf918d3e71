// Feeds: the feed document, the entry-to-record conversion and the feed client.
#include "AppModel.h"
#include "AsyncTest.h"
#include "ConsoleCapture.h"
#include "FakeStore.h"
#include "HttpFetcher.h"
#include "iTunesAPIError.h"
#include "iTunesRSSResponse.h"
#include "iTunesService.h"
#include "StoreDocuments.h"
#include "TransferError.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTest>

Q_DECLARE_METATYPE(FakeStore::Response)

namespace {

const QString kDemoFixtures = QStringLiteral(CALDRIN_FIXTURES_DIR "/demo");

const auto feedEntry = [](const QString& id, const QString& name = QString()) {
    return StoreDocuments::feedEntry(id, name);
};
const auto feedDocument = &StoreDocuments::feedDocument;

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
    if (const QJsonValue changed = withChange(object.value(part), path, value); changed.isUndefined())
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
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("error"); // empty: decodes
        // Two entries, the second with the value at `path` replaced (undefined: removed).
        const auto second = [](const QStringList& path, const QJsonValue& value) {
            return feedDocument({feedEntry("1"), withChange(feedEntry("2"), path, value)});
        };
        const QJsonValue removed(QJsonValue::Undefined);

        QTest::newRow("unknown keys ignored") << second({"id", "attributes", "extra"}, 1) << QString();
        QTest::newRow("null rights") << second({"rights"}, QJsonValue()) << QString();
        QTest::newRow("missing im:bundleId")
            << second({"id", "attributes", "im:bundleId"}, removed)
            << R"(feed.entry[1].id.attributes["im:bundleId"]: key not found)";
        QTest::newRow("image height a number")
            << second({"im:image", "#2", "attributes", "height"}, 100)
            << R"(feed.entry[1]["im:image"][2].attributes.height: expected a string, found a number)";
        QTest::newRow("rights present but malformed")
            << second({"rights"}, "© 2024") << R"(feed.entry[1].rights: expected an object, found a string)";
        QTest::newRow("truncated JSON") << QByteArray(R"({"feed":{"entry":[)")
                                        << "document: malformed JSON at byte 18: unterminated array";
    }
    void feedDocument_decodesWholeOrNotAtAll() {
        QFETCH(QByteArray, body);
        QFETCH(QString, error);
        try {
            const iTunesRSSResponse document = iTunesRSSResponse::decode(body);
            QVERIFY2(error.isEmpty(), "decoded a document that must fail");
            QCOMPARE(idsOf(document.feed.entry), (QStringList{"1", "2"}));
        } catch (const DecodingError& failure) {
            QVERIFY(failure.description() == error && QString::fromUtf8(failure.what()) == error);
        }
    }

    void conversion_takesEveryFieldFromTheEntry_data() {
        QTest::addColumn<bool>("complete");
        QTest::addColumn<QStringList>("heights"); // of the images, in the entry's order
        QTest::addColumn<QString>("icon");        // empty: no icon
        QTest::newRow("complete entry") << true << QStringList{"53", "75", "100"} << "100";
        QTest::newRow("images large to small: the last one")
            << true << QStringList{"100", "75", "53"} << "53";
        QTest::newRow("no rights, attributes or images") << false << QStringList() << QString();
    }
    void conversion_takesEveryFieldFromTheEntry() {
        QFETCH(bool, complete);
        QFETCH(QStringList, heights);
        QFETCH(QString, icon);
        QJsonObject json = feedEntry("987654321", QStringLiteral("Zen 🌸 Garden"));
        QJsonArray images;
        for (const QString& height : heights)
            images.append(QJsonObject{{"label", "https://img.example/" + height + ".png"},
                                      {"attributes", QJsonObject{{"height", height}}}});
        json.insert("im:image", images);
        if (!complete) {
            json.remove("rights");
            json = withChange(json, {"im:artist", "attributes"}, QJsonValue::Undefined).toObject();
            json = withChange(json, {"im:releaseDate", "attributes"}, QJsonValue::Undefined).toObject();
        }
        const QDateTime before = QDateTime::currentDateTimeUtc();
        const AppModel app(decodeEntry(json));
        const QDateTime after = QDateTime::currentDateTimeUtc();

        const auto text = [](const std::optional<QString>& value) { return value.value_or("-"); };
        QCOMPARE((QStringList{app.appleID(), app.name(), app.bundleID(), app.developerName(),
                              text(app.developerURL()), app.appStoreURL(), QString::number(app.price()),
                              app.currency(), app.priceLabel(), app.category(), app.categoryID(),
                              app.releaseDateString(), text(app.iconURL()), text(app.copyright())}),
                 (QStringList{"987654321", "Zen 🌸 Garden", "com.example.app987654321", "Example Dev",
                              complete ? "https://apps.example/dev/id9" : "-",
                              "https://apps.example/us/app/x/id987654321", "1.99", "USD", "$1.99", "Games",
                              "6014", complete ? "March 15, 2024" : "",
                              icon.isEmpty() ? "-" : "https://img.example/" + icon + ".png",
                              complete ? "© 2024 Example" : "-"}));
        QCOMPARE(app.releaseDate(), QDateTime(QDate(2024, 3, 15), QTime(7, 0), Qt::UTC));
        QVERIFY(app.fetchedAt() >= before && app.fetchedAt() <= after);
    }

    // The price amount reads like C's strtod; a release date must be a strict
    // internet date-time, or the conversion's own time stands in.
    void conversion_readsPriceAndDateStrictly_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariant>("value"); // an invalid date-time: the creation time
        const QString price = QStringLiteral("im:price"), date = QStringLiteral("im:releaseDate");
        const auto utc = [](int d, int h, int mi, int s) {
            return QVariant(QDateTime(QDate(2024, 3, d), QTime(h, mi, s), Qt::UTC));
        };
        const QVariant creation = QDateTime();
        QTest::newRow("hexadecimal") << price << "0x1p3" << QVariant(8.0);
        QTest::newRow("empty") << price << "" << QVariant(0.0);
        QTest::newRow("leading space") << price << " 1.99" << QVariant(0.0);
        QTest::newRow("embedded NUL")
            << price << QStringLiteral("1.5") + QChar(0) + QStringLiteral("7") << QVariant(0.0);
        QTest::newRow("Z") << date << "2024-03-15T10:20:30Z" << utc(15, 10, 20, 30);
        QTest::newRow("midnight at minus seven hours")
            << date << "2024-03-15T00:00:00-07:00" << utc(15, 7, 0, 0);
        QTest::newRow("fractional seconds") << date << "2024-03-15T10:20:30.123Z" << creation;
        QTest::newRow("offset hour 24") << date << "2024-03-15T10:20:30+24:00" << creation;
        QTest::newRow("February 29 of a common year") << date << "2023-02-29T00:00:00Z" << creation;
        QTest::newRow("leap second") << date << "2024-03-15T23:59:60Z" << creation;
    }
    void conversion_readsPriceAndDateStrictly() {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QVariant, value);
        const QStringList path = field == QLatin1String("im:price")
                                     ? QStringList{field, "attributes", "amount"}
                                     : QStringList{field, "label"};
        const AppModel app(decodeEntry(withChange(feedEntry("1"), path, text).toObject()));
        if (value.typeId() == QMetaType::Double) {
            QVERIFY(app.price() == value.toDouble() && app.priceLabel() == QStringLiteral("$1.99"));
        } else if (value.toDateTime().isValid()) {
            QCOMPARE(app.releaseDate(), value.toDateTime());
        } else {
            // Two clock readings of one conversion: no more apart than a test can make them.
            QVERIFY(app.releaseDate() >= app.fetchedAt());
            QVERIFY(app.fetchedAt().msecsTo(app.releaseDate()) < 1000);
        }
    }

    // Against the demo folder served as when running offline.
    void fetchAllFeeds_normalRun_printsTheTrailAndKeepsTheFirstEntryPerApp() {
        FakeStore store;
        QVERIFY(store.listen());
        store.setFixturesDirectory(kDemoFixtures);
        const QString origin = store.origin();
        iTunesService service(origin);
        ConsoleCapture console;

        const QList<AppEntry> entries = fetchAll(service);

        const auto size = [&](const char* kind) {
            QFile file(kDemoFixtures + QStringLiteral("/feeds/%1.json").arg(QLatin1String(kind)));
            file.open(QIODevice::ReadOnly);
            return file.readAll().replace("{{origin}}", origin.toUtf8()).size();
        };
        QStringList expected{QStringLiteral("🔄 Fetching from 3 collections...")};
        for (const auto& [kind, count] :
             {std::pair{"newapplications", 6}, std::pair{"newfreeapplications", 4},
              std::pair{"newpaidapplications", 3}}) {
            expected << QStringLiteral("📱 Fetching %1...").arg(QLatin1String(kind))
                     << QStringLiteral("📡 Fetching from URL: ") + origin + feedPath(kind)
                     << QStringLiteral("🌐 Making network request...") << QStringLiteral("📊 HTTP Status: 200")
                     << QStringLiteral("📦 Received %1 bytes of data").arg(size(kind))
                     << QStringLiteral("✅ Decoded %1 app entries").arg(count)
                     << QStringLiteral("✅ Added %1 apps from %2").arg(count).arg(QLatin1String(kind));
        }
        expected << QStringLiteral("📊 Total apps before deduplication: 13")
                 << QStringLiteral("✨ Unique apps after deduplication: 10");
        QCOMPARE(console.lines(), expected);
        QStringList ids;
        for (int i = 1; i <= 10; ++i)
            ids << QString::number(1000000000 + i);
        QCOMPARE(idsOf(entries), ids);
    }

    void fetchAllFeeds_failingFeed_isReportedAndTheOthersMergeFirstWins_data() {
        QTest::addColumn<FakeStore::Response>("response");
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("answered"); // an HTTP answer came: status and size are printed

        QTest::newRow("404 HTML page")
            << FakeStore::htmlError(404) << "decodingError(document: malformed JSON at byte 1: illegal value)"
            << true;
        const auto sent = [](FakeStore::Behaviour behaviour) {
            return FakeStore::Response{.body = feedDocument({feedEntry("5")}), .behaviour = behaviour};
        };
        QTest::newRow("truncated body")
            << sent(FakeStore::Behaviour::Truncate) << "networkError(Connection closed)" << false;
        QTest::newRow("stalled body")
            << sent(FakeStore::Behaviour::Stall)
            << "networkError(Transfer timed out: nothing received for 1500 ms)" << false;
        // Never silent for long, never done.
        QTest::newRow("trickled body")
            << sent(FakeStore::Behaviour::Trickle)
            << "networkError(Transfer timed out: no whole response within 3 s)" << false;
        QTest::newRow("body over 64 MiB")
            << FakeStore::Response{.body = QByteArray(HttpFetcher::kMaxBodyBytes + 1, ' ')}
            << "networkError(Response body larger than 64 MiB refused)" << false;
    }
    void fetchAllFeeds_failingFeed_isReportedAndTheOthersMergeFirstWins() {
        QFETCH(FakeStore::Response, response);
        QFETCH(QString, error);
        QFETCH(bool, answered);
        FakeStore store;
        QVERIFY(store.listen());
        store.setJson(feedPath("newapplications"), feedDocument({feedEntry("1", "first"), feedEntry("2"),
                                                                 feedEntry("1", "later in feed")}));
        store.setResponse(feedPath("newfreeapplications"), response);
        store.setJson(feedPath("newpaidapplications"),
                      feedDocument({feedEntry("3"), feedEntry("2", "paid copy")}));
        HttpFetcher::Limits limits;
        limits.transferTimeout = std::chrono::milliseconds(1500);
        limits.overallDeadline = std::chrono::seconds(3);
        iTunesService service(store.origin(), limits);
        ConsoleCapture console;

        const QList<AppEntry> entries = fetchAll(service);

        // The first entry of each app wins, within a feed and across feeds.
        QCOMPARE(idsOf(entries) + QStringList({entries[0].name.label, entries[1].name.label}),
                 (QStringList{"1", "2", "3", "first", "App 2"}));
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
        QVERIFY(console.containsInOrder({"✅ Added 2 apps from newpaidapplications",
                                         "📊 Total apps before deduplication: 5",
                                         "✨ Unique apps after deduplication: 3"}));
    }

    void fetchFeed_addressNotHttp_failsWithInvalidURL() {
        const QString address = QStringLiteral("ftp://store.example/us/rss/newapplications/limit=100/json");
        iTunesService service(QStringLiteral("ftp://store.example"));
        ConsoleCapture console;
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

    void fetchFeed_singleFeed_followsRedirectsWithStatusPrinted() {
        const QString path = QStringLiteral("/gb/rss/toppaidapplications/limit=25/json");
        FakeStore store;
        QVERIFY(store.listen());
        store.setResponse(path, FakeStore::redirect(302, "/moved/feed.json"));
        // Its status printed, never judged: a feed document is a feed document.
        store.setResponse("/moved/feed.json",
                          {.status = 503, .body = feedDocument({feedEntry("8"), feedEntry("9")})});
        iTunesService service(store.origin());
        ConsoleCapture console;
        const QList<AppEntry> entries =
            AsyncTest::run(service.fetchFeed("gb", iTunesService::FeedType::topPaidApplications, 25));
        QCOMPARE(idsOf(entries), (QStringList{"8", "9"}));
        QCOMPARE(store.requests(), (QStringList{path, "/moved/feed.json"}));
        QVERIFY(console.containsInOrder({"📊 HTTP Status: 503", "✅ Decoded 2 app entries"}));
    }

    void httpFetcher_bodyLimit_refusesOnlyWhatIsOver_data() {
        QTest::addColumn<int>("size"); // sent without a length announced
        QTest::newRow("at the limit") << 4096;
        QTest::newRow("one byte over") << 4097;
    }
    void httpFetcher_bodyLimit_refusesOnlyWhatIsOver() {
        QFETCH(int, size);
        const bool refused = size > 4096;
        FakeStore store;
        QVERIFY(store.listen());
        const FakeStore::Response response{.body = QByteArray(size, 'x'), .announceLength = false};
        store.setResponse("/body", response);
        HttpFetcher::Limits limits;
        limits.maxBodyBytes = 4096;
        HttpFetcher fetcher(limits);
        try {
            const HttpFetcher::Response answer = AsyncTest::run(fetcher.get(QUrl(store.origin() + "/body")));
            QVERIFY(!refused && answer.body == response.body);
        } catch (const TransferError& error) {
            QVERIFY2(refused, error.what());
            QCOMPARE(error.kind(), TransferError::Kind::BodyTooLarge);
            QCOMPARE(error.description(), QStringLiteral("Response body larger than 4096 bytes refused"));
        }
    }
};

QTEST_GUILESS_MAIN(TestFeeds)

#include "tst_feeds.moc"
