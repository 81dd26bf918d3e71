#pragma once

#include "FetchDescriptor.h"
#include "PersistentRecord.h"
#include "RecordTable.h"

#include <QFuture>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSharedPointer>
#include <QWeakPointer>

#include <qcoro/qcorotask.h>

#include <functional>
#include <optional>

struct sqlite3;
class SqliteDatabase;
class SqliteStatement;

// The main-thread store context over one SQLite connection.
//
// Pending changes (inserts, field changes, deletions) are kept by the context
// until a save succeeds. Before any query they are written into an open write
// transaction, so every query, including the hand-written ones of the window's
// list, sees them; save() commits that transaction. When a write or the commit
// fails, the transaction is rolled back and the changes stay pending, to be
// written again by the next save. Nothing pending is ever lost to a failure,
// and a process killed mid-save leaves the last commit intact.
//
// While another connection holds the write lock, the main thread waits for it
// at most kLockWaitMs per attempt. A query whose pending changes cannot be
// written (or after a failed save) answers from what is committed with the
// pending changes laid over it in memory, and queries do not try to write
// again until the next save does.
//
// A save returns, or its awaitable form resumes, only once the commit is on
// the disk (the file's data synced): in WAL mode the context syncs the log
// itself after the commit, so that an awaiting caller leaves that wait to a
// worker thread. Checkpoints of the log run on a connection of their own off
// the main thread.
//
// There is one in-memory object per stored record while anyone holds it.
class ModelContext : public QObject {
    Q_OBJECT
public:
    explicit ModelContext(SqliteDatabase& database, QObject* parent = nullptr);
    ~ModelContext() override;

    template <class R> QList<QSharedPointer<R>> fetch(const FetchDescriptor& descriptor = {}) {
        return castList<R>(fetchRecords(R::recordTable(), descriptor));
    }
    template <class R> qint64 count(const FetchDescriptor& descriptor = {}) {
        return countRecords(R::recordTable(), descriptor);
    }
    // Inserts a new record. When its unique value is already stored, the stored
    // record takes the new values instead and is returned; otherwise the record
    // itself is returned.
    template <class R> QSharedPointer<R> insert(const QSharedPointer<R>& record) {
        PersistentRecord* kept = insertRecord(R::recordTable(), record.data());
        return kept == record.data() ? record : qSharedPointerCast<R>(kept->sharedFromThis());
    }
    // Deletes a record; a folder takes its favorites with it.
    void remove(PersistentRecord* record);
    // Deletes every record of a kind without loading them; returns how many.
    template <class R> qint64 removeAll() { return removeAllRecords(R::recordTable()); }
    // Writes every pending change in one transaction; throws StoreError and
    // keeps them pending when that fails.
    void save();
    // The same for callers that can await: the wait for the disk happens on a
    // worker thread, and the task resumes once the commit is durable. The
    // changes are committed (and seen by every query) before it suspends.
    QCoro::Task<> saveAsync();
    // The longest the main thread waits for another connection's lock, per attempt.
    static constexpr int kLockWaitMs = 100;
    bool hasChanges() const;
    // Whether a connection of another thread to the same file would read what
    // this context holds: the store is a file, and nothing is unsaved.
    bool readableBeside() const;

    // For query builders whose filters are more than one equality test: records
    // of one kind chosen by an SQL condition with bound values.
    using Binder = std::function<void(SqliteStatement&)>;
    template <class R>
    QList<QSharedPointer<R>> fetchWhere(const QByteArray& condition, const Binder& bind = {},
                                        const QByteArray& orderBy = {}, std::optional<qint64> limit = {}) {
        return castList<R>(fetchRecordsWhere(R::recordTable(), condition, bind, orderBy, limit));
    }
    template <class R> QSharedPointer<R> recordWithPersistentId(qint64 id) {
        return qSharedPointerCast<R>(recordWithId(R::recordTable(), id));
    }
    // Writes pending changes into the open transaction so that hand-written SQL
    // sees them. Throws StoreError (and keeps them pending) when that fails.
    void flush();
    SqliteDatabase& database() { return m_database; }

    // Reads one app's description on demand; absent on failure.
    std::optional<QString> loadAppDescription(qint64 id);

signals:
    void recordInserted(PersistentRecord* record);
    void recordChanged(PersistentRecord* record);
    void recordRemoved(PersistentRecord* record);
    // Every record of a kind was deleted at once (records not in memory included).
    void allRecordsRemoved(RecordKind kind);
    void didSave();

private:
    friend class PersistentRecord;

    template <class R>
    static QList<QSharedPointer<R>> castList(const QList<QSharedPointer<PersistentRecord>>& list) {
        QList<QSharedPointer<R>> result;
        result.reserve(list.size());
        for (const auto& record : list)
            result.append(qSharedPointerCast<R>(record));
        return result;
    }

    static const RecordTable& tableFor(RecordKind kind);
    QList<QSharedPointer<PersistentRecord>> fetchRecords(const RecordTable& table,
                                                         const FetchDescriptor& descriptor);
    QList<QSharedPointer<PersistentRecord>> fetchRecordsWhere(const RecordTable& table,
                                                              const QByteArray& condition, const Binder& bind,
                                                              const QByteArray& orderBy,
                                                              std::optional<qint64> limit);
    qint64 countRecords(const RecordTable& table, const FetchDescriptor& descriptor);
    // Takes a record owned by a QSharedPointer; returns the record kept.
    PersistentRecord* insertRecord(const RecordTable& table, PersistentRecord* record);
    QSharedPointer<PersistentRecord> recordWithId(const RecordTable& table, qint64 id);
    QSharedPointer<PersistentRecord> findByUniqueValue(const RecordTable& table, const QString& value);
    qint64 removeAllRecords(const RecordTable& table);

    QSharedPointer<PersistentRecord> materialize(const RecordTable& table, const SqliteStatement& statement);
    void recordDidChange(PersistentRecord* record);
    void markDeleted(PersistentRecord* record);
    void keepPending(PersistentRecord* record);
    void writeRecord(PersistentRecord* record);
    void beginTransaction();
    void rollback();
    // Writes and commits the pending changes; false when there was nothing to do.
    bool commitPending();
    // True when queries on the connection see every pending change (written
    // now if need be); false when they cannot be written and the overlay answers.
    bool writeForQuery();
    QList<QSharedPointer<PersistentRecord>> overlayFetch(const RecordTable& table,
                                                         const QByteArray& condition, const Binder& bind,
                                                         const QByteArray& orderBy,
                                                         std::optional<qint64> limit);
    qint64 overlayCount(const RecordTable& table, const QByteArray& condition, const Binder& bind);
    // The pending records of a kind as a query on the committed table sees
    // them: the keys of the committed rows they change or remove, and those
    // that are still live (changed or new).
    struct PendingRows {
        QList<qint64> changedKeys;
        QList<QSharedPointer<PersistentRecord>> live;
    };
    PendingRows pendingRows(RecordKind kind) const;
    QByteArray loadOverlay(const RecordTable& table, const QList<QSharedPointer<PersistentRecord>>& records);
    void startCheckpoint();
    static int walCommitted(void* context, sqlite3* db, const char* name, int frames);
    // fdatasync of the log (and of its folder when asked); 0 or the errno.
    static int syncToDisk(const QByteArray& log, const QByteArray& folder);
    void throwSyncError(int error);
    QHash<qint64, QWeakPointer<PersistentRecord>>& identityMap(RecordKind kind);
    QList<QSharedPointer<PersistentRecord>> liveRecords(RecordKind kind);

    SqliteDatabase& m_database;
    QList<QSharedPointer<PersistentRecord>> m_pending;
    QByteArrayList m_bulkDeletes; // tables emptied since the last commit, replayed after a rollback
    bool m_needsReplay = false;
    bool m_flushing = false;
    QHash<qint64, QWeakPointer<PersistentRecord>> m_identity[3];
    int m_materializedSincePurge = 0;
    bool m_writesBlocked = false; // a query could not write; queries wait for the next save
    // WAL: commits run with synchronous=NORMAL and the context syncs the log.
    bool m_syncsLog = false;
    bool m_folderSynced = false;
    QByteArray m_logPath;
    QByteArray m_folderPath;
    bool m_checkpointWanted = false;
    QFuture<void> m_checkpoint;
};
