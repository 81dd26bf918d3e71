#include "FavoritesService.h"

#include "Console.h"
#include "FavoriteApp.h"
#include "FavoriteFolder.h"
#include "ModelContext.h"
#include "StoreError.h"

FavoritesService::FavoritesService(ModelContext& modelContext)
    : m_modelContext(modelContext) {
    ensureDefaultFolder();
}

QList<QSharedPointer<FavoriteFolder>> FavoritesService::foldersNamed(const QString& name) const {
    try {
        return m_modelContext.fetch<FavoriteFolder>(FetchDescriptor::equal("name", name));
    } catch (const StoreError&) {
        return {};
    }
}

void FavoritesService::saveIgnoringFailure() {
    try {
        m_modelContext.save();
    } catch (const StoreError&) {
        // The context keeps the change pending; a later save writes it.
    }
}

void FavoritesService::ensureDefaultFolder() {
    if (!foldersNamed(defaultFolderName()).isEmpty())
        return;
    m_modelContext.insert(QSharedPointer<FavoriteFolder>::create(defaultFolderName(), 0));
    saveIgnoringFailure();
    Console::print(QStringLiteral("✅ Created default 'Unfiltered' folder"));
}

void FavoritesService::createFolder(const QString& name) {
    qint64 greatest = 0;
    try {
        FetchDescriptor last = FetchDescriptor::sorted("sortOrder", false);
        last.limit = 1;
        const auto folders = m_modelContext.fetch<FavoriteFolder>(last);
        if (!folders.isEmpty())
            greatest = folders.first()->sortOrder();
    } catch (const StoreError&) {
        // No folders known: the new one comes first.
    }
    m_modelContext.insert(QSharedPointer<FavoriteFolder>::create(name, greatest + 1));
    saveIgnoringFailure();
    Console::print(QStringLiteral("✅ Created folder: ") + name);
}

void FavoritesService::deleteFolder(FavoriteFolder& folder) {
    const QString name = folder.name();
    m_modelContext.remove(&folder);
    saveIgnoringFailure();
    Console::print(QStringLiteral("🗑️ Deleted folder: ") + name);
}

void FavoritesService::addToFavorites(const QString& appleID, const QString& folderName,
                                      const QString& comment) {
    if (isFavorite(appleID)) {
        Console::print(QStringLiteral("⚠️ App already in favorites"));
        return;
    }
    const auto folders = foldersNamed(folderName);
    if (folders.isEmpty()) {
        Console::print(QStringLiteral("❌ Folder not found: ") + folderName);
        return;
    }
    m_modelContext.insert(QSharedPointer<FavoriteApp>::create(appleID, comment, folders.first()));
    saveIgnoringFailure();
    Console::print(QStringLiteral("⭐ Added to favorites: %1 in folder %2").arg(appleID, folderName));
}

void FavoritesService::removeFromFavorites(const QString& appleID) {
    const auto favorite = getFavorite(appleID);
    if (!favorite)
        return;
    m_modelContext.remove(favorite.data());
    saveIgnoringFailure();
    Console::print(QStringLiteral("🗑️ Removed from favorites: ") + appleID);
}

bool FavoritesService::isFavorite(const QString& appleID) const {
    try {
        return m_modelContext.count<FavoriteApp>(FetchDescriptor::equal("appleID", appleID)) > 0;
    } catch (const StoreError&) {
        return false;
    }
}

QSharedPointer<FavoriteApp> FavoritesService::getFavorite(const QString& appleID) const {
    try {
        FetchDescriptor first = FetchDescriptor::equal("appleID", appleID);
        first.limit = 1;
        const auto favorites = m_modelContext.fetch<FavoriteApp>(first);
        return favorites.isEmpty() ? nullptr : favorites.first();
    } catch (const StoreError&) {
        return nullptr;
    }
}

void FavoritesService::moveToFolder(const QString& appleID, const QString& folderName) {
    const auto favorite = getFavorite(appleID);
    if (!favorite)
        return;
    const auto folders = foldersNamed(folderName);
    if (folders.isEmpty())
        return;
    favorite->setFolder(folders.first());
    saveIgnoringFailure();
    Console::print(QStringLiteral("📁 Moved %1 to folder %2").arg(appleID, folderName));
}
