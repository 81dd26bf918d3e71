// Serves a fixtures folder as the store on 127.0.0.1, so that Caldrin can run
// offline: start it, then start Caldrin with CALDRIN_STORE_ORIGIN set to the
// origin it prints.
#include "FakeStore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

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
    parser.addOption(portOption);
    parser.addOption(fixturesOption);
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
