#include "SqliteDatabase.h"

#include "SqliteStatement.h"
#include "StoreError.h"

#include <sqlite3.h>

SqliteDatabase::SqliteDatabase() = default;

SqliteDatabase::~SqliteDatabase() {
    close();
}

void SqliteDatabase::open(const QString& path, Mode mode) {
    close();
    const int flags =
        mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString message =
            db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close(db);
        throw StoreError(message, rc);
    }
    sqlite3_extended_result_codes(db, 0);
    m_db = db;
    m_path = path;
}

void SqliteDatabase::openReader(const QString& path) {
    open(path, Mode::ReadOnly);
    setBusyTimeout(5000);
}

void SqliteDatabase::close() {
    m_cache.clear();
    if (m_db) {
        sqlite3_close(m_db);
        m_db = nullptr;
    }
}

void SqliteDatabase::exec(const QByteArray& sql) {
    if (const int injected = injectedFault(sql); injected != SQLITE_OK)
        throw StoreError(
            QStringLiteral("injected failure: %1").arg(QString::fromUtf8(sqlite3_errstr(injected))),
            injected);
    char* error = nullptr;
    const int rc = sqlite3_exec(m_db, sql.constData(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        const QString message = error ? QString::fromUtf8(error) : errorMessage();
        sqlite3_free(error);
        throw StoreError(message, rc);
    }
}

SqliteStatement& SqliteDatabase::cached(const QByteArray& sql) {
    auto it = m_cache.find(sql);
    if (it == m_cache.end())
        it = m_cache.insert(sql, std::make_shared<SqliteStatement>(*this, sql));
    return **it;
}

qint64 SqliteDatabase::queryInt64(const QByteArray& sql) {
    SqliteStatement& statement = cached(sql);
    StatementReset reset(statement);
    return statement.step() ? statement.int64(0) : 0;
}

qint64 SqliteDatabase::lastInsertRowId() const {
    return sqlite3_last_insert_rowid(m_db);
}

int SqliteDatabase::changes() const {
    return sqlite3_changes(m_db);
}

bool SqliteDatabase::inTransaction() const {
    return m_db && sqlite3_get_autocommit(m_db) == 0;
}

QString SqliteDatabase::errorMessage() const {
    return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("no database");
}

void SqliteDatabase::setBusyTimeout(int milliseconds) {
    sqlite3_busy_timeout(m_db, milliseconds);
}

void SqliteDatabase::setCheckpointOnClose(bool enabled) {
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, enabled ? 0 : 1, nullptr);
}

int SqliteDatabase::injectedFault(const QByteArray& sql) const {
    return m_faultHook ? m_faultHook(sql) : SQLITE_OK;
}
