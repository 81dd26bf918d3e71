// The main window driven as a person would, against a store with known
// records, with the collector's store and lookups on a local fake store.
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

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolButton>

#include <sqlite3.h>

using AppRef = QSharedPointer<AppModel>;
using namespace std::chrono_literals;

namespace {

using Traits = SampleApps::Traits;

const QDateTime kDay0 = SampleApps::day0();

QList<Traits> numbered(const QString& prefix, int count, int firstDay = 0) {
    return SampleApps::numbered(prefix, count, {}, firstDay);
}

QSettings userSettings() {
    return QSettings(QStringLiteral("Caldrin"), QStringLiteral("Caldrin"));
}

QString feedPath(const char* kind) {
    return QStringLiteral("/us/rss/%1/limit=100/json").arg(QLatin1String(kind));
}

void click(QWidget* widget) {
    QVERIFY(widget);
    QVERIFY(widget->isVisible());
    QVERIFY(widget->isEnabled());
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
    QList<QUrl> m_opened;

    ModelContext& context() { return m_container->mainContext(); }

    // Short waits, and no browser: opened addresses are only noted.
    ContentView::Options fast() {
        ContentView::Options options;
        AppCollectorService::Timing timing;
        timing.batchPause = 1ms;
        timing.queue.pauseBetweenApps = 10ms;
        timing.queue.scraper = {30ms, 3s};
        options.collectorTiming = timing;
        options.detail.openUrl = [this](const QUrl& url) {
            m_opened.append(url);
            return true;
        };
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
            app->setAppStoreURL(m_store->origin() + QStringLiteral("/us/app/x/id") + appleID);
            app->setReleaseDateString(QStringLiteral("Jan 1, 2024"));
            app->setScreenshotURLs(QStringList{m_store->origin() + QStringLiteral("/images/shot.png")});
            app->setAppDescription(QStringLiteral("An app."));
            app->setDetailsFetched(true);
            apps.append(context().insert(app));
        }
        context().save();
        return apps;
    }

    void serveFeeds(const QJsonArray& entries) {
        for (const char* kind : {"newapplications", "newfreeapplications", "newpaidapplications"})
            m_store->setJson(feedPath(kind), StoreDocuments::feedDocument(entries));
    }

    ContentView& openWindow() {
        m_window = std::make_unique<ContentView>(context(), fast());
        m_window->resize(1200, 800);
        m_window->show();
        if (!QTest::qWaitForWindowExposed(m_window.get()))
            qWarning("the window was not exposed");
        QElapsedTimer waited;
        waited.start();
        while (!m_window->appIndex().isReady() && waited.elapsed() < 10000)
            QTest::qWait(10);
        if (!m_window->appIndex().isReady())
            qWarning("the app index was not read in time");
        QCoreApplication::processEvents();
        return *m_window;
    }

    // The collector's first run (with empty feeds) is over.
    void waitForFirstRun(ContentView& window) {
        QTRY_VERIFY(window.collectorService());
        QTRY_VERIFY_WITH_TIMEOUT(window.collectorService()->statusMessage().startsWith(QStringLiteral("✓")),
                                 10000);
    }

    static QStringList shownNames(ContentView& window) {
        QStringList names;
        for (int row = 0; row < window.appList().rowCount(); ++row)
            names.append(window.appList().recordAt(row)->name());
        return names;
    }

    static QStringList categoryRows(ContentView& window) {
        QStringList rows;
        const CategoryListModel& categories = window.categoryList();
        for (int row = 0; row < categories.rowCount(); ++row)
            rows.append(
                QStringLiteral("%1=%2").arg(categories.categoryAt(row)).arg(categories.unviewedCountAt(row)));
        return rows;
    }

    static void search(ContentView& window, const QString& text) {
        window.searchField()->clear();
        type(window.searchField(), text);
    }

    static int rowOf(ContentView& window, const QString& name) {
        for (int row = 0; row < window.appList().rowCount(); ++row) {
            if (window.appList().recordAt(row)->name() == name)
                return row;
        }
        return -1;
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_container = ModelContainer::open(m_dir->filePath(QStringLiteral("caldrin.sqlite")));
        m_store = std::make_unique<FakeStore>();
        QVERIFY(m_store->listen());
        qputenv("CALDRIN_STORE_ORIGIN", m_store->origin().toUtf8());
        serveFeeds({});
        userSettings().clear();
        m_opened.clear();
    }
    void cleanup() {
        m_window.reset();
        m_store.reset();
        m_container.reset();
        m_dir.reset();
    }

    void emptyStore_showsTheEmptyStatesAndZeroCounts() {
        ContentView& window = openWindow();
        waitForFirstRun(window);
        QCOMPARE(window.findChild<QLabel*>(QStringLiteral("contentTitle"))->text(),
                 QStringLiteral("Apps (0)"));
        QVERIFY(window.showsEmptyState());
        auto* empty = window.findChild<EmptyStateView*>(QStringLiteral("emptyState"));
        QVERIFY(empty->isVisible());
        QCOMPARE(empty->symbol(), QStringLiteral("app.badge"));
        QCOMPARE(empty->title(), QStringLiteral("No apps collected yet"));
        QCOMPARE(empty->hint(), QStringLiteral("Click 'Start Collecting' to begin tracking new iOS apps"));
        QCOMPARE(categoryRows(window), QStringList{QStringLiteral("All=0")});
        QCOMPARE(CategoryRowView::badgeText(0), QString());
        QCOMPARE(window.collectorBox()->totalText(), QStringLiteral("Total collected: 0"));
        QCOMPARE(window.collectorBox()->queueText(), QStringLiteral("Queue: Queue empty"));
        auto* placeholder = window.findChild<EmptyStateView*>(QStringLiteral("detailPlaceholder"));
        QVERIFY(placeholder->isVisible());
        QCOMPARE(placeholder->symbol(), QStringLiteral("app.dashed"));
        QCOMPARE(placeholder->title(), QStringLiteral("Select an app to view details"));
        QCOMPARE(window.searchField()->placeholderText(), QStringLiteral("Search apps or developers..."));
        QVERIFY(!window.loadMoreButton());
    }

    void search_matchesNameOrDeveloperIgnoringCase_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("developer only")
            << QStringLiteral("nordlicht") << QStringList{QStringLiteral("Photo Editor")};
        QTest::newRow("in capitals") << QStringLiteral("PHOTO")
                                     << QStringList{QStringLiteral("Photo Editor"),
                                                    QStringLiteral("Old Photos")};
        QTest::newRow("accented capitals")
            << QStringLiteral("CAFÉ") << QStringList{QStringLiteral("Café Finder")};
        QTest::newRow("name or developer")
            << QStringLiteral("müller")
            << QStringList{QStringLiteral("Budget Planner"), QStringLiteral("Müller's Maps")};
        // Used as typed: a trailing space is part of the text.
        QTest::newRow("untrimmed") << QStringLiteral("Editor ") << QStringList{};
        QTest::newRow("nothing") << QStringLiteral("zzq") << QStringList{};
    }
    void search_matchesNameOrDeveloperIgnoringCase() {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        addApps(
            {{QStringLiteral("Photo Editor"), QStringLiteral("Nordlicht Studios"),
              QStringLiteral("Photo & Video"), 9},
             {QStringLiteral("Budget Planner"), QStringLiteral("Jürgen Müller"), QStringLiteral("Finance"),
              8},
             {QStringLiteral("Café Finder"), QStringLiteral("Señor Apps"), QStringLiteral("Food & Drink"), 7},
             {QStringLiteral("Müller's Maps"), QStringLiteral("Atlas Inc."), QStringLiteral("Navigation"), 6},
             {QStringLiteral("Old Photos"), QStringLiteral("Archive Co."), QStringLiteral("Photo & Video"),
              5}});
        ContentView& window = openWindow();
        QCOMPARE(shownNames(window).size(), 5);
        search(window, text);
        QCOMPARE(window.searchText(), text);
        QTRY_COMPARE(shownNames(window), expected);
        QCOMPARE(window.contentTitle(), QStringLiteral("Apps (%1)").arg(expected.size()));
        QCOMPARE(window.findChild<QLabel*>(QStringLiteral("contentTitle"))->text(), window.contentTitle());
        QCOMPARE(window.showsEmptyState(), expected.isEmpty());
        QCOMPARE(window.appListView()->isVisible(), !expected.isEmpty());
        // The categories count every record, whatever the search.
        QCOMPARE(window.categoryList().unviewedCountAt(0), 5);
    }

    void categories_filterTheListAndCountUnviewedApps() {
        addApps({{QStringLiteral("Game A"), {}, QStringLiteral("Games"), 9},
                 {QStringLiteral("Game B"), {}, QStringLiteral("Games"), 8},
                 {QStringLiteral("Game C"), {}, QStringLiteral("Games"), 7, true},
                 {QStringLiteral("Book D"), {}, QStringLiteral("Books"), 6},
                 {QStringLiteral("Book E"), {}, QStringLiteral("Books"), 5},
                 {QStringLiteral("Ledger F"), {}, QStringLiteral("Finance"), 4, true},
                 {QStringLiteral("Nameless G"), {}, QString(), 3}});
        ContentView& window = openWindow();
        QCOMPARE(categoryRows(window),
                 (QStringList{QStringLiteral("All=5"), QStringLiteral("=1"), QStringLiteral("Books=2"),
                              QStringLiteral("Finance=0"), QStringLiteral("Games=2")}));
        QCOMPARE(window.selectedCategory(), QStringLiteral("All"));
        QCOMPARE(window.categoryView()->selectionModel()->selectedIndexes().value(0).row(), 0);

        // Badges are painted for counts of one or more only.
        QListView* view = window.categoryView();
        const QImage painted = view->viewport()->grab().toImage();
        const qreal ratio = painted.devicePixelRatio();
        for (int row = 1; row < window.categoryList().rowCount(); ++row) {
            const QModelIndex index = window.categoryList().index(row);
            const QString badge = CategoryRowView::badgeText(window.categoryList().unviewedCountAt(row));
            const QRect area =
                CategoryRowView::badgeRect(view->visualRect(index), view->font(), QStringLiteral("0"));
            int blue = 0;
            for (int y = area.top(); y <= area.bottom(); ++y) {
                for (int x = area.left(); x <= area.right(); ++x)
                    blue += isBlue(painted.pixel(QPoint(qRound(x * ratio), qRound(y * ratio))));
            }
            QVERIFY2(badge.isEmpty() ? blue == 0 : blue > area.width() * area.height() / 3,
                     qPrintable(window.categoryList().categoryAt(row)));
        }

        clickRow(view, window.categoryList().rowForCategory(QStringLiteral("Games")));
        QCOMPARE(window.selectedCategory(), QStringLiteral("Games"));
        QCOMPARE(shownNames(window),
                 (QStringList{QStringLiteral("Game A"), QStringLiteral("Game B"), QStringLiteral("Game C")}));
        QCOMPARE(window.contentTitle(), QStringLiteral("Apps (3)"));
        clickRow(view, window.categoryList().rowForCategory(QString()));
        QCOMPARE(shownNames(window), QStringList{QStringLiteral("Nameless G")});
        // With a search: both filters apply.
        clickRow(view, window.categoryList().rowForCategory(QStringLiteral("Books")));
        search(window, QStringLiteral("e"));
        QCOMPARE(shownNames(window), QStringList{QStringLiteral("Book E")});
        search(window, QString());
        clickRow(view, 0);
        QCOMPARE(window.selectedCategory(), QStringLiteral("All"));
        QCOMPARE(shownNames(window).size(), 7);

        // Viewing an app lowers its category's badge and the total.
        clickRow(window.appListView(), rowOf(window, QStringLiteral("Game A")));
        QTRY_COMPARE(categoryRows(window),
                     (QStringList{QStringLiteral("All=4"), QStringLiteral("=1"), QStringLiteral("Books=2"),
                                  QStringLiteral("Finance=0"), QStringLiteral("Games=1")}));
    }

    void loadMore_addsFiftyRowsAtATime_andTypingBringsItBack() {
        addApps(numbered(QStringLiteral("Match"), 120) + numbered(QStringLiteral("Other"), 30, 200));
        ContentView& window = openWindow();
        QAbstractItemModelTester tester(&window.listRows(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(window.appList().rowCount(), 50);
        search(window, QStringLiteral("match"));
        QCOMPARE(window.contentTitle(), QStringLiteral("Apps (120)"));
        QCOMPARE(window.appList().rowCount(), 50);
        QCOMPARE(window.listRows().rowCount(), 51);
        QCOMPARE(window.listRows().loadMoreRow(), 50);
        QPushButton* button = window.loadMoreButton();
        QVERIFY(button);
        QCOMPARE(button->text(), QStringLiteral("Load More (70 remaining)"));
        QVERIFY(!button->icon().isNull());
        // The button is the list's last row, below the last app.
        QListView* list = window.appListView();
        const QRect lastApp = list->visualRect(window.listRows().index(49, 0));
        const QRect footer = list->visualRect(window.listRows().index(50, 0));
        QVERIFY(footer.top() >= lastApp.bottom());
        QVERIFY(!(window.listRows().flags(window.listRows().index(50, 0)) & Qt::ItemIsSelectable));

        list->scrollToBottom();
        QTest::qWait(50);
        click(button);
        QCOMPARE(window.displayLimit(), 100);
        QCOMPARE(window.appList().rowCount(), 100);
        QTRY_VERIFY(window.loadMoreButton());
        QCOMPARE(window.loadMoreButton()->text(), QStringLiteral("Load More (20 remaining)"));
        QCOMPARE(window.contentTitle(), QStringLiteral("Apps (120)"));

        list->scrollToBottom();
        QTest::qWait(50);
        click(window.loadMoreButton());
        QCOMPARE(window.appList().rowCount(), 120);
        QCOMPARE(window.listRows().rowCount(), 120);
        QCOMPARE(window.listRows().loadMoreRow(), -1);
        QVERIFY(!window.loadMoreButton());

        // One more character: back to at most one page.
        type(window.searchField(), QStringLiteral(" "));
        QCOMPARE(window.displayLimit(), 50);
        QVERIFY(window.appList().rowCount() <= 50);
        QTest::keyClick(window.searchField(), Qt::Key_Backspace);
        QCOMPARE(window.appList().rowCount(), 50);
        QCOMPARE(window.loadMoreButton()->text(), QStringLiteral("Load More (70 remaining)"));
        // So does choosing a category.
        click(window.loadMoreButton());
        QCOMPARE(window.displayLimit(), 100);
        clickRow(window.categoryView(), window.categoryList().rowForCategory(QStringLiteral("Games")));
        QCOMPARE(window.displayLimit(), 50);
    }

    void selectingAnApp_marksItViewedOnce() {
        const QList<AppRef> apps = addApps({{QStringLiteral("Fresh"), {}, QStringLiteral("Games"), 3},
                                            {QStringLiteral("Seen"), {}, QStringLiteral("Games"), 2, true}});
        ContentView& window = openWindow();
        waitForFirstRun(window);
        ConsoleCapture console;
        clickRow(window.appListView(), 0);
        QCOMPARE(window.selectedApp(), apps[0]);
        QVERIFY(apps[0]->isViewed());
        QVERIFY(!context().hasChanges());
        QCOMPARE(console.lines(), QStringList{QStringLiteral("✅ Marked as viewed: Fresh")});
        clickRow(window.appListView(), 1);
        QCOMPARE(window.selectedApp(), apps[1]);
        clickRow(window.appListView(), 0);
        QCOMPARE(window.selectedApp(), apps[0]);
        QCOMPARE(console.lines().size(), 1);

        // Stored: a new store connection sees the mark.
        SqliteDatabase reader;
        reader.open(m_dir->filePath(QStringLiteral("caldrin.sqlite")));
        QCOMPARE(reader.queryInt64("SELECT isViewed FROM AppModel WHERE appleID = '1000'"), 1);
    }

    void markAsViewed_whenTheSaveFails_printsTheErrorAndKeepsTheMark() {
        const QList<AppRef> apps = addApps({{QStringLiteral("Fresh"), {}, QStringLiteral("Games"), 3}});
        ContentView& window = openWindow();
        waitForFirstRun(window);
        m_container->database().setFaultHook(
            [](const QByteArray& sql) { return sql == "COMMIT" ? SQLITE_FULL : SQLITE_OK; });
        ConsoleCapture console;
        clickRow(window.appListView(), 0);
        m_container->database().setFaultHook({});
        QCOMPARE(console.lines().size(), 1);
        QVERIFY2(console.lines().first().startsWith(QStringLiteral("❌ Error saving viewed status: ")),
                 qPrintable(console.lines().first()));
        QVERIFY(console.lines().first().size() > QStringLiteral("❌ Error saving viewed status: ").size());
        QVERIFY(apps[0]->isViewed());
        QVERIFY(context().hasChanges());
    }

    void resetAndReload_clearsTheStoreAndStartsARun() {
        FavoritesService favorites(context());
        favorites.createFolder(QStringLiteral("Later"));
        const QList<AppRef> apps = addApps({{QStringLiteral("Book One"), {}, QStringLiteral("Books"), 3},
                                            {QStringLiteral("Book Two"), {}, QStringLiteral("Books"), 2},
                                            {QStringLiteral("Game Three"), {}, QStringLiteral("Games"), 1}});
        favorites.addToFavorites(apps[0]->appleID(), QStringLiteral("Later"), QStringLiteral("nice"));
        ContentView& window = openWindow();
        waitForFirstRun(window);
        {
            QSettings settings = userSettings();
            settings.setValue(QStringLiteral("lastFetchDate"), QDateTime::currentDateTimeUtc());
            settings.setValue(QStringLiteral("totalAppsCollected"), 3);
            settings.setValue(QStringLiteral("kept"), 1);
        }
        clickRow(window.categoryView(), window.categoryList().rowForCategory(QStringLiteral("Books")));
        clickRow(window.appListView(), 0);
        QCOMPARE(window.selectedApp(), apps[0]);
        serveFeeds({StoreDocuments::feedEntry(QStringLiteral("501"), QStringLiteral("New Game One"),
                                              m_store->origin()),
                    StoreDocuments::feedEntry(QStringLiteral("502"), QStringLiteral("New Game Two"),
                                              m_store->origin())});

        // Disabled while collecting.
        QVERIFY(!window.collectorBox()->resetButton()->isEnabled());
        click(window.collectorBox()->startStopButton());
        ConsoleCapture console;
        click(window.collectorBox()->resetButton());
        QCOMPARE(
            console.lines(),
            (QStringList{QStringLiteral("🔄 Resetting all data..."), QStringLiteral("🗑️ Deleted 3 apps"),
                         QStringLiteral("🗑️ Deleted 1 favorite apps"),
                         QStringLiteral("🗑️ Deleted 2 folders"), QStringLiteral("✅ All data cleared"),
                         QStringLiteral("📥 Fetching new apps...")}));
        QVERIFY(!userSettings().contains(QStringLiteral("lastFetchDate")));
        QVERIFY(!userSettings().contains(QStringLiteral("totalAppsCollected")));
        QVERIFY(userSettings().contains(QStringLiteral("kept")));
        QCOMPARE(context().count<AppModel>(), 0);
        QCOMPARE(context().count<FavoriteApp>(), 0);
        QCOMPARE(context().count<FavoriteFolder>(), 0);
        QVERIFY(!context().hasChanges());
        QVERIFY(!window.collectorService()->isCollecting()); // the reset leaves it as it was

        // The window's own state stays; the deleted app is no longer shown in detail.
        QCOMPARE(window.selectedApp(), apps[0]);
        QCOMPARE(window.selectedCategory(), QStringLiteral("Books"));
        QVERIFY(!window.detailView());
        QTRY_COMPARE(window.contentTitle(), QStringLiteral("Apps (0)"));
        QVERIFY(window.showsEmptyState());

        // A new run starts at once and collects the feeds' apps.
        QTRY_VERIFY(console.contains(QStringLiteral("🔄 Starting to fetch new apps...")));
        QTRY_VERIFY_WITH_TIMEOUT(
            window.collectorService()->statusMessage().startsWith(QStringLiteral("✓ Saved 2")), 10000);
        QTRY_COMPARE(categoryRows(window), (QStringList{QStringLiteral("All=2"), QStringLiteral("Games=2")}));
        // "Books" is gone from the list but still chosen: nothing matches.
        QCOMPARE(window.selectedCategory(), QStringLiteral("Books"));
        QVERIFY(window.categoryView()->selectionModel()->selectedIndexes().isEmpty());
        QVERIFY(window.showsEmptyState());
        clickRow(window.categoryView(), 0);
        QCOMPARE(shownNames(window).size(), 2);
        QVERIFY(shownNames(window).contains(QStringLiteral("New Game One")));
        QCOMPARE(window.collectorBox()->totalText(), QStringLiteral("Total collected: 2"));
    }

    void collectorBox_followsTheCollectorAndItsQueue() {
        ContentView window(context(), fast());
        QVERIFY(!window.collectorService()); // created when the General tab first shows
        QCOMPARE(window.collectorBox()->startStopButton()->isVisible(), false);
        window.show();
        // Started once the tab has been painted, not before.
        QVERIFY(!window.collectorService());
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(window.collectorService());
        AppCollectorService* collector = window.collectorService();
        QVERIFY(collector->isCollecting());
        CollectorBox* box = window.collectorBox();
        QCOMPARE(box->startStopButton()->text(), QStringLiteral("Stop Collecting"));
        QVERIFY(!box->fetchNowButton()->isEnabled());
        QVERIFY(!box->resetButton()->isEnabled());
        QCOMPARE(box->resetButton()->text().replace(QStringLiteral("&&"), QStringLiteral("&")),
                 QStringLiteral("Reset & Reload"));
        QTRY_VERIFY_WITH_TIMEOUT(collector->statusMessage().startsWith(QStringLiteral("✓")), 10000);
        QCOMPARE(box->statusText(), QStringLiteral("Status: ") + collector->statusMessage());
        QVERIFY(collector->lastFetchDate());
        QCOMPARE(box->lastFetchText(), QStringLiteral("Last fetch: ") +
                                           DateText::abbreviatedDateShortTime(*collector->lastFetchDate()));

        click(box->startStopButton());
        QVERIFY(!collector->isCollecting());
        QCOMPARE(box->startStopButton()->text(), QStringLiteral("Start Collecting"));
        QCOMPARE(box->statusText(), QStringLiteral("Status: Collection stopped"));
        QVERIFY(box->fetchNowButton()->isEnabled());
        QVERIFY(box->resetButton()->isEnabled());

        // "Fetch Now" runs once, without switching collection on.
        serveFeeds(
            {StoreDocuments::feedEntry(QStringLiteral("601"), QStringLiteral("Fetched"), m_store->origin())});
        // The lookup answers slowly, so the queue is seen at work.
        FakeStore::Response slow;
        slow.body = StoreDocuments::lookupDocument(0, {});
        slow.delayMs = 600;
        m_store->setResponse(QStringLiteral("/lookup?id=601"), slow);
        ConsoleCapture console;
        click(box->fetchNowButton());
        QVERIFY(!console.contains(QStringLiteral("🔄 Starting to fetch new apps..."))); // a task of its own
        QTRY_VERIFY(console.contains(QStringLiteral("🔄 Starting to fetch new apps...")));
        QVERIFY(!collector->isCollecting());
        QTRY_VERIFY_WITH_TIMEOUT(box->showsQueueProgress(), 10000);
        QCOMPARE(box->queueText(), collector->detailsQueue().statusMessage());
        QTRY_VERIFY_WITH_TIMEOUT(!box->showsQueueProgress(), 10000);
        QCOMPARE(box->queueText(), QStringLiteral("Queue: Queue empty"));
        QTRY_COMPARE(box->totalText(), QStringLiteral("Total collected: 1"));

        click(box->startStopButton());
        QVERIFY(collector->isCollecting());
        QCOMPARE(box->startStopButton()->text(), QStringLiteral("Stop Collecting"));
        QVERIFY(!box->fetchNowButton()->isEnabled());
    }

    void queueLine_showsWaitingApps() {
        ContentView& window = openWindow();
        waitForFirstRun(window);
        AppCollectorService* collector = window.collectorService();
        // Waiting, not processing: the queue's own text after "Queue: ".
        const QList<AppRef> apps = addApps(numbered(QStringLiteral("Waiting"), 2));
        FakeStore::Response stall;
        stall.behaviour = FakeStore::Behaviour::Stall;
        m_store->setResponse(QStringLiteral("/lookup?id=1000"), stall);
        collector->detailsQueue().addToQueue(apps);
        QCOMPARE(window.collectorBox()->queueText(), QStringLiteral("Queue: Queue: 2 apps waiting"));
        QTRY_VERIFY(window.collectorBox()->showsQueueProgress());
        collector->detailsQueue().clearQueue();
    }

    void keyboard_ctrlFFocusesSearch_andArrowsMoveTheSelection() {
        addApps(numbered(QStringLiteral("App"), 60));
        ContentView& window = openWindow();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.appListView()->setFocus();
        QVERIFY(!window.searchField()->hasFocus());
        QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(window.searchField()->hasFocus());

        // From the search field the arrows reach the list.
        QTest::keyClick(window.searchField(), Qt::Key_Down);
        QVERIFY(window.selectedApp());
        QCOMPARE(window.selectedApp()->name(), QStringLiteral("App 59"));
        QTest::keyClick(window.searchField(), Qt::Key_Down);
        QCOMPARE(window.selectedApp()->name(), QStringLiteral("App 58"));
        QVERIFY(window.searchField()->hasFocus());
        window.appListView()->setFocus();
        QTest::keyClick(window.appListView(), Qt::Key_Up);
        QCOMPARE(window.selectedApp()->name(), QStringLiteral("App 59"));
        // The arrows stop at the last app; the load-more row is not an app.
        QTest::keyClick(window.appListView(), Qt::Key_End);
        QTest::keyClick(window.appListView(), Qt::Key_Down);
        QCOMPARE(window.selectedApp()->name(), QStringLiteral("App 10"));
        QTest::keyClick(window.appListView(), Qt::Key_PageDown);
        QCOMPARE(window.selectedApp()->name(), QStringLiteral("App 10"));

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
            QCOMPARE(window.splitter()->sizes().at(1), 333);
        }
        {
            // What the reset removes is not what the window keeps.
            QSettings settings = userSettings();
            settings.remove(QStringLiteral("lastFetchDate"));
            settings.remove(QStringLiteral("totalAppsCollected"));
        }
        ContentView again(context(), fast());
        again.show();
        QVERIFY(QTest::qWaitForWindowExposed(&again));
        QCOMPARE(again.size(), QSize(1111, 733));
        QCOMPARE(again.splitter()->sizes().at(0), 250);
        QCOMPARE(again.splitter()->sizes().at(1), 333);
    }

    void tabs_switchBetweenGeneralAndFavorites_keepingTheGeneralState() {
        QCOMPARE(rawValue(ContentTab::general), QStringLiteral("General"));
        QCOMPARE(rawValue(ContentTab::favorites), QStringLiteral("Favorites"));
        QCOMPARE(allContentTabs.front(), ContentTab::general);
        QCOMPARE(contentTabFromRawValue(QStringLiteral("Favorites")), std::optional(ContentTab::favorites));
        QCOMPARE(contentTabFromRawValue(QStringLiteral("favorites")), std::nullopt);

        addApps(numbered(QStringLiteral("App"), 3));
        ContentView& window = openWindow();
        SegmentedPicker* picker = window.tabPicker();
        QCOMPARE(picker->label(), QStringLiteral("View"));
        QCOMPARE(picker->width(), 200);
        QCOMPARE(picker->segments().size(), 2);
        QCOMPARE(picker->segments().at(0)->text(), QStringLiteral("General"));
        QCOMPARE(picker->segments().at(1)->text(), QStringLiteral("Favorites"));
        QCOMPARE(picker->currentIndex(), 0);
        QTRY_VERIFY(window.collectorService());
        AppCollectorService* collector = window.collectorService();
        search(window, QStringLiteral("App 1"));
        clickRow(window.appListView(), 0);
        const AppRef selected = window.selectedApp();

        click(picker->segments().at(1));
        QCOMPARE(window.selectedTab(), ContentTab::favorites);
        QVERIFY(!window.appListView()->isVisible());
        QVERIFY(picker->isVisible()); // on both tabs

        click(picker->segments().at(0));
        QCOMPARE(window.selectedTab(), ContentTab::general);
        QVERIFY(window.appListView()->isVisible());
        QCOMPARE(window.collectorService(), collector); // set up once
        QCOMPARE(window.searchText(), QStringLiteral("App 1"));
        QCOMPARE(window.selectedApp(), selected);
        QCOMPARE(window.appListView()->selectionModel()->selectedIndexes().value(0).row(), 0);
    }

    void liveUpdates_rowsFollowSaves_andTheSelectionFollowsItsRecord() {
        const QList<AppRef> apps = addApps(numbered(QStringLiteral("App"), 5));
        ContentView& window = openWindow();
        waitForFirstRun(window);
        clickRow(window.appListView(), 2);
        const AppRef selected = window.selectedApp();
        QCOMPARE(selected->name(), QStringLiteral("App 2"));

        // A collector-like batch of newer apps arrives on top.
        addApps(numbered(QStringLiteral("Newer"), 3, 100));
        QTRY_COMPARE(window.contentTitle(), QStringLiteral("Apps (8)"));
        QCOMPARE(shownNames(window).first(), QStringLiteral("Newer 2"));
        QCOMPARE(window.selectedApp(), selected);
        QCOMPARE(window.appListView()->selectionModel()->selectedIndexes().value(0).row(), 5);
        QCOMPARE(window.collectorBox()->totalText(), QStringLiteral("Total collected: 8"));

        // A search that hides it keeps it selected; clearing the search shows it selected again.
        search(window, QStringLiteral("Newer"));
        QVERIFY(window.appListView()->selectionModel()->selectedIndexes().isEmpty());
        QCOMPARE(window.selectedApp(), selected);
        search(window, QString());
        QCOMPARE(window.appListView()->selectionModel()->selectedIndexes().value(0).row(), 5);

        // A changed release date moves the row; the selection goes with it.
        selected->setReleaseDate(kDay0.addDays(500));
        context().save();
        QTRY_COMPARE(shownNames(window).first(), QStringLiteral("App 2"));
        QCOMPARE(window.appListView()->selectionModel()->selectedIndexes().value(0).row(), 0);
        QCOMPARE(window.selectedApp(), selected);

        // Another app removed: its row goes, the selection stays.
        context().remove(apps[0].data());
        context().save();
        QTRY_COMPARE(window.contentTitle(), QStringLiteral("Apps (7)"));
        QCOMPARE(window.selectedApp(), selected);
        QCOMPARE(window.appListView()->selectionModel()->selectedIndexes().value(0).row(), 0);

        // The selected app removed: no neighbour is chosen (and marked viewed) in its place.
        ConsoleCapture console;
        context().remove(selected.data());
        context().save();
        QTRY_COMPARE(window.contentTitle(), QStringLiteral("Apps (6)"));
        QVERIFY(window.appListView()->selectionModel()->selectedIndexes().isEmpty());
        QCOMPARE(window.selectedApp(), selected);
        QVERIFY(!window.detailView());
        QVERIFY(window.findChild<EmptyStateView*>(QStringLiteral("detailPlaceholder"))->isVisible());
        QVERIFY(!window.appList().recordAt(0)->isViewed());
        QVERIFY(console.linesStartingWith(QStringLiteral("✅ Marked as viewed")).isEmpty());
    }

    void detailColumn_showsTheSelectedApp_andKeepsItsViewWhileTheAppStays() {
        const QList<AppRef> apps = addApps(numbered(QStringLiteral("App"), 3));
        ContentView& window = openWindow();
        waitForFirstRun(window);
        QVERIFY(!window.detailView());
        clickRow(window.appListView(), 0);
        QPointer<AppDetailView> first = window.detailView();
        QVERIFY(first);
        QCOMPARE(first->app(), apps[2]);
        QVERIFY(first->isVisible());
        QVERIFY(!window.findChild<EmptyStateView*>(QStringLiteral("detailPlaceholder"))->isVisible());

        // Saves and new rows leave the view (and its state) in place.
        apps[2]->setName(QStringLiteral("App 2 renamed"));
        context().save();
        addApps(numbered(QStringLiteral("Newer"), 2, 50));
        QTRY_COMPARE(window.contentTitle(), QStringLiteral("Apps (5)"));
        QCOMPARE(window.detailView(), first.data());

        // Another app: a fresh view; the old one goes.
        clickRow(window.appListView(), rowOf(window, QStringLiteral("App 1")));
        QVERIFY(window.detailView());
        QCOMPARE(window.detailView()->app(), apps[1]);
        QTRY_VERIFY(!first);

        // Deselecting shows the placeholder again.
        const int row = rowOf(window, QStringLiteral("App 1"));
        QListView* list = window.appListView();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          list->visualRect(window.listRows().index(row, 0)).center());
        QVERIFY(!window.selectedApp());
        QVERIFY(!window.detailView());
        QVERIFY(window.findChild<EmptyStateView*>(QStringLiteral("detailPlaceholder"))->isVisible());
    }

    // From the General tab's detail view into a folder, then through the
    // Favorites tab, with the sheets closed by Escape on the way.
    void favorites_addFromTheDetailView_thenBrowseThemInTheFavoritesTab() {
        const QList<AppRef> apps = addApps({{QStringLiteral("Lumen"), {}, QStringLiteral("Health"), 3},
                                            {QStringLiteral("Ledger"), {}, QStringLiteral("Finance"), 2}});
        ContentView& window = openWindow();
        waitForFirstRun(window);
        clickRow(window.appListView(), 0);
        AppDetailView* detail = window.detailView();
        QVERIFY(detail);
        QTRY_VERIFY(detail->favoritesService());

        click(detail->favoriteButton());
        QPointer<AddToFavoritesSheet> sheet = detail->addToFavoritesSheet();
        QVERIFY(sheet);
        QTRY_VERIFY(sheet->isVisible());
        QTest::keyClick(sheet->folderPicker(), Qt::Key_Escape);
        QTRY_VERIFY(!sheet);
        QVERIFY(!FavoritesService(context()).isFavorite(apps[0]->appleID()));

        click(detail->favoriteButton());
        sheet = detail->addToFavoritesSheet();
        QTRY_VERIFY(sheet && sheet->isVisible());
        click(sheet->addButton());
        QTRY_VERIFY(!sheet || !sheet->isVisible());
        QVERIFY(FavoritesService(context()).isFavorite(apps[0]->appleID()));
        QTRY_VERIFY(detail->showsFavorite());

        // The Favorites tab: a new browser, its folder holding the app.
        click(window.tabPicker()->segments().at(1));
        QPointer<FavoritesView> favorites = window.favoritesView();
        QVERIFY(favorites);
        QTRY_VERIFY(favorites->isVisible() && favorites->selectedFolder());
        QCOMPARE(favorites->selectedFolder()->name(), FavoritesService::defaultFolderName());
        QTRY_VERIFY(favorites->appsList());
        QCOMPARE(favorites->appsList()->favoriteAppleIDs(), QStringList{apps[0]->appleID()});
        QTest::mouseClick(favorites->appsList()->rows().first(), Qt::LeftButton);
        QVERIFY(favorites->detailView());
        QCOMPARE(favorites->detailView()->app(), apps[0]);

        // A new folder, the sheet first dismissed with Escape.
        click(favorites->newFolderButton());
        QPointer<NewFolderSheet> newFolder = favorites->newFolderSheet();
        QTRY_VERIFY(newFolder && newFolder->isVisible());
        QTest::keyClick(newFolder->nameField(), Qt::Key_Escape);
        QTRY_VERIFY(!newFolder || !newFolder->isVisible());
        QTest::qWait(20); // a closed sheet goes at the next turn of the event loop
        click(favorites->newFolderButton());
        newFolder = favorites->newFolderSheet();
        QTRY_VERIFY(newFolder && newFolder->isVisible());
        type(newFolder->nameField(), QStringLiteral("Later"));
        click(newFolder->createButton());
        QTRY_COMPARE(favorites->folders().size(), 2);

        // Back to General: the browser goes, the General state is as it was.
        click(window.tabPicker()->segments().at(0));
        QTRY_VERIFY(!favorites);
        QCOMPARE(window.selectedApp(), apps[0]);
        QCOMPARE(window.detailView(), detail);
        click(window.tabPicker()->segments().at(1));
        QVERIFY(window.favoritesView());
        QTRY_COMPARE(window.favoritesView()->folders().size(), 2);
    }

    void dateText_writesAbbreviatedDatesInTheLocale_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("dateAndTime");
        QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates)
                               << QStringLiteral("Dec 4, 2026") << QStringLiteral("Dec 4, 2026, 3:05 PM");
        QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany) << QStringLiteral("4. Dez. 2026")
                               << QStringLiteral("4. Dez. 2026, 15:05");
        QTest::newRow("C") << QLocale::c() << QStringLiteral("4 Dec 2026")
                           << QStringLiteral("4 Dec 2026, 15:05");
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
