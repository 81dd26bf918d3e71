#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

struct sqlite3;
struct sqlite3_stmt;
class SqliteDatabase;

// One prepared statement. Values are only ever bound, never spliced into SQL.
// Finalised on destruction; reset() makes it ready for the next use.
class SqliteStatement {
public:
    SqliteStatement(SqliteDatabase& database, const QByteArray& sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    void bindNull(int index);
    void bind(int index, const QString& value);
    void bind(int index, const std::optional<QString>& value);
    void bind(int index, qint64 value);
    void bind(int index, int value) { bind(index, static_cast<qint64>(value)); }
    void bind(int index, double value);
    void bind(int index, const std::optional<double>& value);
    void bind(int index, const std::optional<qint64>& value);
    void bind(int index, bool value);
    void bind(int index, const std::optional<bool>& value);

    // Steps once: true when a row is ready, false when done. Throws StoreError.
    bool step();
    // Steps to completion, ignoring rows.
    void run();
    void reset();

    int columnCount() const;
    bool isNull(int column) const;
    QString text(int column) const;
    std::optional<QString> optionalText(int column) const;
    // The engine's own UTF-8 bytes of a text column, without a copy; valid until
    // the next step or reset. For readers of many rows.
    QByteArrayView utf8(int column) const;
    qint64 int64(int column) const;
    std::optional<qint64> optionalInt64(int column) const;
    double real(int column) const;
    std::optional<double> optionalReal(int column) const;
    bool boolean(int column) const;
    std::optional<bool> optionalBoolean(int column) const;

    const QByteArray& sql() const { return m_sql; }

private:
    void check(int rc, const char* what);

    SqliteDatabase& m_database;
    sqlite3_stmt* m_statement = nullptr;
    QByteArray m_sql;
};

// Resets a borrowed statement when the scope ends, so no read stays open.
class StatementReset {
public:
    explicit StatementReset(SqliteStatement& statement)
        : m_statement(statement) {}
    ~StatementReset() { m_statement.reset(); }
    StatementReset(const StatementReset&) = delete;
    StatementReset& operator=(const StatementReset&) = delete;

private:
    SqliteStatement& m_statement;
};
