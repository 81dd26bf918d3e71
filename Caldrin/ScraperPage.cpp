#include "ScraperPage.h"

#include <QUrl>
#include <QWebEngineFileSystemAccessRequest>
#include <QWebEngineRegisterProtocolHandlerRequest>

Q_LOGGING_CATEGORY(lcPageConsole, "caldrin.page", QtWarningMsg)

ScraperPage::ScraperPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent) {
    // Nothing the page asks for is granted: no camera, location, notifications,
    // file system access or protocol handlers.
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl& origin, QWebEnginePage::Feature feature) {
                setFeaturePermission(origin, feature, QWebEnginePage::PermissionDeniedByUser);
            });
    connect(this, &QWebEnginePage::fileSystemAccessRequested, this,
            [](QWebEngineFileSystemAccessRequest request) { request.reject(); });
    connect(this, &QWebEnginePage::registerProtocolHandlerRequested, this,
            [](QWebEngineRegisterProtocolHandlerRequest request) { request.reject(); });
}

bool ScraperPage::isAllowedNavigation(const QUrl& url, bool isMainFrame) {
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        return true;
    return !isMainFrame && (scheme == QLatin1String("about") || scheme == QLatin1String("data") ||
                            scheme == QLatin1String("blob"));
}

void ScraperPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int,
                                           const QString&) {
    // Every level at info, so the category stays silent unless asked for.
    qCInfo(lcPageConsole).noquote() << message;
}

bool ScraperPage::acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) {
    if (isAllowedNavigation(url, isMainFrame))
        return true;
    qCDebug(lcPageConsole).noquote() << "Refused navigation to" << url.toDisplayString();
    return false;
}
