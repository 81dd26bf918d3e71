// The favorites browser driven as a person would: folders with their badges and
// menus, the apps of a folder with theirs, the detail column, and how all of it
// follows the store.
#include "AddToFavoritesSheet.h"
#include "AppDetailView.h"
#include "AppModel.h"
#include "ClampedTextLabel.h"
#include "ConsoleCapture.h"
#include "DestructiveMenuStyle.h"
#include "EmptyStateView.h"
#include "FavoriteApp.h"
#include "FavoriteAppRowView.h"
#include "FavoriteFolder.h"
#include "FavoritesService.h"
#include "FavoritesView.h"
#include "FolderAppsListView.h"
#include "FolderRowView.h"
#include "ImageLoader.h"
#include "ModelContainer.h"
#include "ModelContext.h"
#include "NewFolderSheet.h"
#include "SymbolTable.h"
#include "WebEngineTestMain.h"

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using AppRef = QSharedPointer<AppModel>;
using FolderRef = QSharedPointer<FavoriteFolder>;

namespace {

const QString unfiltered = QStringLiteral("Unfiltered");

// A menu's items as shown: texts, "-" for a divider.
QStringList menuItems(const QMenu* menu) {
    QStringList items;
    for (const QAction* action : menu->actions())
        items.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    return items;
}

QAction* menuAction(const QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

// Opens a context menu as a right click does.
void rightClick(QWidget* widget, const QPoint& position) {
    QContextMenuEvent event(QContextMenuEvent::Mouse, position, widget->mapToGlobal(position));
    QApplication::sendEvent(widget, &event);
}

QMenu* shownMenu() {
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

// Chooses a menu item with the mouse.
void choose(QMenu* menu, const QString& text) {
    QAction* action = menuAction(menu, text);
    QVERIFY2(action, qPrintable(text));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
}

} // namespace

class TestFavoritesView : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ModelContainer> m_container;
    std::unique_ptr<ImageLoader> m_loader;
    QList<QUrl> m_opened;

    ModelContext& context() { return m_container->mainContext(); }

    AppRef storedApp(const QString& appleID, const QString& name, std::optional<double> rating = {}) {
        auto app = AppRef::create();
        app->setAppleID(appleID);
        app->setName(name);
        app->setBundleID(QStringLiteral("com.example.") + appleID);
        app->setDeveloperName(QStringLiteral("Developer ") + appleID);
        app->setAppStoreURL(QStringLiteral("https://apps.example/id") + appleID);
        app->setCategory(QStringLiteral("Games"));
        app->setPriceLabel(QStringLiteral("$0.99"));
        app->setReleaseDateString(QStringLiteral("Dec 3, 2026"));
        app->setReleaseDate(QDateTime::currentDateTimeUtc());
        app->setRating(rating);
        app = context().insert(app);
        context().save();
        return app;
    }

    std::unique_ptr<FavoritesView> showView() {
        FavoritesView::Options options;
        options.loader = m_loader.get();
        options.detail.openUrl = [this](const QUrl& url) {
            m_opened.append(url);
            return true;
        };
        auto view = std::make_unique<FavoritesView>(context(), options);
        view->resize(1300, 800);
        view->show();
        return view;
    }

    QStringList folderNames(const FavoritesView& view) {
        QStringList names;
        for (int i = 0; i < view.folderList()->count(); ++i)
            names.append(view.folderList()->item(i)->text());
        return names;
    }
    QStringList badges(const FavoritesView& view) {
        QStringList counts;
        for (int i = 0; i < view.folderList()->count(); ++i)
            counts.append(FolderRowView::badgeText(view.folderList()->model()->index(i, 0)));
        return counts;
    }
    QStringList rowNames(const FavoritesView& view) {
        QStringList names;
        if (view.appsList()) {
            for (const FavoriteAppRowView* row : view.appsList()->rows())
                names.append(row->nameText());
        }
        return names;
    }
    FolderRef folderNamed(const FavoritesView& view, const QString& name) {
        for (const FolderRef& folder : view.folders()) {
            if (folder->name() == name)
                return folder;
        }
        return nullptr;
    }
    void clickFolder(FavoritesView& view, const QString& name) {
        QListWidget* list = view.folderList();
        const int row = int(folderNames(view).indexOf(name));
        QVERIFY2(row >= 0, qPrintable(name));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
        QCOMPARE(view.selectedFolder()->name(), name);
    }
    QMenu* openFolderMenu(FavoritesView& view, const QString& name) {
        QListWidget* list = view.folderList();
        const int row = int(folderNames(view).indexOf(name));
        rightClick(list->viewport(), list->visualItemRect(list->item(row)).center());
        return shownMenu();
    }
    QMenu* openRowMenu(FavoritesView& view, int row) {
        rightClick(view.appsList()->rows().at(row), QPoint(20, 20));
        return shownMenu();
    }

private slots:
    void initTestCase() {
        SymbolTable::installIconTheme();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_container = ModelContainer::open(m_dir->filePath(QStringLiteral("caldrin.sqlite")));
        m_loader = std::make_unique<ImageLoader>(m_dir->filePath(QStringLiteral("cache")));
        m_opened.clear();
    }
    void cleanup() {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_loader.reset();
        m_container.reset();
        m_dir.reset();
    }

    // The first appearance makes the service (and "Unfiltered") and selects
    // the first folder; later ones keep the selection.
    void firstAppearance_selectsTheFirstFolder_data() {
        QTest::addColumn<QStringList>("stored"); // name:sortOrder, in the order they are stored
        QTest::addColumn<QStringList>("expectedFolders");
        QTest::addColumn<QStringList>("expectedLines");
        QTest::newRow("empty store") << QStringList() << QStringList{unfiltered}
                                     << QStringList{QStringLiteral("✅ Created default 'Unfiltered' folder")};
        QTest::newRow("a folder before Unfiltered")
            << QStringList{QStringLiteral("Unfiltered:0"), QStringLiteral("Games:-1")}
            << QStringList{QStringLiteral("Games"), unfiltered} << QStringList();
    }
    void firstAppearance_selectsTheFirstFolder() {
        QFETCH(QStringList, stored);
        QFETCH(QStringList, expectedFolders);
        QFETCH(QStringList, expectedLines);
        for (const QString& folder : stored)
            context().insert(
                FolderRef::create(folder.section(':', 0, 0), folder.section(':', 1).toLongLong()));
        context().save();
        ConsoleCapture console;
        FavoritesView::Options options;
        options.loader = m_loader.get();
        FavoritesView view(context(), options);
        QVERIFY(!view.favoritesService());
        QVERIFY(!view.selectedFolder());
        view.resize(1300, 800);
        view.show();
        QVERIFY(view.favoritesService());
        QCOMPARE(console.lines(), expectedLines);
        QCOMPARE(folderNames(view), expectedFolders);
        QCOMPARE(view.selectedFolder()->name(), expectedFolders.first());
        QCOMPARE(view.folderList()->currentRow(), 0);
        QVERIFY(view.appsList());
        QCOMPARE(view.appsList()->countText(), QStringLiteral("0 apps"));
        QVERIFY(view.appsList()->emptyState());
        QCOMPARE(view.appsList()->emptyState()->title(), QStringLiteral("No favorites in this folder"));
        QCOMPARE(view.appsList()->emptyState()->hint(),
                 QStringLiteral("Add apps to favorites from the main apps list"));
        QVERIFY(view.detailPlaceholder());
        QCOMPARE(view.detailPlaceholder()->title(), QStringLiteral("Select an app to view details"));
        QCOMPARE(view.detailPlaceholder()->symbol(), QStringLiteral("app.dashed"));

        // Leaving the tab and coming back keeps the chosen folder.
        clickFolder(view, expectedFolders.last());
        view.hide();
        view.show();
        QCOMPARE(view.selectedFolder()->name(), expectedFolders.last());
        QCOMPARE(console.lines(), expectedLines);
    }

    // Badges count every favorite of a folder; the middle column shows only
    // those whose app record exists, in the folder's order.
    void folders_countEntriesAndShowMatchedApps() {
        FavoritesService service(context());
        service.createFolder(QStringLiteral("Games"));
        service.createFolder(QStringLiteral("Empty"));
        service.createFolder(QStringLiteral("Ghosts"));
        storedApp(QStringLiteral("1"), QStringLiteral("Alpha"), 4.66);
        storedApp(QStringLiteral("2"), QStringLiteral("Beta"));
        service.addToFavorites(QStringLiteral("2"), QStringLiteral("Games"), QString());
        service.addToFavorites(QStringLiteral("404"), QStringLiteral("Games"), QStringLiteral("gone"));
        service.addToFavorites(
            QStringLiteral("1"), QStringLiteral("Games"),
            QStringLiteral("A long comment that goes on and on about why this app is worth a look, "
                           "far longer than two lines of a narrow column can hold"));
        service.addToFavorites(QStringLiteral("405"), QStringLiteral("Ghosts"), QString());
        auto view = showView();
        QCOMPARE(folderNames(*view), (QStringList{unfiltered, QStringLiteral("Games"),
                                                  QStringLiteral("Empty"), QStringLiteral("Ghosts")}));
        QCOMPARE(badges(*view), (QStringList{"0", "3", "0", "1"}));

        clickFolder(*view, QStringLiteral("Games"));
        QCOMPARE(rowNames(*view), (QStringList{QStringLiteral("Beta"), QStringLiteral("Alpha")}));
        QCOMPARE(view->appsList()->countText(), QStringLiteral("2 apps"));
        const auto rows = view->appsList()->rows();
        QCOMPARE(rows[0]->commentText(), QString()); // no comment line
        QCOMPARE(rows[0]->ratingText(), QString());  // no rating
        QCOMPARE(rows[1]->commentText().left(14), QStringLiteral("A long comment"));
        QCOMPARE(rows[1]->ratingText(), QStringLiteral("4.7"));
        const auto comment = rows[1]->findChild<ClampedTextLabel*>(QStringLiteral("comment"));
        QVERIFY(comment->displayedLines(200).size() == 2);
        QVERIFY(comment->displayedLines(200).last().endsWith(QStringLiteral("…")));
        // A pasted novel of a comment costs no more than two lines.
        comment->setText(QString(50000, QLatin1Char('x')));
        QCOMPARE(comment->displayedLines(200).size(), 2);
        QVERIFY(comment->displayedLines(200).last().endsWith(QStringLiteral("…")));
        comment->setText(QString(1999, QLatin1Char('y')) + QStringLiteral(" end"));
        QVERIFY(comment->displayedLines(100000).last().endsWith(QStringLiteral("…")));
        QCOMPARE(rows[1]->addedText(),
                 QStringLiteral("Added: ") +
                     QLocale().toString(QDate::currentDate(), QStringLiteral("MMM d, yyyy")));

        // A folder of unmatched favorites shows the empty state; "1 apps" for one.
        clickFolder(*view, QStringLiteral("Ghosts"));
        QVERIFY(view->appsList()->emptyState());
        QCOMPARE(view->appsList()->countText(), QStringLiteral("0 apps"));
        storedApp(QStringLiteral("405"), QStringLiteral("Late arrival"));
        QTRY_COMPARE(rowNames(*view), QStringList{QStringLiteral("Late arrival")});
        QCOMPARE(view->appsList()->countText(), QStringLiteral("1 apps"));
        QVERIFY(!view->appsList()->emptyState());
    }

    void rows_followTheirRecords() {
        FavoritesService service(context());
        AppRef app = storedApp(QStringLiteral("1"), QStringLiteral("Alpha"));
        service.addToFavorites(QStringLiteral("1"), unfiltered, QString());
        auto view = showView();
        FavoriteAppRowView* row = view->appsList()->rows().first();
        app->setName(QStringLiteral("Alpha Deluxe"));
        app->setRating(3.0);
        QCOMPARE(row->nameText(), QStringLiteral("Alpha Deluxe"));
        QCOMPARE(row->ratingText(), QStringLiteral("3.0"));
        service.getFavorite(QStringLiteral("1"))->setComment(QStringLiteral("Now with a note"));
        QCOMPARE(row->commentText(), QStringLiteral("Now with a note"));
        QCOMPARE(view->appsList()->rows().first(), row); // the same row, redrawn
    }

    void folderMenu_deletesOtherFoldersOnly() {
        FavoritesService service(context());
        service.createFolder(QStringLiteral("Games"));
        auto view = showView();
        QVERIFY(!openFolderMenu(*view, unfiltered));
        QVERIFY(!view->shownFolderMenu());

        QMenu* menu = openFolderMenu(*view, QStringLiteral("Games"));
        QVERIFY(menu);
        QCOMPARE(menuItems(menu), (QStringList{QStringLiteral("Rename"), "-", QStringLiteral("Delete")}));
        QVERIFY(DestructiveMenuStyle::isDestructive(menuAction(menu, QStringLiteral("Delete"))));
        QVERIFY(!DestructiveMenuStyle::isDestructive(menuAction(menu, QStringLiteral("Rename"))));
        // "Rename" changes nothing.
        ConsoleCapture console;
        choose(menu, QStringLiteral("Rename"));
        QTest::qWait(10);
        QCOMPARE(folderNames(*view), (QStringList{unfiltered, QStringLiteral("Games")}));
        QVERIFY(console.lines().isEmpty());

        choose(openFolderMenu(*view, QStringLiteral("Games")), QStringLiteral("Delete"));
        QCOMPARE(console.lines(), QStringList{QStringLiteral("🗑️ Deleted folder: Games")});
        QTRY_COMPARE(folderNames(*view), QStringList{unfiltered});
        QCOMPARE(context().count<FavoriteFolder>(), 1);
    }

    // Deleting the selected folder clears it, and the app chosen from it.
    void deletingTheSelectedFolder_clearsTheSelection_data() {
        QTest::addColumn<bool>("appFromDeletedFolder");
        QTest::newRow("app chosen in the folder") << true;
        QTest::newRow("app chosen in another folder") << false;
    }
    void deletingTheSelectedFolder_clearsTheSelection() {
        QFETCH(bool, appFromDeletedFolder);
        FavoritesService service(context());
        service.createFolder(QStringLiteral("Games"));
        AppRef alpha = storedApp(QStringLiteral("1"), QStringLiteral("Alpha"));
        storedApp(QStringLiteral("2"), QStringLiteral("Beta"));
        service.addToFavorites(QStringLiteral("1"), QStringLiteral("Games"), QString());
        service.addToFavorites(QStringLiteral("2"), unfiltered, QString());
        auto view = showView();
        clickFolder(*view, appFromDeletedFolder ? QStringLiteral("Games") : unfiltered);
        QTest::mouseClick(view->appsList()->rows().first(), Qt::LeftButton);
        QVERIFY(view->detailView());
        const AppRef shown = view->selectedApp();
        if (!appFromDeletedFolder)
            clickFolder(*view, QStringLiteral("Games"));
        QCOMPARE(view->detailView()->app(), shown); // another folder keeps the detail

        choose(openFolderMenu(*view, QStringLiteral("Games")), QStringLiteral("Delete"));
        QTRY_VERIFY(!view->selectedFolder());
        QVERIFY(view->folderPlaceholder());
        QCOMPARE(view->folderPlaceholder()->title(), QStringLiteral("Select a folder"));
        QCOMPARE(view->folderPlaceholder()->symbol(), QStringLiteral("star.fill"));
        QCOMPARE(view->folderList()->selectedItems().size(), 0);
        if (appFromDeletedFolder) {
            QVERIFY(!view->selectedApp());
            QVERIFY(view->detailPlaceholder());
        } else {
            QCOMPARE(view->selectedApp(), shown);
            QCOMPARE(view->detailView()->app(), shown);
        }
        Q_UNUSED(alpha);
    }

    void newFolder_isCreatedButNotSelected() {
        auto view = showView();
        QCOMPARE(view->newFolderButton()->toolTip(), QStringLiteral("Create new folder"));
        QTest::mouseClick(view->newFolderButton(), Qt::LeftButton);
        QPointer<NewFolderSheet> sheet = view->newFolderSheet();
        QVERIFY(sheet);
        ConsoleCapture console;
        QTest::keyClicks(sheet->nameField(), QStringLiteral("Puzzle games"));
        QTest::mouseClick(sheet->createButton(), Qt::LeftButton);
        QTRY_VERIFY(!sheet);
        QCOMPARE(console.lines(), QStringList{QStringLiteral("✅ Created folder: Puzzle games")});
        QTRY_COMPARE(folderNames(*view), (QStringList{unfiltered, QStringLiteral("Puzzle games")}));
        QCOMPARE(badges(*view), (QStringList{"0", "0"}));
        QCOMPARE(view->selectedFolder()->name(), unfiltered);
        QCOMPARE(view->folderList()->currentRow(), 0);
    }

    // The row menu: move to another folder (the current one checked and
    // disabled), "Edit Comment" (changes nothing), remove.
    void rowMenu_movesAndRemoves() {
        FavoritesService service(context());
        service.createFolder(QStringLiteral("Games"));
        service.createFolder(QStringLiteral("Later"));
        storedApp(QStringLiteral("1"), QStringLiteral("Alpha"));
        storedApp(QStringLiteral("2"), QStringLiteral("Beta"));
        service.addToFavorites(QStringLiteral("1"), unfiltered, QStringLiteral("note"));
        service.addToFavorites(QStringLiteral("2"), unfiltered, QString());
        auto view = showView();
        QTest::mouseClick(view->appsList()->rows().first(), Qt::LeftButton);
        const AppRef selected = view->selectedApp();
        QCOMPARE(selected->name(), QStringLiteral("Alpha"));

        QMenu* menu = openRowMenu(*view, 0);
        QVERIFY(menu);
        QCOMPARE(menuItems(menu),
                 (QStringList{QStringLiteral("Move to Folder"), "-", QStringLiteral("Edit Comment"), "-",
                              QStringLiteral("Remove from Favorites")}));
        QVERIFY(
            DestructiveMenuStyle::isDestructive(menuAction(menu, QStringLiteral("Remove from Favorites"))));
        QMenu* move = menuAction(menu, QStringLiteral("Move to Folder"))->menu();
        QVERIFY(move);
        QCOMPARE(menuItems(move),
                 (QStringList{unfiltered, QStringLiteral("Games"), QStringLiteral("Later")}));
        QAction* current = menuAction(move, unfiltered);
        QVERIFY(current->isChecked());
        QVERIFY(!current->isEnabled());
        QVERIFY(menuAction(move, QStringLiteral("Games"))->isEnabled());
        QVERIFY(!menuAction(move, QStringLiteral("Games"))->isChecked());

        // "Edit Comment" changes nothing.
        ConsoleCapture console;
        choose(menu, QStringLiteral("Edit Comment"));
        QTest::qWait(10);
        QCOMPARE(service.getFavorite(QStringLiteral("1"))->comment(), QStringLiteral("note"));
        QVERIFY(console.lines().isEmpty());

        // Move with the keyboard: into the submenu, down to "Games".
        menu = openRowMenu(*view, 0);
        menu->setActiveAction(menuAction(menu, QStringLiteral("Move to Folder")));
        QTest::keyClick(menu, Qt::Key_Right);
        move = menuAction(menu, QStringLiteral("Move to Folder"))->menu();
        QTRY_VERIFY(move->isVisible());
        choose(move, QStringLiteral("Games"));
        QCOMPARE(service.getFavorite(QStringLiteral("1"))->folder()->name(), QStringLiteral("Games"));
        QCOMPARE(console.lines(), QStringList{QStringLiteral("📁 Moved 1 to folder Games")});
        QTRY_COMPARE(rowNames(*view), QStringList{QStringLiteral("Beta")});
        QCOMPARE(badges(*view), (QStringList{"1", "1", "0"}));
        // The browser keeps its selections.
        QCOMPARE(view->selectedApp(), selected);
        QCOMPARE(view->detailView()->app(), selected);
        QCOMPARE(view->selectedFolder()->name(), unfiltered);

        // In the new folder the app's menu checks that folder instead.
        clickFolder(*view, QStringLiteral("Games"));
        QVERIFY(view->appsList()->rows().first()->isSelected());
        menu = openRowMenu(*view, 0);
        move = menuAction(menu, QStringLiteral("Move to Folder"))->menu();
        QVERIFY(menuAction(move, unfiltered)->isEnabled());
        QVERIFY(!menuAction(move, QStringLiteral("Games"))->isEnabled());
        choose(menu, QStringLiteral("Remove from Favorites"));
        QVERIFY(!service.isFavorite(QStringLiteral("1")));
        QTRY_VERIFY(view->appsList()->emptyState());
        QCOMPARE(badges(*view), (QStringList{"1", "0", "0"}));
    }

    // Rows are chosen with the mouse or the arrow keys; the detail column follows.
    void choosingRows_showsTheirDetails() {
        FavoritesService service(context());
        for (const char* id : {"1", "2", "3"}) {
            storedApp(QString::fromLatin1(id), QStringLiteral("App ") + QLatin1String(id));
            service.addToFavorites(QString::fromLatin1(id), unfiltered, QString());
        }
        auto view = showView();
        view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(view.get()));
        FolderAppsListView* list = view->appsList();
        QTest::mouseClick(list->rows().at(1), Qt::LeftButton);
        QCOMPARE(view->detailView()->app()->name(), QStringLiteral("App 2"));
        QVERIFY(list->hasFocus());
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(view->detailView()->app()->name(), QStringLiteral("App 3"));
        QTest::keyClick(list, Qt::Key_Down); // stays on the last row
        QCOMPARE(view->selectedApp()->name(), QStringLiteral("App 3"));
        QTest::keyClick(list, Qt::Key_Up);
        QTest::keyClick(list, Qt::Key_Up);
        QCOMPARE(view->detailView()->app()->name(), QStringLiteral("App 1"));
        QVERIFY(list->rows().at(0)->isSelected());
        QVERIFY(!list->rows().at(1)->isSelected());
        // The detail view's links work from here too.
        QTest::mouseClick(view->detailView()->openInAppStoreButton(), Qt::LeftButton);
        QCOMPARE(m_opened, QList<QUrl>{QUrl(QStringLiteral("https://apps.example/id1"))});
    }

    // Adding from the detail column's star shows up in the folders at once.
    void addingFromTheDetailColumn_updatesTheFolders() {
        FavoritesService service(context());
        service.createFolder(QStringLiteral("Games"));
        storedApp(QStringLiteral("1"), QStringLiteral("Alpha"));
        storedApp(QStringLiteral("2"), QStringLiteral("Beta"));
        service.addToFavorites(QStringLiteral("1"), unfiltered, QString());
        auto view = showView();
        QTest::mouseClick(view->appsList()->rows().first(), Qt::LeftButton);
        AppDetailView* detail = view->detailView();
        QVERIFY(detail->showsFavorite());
        // Removing it from the row menu empties the star, though the detail stays.
        choose(openRowMenu(*view, 0), QStringLiteral("Remove from Favorites"));
        QTRY_VERIFY(!detail->showsFavorite());
        QCOMPARE(view->detailView(), detail);

        QTest::mouseClick(detail->favoriteButton(), Qt::LeftButton);
        QPointer<AddToFavoritesSheet> sheet = detail->addToFavoritesSheet();
        QVERIFY(sheet);
        sheet->folderPicker()->setCurrentIndex(sheet->folderPicker()->findText(QStringLiteral("Games")));
        QTest::mouseClick(sheet->addButton(), Qt::LeftButton);
        QTRY_VERIFY(!sheet);
        QTRY_COMPARE(badges(*view), (QStringList{"0", "1"}));
        QVERIFY(detail->showsFavorite());
        clickFolder(*view, QStringLiteral("Games"));
        QCOMPARE(rowNames(*view), QStringList{QStringLiteral("Alpha")});
    }

    // The window's reset deletes every record: the browser drops what is gone.
    void reset_dropsEverything() {
        FavoritesService service(context());
        service.createFolder(QStringLiteral("Games"));
        storedApp(QStringLiteral("1"), QStringLiteral("Alpha"));
        service.addToFavorites(QStringLiteral("1"), QStringLiteral("Games"), QString());
        auto view = showView();
        clickFolder(*view, QStringLiteral("Games"));
        QTest::mouseClick(view->appsList()->rows().first(), Qt::LeftButton);
        QVERIFY(view->detailView());

        context().removeAll<AppModel>();
        context().removeAll<FavoriteApp>();
        context().removeAll<FavoriteFolder>();
        context().save();
        QTRY_VERIFY(folderNames(*view).isEmpty());
        QVERIFY(!view->selectedFolder());
        QVERIFY(!view->selectedApp());
        QVERIFY(view->folderPlaceholder());
        QVERIFY(view->detailPlaceholder());

        // A folder created afterwards is listed; nothing is selected by itself.
        service.ensureDefaultFolder();
        QTRY_COMPARE(folderNames(*view), QStringList{unfiltered});
        QVERIFY(!view->selectedFolder());
    }
};

CALDRIN_WEBENGINE_TEST_MAIN(TestFavoritesView)

#include "tst_favoritesview.moc"
