#include "FavoriteFolder.h"

#include "FavoriteApp.h"
#include "ModelContext.h"
#include "SqliteStatement.h"
#include "StoreError.h"

#include <QUuid>

FavoriteFolder::FavoriteFolder() = default;

FavoriteFolder::FavoriteFolder(const QString& name, qint64 sortOrder)
    : m_id(newIdentifier())
    , m_name(name)
    , m_createdAt(QDateTime::currentDateTimeUtc())
    , m_sortOrder(sortOrder) {}

QString FavoriteFolder::newIdentifier() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

const RecordTable& FavoriteFolder::recordTable() {
    static const RecordTable table{
        RecordKind::Folder,
        "FavoriteFolder",
        "id",
        {"id", "name", "createdAt", "sortOrder"},
        "id, name, createdAt, sortOrder",
        {"id", "name"},
        {"id", "name", "createdAt", "sortOrder"},
        [] { return QSharedPointer<PersistentRecord>(new FavoriteFolder); },
        [](const PersistentRecord& record, SqliteStatement& s) {
            const auto& folder = static_cast<const FavoriteFolder&>(record);
            s.bind(1, folder.m_id);
            s.bind(2, folder.m_name);
            s.bind(3, folder.m_createdAt.toMSecsSinceEpoch());
            s.bind(4, folder.m_sortOrder);
        },
        [](PersistentRecord& record, const SqliteStatement& s) {
            auto& folder = static_cast<FavoriteFolder&>(record);
            folder.m_id = s.text(1);
            folder.m_name = s.text(2);
            folder.m_createdAt = QDateTime::fromMSecsSinceEpoch(s.int64(3), Qt::UTC);
            folder.m_sortOrder = s.int64(4);
        },
        [](const PersistentRecord& record) { return static_cast<const FavoriteFolder&>(record).m_id; },
        [](PersistentRecord& target, const PersistentRecord& source) {
            auto& folder = static_cast<FavoriteFolder&>(target);
            const auto& other = static_cast<const FavoriteFolder&>(source);
            folder.setName(other.m_name);
            folder.setCreatedAt(other.m_createdAt);
            folder.setSortOrder(other.m_sortOrder);
        }};
    return table;
}

QList<QSharedPointer<FavoriteApp>> FavoriteFolder::apps() const {
    ModelContext* context = modelContext();
    if (!context || isDeleted())
        return {};
    try {
        return context->fetch<FavoriteApp>(FetchDescriptor::equal("folder", m_id));
    } catch (const StoreError&) {
        return {};
    }
}

qint64 FavoriteFolder::appCount() const {
    ModelContext* context = modelContext();
    if (!context || isDeleted())
        return 0;
    try {
        return context->count<FavoriteApp>(FetchDescriptor::equal("folder", m_id));
    } catch (const StoreError&) {
        return 0;
    }
}
