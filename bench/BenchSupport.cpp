#include "BenchSupport.h"

#include "AppCollectorService.h"
#include "AppIndex.h"
#include "AppModel.h"
#include "Console.h"
#include "ContentView.h"
#include "DetailsFetchQueue.h"

#include <QDateTime>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QTemporaryDir>

#include <cstdio>

namespace BenchSupport {

namespace {

class LocalOnly : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override {
        if (query.peerHostName() == QLatin1String("127.0.0.1"))
            return {QNetworkProxy::NoProxy};
        return {QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), 9)};
    }
};

} // namespace

void useTemporaryHome(const QTemporaryDir& home) {
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        qputenv(name, QFile::encodeName(home.filePath(QString::fromLatin1(name))));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

void resolveOnlyLocalHost() {
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
                "--host-resolver-rules=\"MAP * ~NOTFOUND, EXCLUDE 127.0.0.1, EXCLUDE localhost\"");
}

void refuseNetwork() {
    qputenv("CALDRIN_STORE_ORIGIN", "http://127.0.0.1:9");
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), 9));
}

void quietTrails() {
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (Console::isConsoleCategory(context.category) ||
            (context.category && qstrcmp(context.category, "caldrin.page") == 0))
            return;
        if (type >= QtWarningMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
}

void reachOnlyLocalHost() {
    QNetworkProxyFactory::setApplicationProxyFactory(new LocalOnly);
}

AppCollectorService* showAndAwaitFirstCollection(ContentView& window) {
    window.resize(1280, 900);
    window.show();
    const bool started = waitUntil(
        [&] {
            AppCollectorService* collector = window.collectorService();
            return window.appIndex().isReady() && collector &&
                   collector->statusMessage().startsWith(QStringLiteral("✓"));
        },
        120'000);
    if (!started) {
        std::fprintf(stderr, "the window's collector did not finish its first run\n");
        return nullptr;
    }
    DetailsFetchQueue& queue = window.collectorService()->detailsQueue();
    queue.clearQueue();
    waitUntil([&] { return !queue.isProcessing(); }, 30'000);
    return window.collectorService();
}

QSharedPointer<AppModel> newApp(const QString& appleID, const QString& name, const QString& bundleID,
                                const QString& appStoreURL) {
    auto app = QSharedPointer<AppModel>::create();
    app->setAppleID(appleID);
    app->setName(name);
    app->setBundleID(bundleID);
    app->setDeveloperName(QStringLiteral("Bench Labs"));
    app->setAppStoreURL(appStoreURL);
    app->setCurrency(QStringLiteral("USD"));
    app->setPriceLabel(QStringLiteral("Get"));
    app->setCategory(QStringLiteral("Games"));
    app->setCategoryID(QStringLiteral("6014"));
    app->setReleaseDate(QDateTime::currentDateTimeUtc());
    app->setFetchedAt(QDateTime::currentDateTimeUtc());
    return app;
}

} // namespace BenchSupport
