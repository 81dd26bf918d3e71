#include "ModelContext.h"

#include "AppModel.h"
#include "FavoriteApp.h"
#include "FavoriteFolder.h"
#include "SqliteDatabase.h"
#include "SqliteStatement.h"
#include "StoreError.h"

#include <QFileInfo>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>
#include <QThread>

#include <qcoro/qcorofuture.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

namespace {

QByteArray placeholders(qsizetype count) {
    QByteArray result;
    for (qsizetype i = 0; i < count; ++i)
        result += i == 0 ? "?" : ", ?";
    return result;
}

void requireColumn(const QByteArrayList& allowed, const QByteArray& field, const RecordTable& table) {
    if (!allowed.contains(field))
        throw StoreError(QStringLiteral("%1 has no field \"%2\" usable here")
                             .arg(QString::fromLatin1(table.table), QString::fromLatin1(field)),
                         SQLITE_OK);
}

// Log frames after which a checkpoint starts (SQLite's own default threshold).
constexpr int kCheckpointFrames = 1000;
// Records not yet in the database sort after every stored one, in insertion order.
constexpr qint64 kUnsavedKeyBase = qint64(1) << 62;

QByteArray keyList(const QList<qint64>& keys) {
    QByteArray list;
    for (const qint64 key : keys)
        list += (list.isEmpty() ? "" : ", ") + QByteArray::number(key);
    return list;
}

// The WHERE clause (or nothing) of the committed rows a query may take from
// the table as it is: those matching `condition` that no pending change touches.
QByteArray committedRowsWhere(const QByteArray& condition, const QList<qint64>& changed) {
    QByteArrayList where;
    if (!condition.isEmpty())
        where.append("(" + condition + ")");
    if (!changed.isEmpty())
        where.append("pk NOT IN (" + keyList(changed) + ")");
    return where.isEmpty() ? QByteArray() : " WHERE " + where.join(" AND ");
}

} // namespace

ModelContext::ModelContext(SqliteDatabase& database, QObject* parent)
    : QObject(parent)
    , m_database(database) {
    if (!m_database.isOpen())
        return;
    m_database.setBusyTimeout(kLockWaitMs);
    try {
        QString mode;
        {
            SqliteStatement statement(m_database, "PRAGMA journal_mode");
            if (statement.step())
                mode = statement.text(0);
        }
        const char* file = sqlite3_db_filename(m_database.handle(), "main");
        if (mode.compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0 && file && *file) {
            // The commit's own fsync would keep every caller waiting on the
            // thread that commits; the context syncs the log itself instead,
            // before any save reports success.
            m_database.exec("PRAGMA synchronous = NORMAL");
            m_logPath = QByteArray(sqlite3_filename_wal(file));
            m_folderPath = QFile::encodeName(QFileInfo(QString::fromUtf8(file)).absolutePath());
            m_syncsLog = true;
            sqlite3_wal_hook(m_database.handle(), &ModelContext::walCommitted, this);
        }
    } catch (const StoreError&) {
        // Left to the engine: every commit synced by it.
    }
}

ModelContext::~ModelContext() {
    m_checkpoint.waitForFinished();
    if (m_syncsLog && m_database.isOpen())
        sqlite3_wal_autocheckpoint(m_database.handle(), kCheckpointFrames);
    // Unsaved changes die with the context, as they would with the process; the
    // open transaction is rolled back rather than half-written.
    if (m_database.inTransaction()) {
        try {
            m_database.exec("ROLLBACK");
        } catch (const StoreError&) {
        }
    }
    if (m_syncsLog && m_database.isOpen()) {
        // Whoever uses the connection next gets commits synced by the engine again.
        try {
            m_database.exec("PRAGMA synchronous = FULL");
        } catch (const StoreError&) {
        }
    }
    for (const auto& record : std::as_const(m_pending))
        record->m_context.clear();
}

const RecordTable& ModelContext::tableFor(RecordKind kind) {
    switch (kind) {
    case RecordKind::App:
        return AppModel::recordTable();
    case RecordKind::Folder:
        return FavoriteFolder::recordTable();
    case RecordKind::Favorite:
        break;
    }
    return FavoriteApp::recordTable();
}

QHash<qint64, QWeakPointer<PersistentRecord>>& ModelContext::identityMap(RecordKind kind) {
    return m_identity[static_cast<int>(kind)];
}

QList<QSharedPointer<PersistentRecord>> ModelContext::fetchRecords(const RecordTable& table,
                                                                   const FetchDescriptor& descriptor) {
    QByteArray condition;
    if (descriptor.predicate) {
        requireColumn(table.textColumns, descriptor.predicate->field, table);
        condition = descriptor.predicate->field + " = ?";
    }
    QByteArray orderBy;
    if (descriptor.sort) {
        requireColumn(table.sortColumns, descriptor.sort->field, table);
        orderBy = descriptor.sort->field + (descriptor.sort->ascending ? " ASC" : " DESC");
    }
    const QString value = descriptor.predicate ? descriptor.predicate->value : QString();
    Binder bind;
    if (descriptor.predicate)
        bind = [&value](SqliteStatement& statement) { statement.bind(1, value); };
    return fetchRecordsWhere(table, condition, bind, orderBy, descriptor.limit);
}

QList<QSharedPointer<PersistentRecord>>
ModelContext::fetchRecordsWhere(const RecordTable& table, const QByteArray& condition, const Binder& bind,
                                const QByteArray& orderBy, std::optional<qint64> limit) {
    Q_ASSERT(QThread::currentThread() == thread());
    if (!writeForQuery())
        return overlayFetch(table, condition, bind, orderBy, limit);
    QByteArray sql = "SELECT pk, " + table.selectList + " FROM " + table.table;
    if (!condition.isEmpty())
        sql += " WHERE " + condition;
    // Ties keep insertion order, so "the first record found" is stable.
    sql += " ORDER BY " + (orderBy.isEmpty() ? QByteArray() : orderBy + ", ") + "pk ASC";
    if (limit)
        sql += " LIMIT " + QByteArray::number(*limit);
    SqliteStatement& statement = m_database.cached(sql);
    StatementReset reset(statement);
    if (bind)
        bind(statement);
    QList<QSharedPointer<PersistentRecord>> records;
    while (statement.step())
        records.append(materialize(table, statement));
    return records;
}

qint64 ModelContext::countRecords(const RecordTable& table, const FetchDescriptor& descriptor) {
    Q_ASSERT(QThread::currentThread() == thread());
    QByteArray condition;
    if (descriptor.predicate) {
        requireColumn(table.textColumns, descriptor.predicate->field, table);
        condition = descriptor.predicate->field + " = ?";
    }
    const QString value = descriptor.predicate ? descriptor.predicate->value : QString();
    Binder bind;
    if (descriptor.predicate)
        bind = [&value](SqliteStatement& statement) { statement.bind(1, value); };
    if (!writeForQuery())
        return overlayCount(table, condition, bind);
    SqliteStatement& statement = m_database.cached("SELECT count(*) FROM " + table.table +
                                                   (condition.isEmpty() ? "" : " WHERE " + condition));
    StatementReset reset(statement);
    if (bind)
        bind(statement);
    return statement.step() ? statement.int64(0) : 0;
}

bool ModelContext::writeForQuery() {
    const bool work = m_needsReplay || std::any_of(m_pending.cbegin(), m_pending.cend(),
                                                   [](const auto& record) { return record->m_needsFlush; });
    if (!work)
        return true;
    if (m_writesBlocked)
        return false; // tried already; the next save tries again
    try {
        flush();
        return true;
    } catch (const StoreError&) {
        // Locked by another connection, or the disk refuses: the query answers
        // from what is committed and what is pending in memory.
        m_writesBlocked = true;
        return false;
    }
}

ModelContext::PendingRows ModelContext::pendingRows(RecordKind kind) const {
    PendingRows rows;
    for (const auto& record : m_pending) {
        if (record->kind() != kind)
            continue;
        if (record->m_committedInDb)
            rows.changedKeys.append(record->m_rowId);
        if (!record->m_deleted)
            rows.live.append(record);
    }
    return rows;
}

QByteArray ModelContext::loadOverlay(const RecordTable& table,
                                     const QList<QSharedPointer<PersistentRecord>>& records) {
    // A table of the temporary database, which needs no lock on the store: the
    // records' present values, where the query's own condition and order apply.
    const QByteArray overlay = "caldrin_overlay_" + table.table;
    const QByteArray columns = "pk, " + table.columns.join(", ");
    m_database.exec("CREATE TEMP TABLE IF NOT EXISTS " + overlay + " AS SELECT " + columns + " FROM main." +
                    table.table + " WHERE 0");
    m_database.exec("DELETE FROM temp." + overlay);
    SqliteStatement& insert =
        m_database.cached("INSERT INTO temp." + overlay + " (" + table.columns.join(", ") + ", pk) VALUES (" +
                          placeholders(table.columns.size() + 1) + ")");
    for (qsizetype i = 0; i < records.size(); ++i) {
        StatementReset reset(insert);
        const PersistentRecord& record = *records.at(i);
        table.bind(record, insert);
        insert.bind(static_cast<int>(table.columns.size()) + 1,
                    record.m_rowId != 0 ? record.m_rowId : kUnsavedKeyBase + i);
        insert.run();
    }
    return "temp." + overlay;
}

QList<QSharedPointer<PersistentRecord>>
ModelContext::overlayFetch(const RecordTable& table, const QByteArray& condition, const Binder& bind,
                           const QByteArray& orderBy, std::optional<qint64> limit) {
    const PendingRows pending = pendingRows(table.kind);
    QList<QSharedPointer<PersistentRecord>> candidates = pending.live;
    const QByteArray order = " ORDER BY " + (orderBy.isEmpty() ? QByteArray() : orderBy + ", ") + "pk ASC" +
                             (limit ? " LIMIT " + QByteArray::number(*limit) : QByteArray());
    // The committed rows that no pending change touches, as the query has them...
    if (!m_bulkDeletes.contains(table.table)) {
        SqliteStatement statement(m_database, "SELECT pk, " + table.selectList + " FROM main." + table.table +
                                                  committedRowsWhere(condition, pending.changedKeys) + order);
        if (bind)
            bind(statement);
        while (statement.step())
            candidates.append(materialize(table, statement));
    }
    if (pending.live.isEmpty())
        return candidates;
    // ... and the live pending records, chosen and ordered together with them.
    const QByteArray overlay = loadOverlay(table, candidates);
    QHash<qint64, QSharedPointer<PersistentRecord>> byKey;
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        const auto& record = candidates.at(i);
        byKey.insert(record->m_rowId != 0 ? record->m_rowId : kUnsavedKeyBase + i, record);
    }
    SqliteStatement statement(m_database, "SELECT pk FROM " + overlay +
                                              (condition.isEmpty() ? "" : " WHERE " + condition) + order);
    if (bind)
        bind(statement);
    QList<QSharedPointer<PersistentRecord>> records;
    while (statement.step()) {
        if (const auto record = byKey.value(statement.int64(0)))
            records.append(record);
    }
    return records;
}

qint64 ModelContext::overlayCount(const RecordTable& table, const QByteArray& condition, const Binder& bind) {
    const PendingRows pending = pendingRows(table.kind);
    qint64 count = 0;
    if (!m_bulkDeletes.contains(table.table)) {
        SqliteStatement statement(m_database, "SELECT count(*) FROM main." + table.table +
                                                  committedRowsWhere(condition, pending.changedKeys));
        if (bind)
            bind(statement);
        count = statement.step() ? statement.int64(0) : 0;
    }
    if (pending.live.isEmpty())
        return count;
    SqliteStatement statement(m_database, "SELECT count(*) FROM " + loadOverlay(table, pending.live) +
                                              (condition.isEmpty() ? "" : " WHERE " + condition));
    if (bind)
        bind(statement);
    return count + (statement.step() ? statement.int64(0) : 0);
}

QSharedPointer<PersistentRecord> ModelContext::recordWithId(const RecordTable& table, qint64 id) {
    if (const auto known = identityMap(table.kind).value(id).toStrongRef(); known && !known->isDeleted())
        return known;
    const auto records = fetchRecordsWhere(
        table, "pk = ?", [id](SqliteStatement& statement) { statement.bind(1, id); }, {}, {});
    return records.isEmpty() ? nullptr : records.first();
}

QSharedPointer<PersistentRecord> ModelContext::materialize(const RecordTable& table,
                                                           const SqliteStatement& statement) {
    const qint64 id = statement.int64(0);
    auto& map = identityMap(table.kind);
    if (auto known = map.value(id).toStrongRef())
        return known; // flushed before the query, so memory and row agree
    QSharedPointer<PersistentRecord> record = table.create();
    record->m_loading = true;
    table.load(*record, statement);
    record->m_loading = false;
    record->m_context = this;
    record->m_rowId = id;
    record->m_storedInDb = true;
    record->m_committedInDb = true; // anything written since the commit is held in m_pending
    map.insert(id, record);
    if (++m_materializedSincePurge > 4096) {
        m_materializedSincePurge = 0;
        map.removeIf([](const auto& entry) { return entry.value().isNull(); });
    }
    return record;
}

PersistentRecord* ModelContext::insertRecord(const RecordTable& table, PersistentRecord* record) {
    Q_ASSERT(QThread::currentThread() == thread());
    if (!record || record->m_context)
        return record;
    if (const auto existing = findByUniqueValue(table, table.uniqueValue(*record))) {
        table.copyValues(*existing, *record);
        // Held by the pending list until the next save, so the caller's copy of
        // the pointer stays valid even when no value differed.
        keepPending(existing.data());
        return existing.data();
    }
    record->m_context = this;
    record->m_rowId = 0;
    record->m_storedInDb = false;
    record->m_committedInDb = false;
    record->m_deleted = false;
    record->m_needsFlush = true;
    keepPending(record);
    emit recordInserted(record);
    return record;
}

QSharedPointer<PersistentRecord> ModelContext::findByUniqueValue(const RecordTable& table,
                                                                 const QString& value) {
    // Looks without writing anything, so that inserting works even while the
    // database cannot be written: first the changes not yet in the database,
    // then the rows (which may be stale for records changed in memory).
    for (const auto& record : std::as_const(m_pending)) {
        if (record->kind() == table.kind && !record->m_deleted && table.uniqueValue(*record) == value)
            return record;
    }
    try {
        SqliteStatement& statement =
            m_database.cached("SELECT pk FROM " + table.table + " WHERE " + table.uniqueColumn + " = ?");
        StatementReset reset(statement);
        statement.bind(1, value);
        while (statement.step()) {
            const qint64 id = statement.int64(0);
            if (const auto known = identityMap(table.kind).value(id).toStrongRef()) {
                if (known->m_deleted || table.uniqueValue(*known) != value)
                    continue;
                return known;
            }
            auto records =
                fetchRecordsWhere(table, "pk = ?", [id](SqliteStatement& s) { s.bind(1, id); }, {}, {});
            if (!records.isEmpty())
                return records.first();
        }
    } catch (const StoreError&) {
        // Unreadable now: the unique index will refuse a duplicate at the save.
    }
    return nullptr;
}

void ModelContext::remove(PersistentRecord* record) {
    Q_ASSERT(QThread::currentThread() == thread());
    if (!record || record->m_context != this || record->m_deleted)
        return;
    markDeleted(record);
    emit recordRemoved(record);
    if (record->kind() == RecordKind::Folder) {
        // The database cascades at the next write; the favorites in memory go now.
        const QString folderID = static_cast<FavoriteFolder*>(record)->id();
        for (const auto& favorite : liveRecords(RecordKind::Favorite)) {
            if (static_cast<FavoriteApp*>(favorite.data())->folderID() == folderID) {
                markDeleted(favorite.data());
                emit recordRemoved(favorite.data());
            }
        }
    }
}

void ModelContext::markDeleted(PersistentRecord* record) {
    // A deleted record keeps its values in memory for whoever still shows it.
    if (record->kind() == RecordKind::App)
        static_cast<AppModel*>(record)->appDescription();
    record->m_deleted = true;
    record->m_needsFlush = true;
    keepPending(record);
}

qint64 ModelContext::removeAllRecords(const RecordTable& table) {
    Q_ASSERT(QThread::currentThread() == thread());
    flush();
    const qint64 count = countRecords(table, {});
    const auto live = liveRecords(table.kind);
    QList<QSharedPointer<PersistentRecord>> cascaded;
    if (table.kind == RecordKind::Folder) {
        for (const auto& favorite : liveRecords(RecordKind::Favorite)) {
            if (static_cast<FavoriteApp*>(favorite.data())->folderID())
                cascaded.append(favorite);
        }
    }
    for (const auto& record : live)
        markDeleted(record.data());
    for (const auto& record : cascaded)
        markDeleted(record.data());
    try {
        beginTransaction();
        m_database.exec("DELETE FROM " + table.table);
    } catch (const StoreError&) {
        rollback();
        throw;
    }
    m_bulkDeletes.append(table.table);
    for (const auto& record : live)
        record->m_storedInDb = false;
    for (const auto& record : cascaded)
        record->m_storedInDb = false;
    for (const auto& record : live)
        emit recordRemoved(record.data());
    for (const auto& record : cascaded)
        emit recordRemoved(record.data());
    emit allRecordsRemoved(table.kind);
    if (table.kind == RecordKind::Folder)
        emit allRecordsRemoved(RecordKind::Favorite);
    return count;
}

QList<QSharedPointer<PersistentRecord>> ModelContext::liveRecords(RecordKind kind) {
    QList<QSharedPointer<PersistentRecord>> records;
    for (const auto& weak : std::as_const(identityMap(kind))) {
        if (auto record = weak.toStrongRef(); record && !record->m_deleted)
            records.append(record);
    }
    for (const auto& record : std::as_const(m_pending)) {
        if (record->kind() == kind && !record->m_deleted && record->m_rowId == 0)
            records.append(record);
    }
    return records;
}

void ModelContext::recordDidChange(PersistentRecord* record) {
    if (!record->m_deleted) {
        record->m_needsFlush = true;
        keepPending(record);
    }
    emit recordChanged(record);
}

void ModelContext::keepPending(PersistentRecord* record) {
    if (record->m_pending)
        return;
    record->m_pending = true;
    m_pending.append(record->sharedFromThis());
}

bool ModelContext::hasChanges() const {
    return !m_pending.isEmpty() || !m_bulkDeletes.isEmpty();
}

bool ModelContext::readableBeside() const {
    const QString path = m_database.path();
    return !hasChanges() && !path.isEmpty() && path != QLatin1String(":memory:") && QFileInfo::exists(path);
}

void ModelContext::beginTransaction() {
    if (m_database.inTransaction())
        return;
    m_database.exec("BEGIN IMMEDIATE");
    // Favorites may be written before the folder they name.
    m_database.exec("PRAGMA defer_foreign_keys = ON");
}

void ModelContext::flush() {
    Q_ASSERT(QThread::currentThread() == thread());
    if (m_flushing)
        return;
    const bool work = m_needsReplay || std::any_of(m_pending.cbegin(), m_pending.cend(),
                                                   [](const auto& record) { return record->m_needsFlush; });
    if (!work)
        return;
    m_flushing = true;
    try {
        beginTransaction();
        if (m_needsReplay) {
            for (const QByteArray& table : std::as_const(m_bulkDeletes))
                m_database.exec("DELETE FROM " + table);
            m_needsReplay = false;
        }
        // Live records first: a favorite moved out of a folder deleted in the
        // same transaction must not be taken by that folder's cascade.
        for (const bool deletions : {false, true}) {
            for (qsizetype i = 0; i < m_pending.size(); ++i) {
                PersistentRecord* record = m_pending.at(i).data();
                if (record->m_needsFlush && record->m_deleted == deletions)
                    writeRecord(record);
            }
        }
    } catch (const StoreError&) {
        m_flushing = false;
        rollback();
        throw;
    }
    m_flushing = false;
}

void ModelContext::writeRecord(PersistentRecord* record) {
    const RecordTable& table = tableFor(record->kind());
    if (record->m_deleted) {
        if (record->m_storedInDb) {
            SqliteStatement& statement = m_database.cached("DELETE FROM " + table.table + " WHERE pk = ?");
            StatementReset reset(statement);
            statement.bind(1, record->m_rowId);
            statement.run();
            record->m_storedInDb = false;
        }
    } else if (!record->m_storedInDb) {
        // After a rollback the record is written again under the identity it had.
        const bool replay = record->m_rowId != 0;
        const QByteArray sql = "INSERT INTO " + table.table + " (" + table.columns.join(", ") +
                               (replay ? ", pk" : "") + ") VALUES (" +
                               placeholders(table.columns.size() + (replay ? 1 : 0)) + ")";
        SqliteStatement& statement = m_database.cached(sql);
        StatementReset reset(statement);
        table.bind(*record, statement);
        if (replay)
            statement.bind(static_cast<int>(table.columns.size()) + 1, record->m_rowId);
        statement.run();
        if (!replay) {
            record->m_rowId = m_database.lastInsertRowId();
            identityMap(record->kind()).insert(record->m_rowId, record->sharedFromThis());
        }
        record->m_storedInDb = true;
    } else {
        QByteArray assignments;
        for (const QByteArray& column : table.columns)
            assignments += (assignments.isEmpty() ? "" : ", ") + column + " = ?";
        SqliteStatement& statement =
            m_database.cached("UPDATE " + table.table + " SET " + assignments + " WHERE pk = ?");
        StatementReset reset(statement);
        table.bind(*record, statement);
        statement.bind(static_cast<int>(table.columns.size()) + 1, record->m_rowId);
        statement.run();
        if (m_database.changes() == 0) {
            // The row went with a cascade or a bulk delete; the record lives on.
            record->m_storedInDb = false;
            writeRecord(record);
            return;
        }
    }
    record->m_needsFlush = false;
}

void ModelContext::rollback() {
    if (m_database.inTransaction()) {
        try {
            m_database.exec("ROLLBACK");
        } catch (const StoreError&) {
        }
    }
    for (const auto& record : std::as_const(m_pending)) {
        record->m_storedInDb = record->m_committedInDb;
        record->m_needsFlush = true;
    }
    m_needsReplay = !m_bulkDeletes.isEmpty();
}

bool ModelContext::commitPending() {
    Q_ASSERT(QThread::currentThread() == thread());
    if (!hasChanges() && !m_database.inTransaction())
        return false;
    try {
        flush();
        if (m_database.inTransaction())
            m_database.exec("COMMIT");
    } catch (const StoreError&) {
        rollback();
        // Queries answer from memory until the next save, without waiting.
        m_writesBlocked = true;
        throw;
    }
    m_writesBlocked = false;
    const auto saved = std::exchange(m_pending, {});
    m_bulkDeletes.clear();
    for (const auto& record : saved) {
        record->m_committedInDb = record->m_storedInDb;
        record->m_pending = false;
        record->m_needsFlush = false;
        if (record->m_deleted) {
            identityMap(record->kind()).remove(record->m_rowId);
            record->m_context.clear();
        }
    }
    if (m_checkpointWanted)
        startCheckpoint();
    emit didSave();
    return true;
}

void ModelContext::save() {
    if (!commitPending() || !m_syncsLog)
        return;
    if (const int error = syncToDisk(m_logPath, m_folderSynced ? QByteArray() : m_folderPath); error != 0)
        throwSyncError(error);
    m_folderSynced = true;
}

QCoro::Task<> ModelContext::saveAsync() {
    if (!commitPending() || !m_syncsLog)
        co_return;
    const QByteArray log = m_logPath;
    const QByteArray folder = m_folderSynced ? QByteArray() : m_folderPath;
    QPointer<ModelContext> self(this);
    // Named, not a temporary inside the co_await: g++ 12 destroys such
    // temporaries twice.
    const QFuture<int> syncing = QtConcurrent::run([log, folder] { return syncToDisk(log, folder); });
    const int error = co_await syncing;
    if (!self)
        co_return;
    if (error != 0)
        throwSyncError(error);
    m_folderSynced = true;
}

int ModelContext::syncToDisk(const QByteArray& log, const QByteArray& folder) {
    for (const bool isLog : {true, false}) {
        const QByteArray& path = isLog ? log : folder;
        if (path.isEmpty())
            continue;
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return errno;
        // The log's data as the engine syncs it; the folder, that the log's name is kept.
        const int rc = isLog ? ::fdatasync(fd) : ::fsync(fd);
        const int error = rc == 0 ? 0 : errno;
        ::close(fd);
        if (error != 0)
            return error;
    }
    return 0;
}

void ModelContext::throwSyncError(int error) {
    // Committed, but not known to be on the disk: not reported as saved.
    throw StoreError(QStringLiteral("the saved changes could not be written to the disk: %1")
                         .arg(QString::fromLocal8Bit(strerror(error))),
                     SQLITE_IOERR);
}

int ModelContext::walCommitted(void* context, sqlite3*, const char*, int frames) {
    // Called inside the commit, where the connection must not be used.
    if (frames >= kCheckpointFrames)
        static_cast<ModelContext*>(context)->m_checkpointWanted = true;
    return SQLITE_OK;
}

void ModelContext::startCheckpoint() {
    if (m_checkpoint.isValid() && !m_checkpoint.isFinished())
        return; // asked again by a later commit
    m_checkpointWanted = false;
    const QByteArray path = m_database.path().toUtf8();
    // A connection of its own on a worker thread: copying the log into the
    // store and syncing it takes long, and the main connection goes on
    // reading and committing meanwhile (a passive checkpoint waits for no one).
    m_checkpoint = QtConcurrent::run([path] {
        try {
            SqliteDatabase checkpointer;
            checkpointer.open(QString::fromUtf8(path));
            checkpointer.setBusyTimeout(1000);
            checkpointer.exec("PRAGMA wal_checkpoint(PASSIVE)");
        } catch (const StoreError&) {
            // Tried again after a later commit.
        }
    });
}

std::optional<QString> ModelContext::loadAppDescription(qint64 id) {
    try {
        SqliteStatement& statement = m_database.cached("SELECT appDescription FROM AppModel WHERE pk = ?");
        StatementReset reset(statement);
        statement.bind(1, id);
        return statement.step() ? statement.optionalText(0) : std::nullopt;
    } catch (const StoreError&) {
        return std::nullopt;
    }
}
