#include "FavoriteApp.h"

#include "FavoriteFolder.h"
#include "ModelContext.h"
#include "SqliteStatement.h"
#include "StoreError.h"

FavoriteApp::FavoriteApp() = default;

FavoriteApp::FavoriteApp(const QString& appleID, const QString& comment,
                         const QSharedPointer<FavoriteFolder>& folder)
    : m_id(FavoriteFolder::newIdentifier())
    , m_appleID(appleID)
    , m_comment(comment)
    , m_addedAt(QDateTime::currentDateTimeUtc()) {
    setFolder(folder);
}

const RecordTable& FavoriteApp::recordTable() {
    static const RecordTable table{
        RecordKind::Favorite,
        "FavoriteApp",
        "id",
        {"id", "appleID", "comment", "addedAt", "folder"},
        "id, appleID, comment, addedAt, folder",
        {"id", "appleID", "comment", "folder"},
        {"id", "appleID", "addedAt"},
        [] { return QSharedPointer<PersistentRecord>(new FavoriteApp); },
        [](const PersistentRecord& record, SqliteStatement& s) {
            const auto& favorite = static_cast<const FavoriteApp&>(record);
            s.bind(1, favorite.m_id);
            s.bind(2, favorite.m_appleID);
            s.bind(3, favorite.m_comment);
            s.bind(4, favorite.m_addedAt.toMSecsSinceEpoch());
            // The folder's current id, in case it was changed after linking.
            s.bind(5,
                   favorite.m_folder ? std::optional<QString>(favorite.m_folder->id()) : favorite.m_folderID);
        },
        [](PersistentRecord& record, const SqliteStatement& s) {
            auto& favorite = static_cast<FavoriteApp&>(record);
            favorite.m_id = s.text(1);
            favorite.m_appleID = s.text(2);
            favorite.m_comment = s.text(3);
            favorite.m_addedAt = QDateTime::fromMSecsSinceEpoch(s.int64(4), Qt::UTC);
            favorite.m_folderID = s.optionalText(5);
            favorite.m_folder.reset();
        },
        [](const PersistentRecord& record) { return static_cast<const FavoriteApp&>(record).m_id; },
        [](PersistentRecord& target, const PersistentRecord& source) {
            auto& favorite = static_cast<FavoriteApp&>(target);
            const auto& other = static_cast<const FavoriteApp&>(source);
            favorite.setAppleID(other.m_appleID);
            favorite.setComment(other.m_comment);
            favorite.setAddedAt(other.m_addedAt);
            favorite.setFolder(other.folder());
        }};
    return table;
}

QSharedPointer<FavoriteFolder> FavoriteApp::folder() const {
    if (m_folder && !m_folder->isDeleted())
        return m_folder;
    if (!m_folderID)
        return {};
    if (ModelContext* context = modelContext()) {
        try {
            const auto folders = context->fetch<FavoriteFolder>(FetchDescriptor::equal("id", *m_folderID));
            m_folder = folders.isEmpty() ? nullptr : folders.first();
        } catch (const StoreError&) {
            return {};
        }
        return m_folder;
    }
    return m_folder;
}

void FavoriteApp::setFolder(const QSharedPointer<FavoriteFolder>& folder) {
    const QSharedPointer<FavoriteFolder> previous = this->folder();
    const std::optional<QString> folderID = folder ? std::optional<QString>(folder->id()) : std::nullopt;
    if (folder == previous && folderID == m_folderID)
        return;
    m_folder = folder;
    m_folderID = folderID;
    didChange();
    // Both ends are derived from this link; tell the folders their lists moved.
    if (previous && previous != folder)
        emit previous->changed();
    if (folder)
        emit folder->changed();
}
