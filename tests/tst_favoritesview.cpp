// The favorites browser driven as a person would: folders with their badges and
// menus, the apps of a folder with theirs, the detail column, and how all of it
// follows the store. The whole flow of creating, adding, moving, removing and
// deleting runs through the main window (tst_window).
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
#include "ImageLoader.h"
#include "ModelContainer.h"
#include "ModelContext.h"
#include "SampleApps.h"
#include "SymbolTable.h"
#include "WebEngineTestMain.h"
#include "WindowTestKit.h"

#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using AppRef = QSharedPointer<AppModel>;
using FolderRef = QSharedPointer<FavoriteFolder>;
using Kit = WindowTestKit;
using namespace Qt::StringLiterals;

namespace {

const QString unfiltered = u"Unfiltered"_s;

// A menu's items as shown: texts, "-" for a divider.
QStringList menuItems(const QMenu* menu) {
    QStringList items;
    for (const QAction* action : menu->actions())
        items.append(action->isSeparator() ? u"-"_s : action->text());
    return items;
}

QStringList rowNames(const FavoritesView& view) {
    QStringList names;
    for (const FavoriteAppRowView* row : view.appsList()->rows())
        names.append(row->nameText());
    return names;
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
        auto app = SampleApps::make(appleID, {name});
        app->setRating(rating);
        app = context().insert(app);
        context().save();
        return app;
    }
    // Apps "App <id>" made favorites in the folder.
    void storeFavorites(const QStringList& appleIDs, const QString& folder) {
        FavoritesService service(context());
        for (const QString& appleID : appleIDs) {
            storedApp(appleID, u"App "_s + appleID);
            service.addToFavorites(appleID, folder, QString());
        }
    }

    std::unique_ptr<FavoritesView> showView() {
        FavoritesView::Options options;
        options.loader = m_loader.get();
        options.detail.openUrl = Kit::recordInto(m_opened);
        auto view = std::make_unique<FavoritesView>(context(), options);
        view->resize(1300, 800);
        view->show();
        return view;
    }

private slots:
    void initTestCase() {
        SymbolTable::installIconTheme();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_container = ModelContainer::open(m_dir->filePath(u"caldrin.sqlite"_s));
        m_loader = std::make_unique<ImageLoader>(m_dir->filePath(u"cache"_s));
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
                                     << QStringList{"✅ Created default 'Unfiltered' folder"};
        QTest::newRow("a folder before Unfiltered")
            << QStringList{"Unfiltered:0", "Games:-1"} << QStringList{"Games", unfiltered} << QStringList();
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
        FavoritesView view(context(), FavoritesView::Options{m_loader.get(), {}});
        QVERIFY(!view.favoritesService() && !view.selectedFolder());
        view.resize(1300, 800);
        view.show();
        QVERIFY(view.favoritesService());
        QCOMPARE(console.lines(), expectedLines);
        QCOMPARE(Kit::folderNames(view), expectedFolders);
        QCOMPARE(view.selectedFolder()->name(), expectedFolders.first());
        QCOMPARE(view.folderList()->currentRow(), 0);
        QCOMPARE(view.appsList()->countText(), u"0 apps"_s);
        QVERIFY(view.appsList()->emptyState());
        QCOMPARE(view.appsList()->emptyState()->title(), u"No favorites in this folder"_s);
        QCOMPARE(view.appsList()->emptyState()->hint(), u"Add apps to favorites from the main apps list"_s);
        QCOMPARE(view.detailPlaceholder()->title(), u"Select an app to view details"_s);

        // Leaving the tab and coming back keeps the chosen folder.
        Kit::clickFolder(view, expectedFolders.last());
        view.hide();
        view.show();
        QCOMPARE(view.selectedFolder()->name(), expectedFolders.last());
        QCOMPARE(console.lines(), expectedLines);
    }

    // Badges count every favorite of a folder; the middle column shows only
    // those whose app record exists, in the folder's order, and follows them.
    void folders_countEntriesAndShowMatchedApps() {
        FavoritesService service(context());
        for (const QString& name : {u"Games"_s, u"Empty"_s, u"Ghosts"_s})
            service.createFolder(name);
        storedApp(u"1"_s, u"Alpha"_s, 4.66);
        storedApp(u"2"_s, u"Beta"_s);
        service.addToFavorites(u"2"_s, u"Games"_s, QString());
        service.addToFavorites(u"404"_s, u"Games"_s, u"gone"_s);
        service.addToFavorites(u"1"_s, u"Games"_s,
                               u"A long comment that goes on and on about why this app is worth a look, "
                               "far longer than two lines of a narrow column can hold"_s);
        service.addToFavorites(u"405"_s, u"Ghosts"_s, QString());
        auto view = showView();
        QCOMPARE(Kit::folderNames(*view), (QStringList{unfiltered, "Games", "Empty", "Ghosts"}));
        QCOMPARE(Kit::folderBadges(*view), (QStringList{"0", "3", "0", "1"}));

        Kit::clickFolder(*view, u"Games"_s);
        QCOMPARE(rowNames(*view), (QStringList{"Beta", "Alpha"}));
        QCOMPARE(view->appsList()->countText(), u"2 apps"_s);
        const auto rows = view->appsList()->rows();
        QCOMPARE(rows[0]->commentText(), QString()); // no comment line
        QCOMPARE(rows[0]->ratingText(), QString());  // no rating
        QCOMPARE(rows[1]->ratingText(), u"4.7"_s);
        QVERIFY(rows[1]->commentText().startsWith(u"A long comment"_s));
        QCOMPARE(rows[1]->addedText(),
                 u"Added: "_s + QLocale().toString(QDate::currentDate(), u"MMM d, yyyy"_s));
        // A comment shows two lines at most, however long it is.
        const auto comment = rows[1]->findChild<ClampedTextLabel*>(u"comment"_s);
        for (const QString& text : {rows[1]->commentText(), QString(50000, QLatin1Char('x'))}) {
            comment->setText(text);
            QCOMPARE(comment->displayedLines(200).size(), 2);
            QVERIFY(comment->displayedLines(200).last().endsWith(u"…"_s));
        }
        comment->setText(QString(1999, QLatin1Char('y')) + u" end"_s);
        QVERIFY(comment->displayedLines(100000).last().endsWith(u"…"_s));

        // A folder of unmatched favorites shows the empty state; "1 apps" for one.
        Kit::clickFolder(*view, u"Ghosts"_s);
        QVERIFY(view->appsList()->emptyState());
        QCOMPARE(view->appsList()->countText(), u"0 apps"_s);
        storedApp(u"405"_s, u"Late arrival"_s);
        QTRY_COMPARE(rowNames(*view), QStringList{"Late arrival"});
        QCOMPARE(view->appsList()->countText(), u"1 apps"_s);
        QVERIFY(!view->appsList()->emptyState());

        // The row follows its records, redrawn in place.
        FavoriteAppRowView* row = view->appsList()->rows().first();
        row->appModel()->setName(u"Late arrival, renamed"_s);
        row->appModel()->setRating(3.0);
        service.getFavorite(u"405"_s)->setComment(u"Now with a note"_s);
        QCOMPARE(row->nameText(), u"Late arrival, renamed"_s);
        QCOMPARE(row->ratingText(), u"3.0"_s);
        QCOMPARE(row->commentText(), u"Now with a note"_s);
        QCOMPARE(view->appsList()->rows().first(), row);
    }

    // No menu for "Unfiltered"; "Rename" and "Edit Comment" change nothing; a
    // move checks and disables the app's current folder. (The moves, removals
    // and deletions themselves run in the window's test.)
    void menus_ofFoldersAndRows() {
        FavoritesService service(context());
        service.createFolder(u"Games"_s);
        storeFavorites({u"1"_s, u"2"_s}, unfiltered);
        service.getFavorite(u"1"_s)->setComment(u"note"_s);
        auto view = showView();
        QVERIFY(!Kit::openFolderMenu(*view, unfiltered));
        QVERIFY(!view->shownFolderMenu());
        QMenu* menu = Kit::openFolderMenu(*view, u"Games"_s);
        QVERIFY(menu);
        QCOMPARE(menuItems(menu), (QStringList{"Rename", "-", "Delete"}));
        QVERIFY(DestructiveMenuStyle::isDestructive(Kit::menuAction(menu, u"Delete"_s)));
        QVERIFY(!DestructiveMenuStyle::isDestructive(Kit::menuAction(menu, u"Rename"_s)));
        ConsoleCapture console;
        Kit::choose(menu, u"Rename"_s);

        menu = Kit::openRowMenu(*view, 0);
        QVERIFY(menu);
        QCOMPARE(menuItems(menu),
                 (QStringList{"Move to Folder", "-", "Edit Comment", "-", "Remove from Favorites"}));
        QVERIFY(DestructiveMenuStyle::isDestructive(Kit::menuAction(menu, u"Remove from Favorites"_s)));
        QMenu* move = Kit::menuAction(menu, u"Move to Folder"_s)->menu();
        QCOMPARE(menuItems(move), (QStringList{unfiltered, "Games"}));
        QAction* current = Kit::menuAction(move, unfiltered);
        QVERIFY(current->isChecked() && !current->isEnabled());
        QVERIFY(!Kit::menuAction(move, u"Games"_s)->isChecked() &&
                Kit::menuAction(move, u"Games"_s)->isEnabled());
        Kit::choose(menu, u"Edit Comment"_s);
        QTest::qWait(10);
        QCOMPARE(Kit::folderNames(*view), (QStringList{unfiltered, "Games"}));
        QCOMPARE(service.getFavorite(u"1"_s)->comment(), u"note"_s);
        QVERIFY(console.lines().isEmpty());
    }

    // Deleting the selected folder clears it, and the app chosen from it. The
    // window's reset deletes every record: the browser drops what is gone and
    // selects nothing by itself afterwards.
    void deletingTheSelectedFolder_clearsTheSelection_data() {
        QTest::addColumn<bool>("appFromDeletedFolder");
        QTest::addColumn<bool>("reset");
        QTest::newRow("app chosen in the folder") << true << false;
        QTest::newRow("app chosen in another folder") << false << false;
        QTest::newRow("every record deleted") << true << true;
    }
    void deletingTheSelectedFolder_clearsTheSelection() {
        QFETCH(bool, appFromDeletedFolder);
        QFETCH(bool, reset);
        FavoritesService service(context());
        service.createFolder(u"Games"_s);
        storeFavorites({u"1"_s}, u"Games"_s);
        storeFavorites({u"2"_s}, unfiltered);
        auto view = showView();
        Kit::clickFolder(*view, appFromDeletedFolder ? u"Games"_s : unfiltered);
        QTest::mouseClick(view->appsList()->rows().first(), Qt::LeftButton);
        const AppRef shown = view->selectedApp();
        QVERIFY(shown);
        if (!appFromDeletedFolder)
            Kit::clickFolder(*view, u"Games"_s);
        QCOMPARE(view->detailView()->app(), shown); // another folder keeps the detail

        if (reset) {
            context().removeAll<AppModel>();
            context().removeAll<FavoriteApp>();
            context().removeAll<FavoriteFolder>();
            context().save();
        } else {
            Kit::choose(Kit::openFolderMenu(*view, u"Games"_s), u"Delete"_s);
        }
        QTRY_VERIFY(!view->selectedFolder());
        QCOMPARE(view->folderPlaceholder()->title(), u"Select a folder"_s);
        QCOMPARE(view->folderList()->selectedItems().size(), 0);
        QCOMPARE(view->selectedApp(), appFromDeletedFolder ? AppRef() : shown);
        if (appFromDeletedFolder)
            QVERIFY(view->detailPlaceholder());
        else
            QCOMPARE(view->detailView()->app(), shown);
        QCOMPARE(Kit::folderNames(*view), reset ? QStringList() : QStringList{unfiltered});
        if (reset) {
            service.ensureDefaultFolder();
            QTRY_COMPARE(Kit::folderNames(*view), QStringList{unfiltered});
            QVERIFY(!view->selectedFolder());
        }
    }

    // Rows are chosen with the mouse or the arrow keys; the detail column follows.
    void choosingRows_showsTheirDetails() {
        storeFavorites({u"1"_s, u"2"_s, u"3"_s}, unfiltered);
        auto view = showView();
        view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(view.get()));
        FolderAppsListView* list = view->appsList();
        QTest::mouseClick(list->rows().at(1), Qt::LeftButton);
        QCOMPARE(view->detailView()->app()->name(), u"App 2"_s);
        QVERIFY(list->hasFocus());
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(view->detailView()->app()->name(), u"App 3"_s);
        QTest::keyClick(list, Qt::Key_Down); // stays on the last row
        QCOMPARE(view->selectedApp()->name(), u"App 3"_s);
        QTest::keyClick(list, Qt::Key_Up);
        QTest::keyClick(list, Qt::Key_Up);
        QCOMPARE(view->detailView()->app()->name(), u"App 1"_s);
        QVERIFY(list->rows().at(0)->isSelected() && !list->rows().at(1)->isSelected());
        // The detail view's links work from here too.
        QTest::mouseClick(view->detailView()->openInAppStoreButton(), Qt::LeftButton);
        QCOMPARE(m_opened, QList<QUrl>{QUrl(u"https://apps.example/id1"_s)});
    }
};

CALDRIN_WEBENGINE_TEST_MAIN(TestFavoritesView)

#include "tst_favoritesview.moc"
