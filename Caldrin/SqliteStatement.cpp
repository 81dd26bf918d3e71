#include "SqliteStatement.h"

#include "SqliteDatabase.h"
#include "StoreError.h"

#include <sqlite3.h>

SqliteStatement::SqliteStatement(SqliteDatabase& database, const QByteArray& sql)
    : m_database(database)
    , m_sql(sql) {
    const int rc = sqlite3_prepare_v3(database.handle(), sql.constData(), static_cast<int>(sql.size()),
                                      SQLITE_PREPARE_PERSISTENT, &m_statement, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = database.errorMessage();
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
        throw StoreError(message, rc);
    }
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(m_statement);
}

void SqliteStatement::check(int rc, const char* what) {
    if (rc != SQLITE_OK)
        throw StoreError(QStringLiteral("%1: %2").arg(QString::fromLatin1(what), m_database.errorMessage()),
                         rc);
}

void SqliteStatement::bindNull(int index) {
    check(sqlite3_bind_null(m_statement, index), "bind");
}

void SqliteStatement::bind(int index, const QString& value) {
    const QByteArray utf8 = value.toUtf8();
    check(sqlite3_bind_text64(m_statement, index, utf8.constData(), static_cast<sqlite3_uint64>(utf8.size()),
                              SQLITE_TRANSIENT, SQLITE_UTF8),
          "bind");
}

void SqliteStatement::bind(int index, const std::optional<QString>& value) {
    value ? bind(index, *value) : bindNull(index);
}

void SqliteStatement::bind(int index, qint64 value) {
    check(sqlite3_bind_int64(m_statement, index, value), "bind");
}

void SqliteStatement::bind(int index, double value) {
    check(sqlite3_bind_double(m_statement, index, value), "bind");
}

void SqliteStatement::bind(int index, const std::optional<double>& value) {
    value ? bind(index, *value) : bindNull(index);
}

void SqliteStatement::bind(int index, const std::optional<qint64>& value) {
    value ? bind(index, *value) : bindNull(index);
}

void SqliteStatement::bind(int index, bool value) {
    bind(index, static_cast<qint64>(value ? 1 : 0));
}

void SqliteStatement::bind(int index, const std::optional<bool>& value) {
    value ? bind(index, *value) : bindNull(index);
}

bool SqliteStatement::step() {
    if (const int injected = m_database.injectedFault(m_sql); injected != SQLITE_OK)
        throw StoreError(
            QStringLiteral("injected failure: %1").arg(QString::fromUtf8(sqlite3_errstr(injected))),
            injected);
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    const QString message = m_database.errorMessage();
    sqlite3_reset(m_statement);
    throw StoreError(message, rc);
}

void SqliteStatement::run() {
    while (step()) {
    }
}

void SqliteStatement::reset() {
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
}

int SqliteStatement::columnCount() const {
    return sqlite3_column_count(m_statement);
}

bool SqliteStatement::isNull(int column) const {
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

QByteArrayView SqliteStatement::utf8(int column) const {
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    return QByteArrayView(data, sqlite3_column_bytes(m_statement, column));
}

QString SqliteStatement::text(int column) const {
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    const int size = sqlite3_column_bytes(m_statement, column);
    return data ? QString::fromUtf8(data, size) : QString();
}

std::optional<QString> SqliteStatement::optionalText(int column) const {
    if (isNull(column))
        return std::nullopt;
    return text(column);
}

qint64 SqliteStatement::int64(int column) const {
    return sqlite3_column_int64(m_statement, column);
}

std::optional<qint64> SqliteStatement::optionalInt64(int column) const {
    if (isNull(column))
        return std::nullopt;
    return int64(column);
}

double SqliteStatement::real(int column) const {
    return sqlite3_column_double(m_statement, column);
}

std::optional<double> SqliteStatement::optionalReal(int column) const {
    if (isNull(column))
        return std::nullopt;
    return real(column);
}

bool SqliteStatement::boolean(int column) const {
    return sqlite3_column_int64(m_statement, column) != 0;
}

std::optional<bool> SqliteStatement::optionalBoolean(int column) const {
    if (isNull(column))
        return std::nullopt;
    return boolean(column);
}
