#pragma once

#include "AppDetailView.h"

#include <QList>
#include <QStringList>
#include <QUrl>

class AppListModel;
class CategoryListModel;
class FavoritesView;
class QAction;
class QListView;
class QMenu;
class QPoint;
class QWidget;

// What the tests of the main window, its lists, the detail view and the
// favorites browser read off the screen, and how they type and click.
class WindowTestKit {
public:
    // The names of the list's rows, top to bottom.
    static QStringList names(const AppListModel& list);
    // "<category>=<unviewed count>" for each row of the category list.
    static QStringList categoryRows(const CategoryListModel& categories);
    // The texts of the labels and buttons shown within root.
    static QStringList visibleTexts(const QWidget* root);
    // Types text key by key, as a keyboard would (keyClicks takes Latin-1 only).
    static void type(QWidget* widget, const QString& text);
    // Clicks a row of a list view, scrolled into view first.
    static void clickRow(QListView* view, int row);
    // Notes the addresses instead of opening a browser.
    static AppDetailView::UrlOpener recordInto(QList<QUrl>& opened);

    // A menu's items as shown: texts, "-" for a divider.
    static QStringList menuItems(const QMenu* menu);
    static QAction* menuAction(const QMenu* menu, const QString& text);
    // Opens a context menu as a right click does; the menu shown, or null.
    static QMenu* openContextMenu(QWidget* widget, const QPoint& position);
    // Chooses a menu item with the mouse.
    static void choose(QMenu* menu, const QString& text);
    // Opens the submenu with the keyboard and chooses an item of it.
    static void chooseInSubmenu(QMenu* menu, const QString& submenu, const QString& text);

    // The favorites browser: folder names and badges, the names on the rows of
    // the selected folder, a click on a folder, the folder and row menus.
    static QStringList folderNames(const FavoritesView& view);
    static QStringList folderBadges(const FavoritesView& view);
    static QStringList rowNames(const FavoritesView& view);
    static void clickFolder(FavoritesView& view, const QString& name);
    static QMenu* openFolderMenu(FavoritesView& view, const QString& name);
    static QMenu* openRowMenu(FavoritesView& view, int row);
};
