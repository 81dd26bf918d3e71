#pragma once

#include "PersistentRecord.h"
#include "RecordTable.h"

#include <QDateTime>
#include <QSharedPointer>
#include <QString>

#include <optional>

class FavoriteFolder;

// One app kept in one favorites folder, with the user's comment. The app is
// named by its appleID only, so a favorite outlives the collected record.
class FavoriteApp : public PersistentRecord {
    Q_OBJECT
public:
    // A new favorite with a fresh upper-case UUID and the current time, linked
    // to the folder (which may be null).
    FavoriteApp(const QString& appleID, const QString& comment, const QSharedPointer<FavoriteFolder>& folder);

    RecordKind kind() const override { return RecordKind::Favorite; }
    static const RecordTable& recordTable();

    const QString& id() const { return m_id; }
    void setId(const QString& value) { assign(m_id, value); }
    const QString& appleID() const { return m_appleID; }
    void setAppleID(const QString& value) { assign(m_appleID, value); }
    const QString& comment() const { return m_comment; }
    void setComment(const QString& value) { assign(m_comment, value); }
    const QDateTime& addedAt() const { return m_addedAt; }
    void setAddedAt(const QDateTime& value) { assign(m_addedAt, value.toUTC()); }

    // The folder that holds the entry. Setting it moves the entry from its old
    // folder's apps to the new folder's; both folders report a change.
    QSharedPointer<FavoriteFolder> folder() const;
    void setFolder(const QSharedPointer<FavoriteFolder>& folder);
    // The folder's id as stored, without loading the folder.
    const std::optional<QString>& folderID() const { return m_folderID; }

private:
    FavoriteApp();

    QString m_id;
    QString m_appleID;
    QString m_comment;
    QDateTime m_addedAt;
    std::optional<QString> m_folderID;
    mutable QSharedPointer<FavoriteFolder> m_folder;
};
