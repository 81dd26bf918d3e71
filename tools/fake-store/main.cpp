// Serves a fixtures folder as the store on 127.0.0.1, so that Caldrin can run
// offline: start it, then start Caldrin with CALDRIN_STORE_ORIGIN set to the
// origin it prints.
#include "FakeStore.h"
#include "StoreDocuments.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

// Feeds whose entries are new on every request, with a lookup document for each
// id handed out (the fixtures' first lookup document, renamed), so that every
// run of the collector saves a full set of new apps and enriches them.
FakeStore::Responder freshFeeds(FakeStore& store, const QString& fixtures) {
    QJsonObject lookupTemplate;
    QFile templateFile(QDir(fixtures).filePath(QStringLiteral("lookup/1000000001.json")));
    if (templateFile.open(QIODevice::ReadOnly)) {
        const QJsonArray results =
            QJsonDocument::fromJson(templateFile.readAll()).object().value("results").toArray();
        lookupTemplate = results.first().toObject();
    }
    struct State {
        // Ids start at the current time so a restarted server never repeats one.
        qint64 next = QDateTime::currentSecsSinceEpoch() * 1000;
        QSet<QString> handedOut;
    };
    auto state = std::make_shared<State>();
    return
        [&store, state, lookupTemplate](const QString& pathAndQuery) -> std::optional<FakeStore::Response> {
            static const QRegularExpression feed(QStringLiteral("^/[^/]+/rss/[^/]+/limit=(\\d+)/json$"));
            const QUrl url(QStringLiteral("http://store") + pathAndQuery);
            FakeStore::Response response;
            if (const auto match = feed.match(url.path()); match.hasMatch()) {
                const int count = std::min(match.captured(1).toInt(), 200);
                QJsonArray entries;
                for (int i = 0; i < count; ++i) {
                    const QString id = QString::number(state->next++);
                    state->handedOut.insert(id);
                    entries.append(StoreDocuments::feedEntry(id, QStringLiteral("Fresh App %1").arg(id),
                                                             store.origin()));
                }
                response.body = StoreDocuments::feedDocument(entries);
                return response;
            }
            const QString id = QUrlQuery(url).queryItemValue(QStringLiteral("id"));
            if (url.path() != QLatin1String("/lookup") || !state->handedOut.contains(id))
                return std::nullopt;
            QJsonArray results;
            if (!lookupTemplate.isEmpty()) {
                QJsonObject result = lookupTemplate;
                result.insert(QStringLiteral("trackId"), id.toLongLong());
                result.insert(QStringLiteral("trackName"), QStringLiteral("Fresh App %1").arg(id));
                results.append(result);
            }
            response.contentType = "text/javascript; charset=utf-8";
            response.body = StoreDocuments::lookupDocument(results.size(), results);
            response.body.replace("{{origin}}", store.origin().toUtf8());
            return response;
        };
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("fake-store"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Serves ranking feeds, lookup documents, product pages and images from a fixtures folder "
        "on 127.0.0.1, standing in for the store."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringList{"p", "port"},
                                        QStringLiteral("Port to listen on (0 picks a free one)."),
                                        QStringLiteral("port"), QStringLiteral("8080"));
    const QCommandLineOption fixturesOption(
        QStringList{"f", "fixtures"},
        QStringLiteral(
            "Fixtures folder with feeds/, lookup/, pages/ and images/ (default: the demo folder)."),
        QStringLiteral("folder"), QStringLiteral(CALDRIN_DEMO_FIXTURES_DIR));
    const QCommandLineOption freshOption(
        QStringLiteral("fresh-feeds"),
        QStringLiteral("Every feed request hands out apps never seen before, each with a lookup document."));
    parser.addOption(portOption);
    parser.addOption(fixturesOption);
    parser.addOption(freshOption);
    parser.process(application);

    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port > 65535) {
        std::fprintf(stderr, "fake-store: not a port: %s\n", qPrintable(parser.value(portOption)));
        return 2;
    }
    const QString fixtures = QFileInfo(parser.value(fixturesOption)).absoluteFilePath();
    if (!QDir(fixtures).exists()) {
        std::fprintf(stderr, "fake-store: no such folder: %s\n", qPrintable(fixtures));
        return 2;
    }

    FakeStore store;
    store.setFixturesDirectory(fixtures);
    if (parser.isSet(freshOption))
        store.setResponder(freshFeeds(store, fixtures));
    if (!store.listen(static_cast<quint16>(port))) {
        std::fprintf(stderr, "fake-store: cannot listen on 127.0.0.1:%u\n", port);
        return 1;
    }
    QObject::connect(&store, &FakeStore::requestReceived, [](const QString& pathAndQuery) {
        std::printf("GET %s\n", qPrintable(pathAndQuery));
        std::fflush(stdout);
    });
    std::printf("Serving %s at %s\n", qPrintable(fixtures), qPrintable(store.origin()));
    std::printf("Start Caldrin with: CALDRIN_STORE_ORIGIN=%s scripts/run\n", qPrintable(store.origin()));
    std::fflush(stdout);
    return QCoreApplication::exec();
}
