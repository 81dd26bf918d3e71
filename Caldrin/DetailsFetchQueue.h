#pragma once

#include "AppDetailsService.h"
#include "WaitingApps.h"
#include "WebKitScraperService.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSharedPointer>
#include <QString>

#include <QCoroTask>

#include <chrono>
#include <memory>
#include <optional>

class AppModel;
class ModelContext;

// Enriches app records one at a time: the lookup first, the product page when
// the record still has no screenshots, then the record is marked fetched and
// saved, with a pause between apps. Publishes its progress for the window.
// Main thread only.
class DetailsFetchQueue : public QObject {
    Q_OBJECT
public:
    struct Timing {
        std::chrono::milliseconds pauseBetweenApps{std::chrono::seconds(1)};
        WebKitScraperService::Durations scraper;
        HttpFetcher::Limits http;
    };

    using Waiting = WaitingApp;

    explicit DetailsFetchQueue(ModelContext& modelContext, QObject* parent = nullptr);
    DetailsFetchQueue(ModelContext& modelContext, Timing timing, QObject* parent = nullptr);
    ~DetailsFetchQueue() override;

    // Appends the apps whose appleID is not already waiting and starts a drain
    // when none is running (on the event loop, not inside this call).
    void addToQueue(const QList<QSharedPointer<AppModel>>& apps);
    // The same for stored apps named by their identity.
    void addToQueue(const QList<Waiting>& apps);
    void addToQueue(WaitingApps apps);
    // Drains the list, picking up apps added meanwhile. Started by addToQueue.
    QCoro::Task<> processQueue();
    // Enriches one record; every failure is printed and swallowed.
    QCoro::Task<> processApp(QSharedPointer<AppModel> app);
    // Empties the waiting list; a running drain ends after the app in hand.
    void clearQueue();
    QString queueStatus() const;

    // A decimal byte count as a file size text ("1.2 MB"); absent for absent,
    // empty or non-numeric text and for numbers beyond 64 bits.
    static std::optional<QString> formatFileSize(const std::optional<QString>& bytes);

    ModelContext& modelContext() const { return m_modelContext; }
    bool isProcessing() const { return m_isProcessing; }
    const std::optional<QString>& currentApp() const { return m_currentApp; }
    qint64 processedCount() const { return m_processedCount; }
    qint64 totalCount() const { return m_totalCount; }
    const QString& statusMessage() const { return m_statusMessage; }
    const WaitingApps& queue() const { return m_queue; }

signals:
    // Any published field changed.
    void changed();

private:
    void startDrain();
    QSharedPointer<AppModel> recordOf(const Waiting& waiting);
    void setStatusMessage(const QString& message);

    ModelContext& m_modelContext;
    Timing m_timing;
    // Shared with the task in progress, so that a queue destroyed mid-fetch
    // leaves its services alive until that task has finished with them.
    std::shared_ptr<WebKitScraperService> m_webKitScraper;
    std::shared_ptr<AppDetailsService> m_detailsService;
    bool m_isProcessing = false;
    std::optional<QString> m_currentApp;
    qint64 m_processedCount = 0;
    qint64 m_totalCount = 0;
    QString m_statusMessage = QStringLiteral("Queue idle");
    WaitingApps m_queue;
};
