#pragma once

#include <QList>
#include <QMenu>
#include <QPointer>
#include <QSharedPointer>
#include <QString>
#include <QWidget>

class AppModel;
class ElidedLabel;
class EmptyStateView;
class FavoriteApp;
class FavoriteAppRowView;
class FavoriteFolder;
class FavoritesService;
class ImageLoader;
class ModelContext;
class QLabel;

class QScrollArea;
class QStackedWidget;
class QVBoxLayout;

// The favorites browser's middle column for one folder: a header with the
// folder's name and the number of apps shown, then one row per favorite of the
// folder whose app record exists, in the folder's own order, or an empty state.
// Choosing a row (click, or the arrow keys) selects its app. The owner calls
// reload() when the store changed; rows follow their own records.
class FolderAppsListView : public QWidget {
    Q_OBJECT
public:
    // A favorite of the folder and the app record it names.
    struct Pair {
        QSharedPointer<FavoriteApp> favorite;
        QSharedPointer<AppModel> app;
        bool operator==(const Pair&) const = default;
    };

    static constexpr int columnWidth = 400;

    // The height of the header's content (its padding aside).
    static int headerContentHeight();

    // favoritesService may be null: the rows' menus then do nothing.
    FolderAppsListView(QSharedPointer<FavoriteFolder> folder, ModelContext& modelContext,
                       FavoritesService* favoritesService, QWidget* parent = nullptr,
                       ImageLoader* loader = nullptr);

    const QSharedPointer<FavoriteFolder>& folder() const { return m_folder; }
    const QList<Pair>& favoriteApps() const { return m_pairs; }
    // The appleIDs the folder's favorites name, matched or not.
    const QStringList& favoriteAppleIDs() const { return m_appleIDs; }

    // Reads the folder's favorites, their records and the folders again.
    void reload();
    // Marks the rows of this app as selected (none for null).
    void setSelectedApp(const QSharedPointer<AppModel>& app);

    QList<FavoriteAppRowView*> rows() const { return m_rows; }
    QString countText() const;
    // The empty state while the folder shows no app, else null.
    EmptyStateView* emptyState() const;
    // The row menu while it is shown.
    QMenu* contextMenu() const { return m_menu; }

signals:
    // The user chose a row.
    void appSelected(const QSharedPointer<AppModel>& app);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void rebuildRows();
    void choose(int row);
    void showContextMenu(FavoriteAppRowView* row, const QPoint& globalPosition);
    int selectedRow() const;

    QSharedPointer<FavoriteFolder> m_folder;
    ModelContext& m_modelContext;
    FavoritesService* m_favoritesService;
    ImageLoader* m_loader;
    QList<Pair> m_pairs;
    QStringList m_appleIDs;
    QList<QSharedPointer<FavoriteFolder>> m_allFolders;
    QSharedPointer<AppModel> m_selectedApp;

    ElidedLabel* m_title;
    QLabel* m_count;
    QStackedWidget* m_pages;
    EmptyStateView* m_empty;
    QScrollArea* m_scrollArea;
    QWidget* m_rowsHost;
    QVBoxLayout* m_rowsLayout;
    QList<FavoriteAppRowView*> m_rows;
    QPointer<QMenu> m_menu;
};
