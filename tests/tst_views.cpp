// The reusable views driven as a person would: the app list row, the favorites
// sheets and the screenshot viewer, with the image loader behind them.
#include "AddToFavoritesSheet.h"
#include "AppIconView.h"
#include "AppModel.h"
#include "AppRowView.h"
#include "ConsoleCapture.h"
#include "FakeStore.h"
#include "FavoriteApp.h"
#include "FavoriteFolder.h"
#include "FavoritesService.h"
#include "FittedImageView.h"
#include "FixtureImages.h"
#include "ImageLoader.h"
#include "ModelContainer.h"
#include "ModelContext.h"
#include "NewFolderSheet.h"
#include "ScreenshotViewerSheet.h"
#include "SqliteDatabase.h"
#include "SymbolTable.h"
#include "SystemColors.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointingDevice>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <sqlite3.h>

using AppRef = QSharedPointer<AppModel>;
using FolderRef = QSharedPointer<FavoriteFolder>;
using Screen = ScreenshotViewerSheet::Screen;
using namespace std::chrono_literals;

namespace {

const QString unfiltered = QStringLiteral("Unfiltered");

QStringList visibleTexts(const QWidget* root) {
    QStringList texts;
    for (const QLabel* label : root->findChildren<QLabel*>()) {
        if (label->isVisible() && !label->text().isEmpty())
            texts.append(label->text());
    }
    for (const QAbstractButton* button : root->findChildren<QAbstractButton*>()) {
        if (button->isVisible() && !button->text().isEmpty())
            texts.append(button->text());
    }
    return texts;
}

QStringList pickerEntries(const QComboBox* picker) {
    QStringList entries;
    for (int i = 0; i < picker->count(); ++i)
        entries.append(picker->itemText(i));
    return entries;
}

bool isGrey(QRgb pixel) {
    return qAbs(qRed(pixel) - qGreen(pixel)) < 16 && qAbs(qGreen(pixel) - qBlue(pixel)) < 16;
}

} // namespace

class TestViews : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    FakeStore m_store;
    std::unique_ptr<ModelContainer> m_container;
    std::unique_ptr<ImageLoader> m_loader;
    std::unique_ptr<QWidget> m_window;
    int m_counter = 0;

    ModelContext& context() { return m_container->mainContext(); }
    QString image(const QString& file) const { return m_store.origin() + QStringLiteral("/images/") + file; }

    AppRef makeApp(const QString& appleID, const QString& name = QStringLiteral("Tiny Tactics")) {
        auto app = AppRef::create();
        app->setAppleID(appleID);
        app->setName(name);
        app->setBundleID(QStringLiteral("com.example.") + appleID);
        app->setDeveloperName(QStringLiteral("Moonbeam Games"));
        app->setAppStoreURL(QStringLiteral("https://apps.example/id") + appleID);
        app->setCategory(QStringLiteral("Games"));
        app->setPriceLabel(QStringLiteral("Free"));
        app->setReleaseDateString(QStringLiteral("Dec 3, 2026"));
        return context().insert(app);
    }

    // A list as the main window shows it: a model handing out records, the
    // delegate painting them.
    struct AppList {
        std::unique_ptr<QListView> view;
        QStandardItemModel* model = nullptr;
        AppRowView* delegate = nullptr;
    };
    AppList showList(const QList<AppRef>& apps, ModelContext* modelContext) {
        AppList list;
        list.view = std::make_unique<QListView>();
        list.view->setUniformItemSizes(true);
        list.model = new QStandardItemModel(list.view.get());
        for (const AppRef& app : apps) {
            auto* item = new QStandardItem(app->name());
            item->setData(QVariant::fromValue(app.data()), AppRowView::RecordRole);
            list.model->appendRow(item);
        }
        list.delegate = new AppRowView(modelContext, list.view.get(), m_loader.get());
        list.view->setItemDelegate(list.delegate);
        list.view->setModel(list.model);
        list.view->resize(460, 500);
        list.view->show();
        return list;
    }
    QStyleOptionViewItem rowOption(const AppList& list, int row) {
        QStyleOptionViewItem option;
        option.initFrom(list.view->viewport());
        option.rect = list.view->visualRect(list.model->index(row, 0));
        option.font = list.view->font();
        option.widget = list.view.get();
        option.state &= ~QStyle::State_Selected;
        return option;
    }
    QMap<QString, AppRowView::Piece> pieces(const AppList& list, int row, const AppModel& app) {
        QMap<QString, AppRowView::Piece> byRole;
        for (const auto& piece : list.delegate->layout(rowOption(list, row), app))
            byRole.insert(piece.role, piece);
        return byRole;
    }
    QImage paintRow(const AppList& list, int row) {
        const QStyleOptionViewItem option = rowOption(list, row);
        QImage image(option.rect.right() + 1, option.rect.bottom() + 1, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        list.delegate->paint(&painter, option, list.model->index(row, 0));
        return image;
    }

    ScreenshotViewerSheet*
    openViewer(const QStringList& shots, int index,
               std::chrono::milliseconds timeout = ScreenshotViewerSheet::defaultLoadingTimeout) {
        auto* sheet =
            new ScreenshotViewerSheet(shots.value(index), shots, m_window.get(), m_loader.get(), timeout);
        sheet->open();
        return sheet;
    }

private slots:
    void initTestCase() {
        SymbolTable::installIconTheme();
        const QString fixtures = m_dir.filePath(QStringLiteral("fixtures"));
        QVERIFY(FixtureImages::writeImage(fixtures, QStringLiteral("red.png"),
                                          FixtureImages::solid(QSize(64, 64), Qt::red)));
        for (int i = 0; i < 5; ++i)
            QVERIFY(
                FixtureImages::writeImage(fixtures, QStringLiteral("shot%1.png").arg(i),
                                          FixtureImages::solid(QSize(300, 600), QColor(40 * i, 90, 200))));
        m_store.setFixturesDirectory(fixtures);
        FakeStore::Response garbage;
        garbage.contentType = "image/png";
        garbage.body = QByteArray("\x89PNG\r\n\x1a\n this is not really an image", 40);
        m_store.setResponse(QStringLiteral("/images/garbage.png"), garbage);
        FakeStore::Response bomb;
        bomb.contentType = "image/bmp";
        bomb.body = FixtureImages::hugeBmpHeader(60000, 60000);
        m_store.setResponse(QStringLiteral("/images/bomb.bmp"), bomb);
        FakeStore::Response page;
        page.contentType = "text/html";
        page.body = "<html><body>Not an image</body></html>";
        m_store.setResponse(QStringLiteral("/images/page.png"), page);
        FakeStore::Response stall;
        stall.contentType = "image/png";
        stall.body = FixtureImages::png(FixtureImages::solid(QSize(64, 64), Qt::blue));
        stall.behaviour = FakeStore::Behaviour::Stall;
        m_store.setResponse(QStringLiteral("/images/stall.png"), stall);
        QVERIFY(m_store.listen());
    }

    void init() {
        ++m_counter;
        m_container =
            ModelContainer::open(m_dir.filePath(QStringLiteral("store%1/caldrin.sqlite").arg(m_counter)));
        m_loader = std::make_unique<ImageLoader>(m_dir.filePath(QStringLiteral("cache%1").arg(m_counter)));
        m_window = std::make_unique<QWidget>();
        m_window->resize(1000, 700);
        m_window->show();
        m_store.clearRequests();
    }
    void cleanup() {
        m_window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_loader.reset();
        m_container.reset();
    }

    // --- The image loader ---------------------------------------------------

    void imageLoader_loadsOnlyHttpImages_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("loads");
        QTest::addColumn<bool>("asksTheNetwork");
        QTest::newRow("a png") << QStringLiteral("red.png") << true << true;
        QTest::newRow("empty") << QString() << false << false;
        QTest::newRow("not a URL") << QStringLiteral("not a url") << false << false;
        QTest::newRow("ftp") << QStringLiteral("ftp://127.0.0.1/red.png") << false << false;
        QTest::newRow("file") << QStringLiteral("file:///etc/passwd") << false << false;
        QTest::newRow("javascript") << QStringLiteral("javascript:alert(1)") << false << false;
        QTest::newRow("no host") << QStringLiteral("http://") << false << false;
        QTest::newRow("not found") << QStringLiteral("missing.png") << false << true;
        QTest::newRow("garbage bytes") << QStringLiteral("garbage.png") << false << true;
        QTest::newRow("a web page") << QStringLiteral("page.png") << false << true;
        QTest::newRow("60000x60000 declared") << QStringLiteral("bomb.bmp") << false << true;
    }
    void imageLoader_loadsOnlyHttpImages() {
        QFETCH(QString, address);
        QFETCH(bool, loads);
        QFETCH(bool, asksTheNetwork);
        if (asksTheNetwork)
            address = image(address);
        QObject requester;
        QSignalSpy finished(m_loader.get(), &ImageLoader::finished);
        const ImageLoader::State first = m_loader->request(address, &requester);
        QCOMPARE(first, asksTheNetwork ? ImageLoader::State::Loading : ImageLoader::State::Failed);
        QTRY_VERIFY(m_loader->state(address) != ImageLoader::State::Loading);
        QCOMPARE(m_loader->state(address), loads ? ImageLoader::State::Loaded : ImageLoader::State::Failed);
        QCOMPARE(m_loader->image(address).isNull(), !loads);
        QCOMPARE(finished.size(), asksTheNetwork ? 1 : 0);
        QCOMPARE(m_store.requests().size(), asksTheNetwork ? 1 : 0);
        if (loads)
            QCOMPARE(m_loader->image(address).pixelColor(5, 5), QColor(Qt::red));
    }

    void imageLoader_cancelsLoadsNobodyWaitsFor() {
        const QString address = image(QStringLiteral("stall.png"));
        QSignalSpy finished(m_loader.get(), &ImageLoader::finished);
        auto first = std::make_unique<QObject>();
        auto second = std::make_unique<QObject>();
        QCOMPARE(m_loader->request(address, first.get()), ImageLoader::State::Loading);
        QCOMPARE(m_loader->request(address, second.get()), ImageLoader::State::Loading);
        QTRY_COMPARE(m_store.requests().size(), 1);
        first.reset();
        QCOMPARE(m_loader->state(address), ImageLoader::State::Loading);
        second.reset();
        QCOMPARE(m_loader->state(address), ImageLoader::State::Idle);

        // An icon view that goes away before its image arrives.
        auto icon = std::make_unique<AppIconView>(60, 12, nullptr, m_loader.get());
        icon->setAddress(address);
        icon->show();
        QCOMPARE(m_loader->state(address), ImageLoader::State::Loading);
        icon.reset();
        QCOMPARE(m_loader->state(address), ImageLoader::State::Idle);
        QTest::qWait(50);
        QCOMPARE(finished.size(), 0);
    }

    void imageLoader_keepsADiskCacheAndReloadsOnRequest() {
        const QString cache = m_dir.filePath(QStringLiteral("shared-cache"));
        const QString address = image(QStringLiteral("red.png"));
        QObject requester;
        {
            ImageLoader loader(cache);
            loader.request(address, &requester);
            QTRY_COMPARE(loader.state(address), ImageLoader::State::Loaded);
            QCOMPARE(loader.request(address, &requester), ImageLoader::State::Loaded);
        }
        QCOMPARE(m_store.requests().size(), 1);
        QVERIFY(!QDir(cache).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());

        // A new loader (a new run) finds it on disk.
        ImageLoader loader(cache);
        loader.request(address, &requester);
        QTRY_COMPARE(loader.state(address), ImageLoader::State::Loaded);
        QCOMPARE(m_store.requests().size(), 1);

        // "Try Again" asks the network whatever is cached.
        QCOMPARE(loader.request(address, &requester, ImageLoader::Freshness::Reload),
                 ImageLoader::State::Loading);
        QTRY_COMPARE(loader.state(address), ImageLoader::State::Loaded);
        QCOMPARE(m_store.requests().size(), 2);
    }

    void imageLoader_sharedOneBelongsToTheApplication() {
        ImageLoader* shared = ImageLoader::shared();
        QCOMPARE(shared->parent(), QCoreApplication::instance());
        QCOMPARE(ImageLoader::shared(), shared);
        QVERIFY(ImageLoader::defaultCacheDirectory().startsWith(qEnvironmentVariable("XDG_CACHE_HOME")));
    }

    // --- The app list row --------------------------------------------------------

    void appRow_showsTheRecordsMarks_data() {
        QTest::addColumn<bool>("enriched");
        QTest::newRow("fresh from the feed") << false;
        QTest::newRow("viewed and enriched") << true;
    }
    void appRow_showsTheRecordsMarks() {
        QFETCH(bool, enriched);
        AppRef app = makeApp(QStringLiteral("1"));
        if (enriched) {
            app->setIsViewed(true);
            app->setDetailsFetched(true);
            app->setHasInAppPurchases(true);
            app->setRating(4.66);
            app->setScreenshotURLs(
                QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
            app->setAppDescription(QString()); // present, though empty
        }
        AppList list = showList({app}, nullptr);
        const auto row = pieces(list, 0, *app);
        QCOMPARE(row.value(QStringLiteral("name")).text, QStringLiteral("Tiny Tactics"));
        QCOMPARE(row.value(QStringLiteral("name")).font.bold(), !enriched);
        QCOMPARE(row.contains(QStringLiteral("unviewed")), !enriched);
        QCOMPARE(row.contains(QStringLiteral("fetched")), enriched);
        QCOMPARE(row.value(QStringLiteral("developer")).text, QStringLiteral("Moonbeam Games"));
        QCOMPARE(row.value(QStringLiteral("category")).text, QStringLiteral("Games"));
        QCOMPARE(row.value(QStringLiteral("price")).text, QStringLiteral("Free"));
        QCOMPARE(row.value(QStringLiteral("release")).text, QStringLiteral("Dec 3, 2026"));
        QCOMPARE(row.contains(QStringLiteral("purchases")), enriched);
        QCOMPARE(row.value(QStringLiteral("rating")).text, enriched ? QStringLiteral("4.7") : QString());
        QCOMPARE(row.value(QStringLiteral("screenshots")).text,
                 enriched ? QStringLiteral("3 screenshots") : QString());
        QCOMPARE(row.value(QStringLiteral("fullDetails")).text,
                 enriched ? QStringLiteral("Full details") : QString());
        QVERIFY(!row.contains(QStringLiteral("favorite")));
        if (enriched) {
            QCOMPARE(row.value(QStringLiteral("purchases")).color, SystemColors::purple());
            QCOMPARE(row.value(QStringLiteral("ratingSymbol")).color, SystemColors::yellow());
            QCOMPARE(row.value(QStringLiteral("fetched")).color, SystemColors::green());
        } else {
            QCOMPARE(row.value(QStringLiteral("unviewed")).color, SystemColors::blue());
        }
        // Nothing overlaps the trailing column or leaves the row.
        const QRectF bounds(rowOption(list, 0).rect);
        for (const auto& piece : row)
            QVERIFY2(bounds.contains(piece.rect), qPrintable(piece.role));
    }

    void appRow_marksOnlyWhatIsThere_data() {
        QTest::addColumn<std::optional<bool>>("purchases");
        QTest::addColumn<std::optional<QStringList>>("screenshots");
        QTest::addColumn<bool>("purchaseMark");
        QTest::addColumn<QString>("screenshotText");
        QTest::newRow("purchases absent")
            << std::optional<bool>() << std::optional<QStringList>() << false << QString();
        QTest::newRow("purchases false")
            << std::optional<bool>(false) << std::optional<QStringList>() << false << QString();
        QTest::newRow("empty screenshot list")
            << std::optional<bool>(true) << std::optional<QStringList>(QStringList()) << true << QString();
        QTest::newRow("one screenshot")
            << std::optional<bool>() << std::optional<QStringList>(QStringList{"x"}) << false
            << QStringLiteral("1 screenshots");
    }
    void appRow_marksOnlyWhatIsThere() {
        QFETCH(std::optional<bool>, purchases);
        QFETCH(std::optional<QStringList>, screenshots);
        QFETCH(bool, purchaseMark);
        QFETCH(QString, screenshotText);
        AppRef app = makeApp(QStringLiteral("2"));
        app->setHasInAppPurchases(purchases);
        app->setScreenshotURLs(screenshots);
        AppList list = showList({app}, nullptr);
        const auto row = pieces(list, 0, *app);
        QCOMPARE(row.contains(QStringLiteral("purchases")), purchaseMark);
        QCOMPARE(row.value(QStringLiteral("screenshots")).text, screenshotText);
        QVERIFY(!row.contains(QStringLiteral("fullDetails")));
    }

    // The model reports a changed record; the same row repaints from it.
    void appRow_redrawsWhenTheRecordChanges() {
        AppRef app = makeApp(QStringLiteral("3"));
        AppList list = showList({app}, nullptr);
        const QRectF dot = pieces(list, 0, *app).value(QStringLiteral("unviewed")).rect;
        QVERIFY(dot.isValid());
        QImage before = list.view->viewport()->grab().toImage();
        QCOMPARE(before.pixelColor(dot.center().toPoint()), SystemColors::blue());

        app->setIsViewed(true);
        app->setDetailsFetched(true);
        const QModelIndex index = list.model->index(0, 0);
        emit list.model->dataChanged(index, index, {AppRowView::RecordRole});
        QTRY_VERIFY(list.view->viewport()->grab().toImage().pixelColor(dot.center().toPoint()) !=
                    SystemColors::blue());
        const auto row = pieces(list, 0, *app);
        QVERIFY(!row.contains(QStringLiteral("unviewed")));
        QVERIFY(!row.value(QStringLiteral("name")).font.bold());
        QVERIFY(row.contains(QStringLiteral("fetched")));
        QCOMPARE(list.model->rowCount(), 1);
    }

    void appRow_iconShowsThePlaceholderUnlessLoaded_data() {
        QTest::addColumn<std::optional<QString>>("icon");
        QTest::addColumn<bool>("loads");
        QTest::newRow("loaded") << std::optional<QString>(QStringLiteral("red.png")) << true;
        QTest::newRow("absent") << std::optional<QString>() << false;
        QTest::newRow("empty") << std::optional<QString>(QString()) << false;
        QTest::newRow("not a URL") << std::optional<QString>(QStringLiteral("::not a url::")) << false;
        QTest::newRow("not http") << std::optional<QString>(QStringLiteral("ftp://127.0.0.1/red.png"))
                                  << false;
        QTest::newRow("garbage bytes") << std::optional<QString>(QStringLiteral("garbage.png")) << false;
        QTest::newRow("not found") << std::optional<QString>(QStringLiteral("missing.png")) << false;
    }
    void appRow_iconShowsThePlaceholderUnlessLoaded() {
        QFETCH(std::optional<QString>, icon);
        QFETCH(bool, loads);
        if (icon && icon->endsWith(QLatin1String(".png")) && !icon->contains(QLatin1Char(':')))
            icon = image(*icon);
        AppRef app = makeApp(QStringLiteral("4"));
        app->setIconURL(icon);
        AppList list = showList({app}, nullptr);
        const QPoint centre = pieces(list, 0, *app).value(QStringLiteral("icon")).rect.center().toPoint();
        const QImage placeholder = paintRow(list, 0);
        QVERIFY(isGrey(placeholder.pixel(centre)));
        QVERIFY(placeholder.pixelColor(centre) != QColor(Qt::white)); // the symbol is drawn
        const QString address = icon.value_or(QString());
        QTRY_VERIFY(m_loader->state(address) == ImageLoader::State::Loaded ||
                    m_loader->state(address) == ImageLoader::State::Failed);
        const QImage after = paintRow(list, 0);
        if (loads)
            QCOMPARE(after.pixelColor(centre), QColor(Qt::red));
        else
            QCOMPARE(after.pixel(centre), placeholder.pixel(centre));
    }

    // Showing the list is enough for the default folder; the star follows the
    // favorites without a query per paint.
    void appRow_marksFavoritesFromMemory() {
        QCOMPARE(context().count<FavoriteFolder>(), 0);
        AppRef first = makeApp(QStringLiteral("5"), QStringLiteral("First"));
        AppRef second = makeApp(QStringLiteral("6"), QStringLiteral("Second"));
        context().save();
        ConsoleCapture console;
        AppList list = showList({first, second}, &context());
        QVERIFY(!list.delegate->favoritesService());
        QTRY_VERIFY(list.delegate->favoritesService());
        QCOMPARE(console.lines(), QStringList{QStringLiteral("✅ Created default 'Unfiltered' folder")});
        QCOMPARE(context().count<FavoriteFolder>(), 1);

        FavoritesService service(context());
        service.addToFavorites(QStringLiteral("6"), unfiltered, QString());
        QVERIFY(!pieces(list, 0, *first).contains(QStringLiteral("favorite")));
        const auto star = pieces(list, 1, *second).value(QStringLiteral("favorite"));
        QCOMPARE(star.color, SystemColors::yellow());
        QTRY_VERIFY(list.view->viewport()->grab().toImage().pixelColor(star.rect.center().toPoint()) ==
                    SystemColors::yellow());

        QByteArrayList statements;
        m_container->database().setFaultHook([&statements](const QByteArray& sql) {
            statements.append(sql);
            return SQLITE_OK;
        });
        for (int i = 0; i < 20; ++i)
            paintRow(list, i % 2);
        m_container->database().setFaultHook({});
        QVERIFY2(statements.isEmpty(), statements.join('\n').constData());

        service.removeFromFavorites(QStringLiteral("6"));
        QVERIFY(!pieces(list, 1, *second).contains(QStringLiteral("favorite")));
    }

    void appRow_longTextsStayInTheRow_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("10,000 characters") << QString(10000, QLatin1Char('W'));
        QTest::newRow("line breaks") << QStringLiteral("Two\nlines");
        QTest::newRow("CJK") << QStringLiteral("禅 Garden: 静かな時間のためのアプリ、とても長い名前");
    }
    void appRow_longTextsStayInTheRow() {
        QFETCH(QString, name);
        AppRef plain = makeApp(QStringLiteral("7"), QStringLiteral("Short"));
        AppRef app = makeApp(QStringLiteral("8"), name);
        app->setCategory(name);
        app->setDeveloperName(name);
        app->setRating(5);
        app->setHasInAppPurchases(true);
        app->setScreenshotURLs(QStringList(12, QStringLiteral("x")));
        AppList list = showList({plain, app}, nullptr);
        const QSize hint = list.delegate->sizeHint(rowOption(list, 1), list.model->index(1, 0));
        QCOMPARE(hint.height(),
                 list.delegate->sizeHint(rowOption(list, 0), list.model->index(0, 0)).height());
        QCOMPARE(hint.height(), AppRowView::rowHeight(list.view->font()));
        const auto row = pieces(list, 1, *app);
        const QRectF bounds(rowOption(list, 1).rect);
        const QRectF screenshots = row.value(QStringLiteral("screenshots")).rect;
        for (const auto& piece : row) {
            QVERIFY2(bounds.contains(piece.rect), qPrintable(piece.role));
            if (piece.role == QLatin1String("name") || piece.role == QLatin1String("developer"))
                QVERIFY2(piece.rect.right() < screenshots.left(), qPrintable(piece.role));
        }
        QVERIFY(row.value(QStringLiteral("name")).text.size() < 200);
        QVERIFY(row.contains(QStringLiteral("rating")));
    }

    // --- New folder sheet ------------------------------------------------------------

    void newFolderSheet_createsWithTheNameAsTyped_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("a name") << QStringLiteral("Puzzle games");
        QTest::newRow("spaces only") << QStringLiteral("   ");
        QTest::newRow("10,000 characters") << QString(10000, QLatin1Char('n'));
    }
    void newFolderSheet_createsWithTheNameAsTyped() {
        QFETCH(QString, typed);
        QStringList created;
        QPointer<NewFolderSheet> sheet =
            new NewFolderSheet([&created](const QString& name) { created.append(name); }, m_window.get());
        sheet->open();
        QCOMPARE(sheet->size(), QSize(300, 150));
        QCOMPARE(sheet->windowModality(), Qt::WindowModal);
        QVERIFY(visibleTexts(sheet).contains(QStringLiteral("New Folder")));
        QCOMPARE(sheet->nameField()->placeholderText(), QStringLiteral("Folder name"));
        QVERIFY(!sheet->createButton()->isEnabled());
        QTest::keyClicks(sheet->nameField(), typed);
        QVERIFY(sheet->createButton()->isEnabled());
        QCOMPARE(sheet->size(), QSize(300, 150));

        // Return does nothing of its own.
        QTest::keyClick(sheet->nameField(), Qt::Key_Return);
        QVERIFY(sheet && sheet->isVisible());
        QVERIFY(created.isEmpty());

        QTest::mouseClick(sheet->createButton(), Qt::LeftButton);
        QCOMPARE(created, QStringList{typed});
        QTRY_VERIFY(!sheet);
    }

    void newFolderSheet_cancelAndEscapeCreateNothing_data() {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Cancel") << false;
        QTest::newRow("Escape") << true;
    }
    void newFolderSheet_cancelAndEscapeCreateNothing() {
        QFETCH(bool, escape);
        bool called = false;
        QPointer<NewFolderSheet> sheet =
            new NewFolderSheet([&called](const QString&) { called = true; }, m_window.get());
        sheet->open();
        QTest::keyClicks(sheet->nameField(), QStringLiteral("Kept to myself"));
        if (escape)
            QTest::keyClick(sheet->nameField(), Qt::Key_Escape);
        else
            QTest::mouseClick(sheet->cancelButton(), Qt::LeftButton);
        QTRY_VERIFY(!sheet);
        QVERIFY(!called);
        // An empty name cannot be created, even by a click that gets through.
        QPointer<NewFolderSheet> empty =
            new NewFolderSheet([&called](const QString&) { called = true; }, m_window.get());
        empty->open();
        empty->createButton()->click();
        QVERIFY(!called);
        QVERIFY(empty->isVisible());
        empty->close();
    }

    // --- Add to favorites sheet -------------------------------------------------------

    void addSheet_addsWithTheCommentAsTyped() {
        FavoritesService service(context());
        service.createFolder(QStringLiteral("Games"));
        AppRef app = makeApp(QStringLiteral("10"));
        app->setIconURL(image(QStringLiteral("red.png")));
        ConsoleCapture console;
        QPointer<AddToFavoritesSheet> sheet =
            new AddToFavoritesSheet(app, service, m_window.get(), m_loader.get());
        sheet->open();
        QCOMPARE(sheet->size(), QSize(400, 450));
        QCOMPARE(sheet->windowModality(), Qt::WindowModal);
        const QStringList texts = visibleTexts(sheet);
        for (const char* text : {"Add to Favorites", "Cancel", "Folder", "Comment (optional)"})
            QVERIFY2(texts.contains(QString::fromUtf8(text)), text);
        QCOMPARE(sheet->newFolderButton()->toolTip(), QStringLiteral("Create new folder"));
        QCOMPARE(pickerEntries(sheet->folderPicker()), (QStringList{unfiltered, QStringLiteral("Games")}));
        QCOMPARE(sheet->folderPicker()->currentText(), unfiltered);
        QVERIFY(sheet->addButton()->isEnabled());
        auto* icon = sheet->findChild<AppIconView*>(QStringLiteral("appIcon"));
        QVERIFY(icon);
        QTRY_VERIFY(icon->isShowingImage());

        // Choose "Games" with the keyboard and type a comment over two lines.
        sheet->folderPicker()->setFocus();
        QTest::keyClick(sheet->folderPicker(), Qt::Key_Down);
        QCOMPARE(sheet->folderPicker()->currentText(), QStringLiteral("Games"));
        QTest::keyClicks(sheet->commentEditor(), QStringLiteral("  Great\u00a0levels"));
        QTest::keyClick(sheet->commentEditor(), Qt::Key_Return);
        QTest::keyClicks(sheet->commentEditor(), QStringLiteral("try it  "));
        QTest::mouseClick(sheet->addButton(), Qt::LeftButton);
        QTRY_VERIFY(!sheet);

        QCOMPARE(console.lines(), QStringList{QStringLiteral("⭐ Added to favorites: 10 in folder Games")});
        const auto favorite = service.getFavorite(QStringLiteral("10"));
        QVERIFY(favorite);
        QCOMPARE(favorite->comment(), QStringLiteral("  Great\u00a0levels\ntry it  "));
        QCOMPARE(favorite->folder()->name(), QStringLiteral("Games"));
        QVERIFY(!context().hasChanges());
    }

    void addSheet_emptyCommentIsStoredEmpty() {
        FavoritesService service(context());
        AppRef app = makeApp(QStringLiteral("11"));
        QPointer<AddToFavoritesSheet> sheet =
            new AddToFavoritesSheet(app, service, m_window.get(), m_loader.get());
        sheet->open();
        QTest::mouseClick(sheet->addButton(), Qt::LeftButton);
        QTRY_VERIFY(!sheet);
        QCOMPARE(service.getFavorite(QStringLiteral("11"))->comment(), QString());
        QCOMPARE(service.getFavorite(QStringLiteral("11"))->folder()->name(), unfiltered);
    }

    void addSheet_defaultFolder_data() {
        QTest::addColumn<QList<qint64>>("unfilteredOrders"); // in the order they are stored
        QTest::addColumn<qint64>("selectedOrder");
        QTest::newRow("none named Unfiltered") << QList<qint64>{} << qint64(-1);
        QTest::newRow("one") << QList<qint64>{3} << qint64(3);
        QTest::newRow("two: the lower sortOrder") << QList<qint64>{5, 1} << qint64(1);
    }
    void addSheet_defaultFolder() {
        QFETCH(QList<qint64>, unfilteredOrders);
        QFETCH(qint64, selectedOrder);
        context().insert(FolderRef::create(QStringLiteral("unfiltered"), 0)); // not the same name
        context().insert(FolderRef::create(QStringLiteral("Games"), 2));
        for (const qint64 order : unfilteredOrders)
            context().insert(FolderRef::create(unfiltered, order));
        context().save();
        // A service without its constructor's default folder: the sheet only uses it.
        FavoritesService* service = nullptr;
        std::unique_ptr<FavoritesService> owned;
        if (unfilteredOrders.isEmpty()) {
            // Constructing one would create "Unfiltered"; remove it again.
            owned = std::make_unique<FavoritesService>(context());
            owned->deleteFolder(
                *context().fetch<FavoriteFolder>(FetchDescriptor::equal("name", unfiltered)).first());
        } else {
            owned = std::make_unique<FavoritesService>(context());
        }
        service = owned.get();
        AppRef app = makeApp(QStringLiteral("12"));
        QPointer<AddToFavoritesSheet> sheet =
            new AddToFavoritesSheet(app, *service, m_window.get(), m_loader.get());
        sheet->open();
        if (selectedOrder < 0) {
            QVERIFY(!sheet->selectedFolder());
            QCOMPARE(sheet->folderPicker()->currentIndex(), -1);
            QVERIFY(!sheet->addButton()->isEnabled());
            sheet->addButton()->click(); // cannot add without a folder
            QVERIFY(sheet->isVisible());
            sheet->folderPicker()->setFocus();
            QTest::keyClick(sheet->folderPicker(), Qt::Key_Down);
            QVERIFY(sheet->selectedFolder());
            QVERIFY(sheet->addButton()->isEnabled());
        } else {
            QCOMPARE(sheet->selectedFolder()->name(), unfiltered);
            QCOMPARE(sheet->selectedFolder()->sortOrder(), selectedOrder);
        }
        sheet->close();
    }

    void addSheet_closesWhenTheServiceRefuses() {
        FavoritesService service(context());
        service.createFolder(QStringLiteral("Games"));
        service.addToFavorites(QStringLiteral("13"), QStringLiteral("Games"), QStringLiteral("first"));
        AppRef app = makeApp(QStringLiteral("13"));
        ConsoleCapture console;
        QPointer<AddToFavoritesSheet> sheet =
            new AddToFavoritesSheet(app, service, m_window.get(), m_loader.get());
        sheet->open();
        QTest::keyClicks(sheet->commentEditor(), QStringLiteral("second"));
        QTest::mouseClick(sheet->addButton(), Qt::LeftButton);
        QTRY_VERIFY(!sheet);
        QCOMPARE(console.lines(), QStringList{QStringLiteral("⚠️ App already in favorites")});
        QCOMPARE(service.getFavorite(QStringLiteral("13"))->comment(), QStringLiteral("first"));
        QCOMPARE(service.getFavorite(QStringLiteral("13"))->folder()->name(), QStringLiteral("Games"));
    }

    void addSheet_cancelAndEscapeStoreNothing_data() {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Cancel") << false;
        QTest::newRow("Escape") << true;
    }
    void addSheet_cancelAndEscapeStoreNothing() {
        QFETCH(bool, escape);
        FavoritesService service(context());
        AppRef app = makeApp(QStringLiteral("14"));
        QPointer<AddToFavoritesSheet> sheet =
            new AddToFavoritesSheet(app, service, m_window.get(), m_loader.get());
        sheet->open();
        QTest::keyClicks(sheet->commentEditor(), QStringLiteral("never mind"));
        if (escape)
            QTest::keyClick(sheet->commentEditor(), Qt::Key_Escape);
        else
            QTest::mouseClick(sheet->cancelButton(), Qt::LeftButton);
        QTRY_VERIFY(!sheet);
        QVERIFY(!service.isFavorite(QStringLiteral("14")));
        QCOMPARE(context().count<FavoriteApp>(), 0);
    }

    // The picker follows the store while the sheet is open.
    void addSheet_followsTheFoldersWhileOpen() {
        FavoritesService service(context());
        service.createFolder(QStringLiteral("Games"));
        service.createFolder(QStringLiteral("Tools"));
        AppRef app = makeApp(QStringLiteral("15"));
        QPointer<AddToFavoritesSheet> sheet =
            new AddToFavoritesSheet(app, service, m_window.get(), m_loader.get());
        sheet->open();
        sheet->folderPicker()->setFocus();
        QTest::keyClick(sheet->folderPicker(), Qt::Key_Down);
        QCOMPARE(sheet->folderPicker()->currentText(), QStringLiteral("Games"));
        QTest::keyClicks(sheet->commentEditor(), QStringLiteral("half typed"));

        // A new folder from the plus button.
        QTest::mouseClick(sheet->newFolderButton(), Qt::LeftButton);
        QPointer<NewFolderSheet> newFolder = sheet->newFolderSheet();
        QVERIFY(newFolder && newFolder->isVisible());
        QCOMPARE(newFolder->parentWidget(), sheet.data());
        QTest::keyClicks(newFolder->nameField(), QStringLiteral("  Later  "));
        QTest::mouseClick(newFolder->createButton(), Qt::LeftButton);
        QTRY_VERIFY(!newFolder);
        QTRY_COMPARE(pickerEntries(sheet->folderPicker()),
                     (QStringList{unfiltered, QStringLiteral("Games"), QStringLiteral("Tools"),
                                  QStringLiteral("  Later  ")}));
        QCOMPARE(sheet->folderPicker()->currentText(), QStringLiteral("Games"));
        QCOMPARE(sheet->comment(), QStringLiteral("half typed"));
        QVERIFY(sheet->isVisible());

        // Renamed and deleted elsewhere.
        auto games = sheet->selectedFolder();
        games->setName(QStringLiteral("Board games"));
        QTRY_COMPARE(sheet->folderPicker()->currentText(), QStringLiteral("Board games"));
        service.deleteFolder(*games);
        QTRY_COMPARE(sheet->folderPicker()->count(), 3);
        QCOMPARE(sheet->folderPicker()->currentIndex(), -1);
        QVERIFY(!sheet->addButton()->isEnabled());

        // Choosing the new folder adds the app there.
        sheet->folderPicker()->setFocus();
        QTest::keyClick(sheet->folderPicker(), Qt::Key_End);
        QCOMPARE(sheet->selectedFolder()->name(), QStringLiteral("  Later  "));
        QTest::mouseClick(sheet->addButton(), Qt::LeftButton);
        QTRY_VERIFY(!sheet);
        QCOMPARE(service.getFavorite(QStringLiteral("15"))->folder()->name(), QStringLiteral("  Later  "));
    }

    void addSheet_longNamesKeepTheLayout() {
        FavoritesService service(context());
        const QString huge = QString(10000, QLatin1Char('L'));
        service.createFolder(huge);
        service.createFolder(QStringLiteral("   "));
        AppRef app = makeApp(QStringLiteral("16"), QString(10000, QLatin1Char('N')));
        app->setDeveloperName(QString(5000, QLatin1Char('D')));
        QPointer<AddToFavoritesSheet> sheet =
            new AddToFavoritesSheet(app, service, m_window.get(), m_loader.get());
        sheet->open();
        QCOMPARE(sheet->size(), QSize(400, 450));
        QVERIFY(sheet->folderPicker()->geometry().right() < 400);
        QVERIFY(sheet->addButton()->geometry().right() < 400);
        QVERIFY(sheet->folderPicker()->itemText(1).size() < 100);
        QCOMPARE(sheet->folderPicker()->itemText(2), QStringLiteral("   "));
        sheet->folderPicker()->showPopup();
        QVERIFY(sheet->folderPicker()->view()->window()->width() <= 400);
        sheet->folderPicker()->hidePopup();

        sheet->folderPicker()->setFocus();
        QTest::keyClick(sheet->folderPicker(), Qt::Key_Down);
        QTest::mouseClick(sheet->addButton(), Qt::LeftButton);
        QTRY_VERIFY(!sheet);
        QCOMPARE(service.getFavorite(QStringLiteral("16"))->folder()->name(), huge);
    }

    // --- Screenshot viewer ----------------------------------------------------------

    void viewer_opensAtTheClickedScreenshot_data() {
        QTest::addColumn<int>("clicked"); // -1: an address not in the list
        QTest::addColumn<QString>("position");
        QTest::addColumn<bool>("previous");
        QTest::addColumn<bool>("next");
        QTest::newRow("first") << 0 << QStringLiteral("1 / 5") << false << true;
        QTest::newRow("third") << 2 << QStringLiteral("3 / 5") << true << true;
        QTest::newRow("last") << 4 << QStringLiteral("5 / 5") << true << false;
        QTest::newRow("unknown address") << -1 << QStringLiteral("1 / 5") << false << true;
    }
    void viewer_opensAtTheClickedScreenshot() {
        QFETCH(int, clicked);
        QFETCH(QString, position);
        QFETCH(bool, previous);
        QFETCH(bool, next);
        QStringList shots;
        for (int i = 0; i < 5; ++i)
            shots.append(image(QStringLiteral("shot%1.png").arg(i)));
        auto* sheet =
            new ScreenshotViewerSheet(clicked < 0 ? image(QStringLiteral("other.png")) : shots[clicked],
                                      shots, m_window.get(), m_loader.get());
        sheet->open();
        QVERIFY(sheet->width() >= 800 && sheet->height() >= 600);
        QCOMPARE(sheet->minimumSize(), QSize(800, 600));
        QCOMPARE(sheet->positionLabel()->text(), position);
        QCOMPARE(sheet->zoomLabel()->text(), QStringLiteral("100%"));
        QCOMPARE(sheet->previousButton()->isEnabled(), previous);
        QCOMPARE(sheet->nextButton()->isEnabled(), next);
        QCOMPARE(sheet->closeButton()->toolTip(), QStringLiteral("Close (ESC)"));
        QCOMPARE(sheet->zoomInButton()->toolTip(), QStringLiteral("Zoom in"));
        QCOMPARE(sheet->zoomOutButton()->toolTip(), QStringLiteral("Zoom out"));
        QCOMPARE(sheet->resetZoomButton()->toolTip(), QStringLiteral("Reset zoom"));
        QTRY_COMPARE(sheet->screen(), Screen::Image);
        QVERIFY(sheet->imageView()->isVisible());
        QVERIFY(!sheet->imageView()->image().isNull());
        // The close button sits in the top-right corner over everything.
        QCOMPARE(sheet->closeButton()->geometry().topRight(), QPoint(sheet->width() - 1 - 12, 12));
        sheet->close();
    }

    void viewer_zoomButtons() {
        auto* sheet = openViewer({image(QStringLiteral("shot0.png"))}, 0);
        for (int i = 0; i < 12; ++i)
            QTest::mouseClick(sheet->zoomInButton(), Qt::LeftButton);
        QCOMPARE(sheet->zoomScale(), 4.0);
        QCOMPARE(sheet->zoomLabel()->text(), QStringLiteral("400%"));
        QTest::mouseClick(sheet->resetZoomButton(), Qt::LeftButton);
        QCOMPARE(sheet->zoomLabel()->text(), QStringLiteral("100%"));
        QTest::mouseClick(sheet->zoomInButton(), Qt::LeftButton);
        QCOMPARE(sheet->zoomLabel()->text(), QStringLiteral("125%"));
        QTest::mouseClick(sheet->resetZoomButton(), Qt::LeftButton);
        for (int i = 0; i < 2; ++i)
            QTest::mouseClick(sheet->zoomOutButton(), Qt::LeftButton);
        QCOMPARE(sheet->zoomLabel()->text(), QStringLiteral("50%"));
        QTest::mouseClick(sheet->zoomOutButton(), Qt::LeftButton);
        QCOMPARE(sheet->zoomScale(), 0.5);
        QVERIFY(sheet->zoomOutButton()->isEnabled());

        // The shown image follows the zoom, animated.
        QTRY_COMPARE(sheet->screen(), Screen::Image);
        QTest::mouseClick(sheet->resetZoomButton(), Qt::LeftButton);
        QTRY_COMPARE(sheet->imageView()->width(), sheet->imageView()->parentWidget()->width());
        const int base = sheet->imageView()->width();
        for (int i = 0; i < 4; ++i)
            QTest::mouseClick(sheet->zoomInButton(), Qt::LeftButton);
        QTRY_COMPARE(sheet->imageView()->width(), base * 2);
        sheet->close();
    }

    void viewer_pinchAndCtrlWheelZoom() {
        auto* sheet = openViewer({image(QStringLiteral("shot0.png"))}, 0);
        QTRY_COMPARE(sheet->screen(), Screen::Image);
        QWidget* target = sheet->imageView();
        const QPointingDevice* device = QPointingDevice::primaryPointingDevice();
        auto pinch = [&](double magnification) {
            const QPointF at(20, 20);
            QNativeGestureEvent begin(Qt::BeginNativeGesture, device, 2, at, at, target->mapToGlobal(at), 0,
                                      {});
            QApplication::sendEvent(target, &begin);
            // The platform reports the gesture in steps.
            const double step = std::sqrt(magnification);
            for (int i = 0; i < 2; ++i) {
                QNativeGestureEvent zoom(Qt::ZoomNativeGesture, device, 2, at, at, target->mapToGlobal(at),
                                         step - 1, {});
                QApplication::sendEvent(target, &zoom);
            }
            QNativeGestureEvent end(Qt::EndNativeGesture, device, 2, at, at, target->mapToGlobal(at), 0, {});
            QApplication::sendEvent(target, &end);
        };
        QTest::mouseClick(sheet->zoomInButton(), Qt::LeftButton);
        QTest::mouseClick(sheet->zoomInButton(), Qt::LeftButton);
        QCOMPARE(sheet->zoomScale(), 1.5);
        pinch(2.0);
        QCOMPARE(sheet->zoomScale(), 3.0);
        QCOMPARE(sheet->zoomLabel()->text(), QStringLiteral("300%"));
        pinch(2.0);
        QCOMPARE(sheet->zoomScale(), 4.0);
        pinch(0.05);
        QCOMPARE(sheet->zoomScale(), 0.5);

        // The algorithm itself: each gesture multiplies from where it started.
        sheet->resetZoom();
        sheet->pinchChanged(1.2);
        sheet->pinchChanged(1.5);
        sheet->pinchEnded();
        QCOMPARE(sheet->zoomScale(), 1.5);

        auto wheel = [&](int angle, Qt::KeyboardModifiers modifiers) {
            QWidget* viewport = sheet->findChild<QScrollArea*>()->viewport();
            const QPointF at(30, 30);
            QWheelEvent event(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton,
                              modifiers, Qt::NoScrollPhase, false);
            QApplication::sendEvent(viewport, &event);
        };
        sheet->resetZoom();
        wheel(120, Qt::ControlModifier);
        QCOMPARE(sheet->zoomLabel()->text(), QStringLiteral("110%"));
        wheel(-120, Qt::ControlModifier);
        QCOMPARE(sheet->zoomLabel()->text(), QStringLiteral("100%"));
        wheel(120, Qt::NoModifier); // scrolls, does not zoom
        QCOMPARE(sheet->zoomScale(), 1.0);
        for (int i = 0; i < 40; ++i)
            wheel(120, Qt::ControlModifier);
        QCOMPARE(sheet->zoomScale(), 4.0);
        sheet->close();
    }

    void viewer_navigationResetsTheZoom() {
        QStringList shots;
        for (int i = 0; i < 3; ++i)
            shots.append(image(QStringLiteral("shot%1.png").arg(i)));
        auto* sheet = openViewer(shots, 0);
        for (int i = 0; i < 4; ++i)
            QTest::mouseClick(sheet->zoomInButton(), Qt::LeftButton);
        QCOMPARE(sheet->zoomScale(), 2.0);
        QTest::mouseClick(sheet->nextButton(), Qt::LeftButton);
        QCOMPARE(sheet->positionLabel()->text(), QStringLiteral("2 / 3"));
        QCOMPARE(sheet->zoomLabel()->text(), QStringLiteral("100%"));
        QVERIFY(sheet->previousButton()->isEnabled());
        QTest::mouseClick(sheet->nextButton(), Qt::LeftButton);
        QCOMPARE(sheet->positionLabel()->text(), QStringLiteral("3 / 3"));
        QVERIFY(!sheet->nextButton()->isEnabled());
        sheet->showNext(); // no wrapping round
        QCOMPARE(sheet->currentIndex(), 2);
        QTRY_COMPARE(sheet->screen(), Screen::Image);
        QCOMPARE(sheet->imageView()->image().pixelColor(0, 0), QColor(80, 90, 200));
        QTest::mouseClick(sheet->previousButton(), Qt::LeftButton);
        QCOMPARE(sheet->positionLabel()->text(), QStringLiteral("2 / 3"));
        sheet->close();
    }

    void viewer_showsWhatBecameOfTheLoad_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<Screen>("screen");
        QTest::addColumn<QString>("text");
        QTest::newRow("loaded") << QStringLiteral("shot1.png") << Screen::Image << QString();
        QTest::newRow("not found") << QStringLiteral("missing.png") << Screen::Failure
                                   << QStringLiteral("Failed to load screenshot");
        QTest::newRow("garbage bytes") << QStringLiteral("garbage.png") << Screen::Failure
                                       << QStringLiteral("Click red X button or try again");
        QTest::newRow("huge image") << QStringLiteral("bomb.bmp") << Screen::Failure
                                    << QStringLiteral("Failed to load screenshot");
        QTest::newRow("empty address")
            << QStringLiteral("=") << Screen::Failure << QStringLiteral("Try Again");
        QTest::newRow("not a URL") << QStringLiteral("=not a url") << Screen::Failure
                                   << QStringLiteral("Try Again");
        QTest::newRow("not http") << QStringLiteral("=ftp://127.0.0.1/shot1.png") << Screen::Failure
                                  << QStringLiteral("Try Again");
        QTest::newRow("never arrives") << QStringLiteral("stall.png") << Screen::Timeout
                                       << QStringLiteral("Screenshot is taking too long to load");
    }
    void viewer_showsWhatBecameOfTheLoad() {
        QFETCH(QString, address);
        QFETCH(Screen, screen);
        QFETCH(QString, text);
        address = address.startsWith(QLatin1Char('=')) ? address.mid(1) : image(address);
        auto* sheet = openViewer({address}, 0, 300ms);
        if (screen == Screen::Timeout) {
            QCOMPARE(sheet->screen(), Screen::Loading);
            QVERIFY(visibleTexts(sheet).contains(QStringLiteral("Loading screenshot...")));
            QVERIFY(visibleTexts(sheet).contains(QStringLiteral("If stuck, click the red X button")));
            QVERIFY(!sheet->loadingTimeout());
        }
        QTRY_COMPARE(sheet->screen(), screen);
        if (!text.isEmpty())
            QVERIFY2(visibleTexts(sheet).contains(text), qPrintable(visibleTexts(sheet).join(" | ")));
        if (screen == Screen::Timeout) {
            QVERIFY(sheet->loadingTimeout());
            QVERIFY(visibleTexts(sheet).contains(QStringLiteral("Loading Timeout")));
            QVERIFY(sheet->timeoutTryAgainButton()->isVisible());
            QVERIFY(sheet->timeoutCloseButton()->isVisible());
        }
        if (screen == Screen::Failure)
            QVERIFY(sheet->failureTryAgainButton()->isVisible());
        sheet->close();
    }

    void viewer_loadInTimeStaysShown() {
        FakeStore::Response slow;
        slow.contentType = "image/png";
        slow.body = FixtureImages::png(FixtureImages::solid(QSize(50, 50), Qt::green));
        slow.delayMs = 100;
        m_store.setResponse(QStringLiteral("/images/slow.png"), slow);
        auto* sheet = openViewer({image(QStringLiteral("slow.png"))}, 0, 400ms);
        QCOMPARE(sheet->screen(), Screen::Loading);
        QTRY_COMPARE(sheet->screen(), Screen::Image);
        QTest::qWait(600);
        QCOMPARE(sheet->screen(), Screen::Image);
        QVERIFY(!sheet->loadingTimeout());
        sheet->close();
    }

    // Try Again loads the current screenshot afresh, also when it is the only one.
    void viewer_tryAgainLoadsAfresh() {
        m_store.setResponse(QStringLiteral("/images/flaky.png"), FakeStore::htmlError(503));
        const QString address = image(QStringLiteral("flaky.png"));
        auto* sheet = openViewer({address}, 0, 300ms);
        QTRY_COMPARE(sheet->screen(), Screen::Failure);
        QCOMPARE(m_store.requests().size(), 1);
        QTest::mouseClick(sheet->failureTryAgainButton(), Qt::LeftButton);
        QTRY_COMPARE(m_store.requests().size(), 2);
        QTRY_COMPARE(sheet->screen(), Screen::Failure);

        FakeStore::Response fixed;
        fixed.contentType = "image/png";
        fixed.body = FixtureImages::png(FixtureImages::solid(QSize(50, 50), Qt::green));
        m_store.setResponse(QStringLiteral("/images/flaky.png"), fixed);
        for (int i = 0; i < 3; ++i)
            QTest::mouseClick(sheet->zoomInButton(), Qt::LeftButton);
        QTest::mouseClick(sheet->failureTryAgainButton(), Qt::LeftButton);
        QTRY_COMPARE(sheet->screen(), Screen::Image);
        QCOMPARE(sheet->zoomLabel()->text(), QStringLiteral("175%")); // kept by Try Again
        QCOMPARE(sheet->positionLabel()->text(), QStringLiteral("1 / 1"));
        sheet->close();
    }

    void viewer_tryAgainAfterTheTimeOut() {
        QStringList shots{image(QStringLiteral("shot0.png")), image(QStringLiteral("stall.png"))};
        auto* sheet = openViewer(shots, 1, 300ms);
        QTRY_COMPARE(sheet->screen(), Screen::Timeout);
        const qsizetype before = m_store.requests().size();
        QTest::mouseClick(sheet->timeoutTryAgainButton(), Qt::LeftButton);
        QVERIFY(!sheet->loadingTimeout());
        QCOMPARE(sheet->screen(), Screen::Loading);
        QCOMPARE(sheet->positionLabel()->text(), QStringLiteral("2 / 2"));
        QTRY_VERIFY(m_store.requests().size() > before);
        QTRY_COMPARE(sheet->screen(), Screen::Timeout);

        // Moving to another screenshot clears the time-out screen.
        QTest::mouseClick(sheet->previousButton(), Qt::LeftButton);
        QVERIFY(!sheet->loadingTimeout());
        QTRY_COMPARE(sheet->screen(), Screen::Image);
        sheet->close();
    }

    void viewer_closes_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Escape") << QStringLiteral("escape");
        QTest::newRow("red button") << QStringLiteral("button");
        QTest::newRow("double click on the image") << QStringLiteral("double click");
        QTest::newRow("double click on the failure screen") << QStringLiteral("double click failure");
        QTest::newRow("Close on the time-out screen") << QStringLiteral("timeout close");
    }
    void viewer_closes() {
        QFETCH(QString, how);
        QString address = image(QStringLiteral("shot0.png"));
        if (how == QLatin1String("double click failure"))
            address = image(QStringLiteral("missing.png"));
        if (how == QLatin1String("timeout close"))
            address = image(QStringLiteral("stall.png"));
        QPointer<ScreenshotViewerSheet> sheet = openViewer({address}, 0, 200ms);
        if (how == QLatin1String("escape")) {
            QTest::keyClick(sheet, Qt::Key_Escape);
        } else if (how == QLatin1String("button")) {
            QTest::mouseClick(sheet->closeButton(), Qt::LeftButton);
        } else if (how == QLatin1String("double click")) {
            QTRY_COMPARE(sheet->screen(), Screen::Image);
            QTest::mouseDClick(sheet->imageView(), Qt::LeftButton);
        } else if (how == QLatin1String("double click failure")) {
            QTRY_COMPARE(sheet->screen(), Screen::Failure);
            auto* pages = qobject_cast<QStackedWidget*>(sheet->imageArea());
            QTest::mouseDClick(pages->currentWidget(), Qt::LeftButton, {}, QPoint(5, 5));
        } else {
            QTRY_COMPARE(sheet->screen(), Screen::Timeout);
            QTest::mouseClick(sheet->timeoutCloseButton(), Qt::LeftButton);
        }
        QTRY_VERIFY(!sheet);
    }

    // A sheet closed while its screenshot is still coming: nothing happens later.
    void viewer_closedWhileLoading() {
        QPointer<ScreenshotViewerSheet> sheet = openViewer({image(QStringLiteral("stall.png"))}, 0, 100ms);
        QTRY_COMPARE(m_store.requests().size(), 1);
        sheet->close();
        QTRY_VERIFY(!sheet);
        QCOMPARE(m_loader->state(image(QStringLiteral("stall.png"))), ImageLoader::State::Idle);
        QTest::qWait(200); // the time-out has passed without a sheet
    }
};

int main(int argc, char* argv[]) {
    // Caches and settings of this run only; ctest runs two programs at once.
    QTemporaryDir home;
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(name, home.filePath(QString::fromLatin1(name)).toUtf8());
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Caldrin"));
    TestViews test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_views.moc"
