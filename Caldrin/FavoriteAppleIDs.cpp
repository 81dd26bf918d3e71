#include "FavoriteAppleIDs.h"

#include "FavoriteApp.h"
#include "ModelContext.h"
#include "StoreError.h"

FavoriteAppleIDs::FavoriteAppleIDs(ModelContext& modelContext, QObject* parent)
    : QObject(parent)
    , m_modelContext(modelContext) {
    connect(&modelContext, &ModelContext::recordInserted, this, &FavoriteAppleIDs::recordInserted);
    connect(&modelContext, &ModelContext::recordChanged, this, &FavoriteAppleIDs::recordChanged);
    connect(&modelContext, &ModelContext::recordRemoved, this, &FavoriteAppleIDs::recordRemoved);
    connect(&modelContext, &ModelContext::allRecordsRemoved, this, &FavoriteAppleIDs::allRecordsRemoved);
    // A store that could not be read at first is read again after its next save.
    connect(&modelContext, &ModelContext::didSave, this, [this] {
        if (!m_loaded)
            load();
    });
    load();
}

void FavoriteAppleIDs::load() {
    QList<QSharedPointer<FavoriteApp>> favorites;
    try {
        favorites = m_modelContext.fetch<FavoriteApp>();
    } catch (const StoreError&) {
        return;
    }
    m_loaded = true;
    for (const auto& favorite : std::as_const(favorites))
        track(favorite.data());
    emit changed();
}

void FavoriteAppleIDs::track(FavoriteApp* favorite) {
    if (favorite->isDeleted() || m_entries.contains(favorite))
        return;
    const auto record = qSharedPointerCast<FavoriteApp>(favorite->sharedFromThis());
    m_entries.insert(favorite, Entry{record, favorite->appleID()});
    count(favorite->appleID(), +1);
}

void FavoriteAppleIDs::untrack(PersistentRecord* record) {
    const auto it = m_entries.find(record);
    if (it == m_entries.end())
        return;
    count(it->appleID, -1);
    m_entries.erase(it);
}

void FavoriteAppleIDs::count(const QString& appleID, int delta) {
    int& value = m_counts[appleID];
    value += delta;
    if (value <= 0)
        m_counts.remove(appleID);
}

void FavoriteAppleIDs::recordInserted(PersistentRecord* record) {
    if (record->kind() != RecordKind::Favorite)
        return;
    track(static_cast<FavoriteApp*>(record));
    emit changed();
}

void FavoriteAppleIDs::recordChanged(PersistentRecord* record) {
    if (record->kind() != RecordKind::Favorite)
        return;
    auto* favorite = static_cast<FavoriteApp*>(record);
    const auto it = m_entries.find(record);
    if (favorite->isDeleted()) {
        untrack(record);
    } else if (it == m_entries.end()) {
        track(favorite);
    } else if (it->appleID != favorite->appleID()) {
        count(it->appleID, -1);
        it->appleID = favorite->appleID();
        count(it->appleID, +1);
    } else {
        return;
    }
    emit changed();
}

void FavoriteAppleIDs::recordRemoved(PersistentRecord* record) {
    if (record->kind() != RecordKind::Favorite)
        return;
    untrack(record);
    emit changed();
}

void FavoriteAppleIDs::allRecordsRemoved(RecordKind kind) {
    if (kind != RecordKind::Favorite)
        return;
    m_entries.clear();
    m_counts.clear();
    emit changed();
}
