#pragma once

#include "AppDetailView.h"

#include <QList>
#include <QStringList>
#include <QUrl>

class AppListModel;
class CategoryListModel;
class FavoritesView;
class QAction;
class QMenu;
class QPoint;
class QWidget;

// What the tests of the main window, its list models, the detail view and the
// favorites browser share: the lists as text, a browser that only notes the
// addresses, the menus and the favorites browser's folders.
class WindowTestKit {
public:
    // The names of the list's rows, top to bottom.
    static QStringList names(const AppListModel& list);
    // "<category>=<unviewed count>" for each row of the category list.
    static QStringList categoryRows(const CategoryListModel& categories);
    // The texts of the labels and buttons shown within root.
    static QStringList shownTexts(const QWidget* root);
    // Notes the addresses instead of opening a browser.
    static AppDetailView::UrlOpener recordInto(QList<QUrl>& opened);

    // A menu's items as shown: texts, marked " (checked, off)" as they are,
    // "-" for a divider.
    static QStringList menuItems(const QMenu* menu);
    // The menu's item with the text, or null.
    static QAction* menuAction(const QMenu* menu, const QString& text);
    // Opens a context menu as a right click does; the menu shown, or null.
    static QMenu* openContextMenu(QWidget* widget, const QPoint& position);
    // Chooses a menu item with the mouse.
    static void choose(QMenu* menu, const QString& text);

    // The favorites browser: folder names and badges, a click on a folder, the
    // folder and row menus.
    static QStringList folderNames(const FavoritesView& view);
    static QStringList folderBadges(const FavoritesView& view);
    static void clickFolder(FavoritesView& view, const QString& name);
    static QMenu* openFolderMenu(FavoritesView& view, const QString& name);
    static QMenu* openRowMenu(FavoritesView& view, int row);
};
