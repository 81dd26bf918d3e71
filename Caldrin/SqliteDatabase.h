#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <functional>
#include <memory>

struct sqlite3;
class SqliteStatement;

// One SQLite connection. Surfaces the engine's last error, keeps prepared
// statements for reuse and closes itself on destruction.
class SqliteDatabase {
public:
    enum class Mode { ReadWriteCreate, ReadOnly };

    SqliteDatabase();
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    // Opens the file; throws StoreError. Opening alone proves little (a file of
    // garbage opens fine), so callers must run a query before trusting it.
    void open(const QString& path, Mode mode = Mode::ReadWriteCreate);
    // Read-only, for a worker reading beside the window's connection (WAL lets
    // it): waits a while for a lock (a checkpoint) instead of failing at once.
    void openReader(const QString& path);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    sqlite3* handle() const { return m_db; }
    QString path() const { return m_path; }

    // Runs one or more statements without results; throws StoreError.
    void exec(const QByteArray& sql);
    // A statement prepared once and reused; reset it after use (StatementReset).
    SqliteStatement& cached(const QByteArray& sql);
    qint64 queryInt64(const QByteArray& sql);

    qint64 lastInsertRowId() const;
    // Rows changed by the last INSERT, UPDATE or DELETE.
    int changes() const;
    bool inTransaction() const;
    QString errorMessage() const;
    void setBusyTimeout(int milliseconds);
    // Whether closing the last connection copies the write-ahead log into the
    // file (the engine's default). Off while a file is not yet known to be ours,
    // so that a failed open leaves the file and its log exactly as they were.
    void setCheckpointOnClose(bool enabled);

    // Test seam below the store: when set, every statement about to step asks the
    // hook, and a result other than SQLITE_OK fails that statement with this code.
    using FaultHook = std::function<int(const QByteArray& sql)>;
    void setFaultHook(FaultHook hook) { m_faultHook = std::move(hook); }
    int injectedFault(const QByteArray& sql) const;

private:
    sqlite3* m_db = nullptr;
    QString m_path;
    QHash<QByteArray, std::shared_ptr<SqliteStatement>> m_cache;
    FaultHook m_faultHook;
};
