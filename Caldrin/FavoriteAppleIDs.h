#pragma once

#include "PersistentRecord.h"

#include <QHash>
#include <QObject>
#include <QSharedPointer>
#include <QString>

class FavoriteApp;
class ModelContext;

// The set of appleIDs that have a favorite entry, answered from memory. Loaded
// with one query, then kept current from the context's change signals, so views
// that mark favorites (every painted list row) cost no store query. Holds the
// favorite records it counts, so that every later change reaches the same
// in-memory objects.
class FavoriteAppleIDs : public QObject {
    Q_OBJECT
public:
    explicit FavoriteAppleIDs(ModelContext& modelContext, QObject* parent = nullptr);

    bool contains(const QString& appleID) const { return m_counts.contains(appleID); }
    qsizetype size() const { return m_counts.size(); }

signals:
    // The set may have changed.
    void changed();

private:
    void load();
    void track(FavoriteApp* favorite);
    void untrack(PersistentRecord* record);
    void recordInserted(PersistentRecord* record);
    void recordChanged(PersistentRecord* record);
    void recordRemoved(PersistentRecord* record);
    void allRecordsRemoved(RecordKind kind);
    void count(const QString& appleID, int delta);

    struct Entry {
        QSharedPointer<FavoriteApp> record;
        QString appleID;
    };

    ModelContext& m_modelContext;
    QHash<PersistentRecord*, Entry> m_entries;
    QHash<QString, int> m_counts;
    bool m_loaded = false;
};
