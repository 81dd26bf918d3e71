#pragma once

#include <QLoggingCategory>
#include <QWebEnginePage>

// The page console of scraped pages ("caldrin.page", off by default): the
// program does not print it, but it can be shown or captured through this category.
Q_DECLARE_LOGGING_CATEGORY(lcPageConsole)

class QWebEngineProfile;

// The window-less page in which product pages are scraped. It sends the page's
// console to the "caldrin.page" logging category and lets the page go nowhere
// but to web addresses: a top-level navigation to any other scheme (file:, qrc:,
// custom schemes, ...) is refused.
class ScraperPage : public QWebEnginePage {
    Q_OBJECT
public:
    explicit ScraperPage(QWebEngineProfile* profile, QObject* parent = nullptr);

    // http and https everywhere; inside frames also the document-less schemes
    // that pages build frames from (about:, data:, blob:).
    static bool isAllowedNavigation(const QUrl& url, bool isMainFrame);

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int lineNumber,
                                  const QString& sourceID) override;
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
};
