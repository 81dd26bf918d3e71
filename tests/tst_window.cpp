// The main window driven as a person would, against a store with known
// records, with the collector's store and lookups on a local fake store. The
// rules of the search, the categories and the paging are the list models'
// (tst_listmodel); here the window's fields, lists and buttons drive them.
#include "AddToFavoritesSheet.h"
#include "AppDetailView.h"
#include "AppIndex.h"
#include "AppListModel.h"
#include "AppModel.h"
#include "CategoryListModel.h"
#include "CategoryRowView.h"
#include "CollectorBox.h"
#include "ConsoleCapture.h"
#include "ContentTab.h"
#include "ContentView.h"
#include "DateText.h"
#include "EmptyStateView.h"
#include "FakeStore.h"
#include "FavoriteApp.h"
#include "FavoriteAppRowView.h"
#include "FavoriteFolder.h"
#include "FavoritesService.h"
#include "FavoritesView.h"
#include "FolderAppsListView.h"
#include "LoadMoreRowModel.h"
#include "ModelContainer.h"
#include "ModelContext.h"
#include "NewFolderSheet.h"
#include "SampleApps.h"
#include "SegmentedPicker.h"
#include "SqliteDatabase.h"
#include "StoreDocuments.h"
#include "WebEngineTestMain.h"
#include "WindowTestKit.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSplitter>
#include <QToolButton>

#include <sqlite3.h>

using AppRef = QSharedPointer<AppModel>;
using Traits = SampleApps::Traits;
using Kit = WindowTestKit;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

QList<Traits> numbered(const QString& prefix, int count, int firstDay = 0) {
    return SampleApps::numbered(prefix, count, {}, firstDay);
}

QSettings userSettings() {
    return QSettings(u"Caldrin"_s, u"Caldrin"_s);
}

void click(QWidget* widget) {
    QVERIFY(widget && widget->isVisible() && widget->isEnabled());
    QTest::mouseClick(widget, Qt::LeftButton);
}

void clickRow(QListView* view, int row) {
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}

// Types text key by key, as a keyboard would (keyClicks takes Latin-1 only).
void type(QWidget* widget, const QString& text) {
    for (const QChar character : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(character), Qt::NoModifier);
}

QStringList names(ContentView& window) {
    return Kit::names(window.appList());
}

QStringList categoryRows(ContentView& window) {
    return Kit::categoryRows(window.categoryList());
}

void search(ContentView& window, const QString& text) {
    window.searchField()->clear();
    type(window.searchField(), text);
}

void clickApp(ContentView& window, const QString& name) {
    clickRow(window.appListView(), int(names(window).indexOf(name)));
}

void clickCategory(ContentView& window, const QString& category) {
    clickRow(window.categoryView(), window.categoryList().rowForCategory(category));
}

// The row the list view shows selected, or -1.
int selectedRow(ContentView& window) {
    return window.appListView()->selectionModel()->selectedIndexes().value(0).row();
}

EmptyStateView* detailPlaceholder(ContentView& window) {
    return window.findChild<EmptyStateView*>(u"detailPlaceholder"_s);
}

bool isBlue(QRgb pixel) {
    return qBlue(pixel) > 200 && qRed(pixel) < 80 && qGreen(pixel) > 90 && qGreen(pixel) < 160;
}

} // namespace

class TestWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ModelContainer> m_container;
    std::unique_ptr<FakeStore> m_store;
    std::unique_ptr<ContentView> m_window;

    ModelContext& context() { return m_container->mainContext(); }

    // Short waits, and no browser.
    ContentView::Options fast() {
        ContentView::Options options;
        AppCollectorService::Timing timing;
        timing.batchPause = 1ms;
        timing.queue.pauseBetweenApps = 10ms;
        timing.queue.scraper = {30ms, 3s};
        options.collectorTiming = timing;
        options.detail.openUrl = [](const QUrl&) { return true; };
        options.detail.timing.scraper = {30ms, 3s};
        options.favorites.detail = options.detail;
        return options;
    }

    // Complete records, so that the details queue finds nothing to do at start.
    QList<AppRef> addApps(const QList<Traits>& traits) {
        QList<AppRef> apps;
        const qint64 first = context().count<AppModel>();
        for (qsizetype i = 0; i < traits.size(); ++i) {
            const QString appleID = QString::number(1000 + first + i);
            auto app = SampleApps::make(appleID, traits.at(i));
            app->setAppStoreURL(m_store->origin() + u"/us/app/x/id"_s + appleID);
            app->setReleaseDateString(u"Jan 1, 2024"_s);
            app->setScreenshotURLs(QStringList{m_store->origin() + u"/images/shot.png"_s});
            app->setAppDescription(u"An app."_s);
            app->setDetailsFetched(true);
            apps.append(context().insert(app));
        }
        context().save();
        return apps;
    }

    void serveFeeds(const QJsonArray& entries) {
        for (const char* kind : {"newapplications", "newfreeapplications", "newpaidapplications"})
            m_store->setJson(u"/us/rss/%1/limit=100/json"_s.arg(QLatin1String(kind)),
                             StoreDocuments::feedDocument(entries));
    }

    // Shown, with its index read and the collector's first run (empty feeds) over.
    ContentView& openWindow() {
        m_window = std::make_unique<ContentView>(context(), fast());
        m_window->resize(1200, 800);
        m_window->show();
        if (!QTest::qWaitFor(
                [this] {
                    return m_window->appIndex().isReady() && m_window->collectorService() &&
                           m_window->collectorService()->statusMessage().startsWith(u"✓"_s);
                },
                10000))
            qWarning("the window's index or the collector's first run took too long");
        return *m_window;
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_container = ModelContainer::open(m_dir->filePath(u"caldrin.sqlite"_s));
        m_store = std::make_unique<FakeStore>();
        QVERIFY(m_store->listen());
        qputenv("CALDRIN_STORE_ORIGIN", m_store->origin().toUtf8());
        serveFeeds({});
        userSettings().clear();
    }
    void cleanup() {
        m_window.reset();
        m_store.reset();
        m_container.reset();
        m_dir.reset();
    }

    void search_byDeveloperAndInCapitals() {
        addApps({{u"Photo Editor"_s, u"Nordlicht Studios"_s, u"Photo & Video"_s, 9},
                 {u"Budget Planner"_s, u"Jürgen Müller"_s, u"Finance"_s, 8},
                 {u"Old Photos"_s, u"Archive Co."_s, u"Photo & Video"_s, 5}});
        ContentView& window = openWindow();
        const QList<std::pair<QString, QStringList>> searches{{u"nordlicht"_s, {"Photo Editor"}},
                                                              {u"PHOTO"_s, {"Photo Editor", "Old Photos"}},
                                                              {u"MÜLLER"_s, {"Budget Planner"}},
                                                              {u"zzq"_s, {}}};
        for (const auto& [text, expected] : searches) {
            search(window, text);
            QCOMPARE(names(window), expected);
            QCOMPARE(window.findChild<QLabel*>(u"contentTitle"_s)->text(),
                     u"Apps (%1)"_s.arg(expected.size()));
            QCOMPARE(window.showsEmptyState(), expected.isEmpty());
            QCOMPARE(window.appListView()->isVisible(), !expected.isEmpty());
        }
        // The categories count every record, whatever the search.
        QCOMPARE(categoryRows(window), (QStringList{"All=3", "Finance=1", "Photo & Video=2"}));
    }

    void categories_filterTheListAndCountUnviewedApps() {
        addApps({{u"Game A"_s, {}, u"Games"_s, 9},
                 {u"Game B"_s, {}, u"Games"_s, 8},
                 {u"Game C"_s, {}, u"Games"_s, 7, true},
                 {u"Book D"_s, {}, u"Books"_s, 6},
                 {u"Book E"_s, {}, u"Books"_s, 5},
                 {u"Ledger F"_s, {}, u"Finance"_s, 4, true},
                 {u"Nameless G"_s, {}, QString(), 3}});
        ContentView& window = openWindow();
        QCOMPARE(categoryRows(window), (QStringList{"All=5", "=1", "Books=2", "Finance=0", "Games=2"}));
        QCOMPARE(window.selectedCategory(), u"All"_s);
        QCOMPARE(window.categoryView()->selectionModel()->selectedIndexes().value(0).row(), 0);

        // Badges are painted for counts of one or more only.
        QListView* view = window.categoryView();
        const QImage painted = view->viewport()->grab().toImage();
        const qreal ratio = painted.devicePixelRatio();
        for (int row = 1; row < window.categoryList().rowCount(); ++row) {
            const QRect area = CategoryRowView::badgeRect(view->visualRect(window.categoryList().index(row)),
                                                          view->font(), u"0"_s);
            int blue = 0;
            for (int y = area.top(); y <= area.bottom(); ++y) {
                for (int x = area.left(); x <= area.right(); ++x)
                    blue += isBlue(painted.pixel(QPoint(qRound(x * ratio), qRound(y * ratio))));
            }
            const bool badge = window.categoryList().unviewedCountAt(row) > 0;
            QVERIFY2(badge ? blue > area.width() * area.height() / 3 : blue == 0,
                     qPrintable(window.categoryList().categoryAt(row)));
        }

        clickCategory(window, u"Games"_s);
        QCOMPARE(window.selectedCategory(), u"Games"_s);
        QCOMPARE(names(window), (QStringList{"Game A", "Game B", "Game C"}));
        QCOMPARE(window.contentTitle(), u"Apps (3)"_s);

        // Viewing an app lowers its category's badge and the total.
        clickApp(window, u"Game A"_s);
        QTRY_COMPARE(categoryRows(window), (QStringList{"All=4", "=1", "Books=2", "Finance=0", "Games=1"}));
    }

    void loadMore_addsFiftyRowsAtATime_andTypingBringsItBack() {
        addApps(numbered(u"Match"_s, 120) + numbered(u"Other"_s, 30, 200));
        ContentView& window = openWindow();
        QAbstractItemModelTester tester(&window.listRows(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        search(window, u"match"_s);
        QCOMPARE(window.contentTitle(), u"Apps (120)"_s);
        QSignalSpy inserted(&window.appList(), &QAbstractItemModel::rowsInserted);
        for (const auto& [shown, remaining] : {std::pair{50, 70}, std::pair{100, 20}}) {
            QCOMPARE(window.appList().rowCount(), shown);
            QCOMPARE(window.listRows().loadMoreRow(), shown); // below the last app
            QTRY_VERIFY(window.loadMoreButton());
            QCOMPARE(window.loadMoreButton()->text(), u"Load More (%1 remaining)"_s.arg(remaining));
            window.appListView()->scrollToBottom();
            QTest::qWait(50);
            click(window.loadMoreButton());
        }
        QCOMPARE(window.appList().rowCount(), 120);
        QCOMPARE(inserted.size(), 2); // one run of rows per press
        QCOMPARE(names(window).mid(0, 1) + names(window).mid(119), (QStringList{"Match 119", "Match 0"}));
        QCOMPARE(window.listRows().rowCount(), 120);
        QVERIFY(!window.loadMoreButton());
        QCOMPARE(window.contentTitle(), u"Apps (120)"_s);

        // One more character, or another category: back to one page.
        type(window.searchField(), u" "_s);
        QCOMPARE(window.displayLimit(), 50);
        QTest::keyClick(window.searchField(), Qt::Key_Backspace);
        QCOMPARE(window.loadMoreButton()->text(), u"Load More (70 remaining)"_s);
        click(window.loadMoreButton());
        QCOMPARE(window.displayLimit(), 100);
        clickCategory(window, u"Games"_s);
        QCOMPARE(window.displayLimit(), 50);
    }

    // Once, whatever is selected afterwards; a failed save is printed and the
    // mark kept for the next save.
    void selectingAnApp_marksItViewedOnce_data() {
        QTest::addColumn<bool>("saveFails");
        QTest::newRow("saved") << false;
        QTest::newRow("the save fails") << true;
    }
    void selectingAnApp_marksItViewedOnce() {
        QFETCH(bool, saveFails);
        const QList<AppRef> apps =
            addApps({{u"Fresh"_s, {}, u"Games"_s, 3}, {u"Seen"_s, {}, u"Games"_s, 2, true}});
        ContentView& window = openWindow();
        if (saveFails)
            m_container->database().setFaultHook(
                [](const QByteArray& sql) { return sql == "COMMIT" ? SQLITE_FULL : SQLITE_OK; });
        ConsoleCapture console;
        for (const QString& name : {u"Fresh"_s, u"Seen"_s, u"Fresh"_s})
            clickApp(window, name);
        m_container->database().setFaultHook({});
        QCOMPARE(window.selectedApp(), apps[0]);
        QVERIFY(apps[0]->isViewed());
        QCOMPARE(context().hasChanges(), saveFails);
        QCOMPARE(console.lines().size(), 1);
        const QString line = console.lines().first(), error = u"❌ Error saving viewed status: "_s;
        if (saveFails)
            QVERIFY2(line.startsWith(error) && line.size() > error.size(), qPrintable(line));
        else
            QCOMPARE(line, u"✅ Marked as viewed: Fresh"_s);
    }

    void resetAndReload_clearsTheStoreAndStartsARun() {
        FavoritesService favorites(context());
        favorites.createFolder(u"Later"_s);
        const QList<AppRef> apps = addApps({{u"Book One"_s, {}, u"Books"_s, 3},
                                            {u"Book Two"_s, {}, u"Books"_s, 2},
                                            {u"Game Three"_s, {}, u"Games"_s, 1}});
        favorites.addToFavorites(apps[0]->appleID(), u"Later"_s, u"nice"_s);
        ContentView& window = openWindow();
        {
            QSettings settings = userSettings();
            settings.setValue(u"lastFetchDate"_s, QDateTime::currentDateTimeUtc());
            settings.setValue(u"totalAppsCollected"_s, 3);
            settings.setValue(u"kept"_s, 1);
        }
        clickCategory(window, u"Books"_s);
        clickApp(window, u"Book One"_s);
        serveFeeds({StoreDocuments::feedEntry(u"501"_s, u"New Game One"_s, m_store->origin()),
                    StoreDocuments::feedEntry(u"502"_s, u"New Game Two"_s, m_store->origin())});

        click(window.collectorBox()->startStopButton()); // the reset waits for a stop
        ConsoleCapture console;
        click(window.collectorBox()->resetButton());
        QCOMPARE(console.lines(), (QStringList{"🔄 Resetting all data...", "🗑️ Deleted 3 apps",
                                               "🗑️ Deleted 1 favorite apps", "🗑️ Deleted 2 folders",
                                               "✅ All data cleared", "📥 Fetching new apps..."}));
        QVERIFY(!userSettings().contains(u"lastFetchDate"_s));
        QVERIFY(!userSettings().contains(u"totalAppsCollected"_s));
        QVERIFY(userSettings().contains(u"kept"_s));
        QCOMPARE(context().count<AppModel>() + context().count<FavoriteApp>() +
                     context().count<FavoriteFolder>(),
                 0);
        QVERIFY(!context().hasChanges());
        QVERIFY(!window.collectorService()->isCollecting()); // the reset leaves it as it was

        // The window's own state stays; the deleted app is no longer shown in detail.
        QCOMPARE(window.selectedApp(), apps[0]);
        QCOMPARE(window.selectedCategory(), u"Books"_s);
        QVERIFY(!window.detailView());
        QTRY_COMPARE(window.contentTitle(), u"Apps (0)"_s);
        QVERIFY(window.showsEmptyState());

        // A new run starts at once and collects the feeds' apps.
        QTRY_VERIFY(console.contains(u"🔄 Starting to fetch new apps..."_s));
        QTRY_VERIFY_WITH_TIMEOUT(window.collectorService()->statusMessage().startsWith(u"✓ Saved 2"_s),
                                 10000);
        QTRY_COMPARE(categoryRows(window), (QStringList{"All=2", "Games=2"}));
        // "Books" is gone from the list but still chosen: nothing matches.
        QCOMPARE(window.selectedCategory(), u"Books"_s);
        QVERIFY(window.categoryView()->selectionModel()->selectedIndexes().isEmpty());
        QVERIFY(window.showsEmptyState());
        QCOMPARE(window.collectorBox()->totalText(), u"Total collected: 2"_s);
    }

    // On an empty store: the empty states and zero counts; the collector made
    // and started once the General tab has been painted, and its box.
    void firstStart_showsEmptyStates_andTheCollectorBoxFollowsTheCollector() {
        ContentView window(context(), fast());
        window.show();
        QVERIFY(!window.collectorService());
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(window.collectorService());
        AppCollectorService* collector = window.collectorService();
        QVERIFY(collector->isCollecting());
        CollectorBox* box = window.collectorBox();
        QCOMPARE(box->startStopButton()->text(), u"Stop Collecting"_s);
        QVERIFY(!box->fetchNowButton()->isEnabled() && !box->resetButton()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(collector->statusMessage().startsWith(u"✓"_s), 10000);
        QCOMPARE(box->statusText(), u"Status: "_s + collector->statusMessage());
        QCOMPARE(box->lastFetchText(),
                 u"Last fetch: "_s + DateText::abbreviatedDateShortTime(collector->lastFetchDate().value()));
        QCOMPARE(box->totalText(), u"Total collected: 0"_s);
        QCOMPARE(box->queueText(), u"Queue: Queue empty"_s);
        QCOMPARE(window.findChild<QLabel*>(u"contentTitle"_s)->text(), u"Apps (0)"_s);
        auto* empty = window.findChild<EmptyStateView*>(u"emptyState"_s);
        QVERIFY(window.showsEmptyState() && empty->isVisible());
        QCOMPARE(empty->title(), u"No apps collected yet"_s);
        QCOMPARE(empty->hint(), u"Click 'Start Collecting' to begin tracking new iOS apps"_s);
        QCOMPARE(categoryRows(window), QStringList{"All=0"});
        QVERIFY(detailPlaceholder(window)->isVisible());
        QCOMPARE(detailPlaceholder(window)->title(), u"Select an app to view details"_s);
        QVERIFY(!window.loadMoreButton());

        click(box->startStopButton());
        QVERIFY(!collector->isCollecting());
        QCOMPARE(box->startStopButton()->text(), u"Start Collecting"_s);
        QCOMPARE(box->statusText(), u"Status: Collection stopped"_s);
        QVERIFY(box->fetchNowButton()->isEnabled() && box->resetButton()->isEnabled());

        // "Fetch Now" runs once, without switching collection on; the lookup
        // answers slowly, so the queue is seen at work.
        serveFeeds({StoreDocuments::feedEntry(u"601"_s, u"Fetched"_s, m_store->origin())});
        FakeStore::Response slow;
        slow.body = StoreDocuments::lookupDocument(0, {});
        slow.delayMs = 600;
        m_store->setResponse(u"/lookup?id=601"_s, slow);
        ConsoleCapture console;
        click(box->fetchNowButton());
        QTRY_VERIFY(console.contains(u"🔄 Starting to fetch new apps..."_s));
        QVERIFY(!collector->isCollecting());
        QTRY_VERIFY_WITH_TIMEOUT(box->showsQueueProgress(), 10000);
        QCOMPARE(box->queueText(), collector->detailsQueue().statusMessage());
        QTRY_VERIFY_WITH_TIMEOUT(!box->showsQueueProgress(), 10000);
        QCOMPARE(box->queueText(), u"Queue: Queue empty"_s);
        QTRY_COMPARE(box->totalText(), u"Total collected: 1"_s);

        click(box->startStopButton());
        QVERIFY(collector->isCollecting() && !box->fetchNowButton()->isEnabled());
    }

    void keyboard_ctrlFFocusesSearch_andArrowsMoveTheSelection() {
        addApps(numbered(u"App"_s, 60));
        ContentView& window = openWindow();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.appListView()->setFocus();
        QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(window.searchField()->hasFocus());

        // From the search field the arrows reach the list.
        QTest::keyClick(window.searchField(), Qt::Key_Down);
        QVERIFY(window.selectedApp());
        QCOMPARE(window.selectedApp()->name(), u"App 59"_s);
        QTest::keyClick(window.searchField(), Qt::Key_Down);
        QCOMPARE(window.selectedApp()->name(), u"App 58"_s);
        QVERIFY(window.searchField()->hasFocus());
        window.appListView()->setFocus();
        QTest::keyClick(window.appListView(), Qt::Key_Up);
        QCOMPARE(window.selectedApp()->name(), u"App 59"_s);
        // The arrows stop at the last app; the load-more row is not an app.
        for (const Qt::Key key : {Qt::Key_End, Qt::Key_Down, Qt::Key_PageDown}) {
            QTest::keyClick(window.appListView(), key);
            QCOMPARE(window.selectedApp()->name(), u"App 10"_s);
        }

        // Ctrl+F belongs to the General tab.
        window.setSelectedTab(ContentTab::favorites);
        window.setFocus();
        QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(!window.searchField()->hasFocus());
    }

    void window_remembersItsSizeAndSplit() {
        {
            ContentView window(context(), fast());
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            window.resize(1111, 733);
            window.splitter()->setSizes({250, 333, 528});
            QCoreApplication::processEvents();
        }
        ContentView again(context(), fast());
        again.show();
        QVERIFY(QTest::qWaitForWindowExposed(&again));
        QCOMPARE(again.size(), QSize(1111, 733));
        QCOMPARE(again.splitter()->sizes().mid(0, 2), (QList<int>{250, 333}));
    }

    // The selection and the detail column follow the records through saves,
    // moves and removals; the detail view stays while its app does.
    void liveUpdates_theSelectionAndItsDetailFollowTheRecord() {
        const QList<AppRef> apps = addApps(numbered(u"App"_s, 5));
        ContentView& window = openWindow();
        QVERIFY(!window.detailView());
        clickApp(window, u"App 2"_s);
        const AppRef selected = window.selectedApp();
        QCOMPARE(selected, apps[2]);
        QPointer<AppDetailView> detail = window.detailView();
        QVERIFY(detail && detail->isVisible());
        QCOMPARE(detail->app(), selected);
        QVERIFY(!detailPlaceholder(window)->isVisible());

        // A collector-like batch of newer apps arrives on top; a save of the
        // selected one changes nothing on the screen but its text.
        addApps(numbered(u"Newer"_s, 3, 100));
        selected->setName(u"App 2 renamed"_s);
        context().save();
        QTRY_COMPARE(window.contentTitle(), u"Apps (8)"_s);
        QCOMPARE(names(window).first(), u"Newer 2"_s);
        QCOMPARE(window.selectedApp(), selected);
        QCOMPARE(selectedRow(window), 5);
        QCOMPARE(window.detailView(), detail.data());
        QCOMPARE(window.collectorBox()->totalText(), u"Total collected: 8"_s);

        // A search that hides it keeps it selected; clearing the search shows it selected again.
        search(window, u"Newer"_s);
        QCOMPARE(selectedRow(window), -1);
        QCOMPARE(window.selectedApp(), selected);
        search(window, QString());
        QCOMPARE(selectedRow(window), 5);

        // A changed release date moves the row; the selection goes with it.
        selected->setReleaseDate(SampleApps::day0().addDays(500));
        context().save();
        QTRY_COMPARE(names(window).first(), u"App 2 renamed"_s);
        QCOMPARE(selectedRow(window), 0);

        // The selected app removed: no neighbour is chosen (and marked viewed) in its place.
        ConsoleCapture console;
        context().remove(selected.data());
        context().save();
        QTRY_COMPARE(window.contentTitle(), u"Apps (7)"_s);
        QCOMPARE(selectedRow(window), -1);
        QCOMPARE(window.selectedApp(), selected);
        QVERIFY(!window.detailView());
        QTRY_VERIFY(!detail);
        QVERIFY(detailPlaceholder(window)->isVisible());
        QVERIFY(!window.appList().recordAt(0)->isViewed());
        QVERIFY(console.linesStartingWith(u"✅ Marked as viewed"_s).isEmpty());

        // Another app: a fresh view, the old one goes; deselecting shows the
        // placeholder again.
        clickApp(window, u"App 3"_s);
        detail = window.detailView();
        clickApp(window, u"App 1"_s);
        QCOMPARE(window.detailView()->app(), apps[1]);
        QTRY_VERIFY(!detail);
        QListView* list = window.appListView();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          list->visualRect(window.listRows().index(selectedRow(window), 0)).center());
        QVERIFY(!window.selectedApp());
        QVERIFY(!window.detailView());
        QVERIFY(detailPlaceholder(window)->isVisible());
    }

    // The favorites as a person uses them: added from the General tab's detail
    // view (the sheet first closed by Escape), then in the Favorites tab a new
    // folder, a move, a removal and the folder deleted. The General tab is as
    // it was left.
    void favorites_addFromTheDetailView_thenMoveRemoveAndDeleteInTheFavoritesTab() {
        const QList<AppRef> apps =
            addApps({{u"Lumen"_s, {}, u"Health"_s, 3}, {u"Ledger"_s, {}, u"Finance"_s, 2}});
        const QString lumen = apps[0]->appleID();
        ContentView& window = openWindow();
        AppCollectorService* collector = window.collectorService();
        SegmentedPicker* picker = window.tabPicker();
        QCOMPARE((QStringList{picker->label(), picker->segments().at(0)->text(),
                              picker->segments().at(1)->text()}),
                 (QStringList{"View", "General", "Favorites"}));
        search(window, u"Lu"_s);
        clickApp(window, u"Lumen"_s);
        AppDetailView* detail = window.detailView();
        QVERIFY(detail);
        QTRY_VERIFY(detail->favoritesService());
        FavoritesService favorites(context());

        click(detail->favoriteButton());
        QPointer<AddToFavoritesSheet> sheet = detail->addToFavoritesSheet();
        QTRY_VERIFY(sheet && sheet->isVisible());
        QTest::keyClick(sheet->folderPicker(), Qt::Key_Escape);
        QTRY_VERIFY(!sheet);
        QVERIFY(!favorites.isFavorite(lumen));
        click(detail->favoriteButton());
        sheet = detail->addToFavoritesSheet();
        QTRY_VERIFY(sheet && sheet->isVisible());
        QCOMPARE(sheet->folderPicker()->currentText(), u"Unfiltered"_s);
        QTest::keyClicks(sheet->commentEditor(), u"Try it"_s);
        click(sheet->addButton());
        QTRY_VERIFY(!sheet || !sheet->isVisible());
        QCOMPARE(favorites.getFavorite(lumen)->comment(), u"Try it"_s);
        QTRY_VERIFY(detail->showsFavorite());

        // The Favorites tab: a new browser, its folder holding the app.
        click(picker->segments().at(1));
        QCOMPARE(window.selectedTab(), ContentTab::favorites);
        QVERIFY(!window.appListView()->isVisible());
        QPointer<FavoritesView> browser = window.favoritesView();
        QVERIFY(browser);
        QTRY_VERIFY(browser->isVisible() && browser->selectedFolder() && browser->appsList());
        QCOMPARE(browser->selectedFolder()->name(), u"Unfiltered"_s);
        QCOMPARE(browser->appsList()->favoriteAppleIDs(), QStringList{lumen});
        QTest::mouseClick(browser->appsList()->rows().first(), Qt::LeftButton);
        QCOMPARE(browser->detailView()->app(), apps[0]);

        // A new folder; it is not selected.
        click(browser->newFolderButton());
        QPointer<NewFolderSheet> newFolder = browser->newFolderSheet();
        QTRY_VERIFY(newFolder && newFolder->isVisible());
        ConsoleCapture console;
        type(newFolder->nameField(), u"Later"_s);
        click(newFolder->createButton());
        QTRY_COMPARE(Kit::folderNames(*browser), (QStringList{"Unfiltered", "Later"}));
        QCOMPARE(browser->selectedFolder()->name(), u"Unfiltered"_s);

        // Moved to the new folder: the browser keeps its selections; there the
        // app's row is selected and its menu checks that folder. Then removed.
        QMenu* menu = Kit::openRowMenu(*browser, 0);
        menu->setActiveAction(Kit::menuAction(menu, u"Move to Folder"_s)); // into the submenu by keyboard
        QTest::keyClick(menu, Qt::Key_Right);
        QMenu* move = Kit::menuAction(menu, u"Move to Folder"_s)->menu();
        QTRY_VERIFY(move->isVisible());
        Kit::choose(move, u"Later"_s);
        QTRY_COMPARE(Kit::folderBadges(*browser), (QStringList{"0", "1"}));
        QVERIFY(browser->appsList()->emptyState());
        QCOMPARE(browser->selectedFolder()->name(), u"Unfiltered"_s);
        QCOMPARE(browser->detailView()->app(), apps[0]);
        Kit::clickFolder(*browser, u"Later"_s);
        QVERIFY(browser->appsList()->rows().first()->isSelected());
        menu = Kit::openRowMenu(*browser, 0);
        QVERIFY(
            !Kit::menuAction(Kit::menuAction(menu, u"Move to Folder"_s)->menu(), u"Later"_s)->isEnabled());
        Kit::choose(menu, u"Remove from Favorites"_s);
        QTRY_VERIFY(browser->appsList()->emptyState());
        QVERIFY(!favorites.isFavorite(lumen));
        QTRY_VERIFY(!browser->detailView()->showsFavorite()); // the detail stays, its star empties
        Kit::choose(Kit::openFolderMenu(*browser, u"Later"_s), u"Delete"_s);
        QTRY_COMPARE(Kit::folderNames(*browser), QStringList{"Unfiltered"});
        QVERIFY(!browser->selectedFolder());
        QCOMPARE(console.lines(),
                 (QStringList{"✅ Created folder: Later", "📁 Moved " + lumen + " to folder Later",
                              "🗑️ Removed from favorites: " + lumen, "🗑️ Deleted folder: Later"}));
        QCOMPARE(context().count<FavoriteFolder>(), 1);

        // Back to General: the browser goes, the General state is as it was.
        click(picker->segments().at(0));
        QCOMPARE(window.selectedTab(), ContentTab::general);
        QTRY_VERIFY(!browser);
        QVERIFY(window.appListView()->isVisible());
        QCOMPARE(window.collectorService(), collector); // set up once
        QCOMPARE(window.searchText(), u"Lu"_s);
        QCOMPARE(window.selectedApp(), apps[0]);
        QCOMPARE(selectedRow(window), 0);
        QCOMPARE(window.detailView(), detail);
        QVERIFY(!detail->showsFavorite());
    }

    void dateText_writesAbbreviatedDatesInTheLocale_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("dateAndTime");
        QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << u"Dec 4, 2026"_s
                               << u"Dec 4, 2026, 3:05 PM"_s;
        QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany) << u"4. Dez. 2026"_s
                               << u"4. Dez. 2026, 15:05"_s;
        QTest::newRow("C") << QLocale::c() << u"4 Dec 2026"_s << u"4 Dec 2026, 15:05"_s;
    }
    void dateText_writesAbbreviatedDatesInTheLocale() {
        QFETCH(QLocale, locale);
        QFETCH(QString, date);
        QFETCH(QString, dateAndTime);
        const QDateTime moment(QDate(2026, 12, 4), QTime(15, 5, 42), Qt::LocalTime);
        QCOMPARE(DateText::abbreviatedDate(moment, locale), date);
        QCOMPARE(DateText::abbreviatedDateShortTime(moment, locale), dateAndTime);
    }
};

CALDRIN_WEBENGINE_TEST_MAIN(TestWindow)
#include "tst_window.moc"
