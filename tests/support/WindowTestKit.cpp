#include "WindowTestKit.h"

#include "AppListModel.h"
#include "AppModel.h"
#include "CategoryListModel.h"
#include "FavoriteAppRowView.h"
#include "FavoriteFolder.h"
#include "FavoritesView.h"
#include "FolderRowView.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QTest>

QStringList WindowTestKit::names(const AppListModel& list) {
    QStringList result;
    for (int row = 0; row < list.rowCount(); ++row)
        result.append(list.index(row).data(AppListModel::RecordRole).value<AppModel*>()->name());
    return result;
}

QStringList WindowTestKit::categoryRows(const CategoryListModel& categories) {
    QStringList result;
    for (int row = 0; row < categories.rowCount(); ++row)
        result.append(
            QStringLiteral("%1=%2").arg(categories.categoryAt(row)).arg(categories.unviewedCountAt(row)));
    return result;
}

QStringList WindowTestKit::visibleTexts(const QWidget* root) {
    QStringList texts;
    for (const QLabel* label : root->findChildren<QLabel*>()) {
        if (label->isVisibleTo(root) && !label->text().isEmpty())
            texts.append(label->text());
    }
    for (const QAbstractButton* button : root->findChildren<QAbstractButton*>()) {
        if (button->isVisibleTo(root) && !button->text().isEmpty())
            texts.append(button->text());
    }
    return texts;
}

void WindowTestKit::type(QWidget* widget, const QString& text) {
    for (const QChar character : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(character), Qt::NoModifier);
}

void WindowTestKit::clickRow(QListView* view, int row) {
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}

AppDetailView::UrlOpener WindowTestKit::recordInto(QList<QUrl>& opened) {
    return [&opened](const QUrl& url) {
        opened.append(url);
        return true;
    };
}

QStringList WindowTestKit::menuItems(const QMenu* menu) {
    QStringList items;
    for (const QAction* action : menu->actions())
        items.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    return items;
}

QAction* WindowTestKit::menuAction(const QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

QMenu* WindowTestKit::openContextMenu(QWidget* widget, const QPoint& position) {
    QContextMenuEvent event(QContextMenuEvent::Mouse, position, widget->mapToGlobal(position));
    QApplication::sendEvent(widget, &event);
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

void WindowTestKit::choose(QMenu* menu, const QString& text) {
    QVERIFY2(menu, qPrintable(text));
    QAction* action = menuAction(menu, text);
    QVERIFY2(action, qPrintable(text));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
}

void WindowTestKit::chooseInSubmenu(QMenu* menu, const QString& submenu, const QString& text) {
    QVERIFY2(menu && menuAction(menu, submenu), qPrintable(submenu));
    menu->setActiveAction(menuAction(menu, submenu));
    QTest::keyClick(menu, Qt::Key_Right);
    QTRY_VERIFY(menuAction(menu, submenu)->menu()->isVisible());
    choose(menuAction(menu, submenu)->menu(), text);
}

QStringList WindowTestKit::folderNames(const FavoritesView& view) {
    QStringList names;
    for (int i = 0; i < view.folderList()->count(); ++i)
        names.append(view.folderList()->item(i)->text());
    return names;
}

QStringList WindowTestKit::folderBadges(const FavoritesView& view) {
    QStringList counts;
    for (int i = 0; i < view.folderList()->count(); ++i)
        counts.append(FolderRowView::badgeText(view.folderList()->model()->index(i, 0)));
    return counts;
}

QStringList WindowTestKit::rowNames(const FavoritesView& view) {
    QStringList names;
    if (view.appsList()) {
        for (const FavoriteAppRowView* row : view.appsList()->rows())
            names.append(row->nameText());
    }
    return names;
}

void WindowTestKit::clickFolder(FavoritesView& view, const QString& name) {
    QListWidget* list = view.folderList();
    const int row = int(folderNames(view).indexOf(name));
    QVERIFY2(row >= 0, qPrintable(name));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    QVERIFY(view.selectedFolder());
    QCOMPARE(view.selectedFolder()->name(), name);
}

QMenu* WindowTestKit::openFolderMenu(FavoritesView& view, const QString& name) {
    QListWidget* list = view.folderList();
    const int row = int(folderNames(view).indexOf(name));
    return openContextMenu(list->viewport(), list->visualItemRect(list->item(row)).center());
}

QMenu* WindowTestKit::openRowMenu(FavoritesView& view, int row) {
    return openContextMenu(view.appsList()->rows().at(row), QPoint(20, 20));
}
