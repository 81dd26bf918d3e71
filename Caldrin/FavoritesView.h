#pragma once

#include "AppDetailView.h"
#include "FolderAppsListView.h"
#include "NewFolderSheet.h"

#include <QList>
#include <QMenu>
#include <QPointer>
#include <QSharedPointer>
#include <QSplitter>

#include <memory>

class AppModel;
class EmptyStateView;
class FavoriteFolder;
class FavoritesService;

class ModelContext;

class PersistentRecord;
class QListWidget;

class QStackedWidget;
class QToolButton;
enum class RecordKind;
class StoreChangeFollower;

// The "Favorites" tab: the folders with their app counts on the left, the apps
// of the selected folder in the middle, the selected app's details on the
// right. Folders are created here and deleted from their context menu (except
// "Unfiltered"); apps are moved and removed from theirs. The columns follow
// every change of the store, coalesced per turn of the event loop.
//
// When the selected folder is deleted, the folder selection is cleared, and the
// app selection with it when that app was chosen from the deleted folder.
class FavoritesView : public QSplitter {
    Q_OBJECT
public:
    struct Options {
        ImageLoader* loader = nullptr; // null: the shared loader
        AppDetailView::Options detail; // for the detail column's views
    };

    static constexpr int sidebarWidth = 250;

    explicit FavoritesView(ModelContext& modelContext, QWidget* parent = nullptr);
    FavoritesView(ModelContext& modelContext, Options options, QWidget* parent = nullptr);
    ~FavoritesView() override;

    // Created the first time the view comes on screen.
    FavoritesService* favoritesService() const { return m_favoritesService.get(); }
    const QList<QSharedPointer<FavoriteFolder>>& folders() const { return m_folders; }
    const QSharedPointer<FavoriteFolder>& selectedFolder() const { return m_selectedFolder; }
    const QSharedPointer<AppModel>& selectedApp() const { return m_selectedApp; }
    void selectFolder(const QSharedPointer<FavoriteFolder>& folder);

    QListWidget* folderList() const { return m_folderList; }
    QToolButton* newFolderButton() const { return m_newFolderButton; }
    // The middle column while a folder is selected, else null.
    FolderAppsListView* appsList() const { return m_appsList; }
    // The detail column's view while an app is selected, else null.
    AppDetailView* detailView() const { return m_detailView; }
    // The empty state the middle or detail column shows, else null.
    EmptyStateView* folderPlaceholder() const;
    EmptyStateView* detailPlaceholder() const;
    NewFolderSheet* newFolderSheet() const { return m_newFolderSheet; }
    // The folder's context menu (null for "Unfiltered"), a new menu owned by parent.
    QMenu* folderMenu(const QSharedPointer<FavoriteFolder>& folder, QWidget* parent);
    // The folder menu while it is shown.
    QMenu* shownFolderMenu() const { return m_folderMenu; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildSidebar();
    void appear();
    bool matters(RecordKind kind, const PersistentRecord* record) const;
    void reload();
    void fillFolderList();
    void showFolder();
    void selectApp(const QSharedPointer<AppModel>& app);
    void showApp();
    void showNewFolderSheet();
    void showFolderMenu(const QPoint& position);

    ModelContext& m_modelContext;
    Options m_options;
    std::unique_ptr<FavoritesService> m_favoritesService;
    QList<QSharedPointer<FavoriteFolder>> m_folders;
    QSharedPointer<FavoriteFolder> m_selectedFolder;
    QSharedPointer<AppModel> m_selectedApp;
    // The folder the selected app was chosen in.
    QSharedPointer<FavoriteFolder> m_selectedAppFolder;
    StoreChangeFollower* m_storeChanges = nullptr;

    QListWidget* m_folderList = nullptr;
    QToolButton* m_newFolderButton = nullptr;
    QStackedWidget* m_middle = nullptr;
    EmptyStateView* m_noFolder = nullptr;
    QPointer<FolderAppsListView> m_appsList;
    QStackedWidget* m_detail = nullptr;
    EmptyStateView* m_noApp = nullptr;
    QPointer<AppDetailView> m_detailView;
    QPointer<NewFolderSheet> m_newFolderSheet;
    QPointer<QMenu> m_folderMenu;
};
