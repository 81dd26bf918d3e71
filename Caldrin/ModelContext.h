#pragma once

#include "FetchDescriptor.h"
#include "PersistentRecord.h"
#include "RecordTable.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSharedPointer>
#include <QWeakPointer>

#include <functional>
#include <optional>

class SqliteDatabase;
class SqliteStatement;

// The main-thread store context over one SQLite connection.
//
// Pending changes (inserts, field changes, deletions) are kept by the context
// until a save succeeds. Before any query they are written into an open write
// transaction, so every query, including the hand-written ones of the window's
// list, sees them; save() commits that transaction. When a write or the commit
// fails, the transaction is rolled back and the changes stay pending, to be
// written again by the next query or save. Nothing pending is ever lost to a
// failure, and a process killed mid-save leaves the last commit intact.
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
    bool hasChanges() const;

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
    QHash<qint64, QWeakPointer<PersistentRecord>>& identityMap(RecordKind kind);
    QList<QSharedPointer<PersistentRecord>> liveRecords(RecordKind kind);

    SqliteDatabase& m_database;
    QList<QSharedPointer<PersistentRecord>> m_pending;
    QByteArrayList m_bulkDeletes; // tables emptied since the last commit, replayed after a rollback
    bool m_needsReplay = false;
    bool m_flushing = false;
    QHash<qint64, QWeakPointer<PersistentRecord>> m_identity[3];
    int m_materializedSincePurge = 0;
};
