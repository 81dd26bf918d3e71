#include "WindowTestKit.h"

#include "AppListModel.h"
#include "AppModel.h"
#include "CategoryListModel.h"
#include "ElidedLabel.h"
#include "FavoriteAppRowView.h"
#include "FavoriteFolder.h"
#include "FavoritesView.h"
#include "FolderRowView.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
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

QStringList WindowTestKit::shownTexts(const QWidget* root) {
    QStringList texts;
    for (const QWidget* widget : root->findChildren<QWidget*>()) {
        const auto* label = qobject_cast<const QLabel*>(widget);
        const auto* elided = qobject_cast<const ElidedLabel*>(widget);
        const auto* button = qobject_cast<const QAbstractButton*>(widget);
        const QString text = label    ? label->text()
                             : elided ? elided->text()
                             : button ? button->text()
                                      : QString();
        if (!text.isEmpty() && widget->isVisibleTo(root))
            texts.append(text);
    }
    return texts;
}

AppDetailView::UrlOpener WindowTestKit::recordInto(QList<QUrl>& opened) {
    return [&opened](const QUrl& url) {
        opened.append(url);
        return true;
    };
}

QStringList WindowTestKit::menuItems(const QMenu* menu) {
    QStringList items;
    for (const QAction* action : menu->actions()) {
        QStringList marks;
        if (action->isChecked())
            marks.append(QStringLiteral("checked"));
        if (!action->isEnabled())
            marks.append(QStringLiteral("off"));
        items.append(action->isSeparator() ? QStringLiteral("-")
                     : marks.isEmpty()     ? action->text()
                                           : action->text() + QStringLiteral(" (%1)").arg(marks.join(u", ")));
    }
    return items;
}

QAction* WindowTestKit::menuAction(const QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions())
        if (action->text() == text)
            return action;
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

void WindowTestKit::clickFolder(FavoritesView& view, const QString& name) {
    QListWidget* list = view.folderList();
    const int row = int(folderNames(view).indexOf(name));
    QVERIFY2(row >= 0, qPrintable(name));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    QVERIFY2(view.selectedFolder() && view.selectedFolder()->name() == name, qPrintable(name));
}

QMenu* WindowTestKit::openFolderMenu(FavoritesView& view, const QString& name) {
    QListWidget* list = view.folderList();
    const int row = int(folderNames(view).indexOf(name));
    return openContextMenu(list->viewport(), list->visualItemRect(list->item(row)).center());
}

QMenu* WindowTestKit::openRowMenu(FavoritesView& view, int row) {
    return openContextMenu(view.appsList()->rows().at(row), QPoint(20, 20));
}
