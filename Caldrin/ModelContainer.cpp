#include "ModelContainer.h"

#include "ModelContext.h"
#include "SqliteDatabase.h"
#include "StoreError.h"
#include "StoreSchema.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <sqlite3.h>

ModelContainer::ModelContainer() = default;

ModelContainer::~ModelContainer() {
    m_context.reset();
    m_database.reset();
}

QString ModelContainer::defaultStorePath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/caldrin.sqlite");
}

std::unique_ptr<ModelContainer> ModelContainer::open(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        throw StoreError(
            QStringLiteral("Could not create the folder %1").arg(QDir::toNativeSeparators(folder)),
            SQLITE_CANTOPEN);
    std::unique_ptr<ModelContainer> container(new ModelContainer);
    container->m_path = path;
    container->m_database = std::make_unique<SqliteDatabase>();
    SqliteDatabase& database = *container->m_database;
    database.open(path);
    // Until the file has proved to be our store, nothing may be written to it:
    // not even the log's contents on close, or the copy kept of a damaged file
    // would not be the file the user had.
    database.setCheckpointOnClose(false);
    database.setBusyTimeout(2000);
    database.exec("PRAGMA foreign_keys = ON");
    StoreSchema::prepare(database);
    // WAL keeps readers off the writer's back; FULL makes every commit survive a
    // power cut, not only a killed process.
    database.exec("PRAGMA journal_mode = WAL");
    database.exec("PRAGMA synchronous = FULL");
    database.setCheckpointOnClose(true);
    container->m_context = std::make_unique<ModelContext>(database);
    return container;
}
