#pragma once

#include "InAppPurchaseItem.h"
#include "PageEvaluation.h"
#include "WebKitScrapedData.h"

#include <QCoroTask>
#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <coroutine>
#include <exception>
#include <memory>
#include <optional>

class QTimer;
class QWebEngineLoadingInfo;
class QWebEngineProfile;
class ScraperPage;

// Loads one app's product page in a hidden page, waits for the page's own
// scripts to build it, runs the screenshot, purchase and description scripts in
// it and hands back what they found. Prints a diagnostic trail and keeps the
// page's HTML in /tmp/appstore_page_debug.html. Main thread only; one scrape at
// a time per service (the caller awaits each scrape before starting the next).
//
// The page lives in an off-the-record profile of its own, cannot reach local
// files, open windows or other schemes, and is granted no permissions.
class WebKitScraperService : public QObject {
    Q_OBJECT
public:
    // The wait between the end of the page load and the first script, and the
    // time after which a scrape gives up. Tests shorten them; the program does not.
    struct Durations {
        std::chrono::milliseconds pageWait{std::chrono::seconds(5)};
        std::chrono::milliseconds timeout{std::chrono::seconds(30)};
    };

    static const QString debugFilePath; // "/tmp/appstore_page_debug.html"

    explicit WebKitScraperService(QObject* parent = nullptr);
    explicit WebKitScraperService(Durations durations, QObject* parent = nullptr);
    ~WebKitScraperService() override;

    // The page's data; absent when the text is no web address or the time-out
    // expired. Throws WebKitNavigationError when the engine reports that the
    // load failed, whether before any of the page arrived or after.
    QCoro::Task<std::optional<WebKitScrapedData>> scrapePage(const QString& url);

    // The three extraction scripts, each one expression evaluated unchanged in every page.
    static const QString& screenshotScript();
    static const QString& purchaseScript();
    static const QString& descriptionScript();

    // What each extraction step makes of its evaluation, with the step's console lines.
    struct PurchaseFindings {
        bool hasInAppPurchases = false;
        std::optional<QString> info;
        QList<InAppPurchaseItem> items;
    };
    static QStringList takeScreenshots(const PageEvaluation::Outcome& outcome);
    static PurchaseFindings takePurchases(const PageEvaluation::Outcome& outcome);
    static std::optional<QString> takeDescription(const PageEvaluation::Outcome& outcome);

private:
    // The way back to the caller of one scrape; completed at most once.
    struct PendingScrape {
        quint64 serial = 0;
        bool completed = false;
        bool pageLoaded = false; // a page of this scrape finished loading
        std::optional<WebKitScrapedData> result;
        std::exception_ptr error;
        std::coroutine_handle<> waiting;
        QTimer* timer = nullptr;
    };
    class Completion {
    public:
        explicit Completion(std::shared_ptr<PendingScrape> pending)
            : m_pending(std::move(pending)) {}
        bool await_ready() const noexcept { return m_pending->completed; }
        void await_suspend(std::coroutine_handle<> waiting) { m_pending->waiting = waiting; }
        std::optional<WebKitScrapedData> await_resume() const;

    private:
        std::shared_ptr<PendingScrape> m_pending;
    };

    void setupWebView();
    void discardWebView();
    void loadingChanged(const QWebEngineLoadingInfo& info);
    void pageFinished();
    void navigationFailed(const QWebEngineLoadingInfo& info);
    void timeoutExpired(const std::shared_ptr<PendingScrape>& pending);
    void complete(std::shared_ptr<PendingScrape> pending, std::optional<WebKitScrapedData> result,
                  std::exception_ptr error = {});
    QCoro::Task<> extractPageData(quint64 serial, QPointer<ScraperPage> page);
    bool isCurrent(quint64 serial, const QPointer<ScraperPage>& page) const;

    Durations m_durations;
    QWebEngineProfile* m_profile = nullptr;
    QPointer<ScraperPage> m_webView;
    std::shared_ptr<PendingScrape> m_continuation;
    quint64 m_serial = 0;     // the latest scrape's number
    bool m_committed = false; // the current navigation has put a document in the page
};
