// The main window, its detail view and the favorites browser driven as a
// person would, against known records and a local fake store. The list rules
// themselves are tst_listmodel's.
#include "AddToFavoritesSheet.h"
#include "AppDetailView.h"
#include "AppIndex.h"
#include "AppListModel.h"
#include "AppModel.h"
#include "BusyIndicator.h"
#include "CategoryListModel.h"
#include "ClampedTextLabel.h"
#include "CollectorBox.h"
#include "ConsoleCapture.h"
#include "ContentView.h"
#include "ElidedLabel.h"
#include "EmptyStateView.h"
#include "FakeStore.h"
#include "FavoriteApp.h"
#include "FavoriteAppRowView.h"
#include "FavoriteFolder.h"
#include "FavoritesService.h"
#include "FavoritesView.h"
#include "FixtureImages.h"
#include "FolderAppsListView.h"
#include "ImageLoader.h"
#include "LoadMoreRowModel.h"
#include "ModelContainer.h"
#include "ModelContext.h"
#include "NewFolderSheet.h"
#include "ProductPages.h"
#include "SampleApps.h"
#include "ScreenshotThumbnail.h"
#include "ScreenshotViewerSheet.h"
#include "SegmentedPicker.h"
#include "SqliteDatabase.h"
#include "StoreDocuments.h"
#include "SymbolLabel.h"
#include "SymbolTable.h"
#include "SystemColors.h"
#include "UserCharacters.h"
#include "WebEngineTestMain.h"
#include "WindowTestKit.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPaintEngine>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QToolButton>
#include <QUrlQuery>

#include <sqlite3.h>

#include <climits>

using AppRef = QSharedPointer<AppModel>;
using FolderRef = QSharedPointer<FavoriteFolder>;
using Traits = SampleApps::Traits;
using Kit = WindowTestKit;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

const QString unfiltered = u"Unfiltered"_s;

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

void search(ContentView& window, const QString& text) {
    window.searchField()->clear();
    type(window.searchField(), text);
}

// The colour a symbol is drawn in: that of its most opaque pixel.
QColor symbolColor(const QLabel* symbol) {
    const QImage image = symbol->pixmap().toImage();
    QColor colour(Qt::transparent);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).alpha() > colour.alpha())
                colour = image.pixelColor(x, y);
    return colour;
}

QStringList rowNames(const FavoritesView& view) {
    QStringList names;
    for (const FavoriteAppRowView* row : view.appsList()->rows())
        names.append(row->nameText());
    return names;
}

// A paint device that keeps the texts painted on it and draws nothing.
class PaintedTexts : public QPaintDevice {
public:
    QStringList texts;
    QPaintEngine* paintEngine() const override { return &m_engine; }

protected:
    int metric(PaintDeviceMetric metric) const override {
        if (metric == PdmDevicePixelRatio || metric == PdmDevicePixelRatioScaled)
            return metric == PdmDevicePixelRatio ? 1 : int(devicePixelRatioFScale());
        return metric == PdmWidth || metric == PdmHeight ? 4000 : metric == PdmDepth ? 32 : 96;
    }

private:
    struct Engine : QPaintEngine {
        explicit Engine(QStringList& texts)
            : QPaintEngine(AllFeatures)
            , texts(texts) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawPath(const QPainterPath&) override {}
        void drawTextItem(const QPointF&, const QTextItem& item) override { texts.append(item.text()); }
        Type type() const override { return User; }
        QStringList& texts;
    };
    mutable Engine m_engine{texts};
};

// Every text laid out under root: painted (item views' rows included), held by
// a label, shown as a tooltip, or listed in a picker or a menu.
QStringList laidOutTexts(QWidget* root) {
    PaintedTexts device;
    {
        QPainter painter(&device);
        root->render(&painter);
    }
    QStringList texts = device.texts;
    const QList<QWidget*> widgets = root->findChildren<QWidget*>() << root;
    for (QWidget* widget : widgets) {
        const auto* label = qobject_cast<QLabel*>(widget);
        const auto* elided = qobject_cast<ElidedLabel*>(widget);
        const auto* clamped = qobject_cast<ClampedTextLabel*>(widget);
        texts << widget->toolTip() << (label ? label->text() : QString())
              << (elided ? elided->text() : QString()) << (clamped ? clamped->text() : QString());
        if (const auto* picker = qobject_cast<QComboBox*>(widget))
            for (int i = 0; i < picker->count(); ++i)
                texts << picker->itemText(i) << picker->itemData(i, Qt::ToolTipRole).toString();
        if (const auto* list = qobject_cast<QListWidget*>(widget))
            for (int i = 0; i < list->count(); ++i)
                texts.append(list->item(i)->toolTip());
        for (const QAction* action : widget->actions()) {
            texts << action->text() << action->toolTip();
            for (const QAction* item : action->menu() ? action->menu()->actions() : QList<QAction*>())
                texts << item->text() << item->toolTip();
        }
    }
    return texts;
}

} // namespace

class TestWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ModelContainer> m_container;
    std::unique_ptr<FakeStore> m_store;
    std::unique_ptr<ImageLoader> m_loader;
    std::unique_ptr<ContentView> m_window;
    QList<QUrl> m_opened;

    ModelContext& context() { return m_container->mainContext(); }
    static QSettings userSettings() { return QSettings(u"Caldrin"_s, u"Caldrin"_s); }
    static QStringList names(ContentView& window) { return Kit::names(window.appList()); }
    static QStringList categoryRows(ContentView& window) { return Kit::categoryRows(window.categoryList()); }
    static void clickApp(ContentView& window, const QString& name) {
        clickRow(window.appListView(), int(names(window).indexOf(name)));
    }
    static void clickCategory(ContentView& window, const QString& category) {
        clickRow(window.categoryView(), window.categoryList().rowForCategory(category));
    }
    static int selectedRow(ContentView& window) {
        return window.appListView()->selectionModel()->selectedIndexes().value(0).row();
    }
    static EmptyStateView* detailPlaceholder(ContentView& w) {
        return w.findChild<EmptyStateView*>(u"detailPlaceholder"_s);
    }
    static bool showsNotice(const QWidget* view) {
        return Kit::shownTexts(view).contains(u"Extended details not loaded yet"_s);
    }
    static bool isBusy(const AppDetailView& view) {
        return view.findChild<BusyIndicator*>(u"loadingDetails"_s)->isVisibleTo(&view);
    }
    QString image(const QString& file) const { return m_store->origin() + u"/images/"_s + file; }
    QString pageAddress(const QString& appleID) const {
        return m_store->origin() + u"/us/app/x/id"_s + appleID;
    }

    // Short waits, and a browser that only notes the addresses.
    AppDetailView::Options detailOptions() {
        AppDetailView::Options options;
        options.openUrl = Kit::recordInto(m_opened);
        options.timing.scraper = {30ms, 5s};
        options.timing.http.transferTimeout = 5s;
        options.loader = m_loader.get();
        return options;
    }
    ContentView::Options fast() {
        ContentView::Options options;
        AppCollectorService::Timing timing;
        timing.batchPause = 1ms;
        timing.queue.pauseBetweenApps = 10ms;
        timing.queue.scraper = {30ms, 3s};
        options.collectorTiming = timing;
        options.detail = detailOptions();
        options.favorites = {m_loader.get(), options.detail};
        return options;
    }

    // Complete records, so that the details queue finds nothing to do at start.
    QList<AppRef> addApps(const QList<Traits>& traits) {
        QList<AppRef> apps;
        const qint64 first = context().count<AppModel>();
        for (qsizetype i = 0; i < traits.size(); ++i) {
            const QString appleID = QString::number(1000 + first + i);
            auto app = SampleApps::make(appleID, traits.at(i));
            app->setAppStoreURL(pageAddress(appleID));
            app->setReleaseDateString(u"Jan 1, 2024"_s);
            app->setScreenshotURLs(QStringList{image(u"shot.png"_s)});
            app->setAppDescription(u"An app."_s);
            app->setDetailsFetched(true);
            apps.append(context().insert(app));
        }
        context().save();
        return apps;
    }
    // A record as the feeds leave it, for the detail view on its own.
    AppRef storedApp(const QString& appleID, const QString& name = u"Tiny Tactics"_s) {
        auto app = SampleApps::make(appleID, {name, u"Moonbeam Games"_s});
        app->setAppStoreURL(pageAddress(appleID));
        app->setPriceLabel(u"Free"_s);
        app->setReleaseDateString(u"Dec 3, 2026"_s);
        app = context().insert(app);
        context().save();
        return app;
    }
    void serveFeeds(const QJsonArray& entries) {
        for (const char* kind : {"newapplications", "newfreeapplications", "newpaidapplications"})
            m_store->setJson(u"/us/rss/%1/limit=100/json"_s.arg(QLatin1String(kind)),
                             StoreDocuments::feedDocument(entries));
    }
    void serveLookup(const QString& appleID, const QJsonObject& result, int delayMs = 0) {
        m_store->setResponse(
            u"/lookup?id="_s + appleID,
            {.body = StoreDocuments::lookupDocument(result.isEmpty() ? 0 : 1,
                                                    result.isEmpty() ? QJsonArray() : QJsonArray{result}),
             .delayMs = delayMs});
    }
    void servePage(const QString& appleID, FakeStore::Behaviour behaviour = FakeStore::Behaviour::Normal) {
        m_store->setResponse(u"/us/app/x/id"_s + appleID,
                             ProductPages::html(ProductPages::samplePage(), behaviour));
    }
    bool lookupAsked() const {
        const QStringList requests = m_store->requests();
        return std::any_of(requests.begin(), requests.end(),
                           [](const QString& r) { return r.startsWith(u"/lookup"_s); });
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
    std::unique_ptr<AppDetailView> showView(const AppRef& app) {
        auto view = std::make_unique<AppDetailView>(app, context(), detailOptions());
        view->resize(820, 900);
        view->show();
        return view;
    }
    std::unique_ptr<FavoritesView> showBrowser() {
        auto view = std::make_unique<FavoritesView>(context(), fast().favorites);
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
        m_store = std::make_unique<FakeStore>();
        const QString fixtures = m_dir->filePath(u"fixtures"_s);
        QVERIFY(FixtureImages::writeImage(fixtures, u"shot.png"_s,
                                          FixtureImages::solid(QSize(300, 600), Qt::blue)));
        m_store->setFixturesDirectory(fixtures);
        QVERIFY(m_store->listen());
        qputenv("CALDRIN_STORE_ORIGIN", m_store->origin().toUtf8());
        serveFeeds({});
        userSettings().clear();
        m_loader = std::make_unique<ImageLoader>(m_dir->filePath(u"cache"_s));
        m_opened.clear();
    }
    void cleanup() {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        m_window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_loader.reset();
        m_store.reset();
        m_container.reset();
        m_dir.reset();
    }

    // Ctrl+F and the arrows; fifty rows at a time; the search.
    void loadMore_addsFiftyRowsAtATime() {
        addApps(SampleApps::numbered(u"Match"_s, 120) + SampleApps::numbered(u"Other"_s, 30, {}, 200));
        ContentView& window = openWindow();
        QAbstractItemModelTester tester(&window.listRows(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.appListView()->setFocus();
        QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(window.searchField()->hasFocus());
        // From the search field the arrows reach the list; they stop at the
        // last app, for the load-more row is not an app.
        QTest::keyClick(window.searchField(), Qt::Key_Down);
        QVERIFY(window.selectedApp()->name() == u"Other 29"_s && window.searchField()->hasFocus());
        window.appListView()->setFocus();
        for (const Qt::Key key : {Qt::Key_End, Qt::Key_Down, Qt::Key_PageDown}) {
            QTest::keyClick(window.appListView(), key);
            QCOMPARE(window.selectedApp()->name(), u"Match 100"_s);
        }

        search(window, u"MATCH"_s);
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
        QVERIFY(!window.loadMoreButton());

        // Typing starts again from fifty rows.
        search(window, u"matc"_s);
        QVERIFY(window.appList().rowCount() == 50 && window.contentTitle() == u"Apps (120)"_s);
    }

    // Once, whatever is selected afterwards, and the category's badge follows;
    // a failed save is printed and the mark kept for the next save.
    void selectingAnApp_marksItViewedOnce_data() {
        QTest::addColumn<QString>("failure");
        QTest::newRow("saved") << QString();
        QTest::newRow("the save fails") << u"commit"_s;
        QTest::newRow("another process holds the store's lock") << u"locked"_s;
    }
    void selectingAnApp_marksItViewedOnce() {
        QFETCH(QString, failure);
        const bool saveFails = !failure.isEmpty();
        const QList<AppRef> apps = addApps({{u"Fresh"_s, {}, u"Games"_s, 3},
                                            {u"Seen"_s, {}, u"Games"_s, 2, true},
                                            {u"Book"_s, {}, u"Books"_s, 1}});
        ContentView& window = openWindow();
        QCOMPARE(categoryRows(window), (QStringList{"All=2", "Books=1", "Games=1"}));
        clickCategory(window, u"Games"_s);
        QCOMPARE(QStringList({window.selectedCategory(), window.contentTitle()}) + names(window),
                 (QStringList{"Games", "Apps (2)", "Fresh", "Seen"}));
        SqliteDatabase locker;
        if (failure == u"commit") {
            m_container->database().setFaultHook(
                [](const QByteArray& sql) { return sql == "COMMIT" ? SQLITE_FULL : SQLITE_OK; });
        } else if (failure == u"locked") {
            locker.open(m_dir->filePath(u"caldrin.sqlite"_s));
            locker.exec("BEGIN IMMEDIATE");
            locker.exec("INSERT INTO StoreMetadata (key, value) VALUES ('lock', 'held')");
        }
        ConsoleCapture console;
        for (const QString& name : {u"Fresh"_s, u"Seen"_s, u"Fresh"_s})
            clickApp(window, name);
        m_container->database().setFaultHook({});
        if (locker.isOpen()) {
            // The window goes on: a new app, not yet saved, is listed and found.
            auto extra = context().insert(SampleApps::make(u"77"_s, {u"Late Game"_s, {}, u"Games"_s, 9}));
            search(window, u"gam"_s);
            QTRY_COMPARE(names(window), (QStringList{"Late Game"}));
            search(window, QString());
            QTRY_COMPARE(names(window), (QStringList{"Late Game", "Fresh", "Seen"}));
            locker.exec("ROLLBACK");
            locker.close();
            context().remove(extra.data());
        }
        QVERIFY(window.selectedApp() == apps[0] && apps[0]->isViewed() &&
                context().hasChanges() == saveFails);
        QCOMPARE(console.lines().size(), 1);
        const QString line = console.lines().first(), error = u"❌ Error saving viewed status: "_s;
        QVERIFY2(saveFails ? line.startsWith(error) && line.size() > error.size()
                           : line == u"✅ Marked as viewed: Fresh"_s,
                 qPrintable(line));
        if (!saveFails)
            QTRY_COMPARE(categoryRows(window), (QStringList{"All=1", "Books=1", "Games=0"}));
        if (failure == u"locked") { // the lock is gone: the next save writes what stayed pending
            context().save();
            QCOMPARE(m_container->database().queryInt64("SELECT isViewed FROM AppModel WHERE appleID = '" +
                                                        apps[0]->appleID().toLatin1() + "'"),
                     1);
        }
    }

    void resetAndReload_clearsTheStoreAndStartsARun() {
        FavoritesService favorites(context());
        favorites.createFolder(u"Later"_s);
        const QList<AppRef> apps = addApps({{u"Book One"_s, {}, u"Books"_s, 3},
                                            {u"Book Two"_s, {}, u"Books"_s, 2},
                                            {u"Game Three"_s, {}, u"Games"_s, 1}});
        favorites.addToFavorites(apps[0]->appleID(), u"Later"_s, u"nice"_s);
        ContentView& window = openWindow();
        userSettings().setValue(u"lastFetchDate"_s, QDateTime::currentDateTimeUtc());
        userSettings().setValue(u"totalAppsCollected"_s, 3);
        userSettings().setValue(u"kept"_s, 1);
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
        QCOMPARE(userSettings().allKeys(), QStringList{"kept"});
        QCOMPARE(context().count<AppModel>() + context().count<FavoriteApp>() +
                     context().count<FavoriteFolder>(),
                 0);
        QVERIFY(!context().hasChanges());
        QVERIFY(!window.collectorService()->isCollecting()); // the reset leaves it as it was

        // The window's own state stays; the deleted app is no longer shown in detail.
        QVERIFY(window.selectedApp() == apps[0] && window.selectedCategory() == u"Books"_s &&
                !window.detailView());
        QTRY_COMPARE(window.contentTitle(), u"Apps (0)"_s);

        QTRY_VERIFY_WITH_TIMEOUT(window.collectorService()->statusMessage().startsWith(u"✓ Saved 2"_s),
                                 10000);
        QTRY_COMPARE(categoryRows(window), (QStringList{"All=2", "Games=2"}));
        // "Books" is gone from the list but still chosen: nothing matches.
        QCOMPARE(window.selectedCategory(), u"Books"_s);
        QVERIFY(window.categoryView()->selectionModel()->selectedIndexes().isEmpty());
        QVERIFY(window.showsEmptyState());
    }

    // On an empty store: the empty states and zero counts; the collector made
    // and started once the General tab has been painted, and its box. The next
    // window has the size and split of the last.
    void firstStart_showsEmptyStates_andTheCollectorBoxFollowsTheCollector() {
        auto window = std::make_unique<ContentView>(context(), fast());
        window->show();
        QVERIFY(!window->collectorService() && QTest::qWaitForWindowExposed(window.get()));
        QTRY_VERIFY(window->collectorService());
        AppCollectorService* collector = window->collectorService();
        QVERIFY(collector->isCollecting());
        CollectorBox* box = window->collectorBox();
        QCOMPARE(box->startStopButton()->text(), u"Stop Collecting"_s);
        QVERIFY(!box->fetchNowButton()->isEnabled() && !box->resetButton()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(collector->statusMessage().startsWith(u"✓"_s), 10000);
        QVERIFY(box->totalText() == u"Total collected: 0"_s && box->queueText() == u"Queue: Queue empty"_s);
        auto* empty = window->findChild<EmptyStateView*>(u"emptyState"_s);
        QVERIFY(window->showsEmptyState() && empty->isVisible());
        QCOMPARE(empty->title(), u"No apps collected yet"_s);
        QCOMPARE(detailPlaceholder(*window)->title(), u"Select an app to view details"_s);

        click(box->startStopButton());
        QVERIFY(!collector->isCollecting() && box->startStopButton()->text() == u"Start Collecting"_s);
        QCOMPARE(box->statusText(), u"Status: Collection stopped"_s);
        QVERIFY(box->fetchNowButton()->isEnabled() && box->resetButton()->isEnabled());

        // "Fetch Now" runs once, without switching collection on.
        serveFeeds({StoreDocuments::feedEntry(u"601"_s, u"Fetched"_s, m_store->origin())});
        ConsoleCapture console;
        click(box->fetchNowButton());
        QTRY_VERIFY(console.contains(u"🔄 Starting to fetch new apps..."_s));
        QVERIFY(!collector->isCollecting());
        QTRY_COMPARE_WITH_TIMEOUT(box->totalText(), u"Total collected: 1"_s, 10000);

        click(box->startStopButton());
        QVERIFY(collector->isCollecting() && !box->fetchNowButton()->isEnabled());
        window->resize(1111, 733);
        window->splitter()->setSizes({250, 333, 528});
        QCoreApplication::processEvents();
        window.reset(); // as quitting does
        ContentView again(context(), fast());
        again.show();
        QVERIFY(QTest::qWaitForWindowExposed(&again) && again.size() == QSize(1111, 733));
        QCOMPARE(again.splitter()->sizes().mid(0, 2), (QList<int>{250, 333}));
    }

    // The selection and the detail column follow the records through saves and
    // removals; the detail view stays while its app does.
    void liveUpdates_theSelectionAndItsDetailFollowTheRecord() {
        const QList<AppRef> apps = addApps(SampleApps::numbered(u"App"_s, 5));
        ContentView& window = openWindow();
        QVERIFY(!window.detailView());
        clickApp(window, u"App 2"_s);
        const AppRef selected = window.selectedApp();
        QCOMPARE(selected, apps[2]);
        QPointer<AppDetailView> detail = window.detailView();
        QVERIFY(detail && detail->isVisible() && detail->app() == selected &&
                !detailPlaceholder(window)->isVisible());

        // A collector-like batch of newer apps arrives on top; a save of the
        // selected one changes nothing on the screen but its text.
        addApps(SampleApps::numbered(u"Newer"_s, 3, {}, 100));
        selected->setName(u"App 2 renamed"_s);
        context().save();
        QTRY_COMPARE(window.contentTitle(), u"Apps (8)"_s);
        QVERIFY(window.selectedApp() == selected && selectedRow(window) == 5 &&
                window.detailView() == detail);
        QCOMPARE(window.collectorBox()->totalText(), u"Total collected: 8"_s);

        // A search that hides it keeps it selected; clearing the search shows it selected again.
        search(window, u"Newer"_s);
        QVERIFY(selectedRow(window) == -1 && window.selectedApp() == selected);
        search(window, QString());
        QCOMPARE(selectedRow(window), 5);

        // The selected app removed: no neighbour is chosen (and marked viewed) in its place.
        ConsoleCapture console;
        context().remove(selected.data());
        context().save();
        QTRY_COMPARE(window.contentTitle(), u"Apps (7)"_s);
        QVERIFY(selectedRow(window) == -1 && window.selectedApp() == selected && !window.detailView());
        QTRY_VERIFY(!detail);
        QVERIFY(detailPlaceholder(window)->isVisible());
        QVERIFY(console.linesStartingWith(u"✅ Marked as viewed"_s).isEmpty());
    }

    // The Favorites tab gets a browser of its own, whose changes reach the
    // General tab's detail view; going back finds the General tab as it was left.
    void favoritesTab_comesAndGoesLeavingTheGeneralTabAsItWas() {
        const QList<AppRef> apps =
            addApps({{u"Lumen"_s, {}, u"Health"_s, 3}, {u"Ledger"_s, {}, u"Finance"_s, 2}});
        const QString lumen = apps[0]->appleID();
        ContentView& window = openWindow();
        AppCollectorService* collector = window.collectorService();
        SegmentedPicker* picker = window.tabPicker();
        search(window, u"Lu"_s);
        clickApp(window, u"Lumen"_s);
        AppDetailView* detail = window.detailView();
        QTRY_VERIFY(detail->favoritesService());
        click(detail->favoriteButton());
        QPointer<AddToFavoritesSheet> sheet = detail->addToFavoritesSheet();
        QTRY_VERIFY(sheet && sheet->isVisible());
        type(sheet->commentEditor(), u"to try"_s);
        click(sheet->addButton());
        QTRY_VERIFY(!sheet && detail->showsFavorite());

        // In the browser: a new folder (not selected), the app moved into it by
        // keyboard keeping the selections, removed, the folder deleted.
        click(picker->segments().at(1));
        QPointer<FavoritesView> browser = window.favoritesView();
        QTRY_VERIFY(browser && browser->isVisible() && browser->selectedFolder() && browser->appsList());
        QCOMPARE(browser->appsList()->favoriteAppleIDs(), QStringList{lumen});
        QCOMPARE(browser->appsList()->rows().first()->commentText(), u"to try"_s);
        click(browser->newFolderButton());
        QPointer<NewFolderSheet> newFolder = browser->newFolderSheet();
        QTRY_VERIFY(newFolder && newFolder->isVisible());
        type(newFolder->nameField(), u"Later"_s);
        click(newFolder->createButton());
        QTRY_VERIFY(!newFolder);
        QCOMPARE(Kit::folderNames(*browser), (QStringList{unfiltered, "Later"}));
        QCOMPARE(browser->selectedFolder()->name(), unfiltered);
        QVERIFY(!Kit::openFolderMenu(*browser, unfiltered));
        QTest::mouseClick(browser->appsList()->rows().first(), Qt::LeftButton);
        QMenu* menu = Kit::openRowMenu(*browser, 0);
        QCOMPARE(Kit::menuItems(menu),
                 (QStringList{"Move to Folder", "-", "Edit Comment", "-", "Remove from Favorites"}));
        menu->setActiveAction(Kit::menuAction(menu, u"Move to Folder"_s));
        QTest::keyClick(menu, Qt::Key_Right);
        QMenu* move = Kit::menuAction(menu, u"Move to Folder"_s)->menu();
        QTRY_VERIFY(move->isVisible());
        QCOMPARE(Kit::menuItems(move), (QStringList{unfiltered + " (checked, off)", "Later"}));
        Kit::choose(move, u"Later"_s);
        QTRY_COMPARE(Kit::folderBadges(*browser), (QStringList{"0", "1"}));
        QVERIFY(browser->appsList()->emptyState() && browser->selectedFolder()->name() == unfiltered &&
                browser->detailView()->app() == apps[0]);
        Kit::clickFolder(*browser, u"Later"_s);
        QVERIFY(browser->appsList()->rows().first()->isSelected());
        menu = Kit::openRowMenu(*browser, 0);
        QCOMPARE(Kit::menuItems(Kit::menuAction(menu, u"Move to Folder"_s)->menu()),
                 (QStringList{unfiltered, "Later (checked, off)"}));
        Kit::choose(menu, u"Remove from Favorites"_s);
        QTRY_VERIFY(browser->appsList()->emptyState());
        QTRY_VERIFY(!browser->detailView()->showsFavorite()); // the detail stays, its star empties
        menu = Kit::openFolderMenu(*browser, u"Later"_s);
        QCOMPARE(Kit::menuItems(menu), (QStringList{"Rename", "-", "Delete"}));
        Kit::choose(menu, u"Delete"_s);
        QTRY_COMPARE(Kit::folderNames(*browser), QStringList{unfiltered});

        click(picker->segments().at(0));
        QTRY_VERIFY(!browser);
        QCOMPARE(window.collectorService(), collector); // set up once
        QCOMPARE(window.searchText(), u"Lu"_s);
        QVERIFY(window.selectedApp() == apps[0] && selectedRow(window) == 0);
        QVERIFY(window.detailView() == detail && !detail->showsFavorite());
    }

    // Stars round half away from zero; the count is grouped.
    void header_showsNameMarksAndRating_data() {
        QTest::addColumn<std::optional<double>>("rating");
        QTest::addColumn<std::optional<qint64>>("count");
        QTest::addColumn<int>("filled"); // -1: no rating row
        QTest::addColumn<QString>("shown");
        const auto some = [](double value) { return std::optional<double>(value); };
        const auto many = [](qint64 value) { return std::optional<qint64>(value); };
        QTest::newRow("4.5 rounds up") << some(4.5) << many(12873) << 5 << "4.5 (12,873)";
        QTest::newRow("4.49 shows 4.5, rounds down") << some(4.49) << many(1234567) << 4 << "4.5 (1,234,567)";
        QTest::newRow("no ratings yet") << some(0.0) << many(0) << 0 << "0.0 (0)";
        QTest::newRow("rating without count") << some(4.0) << std::optional<qint64>() << -1 << "";
        QTest::newRow("count without rating") << std::optional<double>() << many(12) << -1 << "";
    }
    void header_showsNameMarksAndRating() {
        QFETCH(std::optional<double>, rating);
        QFETCH(std::optional<qint64>, count);
        QFETCH(int, filled);
        QFETCH(QString, shown);
        AppRef app = storedApp(u"1"_s);
        app->setRating(rating);
        app->setRatingCount(count);
        auto view = showView(app);
        auto* value = view->findChild<QLabel*>(u"ratingValue"_s);
        QCOMPARE(value->isVisibleTo(view.get()), filled >= 0);
        if (filled >= 0) {
            QCOMPARE(value->text() + ' ' + view->findChild<QLabel*>(u"ratingCount"_s)->text(), shown);
            for (int i = 0; i < 5; ++i)
                QCOMPARE(view->findChild<QLabel*>(u"star%1"_s.arg(i))->property("symbol").toString(),
                         i < filled ? u"star.fill"_s : u"star"_s);
        }

        // The purchases mark follows the record, before any save.
        QVERIFY(!Kit::shownTexts(view.get()).contains(u"IAP"_s));
        app->setHasInAppPurchases(true);
        QVERIFY(Kit::shownTexts(view.get()).contains(u"IAP"_s) && context().hasChanges());
    }

    // Shown as plain, selectable text, cut short when long so that laying it out
    // cannot freeze the window; copying and translating take all of it: nothing
    // in it starts a parameter of the translator's address, ends the value or
    // turns into a space.
    void description_showsCopiesAndTranslates_data() {
        QTest::addColumn<QString>("description");
        QTest::newRow("markup and symbols") << u"Build & battle: 1+1=2 #tactics\n<i>Привет</i>"_s;
        QTest::newRow("address characters") << u"Tom & Jerry #1 1+1=2 100% a/b?c:d@e!$'()*,;-._~"_s;
        QString text;
        while (text.size() < 300000)
            text += u"Lorem ipsum dolor sit amet 🎮 "_s;
        QTest::newRow("300,000 characters") << text;
    }
    void description_showsCopiesAndTranslates() {
        QFETCH(QString, description);
        AppRef app = storedApp(u"4"_s);
        auto view = showView(app);
        QVERIFY(!Kit::shownTexts(view.get()).contains(u"Description"_s));
        app->setAppDescription(description);
        QVERIFY(Kit::shownTexts(view.get()).contains(u"Description"_s));
        auto* label = view->findChild<QLabel*>(u"descriptionText"_s);
        QVERIFY(label->textFormat() == Qt::PlainText &&
                label->textInteractionFlags() & Qt::TextSelectableByMouse);
        const QString shown = label->text();
        if (description.size() <= AppDetailView::descriptionDisplayLimit) {
            QCOMPARE(shown, description);
        } else {
            QCOMPARE(UserCharacters::count(shown), AppDetailView::descriptionDisplayLimit + 1);
            QVERIFY(shown.endsWith(u"…"_s) && description.startsWith(shown.chopped(1)));
        }

        QGuiApplication::clipboard()->setText(u"something else"_s);
        QTest::mouseClick(view->copyDescriptionButton(), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), description);
        QCOMPARE(QGuiApplication::clipboard()->mimeData()->formats(), QStringList{"text/plain"});
        QTest::mouseClick(view->translateButton(), Qt::LeftButton);
        QVERIFY(m_opened.size() == 1);
        const QString address = QString::fromLatin1(m_opened.first().toEncoded());
        QVERIFY(address.startsWith(u"https://translate.google.com/?sl=auto&tl=ru&text="_s) &&
                address.endsWith(u"&op=translate"_s) && !address.contains(u'+'));
        const QUrlQuery query(m_opened.first());
        QCOMPARE(query.queryItems().size(), 4);
        QCOMPARE(query.queryItemValue(u"text"_s, QUrl::FullyDecoded), description);
    }

    // Only web addresses are opened; a feed's "javascript:" address never is.
    void links_openOnlyWebAddresses_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("opens");
        QTest::newRow("https") << u"https://apps.apple.com/us/app/id1"_s << true;
        QTest::newRow("javascript") << u"javascript:alert(1)"_s << false;
        QTest::newRow("no host") << u"https://"_s << false;
        QTest::newRow("empty") << QString() << false;
    }
    void links_openOnlyWebAddresses() {
        QFETCH(QString, address);
        QFETCH(bool, opens);
        AppRef app = storedApp(u"5"_s);
        app->setAppStoreURL(address);
        app->setDeveloperURL(address);
        auto view = showView(app);
        QTest::mouseClick(view->openInAppStoreButton(), Qt::LeftButton);
        QTest::mouseClick(view->developerPageButton(), Qt::LeftButton);
        QCOMPARE(m_opened, (opens ? QList<QUrl>{QUrl(address), QUrl(address)} : QList<QUrl>()));

        // "Copy Link" copies the text as it is, whatever it holds.
        QTest::mouseClick(view->copyLinkButton(), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), address);
    }

    // A thumbnail opens the viewer at its screenshot. Thousands of screenshots or
    // purchases (a hostile lookup or page) get a bounded number of rows; the
    // headings and the viewer still have them all.
    void screenshots_showThumbnailsThatOpenTheViewer() {
        AppRef app = storedApp(u"8"_s);
        auto view = showView(app);
        QStringList many;
        QList<IAPItem> items;
        for (int i = 0; i < 5000; ++i) {
            many.append(image(u"shot.png?n=%1"_s.arg(i)));
            items.append({u"Item %1"_s.arg(i), u"$1"_s});
        }
        app->setScreenshotURLs(many);
        app->setInAppPurchaseItems(items);
        QVERIFY(Kit::shownTexts(view.get()).contains(u"Screenshots (5000)"_s));
        QCOMPARE(view->thumbnails().size(), AppDetailView::thumbnailLimit);
        QTest::mouseClick(view->thumbnails().at(4), Qt::LeftButton, {}, QPoint(20, 20));
        QPointer<ScreenshotViewerSheet> viewer = view->screenshotViewer();
        QVERIFY(viewer && viewer->currentIndex() == 4 && viewer->positionText() == u"5 / 5000"_s);
        viewer->close();
        QTRY_VERIFY(!viewer);
        QVERIFY(Kit::shownTexts(view.get()).contains(u"In-App Purchases (5000)"_s));
        QCOMPARE(view->findChild<QWidget*>(u"purchaseList"_s)->findChildren<ElidedLabel*>().size(),
                 AppDetailView::purchaseRowLimit);

        app->setScreenshotURLs(QStringList());
        QVERIFY(view->thumbnails().isEmpty() && !Kit::shownTexts(view.get()).contains(u"Screenshots (0)"_s));
        QVERIFY(!lookupAsked() && !isBusy(*view)); // on its own, a view fetches nothing
    }

    // The lookup's screenshots: iPhone first, then iPad; nothing else counts,
    // and without them (or without a result) the page is scraped. The lookup's
    // description is kept over the page's. The fetch goes on when its view is
    // gone. A failed save says the details are not saved yet (the changes stay
    // for the next save); a record deleted meanwhile (the window's reset) stays
    // readable and is not brought back. A failed fetch leaves the record
    // unmarked, and what the lookup gave in memory, unsaved.
    void fetchDetails_takesLookupScreenshotsOrThePage_data() {
        QTest::addColumn<QString>("mishap");
        QTest::addColumn<QJsonObject>("lookup"); // empty: no result
        QTest::addColumn<QStringList>("expectedLines");
        QTest::addColumn<QStringList>("expectedScreenshots");
        QTest::addColumn<bool>("scraped");
        const QJsonObject common{{"version", "2.0"}, {"description", "From the lookup"}};
        auto with = [&](const char* key, const QStringList& list) {
            QJsonObject result = common;
            result.insert(QLatin1String(key), QJsonArray::fromStringList(list));
            return result;
        };
        const QString pageShot = ProductPages::imageAddress(u"Purple116"_s, 1, u"1290x2796"_s);
        const QStringList scraperLines{"🌐 Using WebKit scraper...", "✅ Got 1 screenshots from WebKit",
                                       "💰 Found 1 IAP products", "💰 Has In-App Purchases"};
        const QStringList iPhoneLines{"✅ Got 2 iPhone screenshots from API"};
        for (const QString& mishap : {QString(), u"save"_s, u"deleted"_s})
            QTest::addRow("iPhone %s", qPrintable(mishap)) << mishap << with("screenshotUrls", {"p1", "p2"})
                                                           << iPhoneLines << QStringList{"p1", "p2"} << false;
        QJsonObject ipad = with("ipadScreenshotUrls", {"i1"});
        ipad.insert("screenshotUrls", QJsonArray());
        QTest::newRow("iPad when iPhone is empty")
            << QString() << ipad << QStringList{"✅ Got 1 iPad screenshots from API"} << QStringList{"i1"}
            << false;
        QTest::newRow("Apple TV only: the page") << QString() << with("appletvScreenshotUrls", {"t1"})
                                                 << scraperLines << QStringList{pageShot} << true;
        QTest::newRow("no lookup result: the page, its view closed meanwhile")
            << u"closed"_s << QJsonObject() << scraperLines << QStringList{pageShot} << true;
        QTest::newRow("lookup refused") << u"refused"_s << common << QStringList() << QStringList() << false;
        QTest::newRow("page load breaks off")
            << u"page"_s << QJsonObject{{"version", "3.0"}} << QStringList() << QStringList() << true;
    }
    void fetchDetails_takesLookupScreenshotsOrThePage() {
        QFETCH(QString, mishap);
        QFETCH(QJsonObject, lookup);
        QFETCH(QStringList, expectedLines);
        QFETCH(QStringList, expectedScreenshots);
        QFETCH(bool, scraped);
        AppRef app = storedApp(u"20"_s);
        app->setRating(3.0); // only a lookup result changes it
        context().save();
        serveLookup(u"20"_s, lookup, 300);
        servePage(u"20"_s, mishap == u"page" ? FakeStore::Behaviour::Truncate : FakeStore::Behaviour::Normal);
        if (mishap == u"refused")
            qputenv("CALDRIN_STORE_ORIGIN", FakeStore::refusedOrigin().toUtf8());
        auto view = showView(app);
        ConsoleCapture console;
        QVERIFY(showsNotice(view.get()) && view->loadDetailsButton()->isVisibleTo(view.get()));
        if (mishap == u"deleted") {
            context().removeAll<AppModel>();
            context().save();
        } else if (mishap == u"save") {
            m_container->database().setFaultHook(
                [](const QByteArray& sql) { return sql == "COMMIT" ? SQLITE_FULL : SQLITE_OK; });
        }
        QTest::mouseClick(view->loadDetailsButton(), Qt::LeftButton);
        QTRY_VERIFY(view->isLoadingDetails());
        if (mishap == u"closed") {
            QTRY_VERIFY(lookupAsked());
            view.reset();
            QTRY_VERIFY_WITH_TIMEOUT(app->detailsFetched(), 15000);
            view = showView(app);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!view->isLoadingDetails(), 15000);
        m_container->database().setFaultHook({});
        QVERIFY(view->reloadButton()->isEnabled());
        if (mishap == u"refused" || mishap == u"page") {
            const QString last = console.lines().last(), prefix = u"❌ Error fetching details: "_s;
            QVERIFY2(last.startsWith(prefix) && last.size() > prefix.size(), qPrintable(last));
            QVERIFY(!console.contains(u"💾 Final save:"_s) && !app->detailsFetched() &&
                    view->loadDetailsButton()->isVisibleTo(view.get()));
            QCOMPARE(app->appVersion(), scraped ? std::optional(u"3.0"_s) : std::nullopt);
            QCOMPARE(context().hasChanges(), scraped);
            return;
        }

        const QStringList expected = QStringList{"🔍 Manually fetching details for: Tiny Tactics"} +
                                     expectedLines +
                                     QStringList{"💾 Final save:", "   Description: true",
                                                 u"   Screenshots: %1"_s.arg(expectedScreenshots.size()),
                                                 u"   IAP: "_s + (scraped ? "true" : "false")};
        QVERIFY2(console.containsInOrder(expected), qPrintable(console.lines().join('\n')));
        const QString last = console.lines().last();
        QVERIFY2(mishap == u"save" ? last.startsWith(u"⚠️ Details not saved yet for: Tiny Tactics ("_s)
                                   : last == u"✅ All details saved for: Tiny Tactics"_s,
                 qPrintable(last));
        QCOMPARE(console.contains(u"🌐 Using WebKit scraper..."_s), scraped);

        // The lookup's fields are copied as the details queue copies them (tst_queue).
        QCOMPARE(app->screenshotURLs(), std::optional(expectedScreenshots));
        QCOMPARE(app->appVersion(), lookup.isEmpty() ? std::nullopt : std::optional(u"2.0"_s));
        QCOMPARE(app->appDescription(),
                 std::optional(lookup.isEmpty() ? u"From the page"_s : u"From the lookup"_s));
        if (lookup.isEmpty())
            QCOMPARE(app->rating(), std::optional(3.0));
        if (scraped)
            QCOMPARE(app->inAppPurchaseItems(), std::optional(QList<IAPItem>{{u"Gem Pack"_s, u"$4.99"_s}}));
        QVERIFY(app->detailsFetched() && context().hasChanges() == (mishap == u"save"));
        QVERIFY(!view->loadDetailsButton()->isVisibleTo(view.get()) && !showsNotice(view.get()) &&
                Kit::shownTexts(view.get()).contains(u"Tiny Tactics"_s));
        QCOMPARE(view->thumbnails().size(), expectedScreenshots.size());
        context().save();
        QCOMPARE(context().count<AppModel>(), mishap == u"deleted" ? 0 : 1);
    }

    // Reload empties the enrichment at once (unsaved), then fetches again. One
    // that fails gives the record back what it held, so no save made meanwhile
    // or afterwards (another app selected) keeps the cleared fields.
    void refetchDetails_failureKeepsWhatWasStored_data() {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<bool>("selectWhileLoading");
        QTest::newRow("fetched again") << QString() << false;
        QTest::newRow("lookup fails, then another app selected") << u"lookup"_s << false;
        QTest::newRow("another app selected while the lookup waits, then it fails") << u"lookup"_s << true;
        QTest::newRow("page load breaks off, then another app selected") << u"page"_s << false;
    }
    void refetchDetails_failureKeepsWhatWasStored() {
        QFETCH(QString, failure);
        QFETCH(bool, selectWhileLoading);
        const QList<AppRef> apps = addApps({{u"First"_s}, {u"Second"_s}});
        const AppRef first = apps[0];
        first->setAppVersion(u"1.0"_s);
        first->setRating(4.0);
        first->setRatingCount(5);
        first->setAppSize(u"1 MB"_s);
        first->setAgeRating(u"4+"_s);
        first->setHasInAppPurchases(true);
        first->setInAppPurchaseInfo(u"Offers In-App Purchases"_s);
        first->setInAppPurchaseItems(QList<IAPItem>{{u"Gem Pack"_s, u"$4.99"_s}});
        context().save();
        FakeStore::Response lookup = FakeStore::htmlError(404);
        if (failure != u"lookup") {
            QJsonObject result{{"version", "2.0"}, {"averageUserRating", 4.5}, {"userRatingCount", 10}};
            if (failure.isEmpty()) // else the page is read, and breaks off
                result.insert("screenshotUrls", QJsonArray{"new1", "new2"});
            lookup.status = 200;
            lookup.body = StoreDocuments::lookupDocument(1, {result});
            servePage(first->appleID(), FakeStore::Behaviour::Truncate);
        }
        lookup.delayMs = 500;
        m_store->setResponse(u"/lookup?id="_s + first->appleID(), lookup);
        ContentView& window = openWindow();
        clickApp(window, u"First"_s);
        AppDetailView* view = window.detailView();
        ConsoleCapture console;
        click(view->reloadButton());
        QTRY_VERIFY(view->isLoadingDetails());
        QVERIFY(!view->reloadButton()->isEnabled());
        QVERIFY(!first->rating() && !first->ratingCount() && !first->appSize() && !first->appVersion() &&
                !first->ageRating());
        QVERIFY(!first->hasInAppPurchases() && !first->inAppPurchaseInfo() && !first->inAppPurchaseItems());
        QVERIFY(!first->screenshotURLs() && !first->hasAppDescription() && !first->detailsFetched());
        QVERIFY(context().hasChanges() && view->thumbnails().isEmpty() && showsNotice(view) && isBusy(*view));
        if (failure.isEmpty()) {
            QTRY_VERIFY_WITH_TIMEOUT(!view->isLoadingDetails(), 15000);
            QCOMPARE(console.lines().mid(0, 2), (QStringList{"🔄 RE-fetching details for: First",
                                                             "🔍 Manually fetching details for: First"}));
            QCOMPARE(console.lines().last(), u"✅ All details saved for: First"_s);
            QVERIFY(first->appVersion() == u"2.0"_s && !first->inAppPurchaseItems() &&
                    first->detailsFetched());
            QVERIFY(!context().hasChanges() && view->thumbnails().size() == 2);
            QCOMPARE(view->findChild<QLabel*>(u"ratingValue"_s)->text(), u"4.5"_s);
            return;
        }
        const auto failed = [&] {
            return !console.linesStartingWith(u"❌ Error fetching details: "_s).isEmpty();
        };
        if (selectWhileLoading) {
            clickApp(window, u"Second"_s);
            QVERIFY(!failed());
        }
        QTRY_VERIFY_WITH_TIMEOUT(failed(), 15000);
        if (!selectWhileLoading)
            clickApp(window, u"Second"_s);
        QTRY_VERIFY(console.contains(u"✅ Marked as viewed: Second"_s));
        QVERIFY(first->appDescription() == u"An app."_s && first->detailsFetched());

        // Nothing waits for a save: what the connection reads is what the file holds.
        QVERIFY(!context().hasChanges());
        QCOMPARE(m_container->database().queryInt64(
                     "SELECT count(*) FROM AppModel WHERE appleID = '" + first->appleID().toUtf8() +
                     "' AND appDescription = 'An app.' AND screenshotURLs LIKE '%shot.png%' AND "
                     "inAppPurchaseItems LIKE '%Gem Pack%' AND appVersion = '1.0' AND rating = 4.0 AND "
                     "hasInAppPurchases = 1 AND detailsFetched = 1"),
                 1);
    }

    // Badges count every favorite of a folder; the middle column shows only
    // those whose app record exists, in the folder's order, and follows them.
    // Deleting the selected folder clears it, and the app chosen from it. The
    // window's reset deletes every record: the browser drops what is gone and
    // selects nothing by itself afterwards.
    void browser_foldersShowMatchedApps_deletingOneClearsTheSelection_data() {
        QTest::addColumn<bool>("appFromDeletedFolder");
        QTest::addColumn<bool>("reset");
        QTest::newRow("app chosen in the folder") << true << false;
        QTest::newRow("app chosen in another folder") << false << false;
        QTest::newRow("every record deleted") << true << true;
    }
    void browser_foldersShowMatchedApps_deletingOneClearsTheSelection() {
        QFETCH(bool, appFromDeletedFolder);
        QFETCH(bool, reset);
        FavoritesService service(context());
        service.createFolder(u"Games"_s);
        service.createFolder(u"Ghosts"_s);
        storedApp(u"1"_s, u"Alpha"_s)->setRating(4.66);
        storedApp(u"2"_s, u"Beta"_s);
        service.addToFavorites(u"2"_s, u"Games"_s, QString());
        service.addToFavorites(u"404"_s, u"Games"_s, u"gone"_s);
        service.addToFavorites(u"1"_s, u"Games"_s, u"A long comment that goes on and on about this app"_s);
        service.addToFavorites(u"405"_s, u"Ghosts"_s, QString());
        storedApp(u"3"_s, u"Gamma"_s);
        service.addToFavorites(u"3"_s, unfiltered, QString());
        auto view = showBrowser();
        QCOMPARE(Kit::folderNames(*view), (QStringList{unfiltered, "Games", "Ghosts"}));
        // The first folder is selected at once.
        QCOMPARE(QStringList({view->selectedFolder()->name(), view->appsList()->countText()}) +
                     Kit::folderBadges(*view),
                 (QStringList{unfiltered, "1 apps", "1", "3", "1"}));

        Kit::clickFolder(*view, u"Games"_s);
        const auto rows = view->appsList()->rows();
        QCOMPARE(rowNames(*view) + QStringList({view->appsList()->countText(), rows[1]->ratingText(),
                                                rows[1]->addedText()}),
                 (QStringList{"Beta", "Alpha", "2 apps", "4.7",
                              u"Added: "_s + QLocale().toString(QDate::currentDate(), u"MMM d, yyyy"_s)}));
        // The category and price symbols are drawn in their texts' secondary colour.
        const QColor secondary = SystemColors::secondary(rows[1]->palette());
        for (const QString& mark : {u"category"_s, u"price"_s}) {
            const auto* label = rows[1]->findChild<SymbolLabel*>(mark);
            QCOMPARE(label->textView()->palette().color(QPalette::WindowText), secondary);
            const QColor drawn = symbolColor(label->symbolView());
            QVERIFY2(qAbs(drawn.red() - secondary.red()) + qAbs(drawn.green() - secondary.green()) +
                             qAbs(drawn.blue() - secondary.blue()) + qAbs(drawn.alpha() - secondary.alpha()) <
                         12,
                     qPrintable(mark + u" symbol in "_s + drawn.name(QColor::HexArgb)));
        }

        // A folder of unmatched favorites shows the empty state.
        Kit::clickFolder(*view, u"Ghosts"_s);
        QCOMPARE(QStringList({view->appsList()->emptyState()->title(), view->appsList()->countText()}),
                 (QStringList{"No favorites in this folder", "0 apps"}));
        storedApp(u"405"_s, u"Late arrival"_s);
        QTRY_COMPARE(rowNames(*view), QStringList{"Late arrival"});
        QVERIFY(view->appsList()->countText() == u"1 apps"_s && !view->appsList()->emptyState());

        FavoriteAppRowView* row = view->appsList()->rows().first();
        row->appModel()->setName(u"Late arrival, renamed"_s);
        service.getFavorite(u"405"_s)->setComment(u"Now with a note"_s);
        QCOMPARE((QStringList{row->nameText(), row->commentText()}),
                 (QStringList{"Late arrival, renamed", "Now with a note"}));
        QCOMPARE(view->appsList()->rows().first(), row); // the same row, updated

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
        QTRY_VERIFY(!view->selectedFolder() && view->folderList()->selectedItems().isEmpty());
        QCOMPARE(view->folderPlaceholder()->title(), u"Select a folder"_s);
        QCOMPARE(view->selectedApp(), appFromDeletedFolder ? AppRef() : shown);
        QVERIFY(appFromDeletedFolder ? bool(view->detailPlaceholder()) : view->detailView()->app() == shown);
        QCOMPARE(Kit::folderNames(*view), (reset ? QStringList() : QStringList{unfiltered, "Ghosts"}));
        if (reset) {
            service.ensureDefaultFolder();
            QTRY_COMPARE(Kit::folderNames(*view), QStringList{unfiltered});
            QVERIFY(!view->selectedFolder());
        }
    }

    // A feed's name, developer and category of 10 MiB each, in a folder named
    // at length: every view lays out only their start, so none stalls on them,
    // and the store keeps them whole.
    void hostileSizes_viewsLayOutOnlyTheStart_data() {
        QTest::addColumn<QString>("views");
        QTest::newRow("collector box, list, categories, detail") << u"window"_s;
        QTest::newRow("favorites browser with its menus") << u"browser"_s;
        QTest::newRow("add sheet, new-folder sheet") << u"sheets"_s;
    }
    void hostileSizes_viewsLayOutOnlyTheStart() {
        QFETCH(QString, views);
        const QString name = u"Long name "_s.repeated(1 << 20);
        const QString developer = u"Developer "_s.repeated(1 << 20);
        // A folder name is typed, and a text field takes at most 32767 characters.
        const QString folder = u"Folder "_s.repeated(4096);
        // The console would print the name whole, many times.
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        const auto restore = qScopeGuard([previous] { qInstallMessageHandler(previous); });

        auto app = SampleApps::make(u"66"_s, {name, developer, name});
        app->setPriceLabel(developer);
        context().insert(app);
        FavoritesService service(context());
        service.createFolder(folder);
        service.addToFavorites(u"66"_s, folder, name);
        context().save();

        QStringList texts;
        std::unique_ptr<QWidget> shown;
        if (views == u"window") {
            serveLookup(u"66"_s, {}, 3000); // the queue shows it meanwhile
            ContentView& window = openWindow();
            QTRY_VERIFY(window.collectorBox()->showsQueueProgress());
            clickRow(window.appListView(), 0);
            QTRY_VERIFY(window.findChild<AppDetailView*>());
            texts = laidOutTexts(&window);
            QVERIFY(texts.contains(UserCharacters::shortened(u"Processing 1/1: "_s + name)));
        } else if (views == u"browser") {
            auto browser = showBrowser();
            Kit::clickFolder(*browser, Kit::folderNames(*browser).last());
            QTest::mouseClick(browser->appsList()->rows().first(), Qt::LeftButton);
            QVERIFY(browser->detailView());
            Kit::openRowMenu(*browser, 0);
            Kit::openFolderMenu(*browser, Kit::folderNames(*browser).last());
            texts = laidOutTexts(browser.get());
            shown = std::move(browser);
        } else {
            auto view = showView(app);
            QTest::mouseClick(view->favoriteButton(), Qt::LeftButton);
            QTest::mouseClick(view->addToFavoritesSheet()->newFolderButton(), Qt::LeftButton);
            NewFolderSheet* newFolder = view->addToFavoritesSheet()->newFolderSheet();
            QApplication::clipboard()->setText(folder);
            QTest::keyClick(newFolder->nameField(), Qt::Key_V, Qt::ControlModifier);
            QVERIFY(newFolder->takenNotice()->isVisible() && !newFolder->createButton()->isEnabled());
            newFolder->nameField()->clear(); // typed, not from the store
            texts = laidOutTexts(view.get()) + laidOutTexts(view->addToFavoritesSheet()) +
                    laidOutTexts(newFolder);
            QVERIFY(texts.contains(u"Already in “"_s + UserCharacters::shortened(folder) + u"”"_s));
            shown = std::move(view);
        }
        const QString start = UserCharacters::shortened(name);
        QVERIFY(texts.contains(start));
        QVERIFY(std::any_of(texts.begin(), texts.end(), [](const QString& text) {
            return text.startsWith(u"Long name"_s) && text.endsWith(u"…"_s) && text.size() < 200;
        }));
        for (const QString& text : std::as_const(texts))
            QVERIFY2(text.size() <= 2 * UserCharacters::displayLimit, qPrintable(text.left(80)));

        QCOMPARE(app->name(), name);
        shown.reset();
        m_window.reset();
        auto reopened = ModelContainer::open(m_dir->filePath(u"caldrin.sqlite"_s));
        const auto stored =
            reopened->mainContext().fetch<AppModel>(FetchDescriptor::equal("appleID", u"66"_s));
        QVERIFY(stored.value(0)->name() == name && stored.value(0)->developerName() == developer);
    }
};

CALDRIN_WEBENGINE_TEST_MAIN(TestWindow)
#include "tst_window.moc"
