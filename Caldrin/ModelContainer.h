#pragma once

#include <QString>

#include <memory>

class ModelContext;
class SqliteDatabase;

// The store container: one database file opened once, with its main context.
class ModelContainer {
public:
    ~ModelContainer();
    ModelContainer(const ModelContainer&) = delete;
    ModelContainer& operator=(const ModelContainer&) = delete;

    // Opens (creating when missing) the store at path; throws StoreError when the
    // file cannot be opened or holds anything but this program's schema.
    static std::unique_ptr<ModelContainer> open(const QString& path);

    // <AppDataLocation>/caldrin.sqlite
    static QString defaultStorePath();

    ModelContext& mainContext() const { return *m_context; }
    SqliteDatabase& database() const { return *m_database; }
    QString path() const { return m_path; }

private:
    ModelContainer();

    QString m_path;
    std::unique_ptr<SqliteDatabase> m_database;
    std::unique_ptr<ModelContext> m_context;
};
