#include "ModelContainer.h"

#include "ModelContext.h"
#include "SqliteDatabase.h"
#include "StoreSchema.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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
    QDir().mkpath(QFileInfo(path).absolutePath());
    std::unique_ptr<ModelContainer> container(new ModelContainer);
    container->m_path = path;
    container->m_database = std::make_unique<SqliteDatabase>();
    SqliteDatabase& database = *container->m_database;
    database.open(path);
    database.setBusyTimeout(2000);
    database.exec("PRAGMA foreign_keys = ON");
    StoreSchema::prepare(database);
    // WAL keeps readers off the writer's back; FULL makes every commit survive a
    // power cut, not only a killed process.
    database.exec("PRAGMA journal_mode = WAL");
    database.exec("PRAGMA synchronous = FULL");
    container->m_context = std::make_unique<ModelContext>(database);
    return container;
}
