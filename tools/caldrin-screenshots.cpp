// Renders each reusable view with realistic data and writes one PNG per view
// (and per screen of the screenshot viewer) into the folder given as argument.
// Everything is local: images are drawn here and served by the fake store on
// 127.0.0.1, the store lives in a temporary folder. Meant to run under Xvfb
// (scripts/screenshots), but works on any display.
#include "AddToFavoritesSheet.h"
#include "AppDetailView.h"
#include "AppIconView.h"
#include "AppIndex.h"
#include "AppModel.h"
#include "AppRowView.h"
#include "ContentView.h"
#include "ExportController.h"
#include "FakeStore.h"
#include "FavoriteApp.h"
#include "FavoriteAppRowView.h"
#include "FavoriteFolder.h"
#include "FavoritesService.h"
#include "FavoritesView.h"
#include "FixtureImages.h"
#include "FolderAppsListView.h"
#include "ImageLoader.h"
#include "ModelContainer.h"
#include "ModelContext.h"
#include "NewFolderSheet.h"
#include "ScreenshotThumbnail.h"
#include "ScreenshotViewerSheet.h"
#include "StoreDocuments.h"
#include "SymbolTable.h"
#include "SystemColors.h"
#include "TextStyles.h"
#include "TrayIcon.h"
#include "WebEngineEnvironment.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QThread>
#include <QVBoxLayout>

#include <cstdio>
#include <functional>

using AppRef = QSharedPointer<AppModel>;

namespace {

bool waitUntil(const std::function<bool()>& condition, int milliseconds = 8000) {
    QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

void settle(int milliseconds = 300) {
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

// The sample apps, one a line. "icon" replaces the drawn icon's address;
// "from", "to" and "glyph" draw the icon otherwise.
constexpr const char* sampleApps = R"([
{"id": "6502001", "name": "Lumen — Sleep Sounds & Stories", "developer": "Northwind Labs LLC", "category": "Health & Fitness", "price": "Free", "release": "Dec 4, 2026", "from": "#5b4bdb", "to": "#1f8ef1", "glyph": "☾", "rating": 4.7, "purchases": true, "screenshots": 6, "description": true, "fetched": true, "viewed": false, "favorite": true},
{"id": "6502002", "name": "Pocket Ledger: Budget Planner", "developer": "Harbor Apps Inc.", "category": "Finance", "price": "$2.99", "release": "Dec 4, 2026", "from": "#11996b", "to": "#38d39f", "glyph": "$", "rating": 4.2, "purchases": false, "screenshots": 5, "description": true, "fetched": true, "viewed": true},
{"id": "6502003", "name": "Tiny Tactics", "developer": "Moonbeam Games", "category": "Games", "price": "Free", "release": "Dec 3, 2026", "from": "#ff6b3d", "to": "#ffb347", "glyph": "♞"},
{"id": "6502004", "name": "Fieldnote – Bird ID", "developer": "Audubon Circle", "category": "Reference", "price": "$0.99", "release": "Dec 3, 2026", "from": "#2d6a4f", "to": "#95d5b2", "glyph": "✎", "purchases": false, "screenshots": 0, "description": true, "fetched": true, "viewed": true},
{"id": "6502005", "name": "禅 Garden: Mindful Moments, Breathing & Calm for Everyone", "developer": "Kōan Studio 株式会社", "category": "Lifestyle", "price": "Free", "release": "Dec 2, 2026", "icon": "not a url", "rating": 3.9, "purchases": true, "screenshots": 3, "favorite": true},
{"id": "6502006", "name": "Stacks — Focus Timer", "developer": "Ida Berg", "category": "Productivity", "price": "$4.99", "release": "Dec 1, 2026", "from": "#e03e6b", "to": "#ff8aa8", "glyph": "◷", "rating": 4.9, "purchases": false, "screenshots": 4, "description": true, "fetched": true, "viewed": true}
])";

// More apps for the main window's list, newest first after the sample apps.
constexpr const char* mainWindowApps = R"([
{"id": "6502101", "name": "Orbit — Star Map AR", "developer": "Parallax Works", "category": "Education", "price": "Free", "from": "#0b1d51", "to": "#3a6ff7", "glyph": "✦"},
{"id": "6502102", "name": "Crumb: Recipe Keeper", "developer": "Small Batch Software", "category": "Food & Drink", "price": "$1.99", "from": "#d9480f", "to": "#ffa94d", "glyph": "❦"},
{"id": "6502103", "name": "Parcel Pal", "developer": "Transit Bits GmbH", "category": "Utilities", "price": "Free", "from": "#5f3dc4", "to": "#9775fa", "glyph": "✉"},
{"id": "6502104", "name": "Rally Racer: Dust Trails", "developer": "Moonbeam Games", "category": "Games", "price": "Free", "from": "#c92a2a", "to": "#ff8787", "glyph": "⚑"},
{"id": "6502105", "name": "Quill — Daily Journal", "developer": "Ida Berg", "category": "Lifestyle", "price": "$3.99", "from": "#343a40", "to": "#868e96", "glyph": "✒"},
{"id": "6502106", "name": "Tidepool Aquarium", "developer": "Coral & Co.", "category": "Entertainment", "price": "Free", "from": "#0c8599", "to": "#66d9e8", "glyph": "≈"},
{"id": "6502107", "name": "Metronome Studio", "developer": "Harbor Apps Inc.", "category": "Music", "price": "$0.99", "from": "#2b8a3e", "to": "#8ce99a", "glyph": "♪"},
{"id": "6502108", "name": "Sprout: Plant Care Reminders", "developer": "Greenhouse Labs", "category": "Lifestyle", "price": "Free", "from": "#5c940d", "to": "#c0eb75", "glyph": "✿"},
{"id": "6502109", "name": "Chess Puzzles Daily", "developer": "Moonbeam Games", "category": "Games", "price": "Free", "from": "#495057", "to": "#ced4da", "glyph": "♛"}
])";

template <class T> std::optional<T> optionalValue(const QJsonObject& object, const char* key) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined())
        return std::nullopt;
    return value.toVariant().value<T>();
}

class Renderer {
public:
    Renderer(const QString& outputDirectory, const QString& scratch)
        : m_output(outputDirectory)
        , m_scratch(scratch) {}

    bool run() {
        m_store.setFixturesDirectory(m_scratch + QStringLiteral("/fixtures"));
        if (!m_store.listen()) {
            std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
            return false;
        }
        m_container = ModelContainer::open(m_scratch + QStringLiteral("/data/caldrin.sqlite"));
        makeData();
        m_host.setWindowTitle(QStringLiteral("Caldrin"));
        m_host.resize(1100, 760);
        m_host.show();
        bool ok = appList();
        ok = addToFavorites() && ok;
        ok = newFolder() && ok;
        ok = viewer() && ok;
        ok = symbols() && ok;
        ok = detailViews() && ok;
        ok = favoritesBrowser() && ok;
        ok = mainWindow() && ok;
        ok = exportDialog() && ok;
        return ok;
    }

private:
    QString image(const QString& file) const { return m_store.origin() + QStringLiteral("/images/") + file; }

    void makeData() {
        const QString fixtures = m_scratch + QStringLiteral("/fixtures");
        ModelContext& context = m_container->mainContext();
        FavoritesService service(context);
        service.createFolder(QStringLiteral("Try this week"));
        service.createFolder(QStringLiteral("Games night"));
        service.createFolder(
            QStringLiteral("A folder with a very long name that will not fit into the picker at "
                           "all, however wide the sheet may be"));
        const QJsonArray entries = QJsonDocument::fromJson(sampleApps).array();
        for (const QJsonValue& entry : entries) {
            const QJsonObject sample = entry.toObject();
            const QString appleID = sample.value(QLatin1String("id")).toString();
            const QString name = sample.value(QLatin1String("name")).toString();
            auto app = QSharedPointer<AppModel>::create();
            app->setAppleID(appleID);
            app->setName(name);
            app->setBundleID(QStringLiteral("com.example.") + appleID);
            app->setDeveloperName(sample.value(QLatin1String("developer")).toString());
            app->setAppStoreURL(QStringLiteral("https://apps.apple.com/us/app/id") + appleID);
            app->setCategory(sample.value(QLatin1String("category")).toString());
            app->setPriceLabel(sample.value(QLatin1String("price")).toString());
            app->setReleaseDateString(sample.value(QLatin1String("release")).toString());
            const QColor accent(sample.value(QLatin1String("from")).toString(QStringLiteral("#8e6c4a")));
            if (sample.contains(QLatin1String("icon"))) {
                app->setIconURL(sample.value(QLatin1String("icon")).toString());
            } else {
                const QString file = appleID + QStringLiteral(".png");
                FixtureImages::writeImage(
                    fixtures, file,
                    FixtureImages::appIcon(256, accent, QColor(sample.value(QLatin1String("to")).toString()),
                                           sample.value(QLatin1String("glyph")).toString()));
                app->setIconURL(image(file));
            }
            if (const auto count = optionalValue<int>(sample, "screenshots")) {
                QStringList urls;
                for (int i = 0; i < *count; ++i) {
                    const QString file = QStringLiteral("%1-shot%2.png").arg(appleID).arg(i);
                    FixtureImages::writeImage(fixtures, file,
                                              FixtureImages::screenshot(QSize(590, 1278), accent,
                                                                        name.section(QLatin1Char(' '), 0, 1),
                                                                        i));
                    urls.append(image(file));
                }
                app->setScreenshotURLs(urls);
            }
            app->setRating(optionalValue<double>(sample, "rating"));
            app->setHasInAppPurchases(optionalValue<bool>(sample, "purchases"));
            if (sample.value(QLatin1String("description")).toBool())
                app->setAppDescription(QStringLiteral("A calm companion for better nights."));
            app->setDetailsFetched(sample.value(QLatin1String("fetched")).toBool());
            app->setIsViewed(sample.value(QLatin1String("viewed")).toBool());
            m_apps.append(context.insert(app));
            if (sample.value(QLatin1String("favorite")).toBool())
                service.addToFavorites(appleID, QStringLiteral("Try this week"),
                                       QStringLiteral("Looks great"));
        }
        context.save();
    }

    bool save(QWidget* widget, const QString& name) {
        settle(150);
        const QString path = m_output + QLatin1Char('/') + name + QStringLiteral(".png");
        if (!widget->grab().save(path)) {
            std::fprintf(stderr, "could not write %s\n", qPrintable(path));
            return false;
        }
        std::printf("%s\n", qPrintable(path));
        return true;
    }

    bool appList() {
        ModelContext& context = m_container->mainContext();
        QWidget window;
        window.setWindowTitle(QStringLiteral("App list"));
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* list = new QListView(&window);
        list->setUniformItemSizes(true);
        list->setFrameShape(QFrame::NoFrame);
        auto* model = new QStandardItemModel(list);
        for (const auto& app : std::as_const(m_apps)) {
            auto* item = new QStandardItem(app->name());
            item->setData(QVariant::fromValue(app.data()), AppRowView::RecordRole);
            item->setEditable(false);
            model->appendRow(item);
        }
        auto* delegate = new AppRowView(&context, list);
        list->setItemDelegate(delegate);
        list->setModel(model);
        layout->addWidget(list);
        window.resize(440, AppRowView::rowHeight(list->font()) * int(m_apps.size()) + 4);
        window.show();
        list->setCurrentIndex(model->index(1, 0));
        ImageLoader* loader = ImageLoader::shared();
        const bool loaded = waitUntil([&] {
            for (const auto& app : std::as_const(m_apps)) {
                const ImageLoader::State state = loader->state(app->iconURL().value_or(QString()));
                if (state == ImageLoader::State::Loading || state == ImageLoader::State::Idle)
                    return false;
            }
            return delegate->favoritesService() != nullptr;
        });
        if (!loaded)
            std::fprintf(stderr, "app list: icons did not arrive in time\n");
        return save(&window, QStringLiteral("app-list")) && loaded;
    }

    bool addToFavorites() {
        FavoritesService service(m_container->mainContext());
        auto* sheet = new AddToFavoritesSheet(m_apps.first(), service, &m_host);
        sheet->open();
        sheet->commentEditor()->setPlainText(QStringLiteral("Lovely rain sounds — try the 'Harbour' story."));
        auto* icon = sheet->findChild<QWidget*>(QStringLiteral("appIcon"));
        const QString address = m_apps.first()->iconURL().value_or(QString());
        waitUntil([&] { return ImageLoader::shared()->state(address) == ImageLoader::State::Loaded; });
        bool ok = icon && save(sheet, QStringLiteral("add-to-favorites"));
        sheet->folderPicker()->showPopup();
        settle(200);
        QWidget* popup = sheet->folderPicker()->view()->window();
        ok = save(popup, QStringLiteral("add-to-favorites-picker")) && ok;
        sheet->folderPicker()->hidePopup();
        sheet->close();
        return ok;
    }

    bool newFolder() {
        auto* sheet = new NewFolderSheet(
            m_container->mainContext(), [](const QString&) {}, &m_host);
        sheet->open();
        const bool empty = save(sheet, QStringLiteral("new-folder-empty"));
        sheet->nameField()->setText(QStringLiteral("Puzzle games"));
        const bool ok = save(sheet, QStringLiteral("new-folder"));
        sheet->close();
        return empty && ok;
    }

    bool viewerScreen(const QStringList& shots, int index, const QString& name,
                      ScreenshotViewerSheet::Screen expected, std::chrono::milliseconds timeout,
                      const std::function<void(ScreenshotViewerSheet*)>& prepare = {}) {
        auto* sheet = new ScreenshotViewerSheet(shots.value(index), shots, &m_host, nullptr, timeout);
        sheet->open();
        if (prepare)
            prepare(sheet);
        const bool reached = waitUntil([&] { return sheet->screen() == expected; });
        if (!reached)
            std::fprintf(stderr, "%s: the viewer did not reach the expected screen\n", qPrintable(name));
        settle(400); // let a zoom animation end
        const bool ok = save(sheet, name) && reached;
        sheet->close();
        return ok;
    }

    bool viewer() {
        const QStringList shots = m_apps.first()->screenshotURLs().value_or(QStringList());
        using Screen = ScreenshotViewerSheet::Screen;
        const auto normal = ScreenshotViewerSheet::defaultLoadingTimeout;
        bool ok = viewerScreen(shots, 2, QStringLiteral("screenshot-viewer"), Screen::Image, normal);
        ok = viewerScreen(shots, 0, QStringLiteral("screenshot-viewer-zoomed"), Screen::Image, normal,
                          [](ScreenshotViewerSheet* sheet) {
                              sheet->zoomIn();
                              sheet->zoomIn();
                              sheet->zoomIn();
                              sheet->zoomIn();
                          }) &&
             ok;
        FakeStore::Response stall;
        stall.contentType = "image/png";
        stall.body = FixtureImages::png(FixtureImages::solid(QSize(400, 800), Qt::gray));
        stall.behaviour = FakeStore::Behaviour::Stall;
        m_store.setResponse(QStringLiteral("/images/stalled.png"), stall);
        m_store.setResponse(QStringLiteral("/images/stalled-too.png"), stall);
        const QStringList broken{image(QStringLiteral("missing.png")), image(QStringLiteral("stalled.png")),
                                 image(QStringLiteral("stalled-too.png"))};
        ok = viewerScreen(broken, 0, QStringLiteral("screenshot-viewer-failed"), Screen::Failure, normal) &&
             ok;
        ok = viewerScreen(broken, 1, QStringLiteral("screenshot-viewer-loading"), Screen::Loading, normal) &&
             ok;
        ok = viewerScreen(broken, 2, QStringLiteral("screenshot-viewer-timeout"), Screen::Timeout,
                          std::chrono::milliseconds(500)) &&
             ok;
        return ok;
    }

    // Waits until the icons and screenshots under the widget have arrived.
    bool imagesArrived(QWidget* root) {
        return waitUntil([&] {
            for (const AppIconView* icon : root->findChildren<AppIconView*>()) {
                if (ImageLoader::isLoadableAddress(icon->address()) && !icon->isShowingImage())
                    return false;
            }
            for (const ScreenshotThumbnail* thumbnail : root->findChildren<ScreenshotThumbnail*>()) {
                if (thumbnail->isVisible() && !thumbnail->isShowingImage())
                    return false;
            }
            return true;
        });
    }

    // The detail view of a fully enriched app, and of one whose details are not loaded.
    bool detailViews() {
        ModelContext& context = m_container->mainContext();
        const AppRef enriched = m_apps.first();
        enriched->setRatingCount(12873);
        enriched->setAppSize(QStringLiteral("48.2 MB"));
        enriched->setAppVersion(QStringLiteral("3.4.1"));
        enriched->setAgeRating(QStringLiteral("4+"));
        enriched->setCategoryID(QStringLiteral("6013"));
        enriched->setBundleID(QStringLiteral("com.northwindlabs.lumen.sleepsounds.stories"));
        enriched->setDeveloperURL(QStringLiteral("https://apps.apple.com/us/developer/id1500"));
        enriched->setFetchedAt(QDateTime(QDate(2026, 12, 4), QTime(9, 41)));
        enriched->setInAppPurchaseInfo(QStringLiteral("Offers In-App Purchases"));
        enriched->setInAppPurchaseItems(QList<IAPItem>{
            {QStringLiteral("Lumen Premium (Monthly)"), QStringLiteral("$4.99")},
            {QStringLiteral("Lumen Premium (Yearly)"), QStringLiteral("$29.99")},
            {QStringLiteral("Story Pack: Northern Lights & Quiet Harbours"), QStringLiteral("$1.99")}});
        enriched->setAppDescription(QStringLiteral(
            "Lumen helps you fall asleep faster and wake up refreshed. Choose from more than 200 "
            "sleep sounds — gentle rain, distant thunder, ocean waves, a crackling fireplace — and "
            "mix up to five of them into your own soundscape.\n\n"
            "Bedtime stories, read by calm voices, guide your mind away from the day. New stories "
            "arrive every week, from quiet train journeys through the Alps to slow walks along "
            "foggy harbours.\n\n"
            "• Sleep timer with a gentle fade-out\n"
            "• Works offline once a sound is downloaded\n"
            "• Smart alarm that wakes you in your lightest sleep phase\n"
            "• No ads, ever"));
        const AppRef bare = m_apps.at(4); // the CJK name, details not loaded
        bare->setCategoryID(QStringLiteral("6012"));
        bare->setFetchedAt(QDateTime(QDate(2026, 12, 2), QTime(18, 5)));
        context.save();

        // Dates and counts as a user in the United States sees them.
        const QLocale previous;
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        bool ok = true;
        const QList<std::pair<AppRef, QString>> shots{{enriched, QStringLiteral("detail-view")},
                                                      {bare, QStringLiteral("detail-view-not-loaded")}};
        for (const auto& [app, name] : shots) {
            auto view = std::make_unique<AppDetailView>(app, context);
            view->setWindowTitle(app->name());
            view->resize(820, 900);
            view->show();
            const bool arrived = imagesArrived(view.get());
            if (!arrived)
                std::fprintf(stderr, "%s: images did not arrive in time\n", qPrintable(name));
            // Tall enough to show the whole view at once.
            auto fitHeight = [&view] {
                settle(100);
                view->resize(view->width(), view->widget()->heightForWidth(view->width()) + 4);
            };
            fitHeight();
            ok = save(view.get(), name) && arrived && ok;
            if (app == enriched) {
                // The same view in a narrow column.
                view->resize(560, 900);
                fitHeight();
                ok = save(view.get(), name + QStringLiteral("-narrow")) && ok;
            }
        }
        QLocale::setDefault(previous);
        return ok;
    }

    // The favorites browser with a folder of two apps, one of them selected.
    bool favoritesBrowser() {
        ModelContext& context = m_container->mainContext();
        FavoritesService service(context);
        if (const auto favorite = service.getFavorite(m_apps.at(4)->appleID()))
            favorite->setComment(
                QStringLiteral("Recommended by Mia — the breathing exercises are lovely, and the "
                               "evening routine with the gong is worth trying before bed."));
        context.save();
        const QLocale previous;
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        FavoritesView view(context);
        view.setWindowTitle(QStringLiteral("Favorites"));
        view.resize(1360, 860);
        view.show();
        settle(100);
        for (const auto& folder : view.folders()) {
            if (folder->name() == QStringLiteral("Try this week"))
                view.selectFolder(folder);
        }
        bool ok = view.appsList() && view.appsList()->rows().size() == 2;
        if (ok)
            QTest::mouseClick(view.appsList()->rows().first(), Qt::LeftButton);
        ok = ok && view.detailView();
        if (!ok)
            std::fprintf(stderr, "favorites: the folder with two apps was not shown\n");
        const bool arrived = imagesArrived(&view);
        if (!arrived)
            std::fprintf(stderr, "favorites: images did not arrive in time\n");
        ok = save(&view, QStringLiteral("favorites")) && arrived && ok;
        // The row's menu with its folder submenu, and a folder's menu.
        if (!view.appsList()->rows().isEmpty()) {
            FavoriteAppRowView* row = view.appsList()->rows().first();
            std::unique_ptr<QMenu> menu(row->contextMenu(nullptr));
            menu->popup(row->mapToGlobal(QPoint(120, 40)));
            QAction* move = menu->actions().first();
            menu->setActiveAction(move);
            move->menu()->popup(menu->mapToGlobal(menu->actionGeometry(move).topRight()));
            ok = save(menu.get(), QStringLiteral("favorites-row-menu")) && ok;
            ok = save(move->menu(), QStringLiteral("favorites-row-menu-folders")) && ok;
        }
        if (const QSharedPointer<FavoriteFolder> folder = view.selectedFolder()) {
            std::unique_ptr<QMenu> menu(view.folderMenu(folder, nullptr));
            menu->popup(view.mapToGlobal(QPoint(60, 120)));
            ok = save(menu.get(), QStringLiteral("favorites-folder-menu")) && ok;
        }
        // No folder chosen yet, and an empty folder.
        view.selectFolder(nullptr);
        ok = save(&view, QStringLiteral("favorites-no-folder")) && ok;
        for (const auto& folder : view.folders()) {
            if (folder->name() == QStringLiteral("Games night"))
                view.selectFolder(folder);
        }
        ok = save(&view, QStringLiteral("favorites-empty-folder")) && ok;
        QLocale::setDefault(previous);
        return ok;
    }

    // Every symbol in the colours the views use, and its bundled drawing.
    bool symbols() {
        const QStringList names = SymbolTable::symbolNames();
        const int rowHeight = 40;
        QImage sheet(760, rowHeight * int(names.size()) + 20, QImage::Format_ARGB32_Premultiplied);
        sheet.fill(Qt::white);
        QPainter painter(&sheet);
        painter.setRenderHint(QPainter::Antialiasing);
        const QList<QColor> colors{QColor(30, 30, 30),     SystemColors::blue(),   SystemColors::green(),
                                   SystemColors::yellow(), SystemColors::purple(), SystemColors::red()};
        QFont font = QApplication::font();
        painter.setFont(font);
        for (int row = 0; row < names.size(); ++row) {
            const int y = 10 + row * rowHeight;
            const QString& name = names[row];
            painter.setPen(Qt::black);
            painter.drawText(QRect(10, y, 260, rowHeight), Qt::AlignVCenter, name);
            painter.setPen(QColor(120, 120, 120));
            painter.drawText(QRect(270, y, 200, rowHeight), Qt::AlignVCenter,
                             SymbolTable::comesFromTheme(name) ? SymbolTable::themeIconName(name)
                                                               : QStringLiteral("(bundled)"));
            for (int c = 0; c < colors.size(); ++c)
                SymbolTable::paint(painter, QRectF(470 + c * 36, y + 4, 32, 32), name, colors[c]);
            painter.fillRect(QRect(700, y + 2, 36, 36), QColor(200, 200, 200));
            QIcon(SymbolTable::fallbackPath(name)).paint(&painter, QRect(702, y + 4, 32, 32));
        }
        painter.end();
        const QString path = m_output + QStringLiteral("/symbols.png");
        if (!sheet.save(path))
            return false;
        std::printf("%s\n", qPrintable(path));
        return true;
    }

    // ---- The main window

    // The main window on its General tab with an app selected, then on its
    // Favorites tab with a folder and an app selected. Its collector runs
    // against the fake store, whose feeds list apps already collected.
    bool mainWindow() {
        ModelContext& context = m_container->mainContext();
        addMainWindowApps();
        writeFeeds();
        qputenv("CALDRIN_STORE_ORIGIN", m_store.origin().toUtf8());

        const QLocale previous;
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        ContentView window(context);
        window.setWindowTitle(QStringLiteral("Caldrin"));
        window.resize(1440, 880);
        window.show();
        const bool ready = waitUntil(
            [&] {
                const AppCollectorService* collector = window.collectorService();
                return window.appIndex().isReady() && collector &&
                       collector->statusMessage().startsWith(QStringLiteral("✓")) &&
                       !collector->detailsQueue().isProcessing();
            },
            20000);
        if (!ready)
            std::fprintf(stderr, "main window: the collection run did not end in time\n");
        window.setSelectedApp(m_apps.first());
        const bool loaded = waitForIcons() && imagesArrived(&window);
        if (!loaded)
            std::fprintf(stderr, "main window: images did not arrive in time\n");
        bool ok = save(&window, QStringLiteral("main-window")) && ready && loaded && window.detailView();
        ok = mainWindowFavorites(window) && ok;
        ok = trayMenu(window) && ok;
        QLocale::setDefault(previous);
        return ok;
    }

    // The Favorites tab with its folder of two apps open and one of them chosen.
    bool mainWindowFavorites(ContentView& window) {
        window.setSelectedTab(ContentTab::favorites);
        FavoritesView* view = window.favoritesView();
        bool ok = view && waitUntil([&] { return !view->folders().isEmpty(); });
        if (ok) {
            for (const auto& folder : view->folders()) {
                if (folder->name() == QStringLiteral("Try this week"))
                    view->selectFolder(folder);
            }
            ok = view->appsList() && !view->appsList()->rows().isEmpty();
        }
        if (ok)
            QTest::mouseClick(view->appsList()->rows().first(), Qt::LeftButton);
        ok = ok && view->detailView();
        if (!ok)
            std::fprintf(stderr, "main window: the favorites folder was not shown\n");
        const bool arrived = ok && imagesArrived(&window);
        ok = save(&window, QStringLiteral("main-window-favorites")) && ok && arrived;
        window.setSelectedTab(ContentTab::general);
        return ok;
    }

    // ---- Export

    // The window's "Export…" asks where to, with CSV or JSON to choose; shown
    // in a documents folder that holds an earlier export.
    bool exportDialog() {
        const QString documents = m_scratch + QStringLiteral("/Documents");
        QDir().mkpath(documents);
        {
            QFile earlier(documents + QStringLiteral("/caldrin-games.csv"));
            if (earlier.open(QIODevice::WriteOnly))
                earlier.write("appleID,name,developerName\r\n6502109,Chess Puzzles Daily,Moonbeam Games\r\n");
        }
        QFileDialog* dialog =
            ExportController::makeFileDialog(&m_host, documents + QStringLiteral("/caldrin-apps.csv"));
        // Qt's own dialog, the same on every desktop, rather than the platform's.
        dialog->setOption(QFileDialog::DontUseNativeDialog);
        dialog->resize(860, 460);
        dialog->open();
        const bool ok = save(dialog, QStringLiteral("export-dialog"));
        dialog->close();
        delete dialog;
        return ok;
    }

    // The tray icon's menu while the window's collector runs. A virtual display
    // has no tray to click, so the menu opens on its own.
    bool trayMenu(ContentView& window) {
        TrayIcon tray(
            window, [&window] { window.show(); }, [] { return true; });
        QMenu* menu = tray.menu();
        menu->popup(window.mapToGlobal(QPoint(window.width() - 260, 40)));
        const bool shown = waitUntil([&] { return menu->isVisible(); });
        if (!shown)
            std::fprintf(stderr, "tray menu: the menu did not open\n");
        const bool ok = save(menu, QStringLiteral("tray-menu")) && shown;
        menu->hide();
        return ok;
    }

    bool waitForIcons() {
        ImageLoader* loader = ImageLoader::shared();
        return waitUntil([&] {
            for (const auto& app : std::as_const(m_apps)) {
                const ImageLoader::State state = loader->state(app->iconURL().value_or(QString()));
                if (state == ImageLoader::State::Loading)
                    return false;
            }
            return true;
        });
    }

    void addMainWindowApps() {
        ModelContext& context = m_container->mainContext();
        const QString fixtures = m_scratch + QStringLiteral("/fixtures");
        // The sample apps carry release texts only; the list sorts by date.
        const QDateTime newest(QDate(2026, 12, 4), QTime(9, 0), Qt::UTC);
        for (const auto& app : std::as_const(m_apps)) {
            const QDate date = QLocale::c().toDate(app->releaseDateString(), QStringLiteral("MMM d, yyyy"));
            app->setReleaseDate(QDateTime(date.isValid() ? date : newest.date(), QTime(9, 0), Qt::UTC));
        }
        const QJsonArray entries = QJsonDocument::fromJson(mainWindowApps).array();
        int day = 1;
        for (const QJsonValue& entry : entries) {
            const QJsonObject sample = entry.toObject();
            const QString appleID = sample.value(QLatin1String("id")).toString();
            auto app = QSharedPointer<AppModel>::create();
            app->setAppleID(appleID);
            app->setName(sample.value(QLatin1String("name")).toString());
            app->setBundleID(QStringLiteral("com.example.") + appleID);
            app->setDeveloperName(sample.value(QLatin1String("developer")).toString());
            app->setAppStoreURL(QStringLiteral("https://apps.apple.com/us/app/id") + appleID);
            app->setCategory(sample.value(QLatin1String("category")).toString());
            app->setPriceLabel(sample.value(QLatin1String("price")).toString());
            const QDateTime release = newest.addDays(-day++);
            app->setReleaseDate(release);
            app->setReleaseDateString(QLocale::c().toString(release.date(), QStringLiteral("MMM d, yyyy")));
            const QString file = appleID + QStringLiteral(".png");
            FixtureImages::writeImage(
                fixtures, file,
                FixtureImages::appIcon(256, QColor(sample.value(QLatin1String("from")).toString()),
                                       QColor(sample.value(QLatin1String("to")).toString()),
                                       sample.value(QLatin1String("glyph")).toString()));
            app->setIconURL(image(file));
            app->setScreenshotURLs(QStringList{image(appleID + QStringLiteral("-shot0.png"))});
            app->setAppDescription(QStringLiteral("A new app."));
            app->setDetailsFetched(true);
            app->setIsViewed(day % 3 == 0);
            m_apps.append(context.insert(app));
        }
        // Complete, so that the details queue has nothing to do on screen.
        for (const auto& app : std::as_const(m_apps)) {
            if (!app->screenshotURLs() || app->screenshotURLs()->isEmpty())
                app->setScreenshotURLs(QStringList{image(app->appleID() + QStringLiteral("-shot0.png"))});
            if (!app->hasAppDescription())
                app->setAppDescription(QStringLiteral("A new app."));
            app->setDetailsFetched(true);
        }
        context.save();
    }

    // The three feeds list a few of the collected apps: the run finds nothing new.
    void writeFeeds() {
        QJsonArray entries;
        for (qsizetype i = 0; i < std::min<qsizetype>(4, m_apps.size()); ++i)
            entries.append(StoreDocuments::feedEntry(m_apps.at(i)->appleID(), m_apps.at(i)->name()));
        const QString feeds = m_scratch + QStringLiteral("/fixtures/feeds");
        QDir().mkpath(feeds);
        for (const char* kind : {"newapplications", "newfreeapplications", "newpaidapplications"}) {
            QFile file(feeds + QLatin1Char('/') + QLatin1String(kind) + QStringLiteral(".json"));
            if (file.open(QIODevice::WriteOnly))
                file.write(StoreDocuments::feedDocument(entries));
        }
    }

    QString m_output;
    QString m_scratch;
    FakeStore m_store;
    std::unique_ptr<ModelContainer> m_container;
    QList<QSharedPointer<AppModel>> m_apps;
    QWidget m_host;
};

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: caldrin-screenshots OUTPUT_DIRECTORY\n");
        return 2;
    }
    // Fresh settings, data and caches, so nothing of the user's is read or touched.
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return 1;
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
        const QString path = scratch.filePath(QString::fromLatin1(name));
        QDir().mkpath(path);
        qputenv(name, path.toUtf8());
    }
    // The main window's collector brings the web engine.
    WebEngineEnvironment::prepare();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Caldrin"));
    SymbolTable::installIconTheme();
    const QString output = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    if (!QDir().mkpath(output)) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    Renderer renderer(output, scratch.path());
    return renderer.run() ? 0 : 1;
}
