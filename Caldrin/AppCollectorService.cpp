#include "AppCollectorService.h"

#include "AppModel.h"
#include "BuiltInConfiguration.h"
#include "Console.h"
#include "ErrorText.h"
#include "FreeMemory.h"
#include "ModelContext.h"
#include "NotificationService.h"
#include "SqliteDatabase.h"
#include "SqliteStatement.h"
#include "StoreError.h"
#include "StoreSchema.h"
#include "UserSettings.h"

#include <QFuture>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>
#include <QTimer>

#include <qcoro/qcorofuture.h>
#include <qcoro/qcorotimer.h>

AppCollectorService::AppCollectorService(ModelContext& modelContext, QObject* parent)
    : AppCollectorService(modelContext, Timing(), parent) {}

AppCollectorService::AppCollectorService(ModelContext& modelContext, Timing timing, QObject* parent)
    : QObject(parent)
    , m_itunesAPI(std::make_shared<iTunesService>(BuiltInConfiguration::storeOrigin(), timing.queue.http))
    , m_timing(timing)
    , m_modelContext(modelContext)
    , m_detailsQueue(new DetailsFetchQueue(modelContext, timing.queue, this)) {
    loadLastFetchDate();
    // Both start once the main thread is free, in this order; nobody waits for them.
    QTimer::singleShot(0, this, &AppCollectorService::requestPermission);
    QTimer::singleShot(0, this, &AppCollectorService::startIncompleteCheck);
}

AppCollectorService::~AppCollectorService() {
    // Views may already be gone: stop without telling anyone.
    blockSignals(true);
    stopCollecting();
}

void AppCollectorService::requestPermission() {
    NotificationService::requestPermission();
}

void AppCollectorService::startIncompleteCheck() {
    checkForIncompleteApps();
}

void AppCollectorService::startRun() {
    fetchNewApps();
}

void AppCollectorService::setStatusMessage(const QString& message) {
    m_statusMessage = message;
    emit changed();
}

void AppCollectorService::startCollecting() {
    if (m_isCollecting)
        return;
    m_isCollecting = true;
    setStatusMessage(QStringLiteral("Collection started"));
    QTimer::singleShot(0, this, &AppCollectorService::startRun);
    m_timer = new QTimer(this);
    m_timer->setInterval(m_timing.interval);
    // The timer is the collector's child: it cannot outlive it.
    connect(m_timer, &QTimer::timeout, this, &AppCollectorService::startRun);
    m_timer->start();
    emit changed();
}

void AppCollectorService::stopCollecting() {
    if (m_timer) {
        m_timer->stop();
        m_timer->deleteLater();
        m_timer = nullptr;
    }
    m_isCollecting = false;
    setStatusMessage(QStringLiteral("Collection stopped"));
}

QCoro::Task<> AppCollectorService::fetchNewApps() {
    QPointer<AppCollectorService> self(this);
    // The records this run has stored so far: when a later batch fails, these
    // are still announced and queued, for later runs will skip them as known.
    QList<QSharedPointer<AppModel>> savedApps;
    setStatusMessage(QStringLiteral("Fetching new apps..."));
    Console::print(QStringLiteral("🔄 Starting to fetch new apps..."));
    try {
        const std::shared_ptr<iTunesService> itunesAPI = m_itunesAPI;
        QCoro::Task<QList<AppEntry>> fetching = itunesAPI->fetchAllFeeds(country(), kFeedLimit);
        const QList<AppEntry> entries = co_await fetching;
        if (!self)
            co_return;
        Console::print(QStringLiteral("✅ Fetched %1 apps from iTunes API").arg(entries.size()));
        setStatusMessage(QStringLiteral("Saving %1 apps to database...").arg(entries.size()));

        qint64 added = 0;
        qint64 skipped = 0;
        QList<QSharedPointer<AppModel>> newApps;
        const qsizetype batches = (entries.size() + kBatchSize - 1) / kBatchSize;
        Console::print(
            QStringLiteral("📦 Processing %1 apps in %2 batches of 20").arg(entries.size()).arg(batches));
        for (qsizetype batch = 0; batch < batches; ++batch) {
            Console::print(QStringLiteral("📦 Processing batch %1/%2...").arg(batch + 1).arg(batches));
            const qsizetype end = std::min(entries.size(), (batch + 1) * kBatchSize);
            for (qsizetype i = batch * kBatchSize; i < end; ++i) {
                const AppEntry& entry = entries.at(i);
                // Sees records that another run inserted and has not saved yet.
                const qint64 known =
                    m_modelContext.count<AppModel>(FetchDescriptor::equal("appleID", entry.id.attributes.id));
                if (known > 0) {
                    ++skipped;
                    continue;
                }
                auto app = m_modelContext.insert(QSharedPointer<AppModel>::create(entry));
                ++added;
                newApps.append(app);
            }
            // The wait for the disk happens off the main thread.
            QCoro::Task<> saving = m_modelContext.saveAsync();
            co_await saving;
            if (!self)
                co_return;
            savedApps = newApps;
            Console::print(QStringLiteral("💾 Saved batch %1 - Total saved: %2").arg(batch + 1).arg(added));
            QCoro::Task<> pause = QCoro::sleepFor(m_timing.batchPause);
            co_await pause;
            if (!self)
                co_return;
        }

        m_lastFetchDate = QDateTime::currentDateTimeUtc();
        setStatusMessage(
            QStringLiteral("✓ Saved %1 new apps, skipped %2 duplicates").arg(added).arg(skipped));
        saveLastFetchDate();
        announceAndQueue(newApps);
    } catch (const std::exception& error) {
        if (!self)
            co_return;
        announceAndQueue(savedApps);
        const QString description = ErrorText::describe(error);
        setStatusMessage(QStringLiteral("Error: ") + description);
        Console::print(QStringLiteral("❌ Error fetching apps: ") + description);
        Console::print(QStringLiteral("❌ Error details: ") + description);
    }
}

void AppCollectorService::announceAndQueue(const QList<QSharedPointer<AppModel>>& newApps) {
    if (newApps.isEmpty())
        return;
    NotificationService::sendNewAppsNotification(newApps.size());
    Console::print(QStringLiteral("📋 Adding %1 apps to details queue").arg(newApps.size()));
    m_detailsQueue->addToQueue(newApps);
}

namespace {

// The identities of the incomplete apps, in the store's order: chosen by the
// database through its partial index, so a million complete records are never
// read to find the few that are not, and the incomplete ones are read only
// when their turn comes.
WaitingApps readIncompleteApps(SqliteDatabase& database) {
    SqliteStatement statement(database, "SELECT pk, appleID FROM AppModel WHERE " +
                                            StoreSchema::incompleteAppCondition() + " ORDER BY pk");
    WaitingApps apps;
    while (statement.step())
        apps.append(WaitingApp{nullptr, statement.int64(0), statement.text(1)});
    return apps;
}

// Handed back from the worker by pointer: a copy of a hundred thousand entries
// would be made on the main thread and leave the worker's heap full of holes.
struct IncompleteRead {
    std::shared_ptr<WaitingApps> apps = std::make_shared<WaitingApps>();
    std::optional<QString> error;
};

} // namespace

QCoro::Task<> AppCollectorService::checkForIncompleteApps() {
    Console::print(QStringLiteral("🔍 Checking for incomplete apps on startup..."));
    QPointer<AppCollectorService> self(this);
    std::optional<IncompleteRead> read;
    const QString path = m_modelContext.database().path();
    // A hundred thousand incomplete apps would hold the window for most of a
    // frame: with nothing unsaved to miss, a connection of their own reads
    // them on a worker (WAL lets it read beside the writer).
    if (m_modelContext.readableBeside()) {
        const QFuture<IncompleteRead> reading = QtConcurrent::run([path] {
            IncompleteRead result;
            try {
                SqliteDatabase database;
                database.openReader(path);
                *result.apps = readIncompleteApps(database);
            } catch (const StoreError& error) {
                result.error = error.description();
            }
            FreeMemory::handBack();
            return result;
        });
        read = co_await reading;
        if (!self)
            co_return;
    }
    if (!read || read->error) {
        // Unsaved changes, or a second connection could not read the file.
        read.emplace();
        try {
            m_modelContext.flush();
            *read->apps = readIncompleteApps(m_modelContext.database());
        } catch (const StoreError& error) {
            Console::print(QStringLiteral("❌ Error checking incomplete apps: ") + error.description());
            co_return;
        }
    }
    if (read->apps->isEmpty()) {
        Console::print(QStringLiteral("✅ All apps have complete data"));
        co_return;
    }
    Console::print(QStringLiteral("📋 Found %1 incomplete apps, adding to queue...").arg(read->apps->size()));
    m_detailsQueue->addToQueue(std::move(*read->apps));
}

void AppCollectorService::loadLastFetchDate() {
    const QVariant stored = UserSettings::open().value(UserSettings::lastFetchDateKey());
    // A text that looks like a date is not a date-time value.
    if (stored.typeId() == QMetaType::QDateTime && stored.toDateTime().isValid()) {
        m_lastFetchDate = stored.toDateTime();
        emit changed();
    }
}

void AppCollectorService::saveLastFetchDate() {
    if (!m_lastFetchDate)
        return;
    QSettings settings = UserSettings::open();
    settings.setValue(UserSettings::lastFetchDateKey(), *m_lastFetchDate);
    settings.sync();
}
