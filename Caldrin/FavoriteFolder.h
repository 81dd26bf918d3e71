#pragma once

#include "PersistentRecord.h"
#include "RecordTable.h"

#include <QDateTime>
#include <QList>
#include <QSharedPointer>
#include <QString>

class FavoriteApp;

// A named favorites folder with its display position. Its favorites are the one
// end of the folder/favorite relationship; deleting the folder deletes them.
class FavoriteFolder : public PersistentRecord {
    Q_OBJECT
public:
    // A new folder with a fresh upper-case UUID and the current time.
    FavoriteFolder(const QString& name, qint64 sortOrder);

    RecordKind kind() const override { return RecordKind::Folder; }
    static const RecordTable& recordTable();

    const QString& id() const { return m_id; }
    void setId(const QString& value) { assign(m_id, value); }
    const QString& name() const { return m_name; }
    void setName(const QString& value) { assign(m_name, value); }
    const QDateTime& createdAt() const { return m_createdAt; }
    void setCreatedAt(const QDateTime& value) { assign(m_createdAt, value.toUTC()); }
    qint64 sortOrder() const { return m_sortOrder; }
    void setSortOrder(qint64 value) { assign(m_sortOrder, value); }

    // The favorites in this folder, in the store's order; empty when the folder
    // is not in a context or holds none. Reads through the context, so both ends
    // of the relationship always agree.
    QList<QSharedPointer<FavoriteApp>> apps() const;
    // How many favorites the folder holds, counted in the store.
    qint64 appCount() const;

    static QString newIdentifier();

private:
    FavoriteFolder();

    QString m_id;
    QString m_name;
    QDateTime m_createdAt;
    qint64 m_sortOrder = 0;
};
