#pragma once

#include <QList>
#include <QSharedPointer>
#include <QString>

class FavoriteApp;
class FavoriteFolder;
class ModelContext;

// Every change to favorites folders and favorite entries. Synchronous, main
// thread only, and stateless besides the store context: any number of services
// over one context behave as one. Never throws: a failed fetch counts as an empty
// result, a failed save is ignored (the context keeps the change for a later
// save).
//
// Where several folders share a name, "the first" is the one stored first (the
// store's own order, oldest record first).
class FavoritesService {
public:
    static QString defaultFolderName() { return QStringLiteral("Unfiltered"); }

    // Makes sure the default folder exists before returning.
    explicit FavoritesService(ModelContext& modelContext);

    ModelContext& modelContext() const { return m_modelContext; }

    void ensureDefaultFolder();
    void createFolder(const QString& name);
    void deleteFolder(FavoriteFolder& folder);
    void addToFavorites(const QString& appleID, const QString& folderName, const QString& comment);
    void removeFromFavorites(const QString& appleID);
    bool isFavorite(const QString& appleID) const;
    QSharedPointer<FavoriteApp> getFavorite(const QString& appleID) const;
    void moveToFolder(const QString& appleID, const QString& folderName);

private:
    QList<QSharedPointer<FavoriteFolder>> foldersNamed(const QString& name) const;
    void saveIgnoringFailure();

    ModelContext& m_modelContext;
};
