#pragma once

#include "DetailsFetchQueue.h"
#include "iTunesService.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <QCoroTask>

#include <chrono>
#include <memory>
#include <optional>

class AppModel;
class ModelContext;
class QTimer;

// Runs collection: once when started and then every hour it fetches the merged
// new-app feeds, stores every app not yet known in batches of 20, remembers when
// it last ran, announces new apps and hands them to the details queue. At
// creation it asks for notification permission and queues every stored app
// whose details are incomplete. Main thread only.
class AppCollectorService : public QObject {
    Q_OBJECT
public:
    struct Timing {
        std::chrono::milliseconds batchPause{100};
        std::chrono::milliseconds interval{std::chrono::hours(1)};
        DetailsFetchQueue::Timing queue;
    };
    static constexpr int kBatchSize = 20;
    static constexpr int kFeedLimit = 100;
    static QString country() { return QStringLiteral("us"); }

    explicit AppCollectorService(ModelContext& modelContext, QObject* parent = nullptr);
    AppCollectorService(ModelContext& modelContext, Timing timing, QObject* parent = nullptr);
    ~AppCollectorService() override;

    // Switches collection on: a run at once, then one every hour.
    void startCollecting();
    // Switches collection off; a run in progress finishes.
    void stopCollecting();
    // One collection run. Reports failures through statusMessage and the
    // console; never throws.
    QCoro::Task<> fetchNewApps();
    // Queues every stored app whose details are incomplete.
    QCoro::Task<> checkForIncompleteApps();
    void loadLastFetchDate();
    void saveLastFetchDate();

    const iTunesService& itunesAPI() const { return *m_itunesAPI; }
    QTimer* timer() const { return m_timer; }
    ModelContext& modelContext() const { return m_modelContext; }
    bool isCollecting() const { return m_isCollecting; }
    const std::optional<QDateTime>& lastFetchDate() const { return m_lastFetchDate; }
    const QString& statusMessage() const { return m_statusMessage; }
    DetailsFetchQueue& detailsQueue() const { return *m_detailsQueue; }

signals:
    // Any published field changed.
    void changed();

private:
    void setStatusMessage(const QString& message);
    void startRun();
    void requestPermission();
    void startIncompleteCheck();
    // Announces the apps a run stored and hands them to the details queue.
    void announceAndQueue(const QList<QSharedPointer<AppModel>>& newApps);

    // Shared with the run in progress, so that a collector destroyed mid-run
    // leaves the feed client alive until that run has finished with it.
    std::shared_ptr<iTunesService> m_itunesAPI;
    Timing m_timing;
    QTimer* m_timer = nullptr;
    ModelContext& m_modelContext;
    bool m_isCollecting = false;
    std::optional<QDateTime> m_lastFetchDate;
    QString m_statusMessage = QStringLiteral("Ready to start collecting apps");
    DetailsFetchQueue* m_detailsQueue;
};
