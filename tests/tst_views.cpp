// The reusable views driven as a person would: the app list row, the favorites
// sheets and the screenshot viewer, with the image loader behind them.
#include "AddToFavoritesSheet.h"
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
#include "SampleApps.h"
#include "ScreenshotViewerSheet.h"
#include "SqliteDatabase.h"
#include "SymbolTable.h"
#include "SystemColors.h"
#include "UserCharacters.h"
#include "WebEngineTestMain.h"
#include "WindowTestKit.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <sqlite3.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using AppRef = QSharedPointer<AppModel>;
using FolderRef = QSharedPointer<FavoriteFolder>;
using Screen = ScreenshotViewerSheet::Screen;
using State = ImageLoader::State;

namespace {

const QString unfiltered = u"Unfiltered"_s;
const QString longName(10000, u'L');

QStringList pickerEntries(const QComboBox* picker) {
    QStringList entries;
    for (int i = 0; i < picker->count(); ++i)
        entries.append(picker->itemText(i));
    return entries;
}

void click(QAbstractButton* button, int times = 1) {
    for (int i = 0; i < times; ++i)
        QTest::mouseClick(button, Qt::LeftButton);
}

void choose(QComboBox* picker, Qt::Key key) {
    picker->setFocus();
    QTest::keyClick(picker, key);
}

// Types as a person would, Return between lines; a very long text is pasted.
void type(QWidget* field, const QString& text) {
    if (text.size() > 200) {
        QGuiApplication::clipboard()->setText(text);
        return QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    }
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            QTest::keyClick(field, Qt::Key_Return);
        QTest::keyClicks(field, lines[i]);
    }
}

QByteArray solidPng(const QColor& color) {
    return FixtureImages::png(FixtureImages::solid(QSize(50, 50), color));
}
const auto shotColor = [](int index) { return QColor(40 * index, 90, 200); };

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
    QString image(const QString& file) const { return m_store.origin() + u"/images/"_s + file; }
    // A fixture file on the fake store, or after "=" an address as written.
    QString address(const QString& row) const { return row.startsWith(u'=') ? row.mid(1) : image(row); }
    void serve(const QString& file, const QByteArray& type, const QByteArray& body,
               FakeStore::Behaviour behaviour = FakeStore::Behaviour::Normal) {
        m_store.setResponse(u"/images/"_s + file,
                            {.contentType = type, .body = body, .behaviour = behaviour});
    }

    AppRef makeApp(const QString& appleID, const QString& name = u"Tiny Tactics"_s) {
        return context().insert(SampleApps::make(appleID, {name}));
    }

    // A list as the main window shows it: a model handing out records, the
    // delegate painting them.
    struct AppList {
        std::unique_ptr<QListView> view;
        QStandardItemModel* model = nullptr;
        AppRowView* delegate = nullptr;
    };
    AppList showList(const QList<AppRef>& apps, ModelContext* modelContext) {
        AppList list{std::make_unique<QListView>()};
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

    QPointer<AddToFavoritesSheet> openAddSheet(FavoritesService& service, const AppRef& app) {
        auto* sheet = new AddToFavoritesSheet(app, service, m_window.get(), m_loader.get());
        sheet->open();
        return sheet;
    }
    ScreenshotViewerSheet*
    openViewer(const QStringList& shots, int index,
               std::chrono::milliseconds timeout = ScreenshotViewerSheet::defaultLoadingTimeout) {
        const QString current = index < 0 ? image(u"other.png"_s) : shots.value(index); // -1: not in the list
        auto* sheet = new ScreenshotViewerSheet(current, shots, m_window.get(), m_loader.get(), timeout);
        sheet->open();
        return sheet;
    }
    QStringList shots(int count) const {
        QStringList shots;
        for (int i = 0; i < count; ++i)
            shots.append(image(u"shot%1.png"_s.arg(i)));
        return shots;
    }

private slots:
    void initTestCase() {
        SymbolTable::installIconTheme();
        const QString fixtures = m_dir.filePath(u"fixtures"_s);
        QVERIFY(
            FixtureImages::writeImage(fixtures, u"red.png"_s, FixtureImages::solid(QSize(64, 64), Qt::red)));
        for (int i = 0; i < 5; ++i)
            QVERIFY(FixtureImages::writeImage(fixtures, u"shot%1.png"_s.arg(i),
                                              FixtureImages::solid(QSize(300, 600), shotColor(i))));
        m_store.setFixturesDirectory(fixtures);
        serve(u"garbage.png"_s, "image/png", "\x89PNG\r\n\x1a\n this is not an image");
        serve(u"bomb.bmp"_s, "image/bmp", FixtureImages::hugeBmpHeader(60000, 60000));
        serve(u"stall.png"_s, "image/png", solidPng(Qt::blue), FakeStore::Behaviour::Stall);
        QVERIFY(m_store.listen());
    }

    void init() {
        ++m_counter;
        m_container = ModelContainer::open(m_dir.filePath(u"store%1/caldrin.sqlite"_s.arg(m_counter)));
        m_loader = std::make_unique<ImageLoader>(m_dir.filePath(u"cache%1"_s.arg(m_counter)));
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

    void imageLoader_cancelsLoadsNobodyWaitsFor() {
        const QString address = image(u"stall.png"_s);
        QSignalSpy finished(m_loader.get(), &ImageLoader::finished);
        auto first = std::make_unique<QObject>();
        auto second = std::make_unique<QObject>();
        QCOMPARE(m_loader->request(address, first.get()), State::Loading);
        QCOMPARE(m_loader->request(address, second.get()), State::Loading);
        QTRY_COMPARE(m_store.requests().size(), 1);
        first.reset();
        QCOMPARE(m_loader->state(address), State::Loading);
        second.reset();
        QCOMPARE(m_loader->state(address), State::Idle);
        QTest::qWait(50);
        QCOMPARE(finished.size(), 0);
    }

    void imageLoader_keepsADiskCacheAndReloadsOnRequest() {
        const QString cache = m_dir.filePath(u"shared-cache"_s), address = image(u"red.png"_s);
        QObject requester;
        {
            ImageLoader loader(cache);
            loader.request(address, &requester);
            QTRY_COMPARE(loader.state(address), State::Loaded);
        }
        // A new loader (a new run) finds it on disk.
        ImageLoader loader(cache);
        loader.request(address, &requester);
        QTRY_COMPARE(loader.state(address), State::Loaded);
        QCOMPARE(m_store.requests().size(), 1);

        // "Try Again" asks the network whatever is cached.
        QCOMPARE(loader.request(address, &requester, ImageLoader::Freshness::Reload), State::Loading);
        QTRY_COMPARE(loader.state(address), State::Loaded);
        QCOMPARE(m_store.requests().size(), 2);
    }

    // Cut between user-perceived characters, with an ellipsis only when cut; a
    // text of megabytes is read no further than its start.
    void shortened_cutsBetweenUserCharacters_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("shown");
        const QString family = u"👨‍👩‍👧‍👦"_s; // 11 code units
        QTest::newRow("short") << u"Tiny"_s << 4 << u"Tiny"_s;
        QTest::newRow("cut") << u"Tiny Tactics"_s << 4 << u"Tiny…"_s;
        QTest::newRow("flags") << u"🇫🇷🇩🇪🇮🇹"_s << 2 << u"🇫🇷🇩🇪…"_s;
        QTest::newRow("combining marks") << u"e\u0301e\u0301e\u0301"_s << 2 << u"e\u0301e\u0301…"_s;
        QTest::newRow("family emoji") << family.repeated(3) << 2 << family.repeated(2) + u"…"_s;
        QTest::newRow("10 MiB") << u"Long name "_s.repeated(1 << 20) << 12 << u"Long name Lo…"_s;
        // A cluster of thousands of marks is cut inside, never inside a surrogate pair.
        QTest::newRow("endless cluster")
            << u"a"_s + u"𝅥"_s.repeated(5000) << 1 << u"a"_s + u"𝅥"_s.repeated(15) + u"…"_s;
    }
    void shortened_cutsBetweenUserCharacters() {
        QFETCH(QString, text);
        QFETCH(int, limit);
        QFETCH(QString, shown);
        QCOMPARE(UserCharacters::shortened(text, limit), shown);
    }

    void appRow_showsTheRecordsMarks_data() {
        QTest::addColumn<bool>("enriched"); // viewed, details fetched, a description
        QTest::addColumn<std::optional<bool>>("purchases");
        QTest::addColumn<std::optional<double>>("rating");
        QTest::addColumn<std::optional<QStringList>>("screenshots");
        QTest::addColumn<QString>("ratingText");
        QTest::addColumn<QString>("screenshotText");
        QTest::newRow("fresh from the feed")
            << false << std::optional<bool>() << std::optional<double>() << std::optional(QStringList{u"x"_s})
            << QString() << u"1 screenshots"_s;
        QTest::newRow("enriched") << true << std::optional(true) << std::optional(4.66)
                                  << std::optional(QStringList{u"a"_s, u"b"_s, u"c"_s}) << u"4.7"_s
                                  << u"3 screenshots"_s;
        QTest::newRow("no purchases, no screenshots")
            << true << std::optional(false) << std::optional(5.0) << std::optional(QStringList()) << u"5.0"_s
            << QString();
    }
    void appRow_showsTheRecordsMarks() {
        QFETCH(bool, enriched);
        QFETCH(std::optional<bool>, purchases);
        QFETCH(std::optional<double>, rating);
        QFETCH(std::optional<QStringList>, screenshots);
        QFETCH(QString, ratingText);
        QFETCH(QString, screenshotText);
        AppRef app = makeApp(u"1"_s);
        app->setReleaseDateString(u"Dec 3, 2026"_s);
        app->setIsViewed(enriched);
        app->setDetailsFetched(enriched);
        if (enriched)
            app->setAppDescription(QString()); // present, though empty
        app->setHasInAppPurchases(purchases);
        app->setRating(rating);
        app->setScreenshotURLs(screenshots);
        AppList list = showList({app}, nullptr);
        const auto row = pieces(list, 0, *app);
        const QList<std::pair<QString, QString>> shown{
            {u"name"_s, u"Tiny Tactics"_s},     {u"developer"_s, u"Example Developer"_s},
            {u"category"_s, u"Games"_s},        {u"price"_s, u"Get"_s},
            {u"release"_s, u"Dec 3, 2026"_s},   {u"rating"_s, ratingText},
            {u"screenshots"_s, screenshotText}, {u"fullDetails"_s, enriched ? u"Full details"_s : QString()}};
        for (const auto& [role, text] : shown)
            QCOMPARE(row.value(role).text, text);
        // A bold name and the marks: unviewed, fetched, purchases, favorite.
        QCOMPARE((QList<bool>{row.value(u"name"_s).font.bold(), row.contains(u"unviewed"_s),
                              row.contains(u"fetched"_s), row.contains(u"purchases"_s),
                              row.contains(u"favorite"_s)}),
                 (QList<bool>{!enriched, !enriched, enriched, purchases == true, false}));
    }

    // Any icon address that does not give an image leaves the grey placeholder.
    void appRow_iconShowsThePlaceholderUnlessLoaded_data() {
        QTest::addColumn<std::optional<QString>>("icon");
        QTest::addColumn<bool>("loads");
        QTest::newRow("loaded") << std::optional(u"red.png"_s) << true;
        QTest::newRow("absent") << std::optional<QString>() << false;
        QTest::newRow("not http") << std::optional(u"=ftp://127.0.0.1/red.png"_s) << false;
        QTest::newRow("garbage bytes") << std::optional(u"garbage.png"_s) << false;
    }
    void appRow_iconShowsThePlaceholderUnlessLoaded() {
        QFETCH(std::optional<QString>, icon);
        QFETCH(bool, loads);
        AppRef app = makeApp(u"4"_s);
        app->setIconURL(icon ? std::optional(address(*icon)) : std::nullopt);
        AppList list = showList({app}, nullptr);
        const QPoint centre = pieces(list, 0, *app).value(u"icon"_s).rect.center().toPoint();
        const QColor placeholder = paintRow(list, 0).pixelColor(centre);
        QVERIFY(placeholder != QColor(Qt::white)); // the symbol is drawn, in grey
        QVERIFY(qAbs(placeholder.red() - placeholder.green()) < 16 &&
                qAbs(placeholder.green() - placeholder.blue()) < 16);
        const QString iconAddress = app->iconURL().value_or(QString());
        QTRY_VERIFY(m_loader->state(iconAddress) == State::Loaded ||
                    m_loader->state(iconAddress) == State::Failed);
        QCOMPARE(paintRow(list, 0).pixelColor(centre), loads ? QColor(Qt::red) : placeholder);
    }

    // Showing the list is enough for the default folder; the star follows the
    // favorites without a query per paint.
    void appRow_followsTheFavorites() {
        AppRef first = makeApp(u"5"_s, u"First"_s), second = makeApp(u"6"_s, u"Second"_s);
        context().save();
        ConsoleCapture console;
        AppList list = showList({first, second}, &context());
        QTRY_COMPARE(console.lines(), QStringList{u"✅ Created default 'Unfiltered' folder"_s});

        FavoritesService service(context());
        service.addToFavorites(u"6"_s, unfiltered, QString());
        QVERIFY(!pieces(list, 0, *first).contains(u"favorite"_s));
        const QPoint star = pieces(list, 1, *second).value(u"favorite"_s).rect.center().toPoint();
        QTRY_COMPARE(list.view->viewport()->grab().toImage().pixelColor(star), SystemColors::yellow());

        QByteArrayList statements;
        m_container->database().setFaultHook([&statements](const QByteArray& sql) {
            statements.append(sql);
            return SQLITE_OK;
        });
        for (int i = 0; i < 20; ++i)
            paintRow(list, i % 2);
        m_container->database().setFaultHook({});
        QVERIFY2(statements.isEmpty(), statements.join('\n').constData());

        service.removeFromFavorites(u"6"_s);
        QVERIFY(!pieces(list, 1, *second).contains(u"favorite"_s));
    }

    // A name is created as typed, unless a folder has it already: the sheet
    // follows the store's folders while it is open.
    void newFolderSheet_createsAFreeNameAsTypedOrNothing_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("create"); // else Cancel
        QTest::addColumn<bool>("taken");
        QTest::newRow("spaces only") << u"   "_s << true << false;
        QTest::newRow("10,000 characters") << QString(10000, u'n') << true << false;
        QTest::newRow("Cancel") << u"Kept to myself"_s << false << false;
        QTest::newRow("a folder's name") << u"Games"_s << true << true;
        QTest::newRow("the default folder's name") << unfiltered << true << true;
        QTest::newRow("another case") << u"games"_s << true << false;
        QTest::newRow("another space") << u"Games "_s << true << false;
    }
    void newFolderSheet_createsAFreeNameAsTypedOrNothing() {
        QFETCH(QString, typed);
        QFETCH(bool, create);
        QFETCH(bool, taken);
        FavoritesService service(context());
        service.createFolder(u"Games"_s);
        QStringList created;
        QPointer<NewFolderSheet> sheet = new NewFolderSheet(
            context(), [&created](const QString& name) { created.append(name); }, m_window.get());
        sheet->open();
        // An empty name cannot be created, even by a click that gets through.
        QVERIFY(!sheet->createButton()->isEnabled());
        emit sheet->createButton()->clicked();
        type(sheet->nameField(), typed);
        QVERIFY(sheet->createButton()->isEnabled() == !taken && sheet->takenNotice()->isVisible() == taken);
        QTest::keyClick(sheet->nameField(), Qt::Key_Return); // does nothing of its own
        if (taken)
            emit sheet->createButton()->clicked(); // nor does a click on a taken name
        QVERIFY(sheet && sheet->isVisible() && created.isEmpty());

        // The name is taken and freed as folders come and go elsewhere.
        if (!taken)
            service.createFolder(typed);
        QTRY_VERIFY(!sheet->createButton()->isEnabled() && sheet->takenNotice()->isVisible());
        for (const auto& twin : context().fetch<FavoriteFolder>(FetchDescriptor::equal("name", typed)))
            service.deleteFolder(*twin);
        QTRY_VERIFY(sheet->createButton()->isEnabled() && !sheet->takenNotice()->isVisible());

        click(create ? sheet->createButton() : sheet->cancelButton());
        QTRY_VERIFY(!sheet);
        QCOMPARE(created, create ? QStringList{typed} : QStringList());
    }

    // A folder of 10,000 characters: its picker fits the sheet, and it is found by its whole name.
    void addSheet_storesTheChoiceAndCloses_data() {
        QTest::addColumn<int>("key"); // moves the picker off the default folder
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("line");   // empty: Cancel
        QTest::addColumn<QString>("stored"); // "<folder>: <comment>" after the sheet closed
        const QString comment = u"  Great\u00a0levels\ntry it  "_s;
        QTest::newRow("a comment as typed")
            << int(Qt::Key_Down) << comment << u"⭐ Added to favorites: 10 in folder Games"_s
            << u"Games: "_s + comment;
        QTest::newRow("no comment") << 0 << QString() << u"⭐ Added to favorites: 10 in folder Unfiltered"_s
                                    << u"Unfiltered: "_s;
        QTest::newRow("the long name")
            << int(Qt::Key_End) << QString() << u"⭐ Added to favorites: 10 in folder "_s + longName
            << longName + u": "_s;
        QTest::newRow("Cancel") << int(Qt::Key_Down) << u"never mind"_s << QString() << QString();
    }
    void addSheet_storesTheChoiceAndCloses() {
        QFETCH(int, key);
        QFETCH(QString, typed);
        QFETCH(QString, line);
        QFETCH(QString, stored);
        FavoritesService service(context());
        service.createFolder(u"Games"_s);
        service.createFolder(longName);
        AppRef app = makeApp(u"10"_s);
        context().save();
        ConsoleCapture console;
        QPointer<AddToFavoritesSheet> sheet = openAddSheet(service, app);
        const QStringList entries = pickerEntries(sheet->folderPicker()); // the long name elided
        QCOMPARE(entries.mid(0, 2), (QStringList{unfiltered, u"Games"_s}));
        QVERIFY(entries.size() == 3 && entries[2].startsWith(u"LLL"_s) && entries[2].size() < 1000);
        QVERIFY(sheet->folderPicker()->currentText() == unfiltered && sheet->addButton()->isEnabled());
        sheet->folderPicker()->showPopup();
        QVERIFY(sheet->folderPicker()->view()->window()->width() <= sheet->width());
        sheet->folderPicker()->hidePopup();

        if (key)
            choose(sheet->folderPicker(), Qt::Key(key));
        type(sheet->commentEditor(), typed);
        click(line.isEmpty() ? sheet->cancelButton() : sheet->addButton());
        QTRY_VERIFY(!sheet);
        QCOMPARE(console.lines(), line.isEmpty() ? QStringList() : QStringList{line});
        const auto favorite = service.getFavorite(u"10"_s);
        QCOMPARE(favorite ? favorite->folder()->name() + u": "_s + favorite->comment() : QString(), stored);
        QVERIFY(!context().hasChanges());
    }

    // "Unfiltered" is chosen at first: the exact name, the lowest sort order; else none.
    void addSheet_choosesUnfilteredAtFirst() {
        context().insert(FolderRef::create(u"unfiltered"_s, 0));
        for (const qint64 order : {5, 1, 3})
            context().insert(FolderRef::create(unfiltered, order));
        FavoritesService service(context());
        QPointer<AddToFavoritesSheet> sheet = openAddSheet(service, makeApp(u"12"_s));
        QVERIFY(sheet->folderPicker()->currentText() == unfiltered &&
                sheet->selectedFolder()->sortOrder() == 1);
        sheet->close();

        // Without one, nothing is chosen and nothing can be added.
        for (const auto& folder : context().fetch<FavoriteFolder>(FetchDescriptor::equal("name", unfiltered)))
            service.deleteFolder(*folder);
        sheet = openAddSheet(service, makeApp(u"13"_s));
        QVERIFY(sheet->folderPicker()->currentIndex() == -1 && !sheet->addButton()->isEnabled());
        sheet->close();
    }

    // The picker follows the store while the sheet is open.
    void addSheet_followsTheFoldersWhileOpen() {
        FavoritesService service(context());
        service.createFolder(u"Games"_s);
        const AppRef app = makeApp(u"15"_s);
        QPointer<AddToFavoritesSheet> sheet = openAddSheet(service, app);
        QVERIFY(!sheet->alreadyFavoriteNotice()->isVisible());
        choose(sheet->folderPicker(), Qt::Key_Down);
        QTest::keyClicks(sheet->commentEditor(), u"half typed"_s);

        click(sheet->newFolderButton());
        QPointer<NewFolderSheet> newFolder = sheet->newFolderSheet();
        QVERIFY(newFolder && newFolder->isVisible());
        QTest::keyClicks(newFolder->nameField(), u"  Later  "_s);
        click(newFolder->createButton());
        QTRY_VERIFY(!newFolder);
        QTRY_COMPARE(pickerEntries(sheet->folderPicker()),
                     (QStringList{unfiltered, u"Games"_s, u"  Later  "_s}));
        QCOMPARE((QStringList{sheet->folderPicker()->currentText(), sheet->comment()}),
                 (QStringList{u"Games"_s, u"half typed"_s}));

        // Renamed and deleted elsewhere.
        auto games = sheet->selectedFolder();
        games->setName(u"Board games"_s);
        QTRY_COMPARE(sheet->folderPicker()->currentText(), u"Board games"_s);
        service.deleteFolder(*games);
        QTRY_COMPARE(sheet->folderPicker()->count(), 2);
        QVERIFY(sheet->folderPicker()->currentIndex() == -1 && !sheet->addButton()->isEnabled());
        emit sheet->addButton()->clicked(); // cannot add without a folder
        QVERIFY(sheet->isVisible() && !service.isFavorite(u"15"_s));

        choose(sheet->folderPicker(), Qt::Key_End);
        click(sheet->addButton());
        QTRY_VERIFY(!sheet);
        QCOMPARE(service.getFavorite(u"15"_s)->folder()->name(), u"  Later  "_s);

        // Opened again for the favorite, it says where the app is and adds nothing.
        sheet = openAddSheet(service, app);
        QCOMPARE(sheet->alreadyFavoriteNotice()->text(), u"Already in “  Later  ”"_s);
        QVERIFY(sheet->alreadyFavoriteNotice()->isVisible() && !sheet->addButton()->isEnabled());
        emit sheet->addButton()->clicked();
        QVERIFY(sheet->isVisible());
        service.moveToFolder(u"15"_s, unfiltered);
        QTRY_COMPARE(sheet->alreadyFavoriteNotice()->text(), u"Already in “Unfiltered”"_s);
        service.removeFromFavorites(u"15"_s);
        QTRY_VERIFY(sheet->addButton()->isEnabled() && !sheet->alreadyFavoriteNotice()->isVisible());
        sheet->close();
    }

    void viewer_opensAtTheClickedScreenshotAndMoves_data() {
        QTest::addColumn<int>("clicked");   // -1: an address not in the list
        QTest::addColumn<QString>("moves"); // after zooming in: > next, < previous, N showNext()
        QTest::addColumn<QString>("shown"); // position, zoom, the buttons enabled (< previous, > next)
        QTest::newRow("unknown address") << -1 << QString() << u"1 / 5, 200%, >"_s;
        QTest::newRow("next resets the zoom") << 0 << u">"_s << u"2 / 5, 100%, <>"_s;
        QTest::newRow("no wrapping round") << 4 << u"N"_s << u"5 / 5, 200%, <"_s;
        QTest::newRow("previous") << 2 << u"<"_s << u"2 / 5, 100%, <>"_s;
    }
    void viewer_opensAtTheClickedScreenshotAndMoves() {
        QFETCH(int, clicked);
        QFETCH(QString, moves);
        QFETCH(QString, shown);
        QPointer<ScreenshotViewerSheet> sheet = openViewer(shots(5), clicked);
        QCOMPARE(sheet->zoomLabel()->text(), u"100%"_s);
        click(sheet->zoomInButton(), 4);
        for (const QChar move : moves) {
            if (move == u'N')
                sheet->showNext(); // past the disabled button
            else
                click(move == u'>' ? sheet->nextButton() : sheet->previousButton());
        }
        QCOMPARE(u"%1, %2, %3%4"_s.arg(sheet->positionLabel()->text(), sheet->zoomLabel()->text(),
                                       sheet->previousButton()->isEnabled() ? u"<"_s : QString(),
                                       sheet->nextButton()->isEnabled() ? u">"_s : QString()),
                 shown);
        QTRY_COMPARE(sheet->screen(), Screen::Image);
        QCOMPARE(sheet->imageView()->image().pixelColor(0, 0),
                 shotColor(shown.section(u' ', 0, 0).toInt() - 1));
        QTest::mouseDClick(sheet->imageView(), Qt::LeftButton, {}, QPoint(5, 5)); // closes it
        QTRY_VERIFY(!sheet);
    }

    // The zoom stays within 50 % and 400 %, and the shown image follows. A pinch
    // multiplies the zoom it found by its own total, limited at each step;
    // Ctrl+wheel zooms by 10 % a notch, the plain wheel only scrolls.
    void viewer_zoomsWithinBounds_data() {
        // "+", "-", "reset": the buttons; "pinch m1 m2 ...": one gesture and the
        // totals it reports; "ctrl-wheel", "wheel": one notch.
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("shown");
        QTest::newRow("in twelve times") << QStringList(12, u"+"_s) << u"400%"_s;
        QTest::newRow("out three times") << QStringList(3, u"-"_s) << u"50%"_s;
        QTest::newRow("reset") << QStringList{u"+"_s, u"+"_s, u"reset"_s} << u"100%"_s;
        QTest::newRow("a pinch of 2 from 1.5") << QStringList{u"+"_s, u"+"_s, u"pinch 1.25 2"_s} << u"300%"_s;
        QTest::newRow("a further pinch of 2")
            << QStringList{u"+"_s, u"+"_s, u"pinch 1.25 2"_s, u"pinch 2"_s} << u"400%"_s;
        QTest::newRow("limited step by step") << QStringList{u"pinch 8 4"_s} << u"200%"_s;
        QTest::newRow("pinched below 50 %") << QStringList{u"pinch 0.5 0.2"_s} << u"50%"_s;
        QTest::newRow("ctrl-wheel") << QStringList{u"ctrl-wheel"_s} << u"110%"_s;
        QTest::newRow("plain wheel") << QStringList{u"ctrl-wheel"_s, u"wheel"_s} << u"110%"_s;
    }
    void viewer_zoomsWithinBounds() {
        QFETCH(QStringList, steps);
        QFETCH(QString, shown);
        auto* sheet = openViewer(shots(1), 0);
        QTRY_COMPARE(sheet->screen(), Screen::Image);
        QWidget* viewport = sheet->findChild<QScrollArea*>()->viewport();
        QTRY_COMPARE(sheet->imageView()->width(), sheet->imageView()->parentWidget()->width());
        const int base = sheet->imageView()->width();
        const QPointF at(20, 20);
        auto gesture = [&](Qt::NativeGestureType type, double value) {
            QNativeGestureEvent event(type, QPointingDevice::primaryPointingDevice(), 2, at, at,
                                      viewport->mapToGlobal(at), value, QPointF());
            QApplication::sendEvent(viewport, &event);
        };
        auto wheel = [&](Qt::KeyboardModifiers modifiers) {
            QWheelEvent event(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                              modifiers, Qt::NoScrollPhase, false);
            QApplication::sendEvent(viewport, &event);
        };
        for (const QString& step : steps) {
            if (step == u"+" || step == u"-" || step == u"reset") {
                click(step == u"+"   ? sheet->zoomInButton()
                      : step == u"-" ? sheet->zoomOutButton()
                                     : sheet->resetZoomButton());
            } else if (step.startsWith(u"pinch")) {
                // The platform reports each change as a fraction of the last total.
                gesture(Qt::BeginNativeGesture, 0);
                double total = 1.0;
                for (const QString& reported : step.split(u' ').mid(1)) {
                    gesture(Qt::ZoomNativeGesture, reported.toDouble() / total - 1.0);
                    total = reported.toDouble();
                }
                gesture(Qt::EndNativeGesture, 0);
            } else {
                wheel(step == u"ctrl-wheel" ? Qt::ControlModifier : Qt::NoModifier);
            }
        }
        QCOMPARE(sheet->zoomLabel()->text(), shown);
        const double zoom = shown.chopped(1).toDouble() / 100;
        QCOMPARE(sheet->zoomScale(), zoom);
        QTRY_COMPARE(sheet->imageView()->width(), qRound(base * zoom)); // animated for the buttons
        sheet->close();
    }

    // Only http and https addresses are asked for; whatever fails shows the
    // failure screen, whatever never arrives the time-out screen. Closed on any
    // screen, the sheet's load stops and its pending time-out passes without it.
    void viewer_showsWhatBecameOfTheLoad_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<Screen>("screen");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("requests");
        QTest::newRow("loaded") << u"shot1.png"_s << Screen::Image << QString() << 1;
        QTest::newRow("not found") << u"missing.png"_s << Screen::Failure << u"Failed to load screenshot"_s
                                   << 1;
        QTest::newRow("garbage bytes")
            << u"garbage.png"_s << Screen::Failure << u"Click red X button or try again"_s << 1;
        QTest::newRow("60000x60000 declared") << u"bomb.bmp"_s << Screen::Failure << u"Try Again"_s << 1;
        QTest::newRow("javascript") << u"=javascript:alert(1)"_s << Screen::Failure << u"Try Again"_s << 0;
        QTest::newRow("no host") << u"=http://"_s << Screen::Failure << u"Try Again"_s << 0;
        QTest::newRow("empty address") << u"="_s << Screen::Failure << u"Try Again"_s << 0;
        QTest::newRow("never arrives")
            << u"stall.png"_s << Screen::Timeout << u"Screenshot is taking too long to load"_s << 1;
        QTest::newRow("closed while loading") << u"stall.png"_s << Screen::Loading << QString() << 1;
    }
    void viewer_showsWhatBecameOfTheLoad() {
        QFETCH(QString, address);
        QFETCH(Screen, screen);
        QFETCH(QString, text);
        QFETCH(int, requests);
        const QString shot = this->address(address);
        QPointer<ScreenshotViewerSheet> sheet = openViewer({shot}, 0, 300ms);
        // An address that is not http or https is refused at once, asking nothing anywhere.
        QCOMPARE(sheet->screen(), requests > 0 ? Screen::Loading : Screen::Failure);
        if (requests > 0)
            QVERIFY(WindowTestKit::shownTexts(sheet).contains(u"Loading screenshot..."_s));
        QTRY_COMPARE(sheet->screen(), screen);
        if (!text.isEmpty())
            QVERIFY2(WindowTestKit::shownTexts(sheet).contains(text),
                     qPrintable(WindowTestKit::shownTexts(sheet).join(" | ")));
        QCOMPARE(sheet->loadingTimeout(), screen == Screen::Timeout);
        if (screen == Screen::Image) { // the time-out does not replace it later
            QTest::qWait(400);
            QVERIFY(sheet->screen() == Screen::Image && !sheet->loadingTimeout());
        } else if (screen == Screen::Timeout) {
            QVERIFY(WindowTestKit::shownTexts(sheet).contains(u"Loading Timeout"_s) &&
                    sheet->timeoutTryAgainButton()->isVisible() && sheet->timeoutCloseButton()->isVisible());
        } else if (screen == Screen::Failure) {
            QVERIFY(sheet->failureTryAgainButton()->isVisible());
        }
        if (screen != Screen::Loading) // closed at once
            QCOMPARE(m_store.requests().size(), requests);
        click(screen == Screen::Timeout ? static_cast<QAbstractButton*>(sheet->timeoutCloseButton())
                                        : sheet->closeButton());
        QTRY_VERIFY(!sheet);
        QVERIFY(m_loader->state(shot) != State::Loading);
        if (screen == Screen::Loading)
            QTest::qWait(400);
    }

    // Try Again loads the current screenshot afresh, never by way of a neighbour,
    // and keeps the zoom; after the time-out too. Moving on clears that screen.
    void viewer_tryAgainLoadsAfresh() {
        m_store.setResponse(u"/images/flaky.png"_s, FakeStore::htmlError(503));
        auto* sheet = openViewer({image(u"flaky.png"_s), image(u"stall.png"_s)}, 0, 300ms);
        QTRY_COMPARE(sheet->screen(), Screen::Failure);
        QCOMPARE(m_store.requests().size(), 1);
        click(sheet->failureTryAgainButton());
        QTRY_COMPARE(m_store.requests(), QStringList(2, u"/images/flaky.png"_s));
        QTRY_COMPARE(sheet->screen(), Screen::Failure);
        serve(u"flaky.png"_s, "image/png", solidPng(Qt::green));
        click(sheet->zoomInButton(), 3);
        click(sheet->failureTryAgainButton());
        QTRY_COMPARE(sheet->screen(), Screen::Image);
        QCOMPARE((QStringList{sheet->zoomLabel()->text(), sheet->positionLabel()->text()}),
                 (QStringList{u"175%"_s, u"1 / 2"_s}));

        click(sheet->nextButton());
        QTRY_COMPARE(sheet->screen(), Screen::Timeout);
        const qsizetype before = m_store.requests().size();
        click(sheet->timeoutTryAgainButton());
        QVERIFY(!sheet->loadingTimeout() && sheet->screen() == Screen::Loading &&
                sheet->positionLabel()->text() == u"2 / 2"_s);
        QTRY_VERIFY(m_store.requests().size() > before);
        QTRY_COMPARE(sheet->screen(), Screen::Timeout);
        click(sheet->previousButton());
        QVERIFY(!sheet->loadingTimeout());
        QTRY_COMPARE(sheet->screen(), Screen::Image);
        sheet->close();
    }
};

CALDRIN_WEBENGINE_TEST_MAIN(TestViews)

#include "tst_views.moc"
