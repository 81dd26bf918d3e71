#pragma once

#include <QList>
#include <QSharedPointer>
#include <QWidget>

class AppIconView;
class AppModel;
class ClampedTextLabel;
class ElidedLabel;
class FavoriteApp;
class FavoriteFolder;
class FavoritesService;
class ImageLoader;
class QLabel;
class QMenu;
class SymbolLabel;

// One favorite in the favorites browser's middle column: the app's icon, name,
// developer, the user's comment, category, price and rating, and when it was
// added. Redrawn whenever the favorite or the app record changes. Its context
// menu moves the app to another folder or removes it from the favorites.
class FavoriteAppRowView : public QWidget {
    Q_OBJECT
public:
    static constexpr int iconSide = 60;
    static constexpr int iconCornerRadius = 12;
    static constexpr int verticalPadding = 12;
    static constexpr int horizontalPadding = 12;

    // favoritesService may be null: then the menu's actions do nothing.
    FavoriteAppRowView(QSharedPointer<FavoriteApp> favoriteApp, QSharedPointer<AppModel> appModel,
                       FavoritesService* favoritesService, QList<QSharedPointer<FavoriteFolder>> allFolders,
                       QSharedPointer<FavoriteFolder> currentFolder, QWidget* parent = nullptr,
                       ImageLoader* loader = nullptr);

    const QSharedPointer<FavoriteApp>& favoriteApp() const { return m_favoriteApp; }
    const QSharedPointer<AppModel>& appModel() const { return m_appModel; }
    void setAllFolders(const QList<QSharedPointer<FavoriteFolder>>& folders) { m_allFolders = folders; }

    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);

    // "Move to Folder" (the current folder checked and disabled), "Edit
    // Comment", "Remove from Favorites"; a new menu owned by parent.
    QMenu* contextMenu(QWidget* parent) const;

    // The texts as shown, for the list's owner and for tests.
    QString nameText() const;
    QString commentText() const; // empty when no comment line is shown
    QString ratingText() const;  // empty when no rating is shown
    QString addedText() const;

signals:
    void clicked();
    void contextMenuRequested(const QPoint& globalPosition);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void refresh();

    QSharedPointer<FavoriteApp> m_favoriteApp;
    QSharedPointer<AppModel> m_appModel;
    FavoritesService* m_favoritesService;
    QList<QSharedPointer<FavoriteFolder>> m_allFolders;
    QSharedPointer<FavoriteFolder> m_currentFolder;
    bool m_selected = false;

    AppIconView* m_icon;
    ElidedLabel* m_name;
    ElidedLabel* m_developer;
    ClampedTextLabel* m_comment;
    SymbolLabel* m_category;
    SymbolLabel* m_price;
    QWidget* m_rating;
    QLabel* m_ratingValue;
    ElidedLabel* m_added;
};
