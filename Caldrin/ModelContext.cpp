#include "ModelContext.h"

#include "AppModel.h"
#include "FavoriteApp.h"
#include "FavoriteFolder.h"
#include "SqliteDatabase.h"
#include "SqliteStatement.h"
#include "StoreError.h"

#include <QThread>

#include <sqlite3.h>

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

} // namespace

ModelContext::ModelContext(SqliteDatabase& database, QObject* parent)
    : QObject(parent)
    , m_database(database) {}

ModelContext::~ModelContext() {
    // Unsaved changes die with the context, as they would with the process; the
    // open transaction is rolled back rather than half-written.
    if (m_database.inTransaction()) {
        try {
            m_database.exec("ROLLBACK");
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
    flush();
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
    flush();
    QByteArray sql = "SELECT count(*) FROM " + table.table;
    if (descriptor.predicate) {
        requireColumn(table.textColumns, descriptor.predicate->field, table);
        sql += " WHERE " + descriptor.predicate->field + " = ?";
    }
    SqliteStatement& statement = m_database.cached(sql);
    StatementReset reset(statement);
    if (descriptor.predicate)
        statement.bind(1, descriptor.predicate->value);
    return statement.step() ? statement.int64(0) : 0;
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

void ModelContext::save() {
    Q_ASSERT(QThread::currentThread() == thread());
    if (!hasChanges() && !m_database.inTransaction())
        return;
    try {
        flush();
        if (m_database.inTransaction())
            m_database.exec("COMMIT");
    } catch (const StoreError&) {
        rollback();
        throw;
    }
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
    emit didSave();
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
