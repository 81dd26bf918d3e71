// The app detail view driven as a person would: what it shows of a record, its
// links, clipboard and favorites actions, the screenshot viewer, and its own
// fetch and reload of the details against the fake store.
#include "AddToFavoritesSheet.h"
#include "AppDetailView.h"
#include "AppModel.h"
#include "AsyncTest.h"
#include "BusyIndicator.h"
#include "ConsoleCapture.h"
#include "ElidedLabel.h"
#include "FakeStore.h"
#include "FavoriteApp.h"
#include "FavoriteFolder.h"
#include "FavoritesService.h"
#include "FixtureImages.h"
#include "ImageLoader.h"
#include "InfoItem.h"
#include "ModelContainer.h"
#include "ModelContext.h"
#include "ProductPages.h"
#include "ScreenshotThumbnail.h"
#include "ScreenshotViewerSheet.h"
#include "SqliteDatabase.h"
#include "StoreDocuments.h"
#include "SymbolLabel.h"
#include "SymbolTable.h"
#include "WebEngineTestMain.h"

#include <QClipboard>
#include <QComboBox>
#include <QJsonArray>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QUrlQuery>

#include <sqlite3.h>

using AppRef = QSharedPointer<AppModel>;
using namespace std::chrono_literals;

namespace {

QStringList visibleTexts(const QWidget* root) {
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

QString infoValue(const AppDetailView& view, const QString& title) {
    for (const InfoItem* item : view.findChildren<InfoItem*>()) {
        if (item->title() == title)
            return item->value();
    }
    return QStringLiteral("<no item>");
}

// The value shown under a label of the "Additional Information" section.
QLabel* additionalValue(const AppDetailView& view, const QString& title) {
    for (QLabel* label : view.findChildren<QLabel*>()) {
        if (label->text() != title)
            continue;
        const auto values = label->parentWidget()->findChildren<QLabel*>(QStringLiteral("additionalValue"));
        if (!values.isEmpty())
            return values.first();
    }
    return nullptr;
}

QStringList starSymbols(const AppDetailView& view) {
    QStringList stars;
    for (int i = 0; i < 5; ++i)
        stars.append(view.findChild<QLabel*>(QStringLiteral("star%1").arg(i))->property("symbol").toString());
    return stars;
}

QStringList strings(std::initializer_list<const char*> list) {
    QStringList result;
    for (const char* text : list)
        result.append(QString::fromUtf8(text));
    return result;
}

} // namespace

class TestDetailView : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ModelContainer> m_container;
    std::unique_ptr<FakeStore> m_store;
    std::unique_ptr<ImageLoader> m_loader;
    QList<QUrl> m_opened;

    ModelContext& context() { return m_container->mainContext(); }
    QString image(const QString& file) const { return m_store->origin() + QStringLiteral("/images/") + file; }

    AppRef storedApp(const QString& appleID, const QString& name = QStringLiteral("Tiny Tactics")) {
        auto app = AppRef::create();
        app->setAppleID(appleID);
        app->setName(name);
        app->setBundleID(QStringLiteral("com.example.tactics"));
        app->setDeveloperName(QStringLiteral("Moonbeam Games"));
        app->setAppStoreURL(m_store->origin() + QStringLiteral("/us/app/x/id") + appleID);
        app->setCategory(QStringLiteral("Games"));
        app->setCategoryID(QStringLiteral("6014"));
        app->setPriceLabel(QStringLiteral("Free"));
        app->setReleaseDateString(QStringLiteral("Dec 3, 2026"));
        app->setReleaseDate(QDateTime::currentDateTimeUtc());
        app->setFetchedAt(QDateTime(QDate(2026, 12, 4), QTime(9, 41), Qt::UTC));
        app = context().insert(app);
        context().save();
        return app;
    }

    AppDetailView::Options options() {
        AppDetailView::Options options;
        options.openUrl = [this](const QUrl& url) {
            m_opened.append(url);
            return true;
        };
        options.timing.scraper = {30ms, 5s};
        options.timing.http.transferTimeout = 5s;
        options.loader = m_loader.get();
        return options;
    }

    std::unique_ptr<AppDetailView> showView(const AppRef& app) {
        auto view = std::make_unique<AppDetailView>(app, context(), options());
        view->resize(820, 900);
        view->show();
        return view;
    }

    void serveLookup(const QString& appleID, const QJsonObject& result, int delayMs = 0) {
        FakeStore::Response response;
        response.body = StoreDocuments::lookupDocument(1, {result});
        response.delayMs = delayMs;
        m_store->setResponse(QStringLiteral("/lookup?id=") + appleID, response);
    }
    void servePage(const QString& appleID, const FakeStore::Response& response) {
        m_store->setResponse(QStringLiteral("/us/app/x/id") + appleID, response);
    }
    bool lookupAsked() const {
        for (const QString& request : m_store->requests()) {
            if (request.startsWith(QStringLiteral("/lookup")))
                return true;
        }
        return false;
    }

private slots:
    void initTestCase() {
        SymbolTable::installIconTheme();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_container = ModelContainer::open(m_dir->filePath(QStringLiteral("caldrin.sqlite")));
        m_store = std::make_unique<FakeStore>();
        const QString fixtures = m_dir->filePath(QStringLiteral("fixtures"));
        for (int i = 0; i < 3; ++i)
            QVERIFY(
                FixtureImages::writeImage(fixtures, QStringLiteral("shot%1.png").arg(i),
                                          FixtureImages::solid(QSize(300, 600), QColor(60 * i, 90, 200))));
        QVERIFY(FixtureImages::writeImage(fixtures, QStringLiteral("small.png"),
                                          FixtureImages::solid(QSize(100, 150), Qt::red)));
        m_store->setFixturesDirectory(fixtures);
        QVERIFY(m_store->listen());
        qputenv("CALDRIN_STORE_ORIGIN", m_store->origin().toUtf8());
        m_loader = std::make_unique<ImageLoader>(m_dir->filePath(QStringLiteral("cache")));
        m_opened.clear();
    }
    void cleanup() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_loader.reset();
        m_store.reset();
        m_container.reset();
        m_dir.reset();
    }

    // --- What the view shows -------------------------------------------------------

    void header_showsNameMarksAndRating_data() {
        QTest::addColumn<std::optional<double>>("rating");
        QTest::addColumn<std::optional<qint64>>("count");
        QTest::addColumn<int>("filled");
        QTest::addColumn<QString>("ratingText");
        QTest::addColumn<QString>("countText");
        const auto some = [](double value) { return std::optional<double>(value); };
        const auto many = [](qint64 value) { return std::optional<qint64>(value); };
        QTest::newRow("4.5 rounds up") << some(4.5) << many(12873) << 5 << "4.5"
                                       << "(12,873)";
        QTest::newRow("4.49 shows 4.5, rounds down") << some(4.49) << many(1234567) << 4 << "4.5"
                                                     << "(1,234,567)";
        QTest::newRow("2.5 rounds away from zero") << some(2.5) << many(3) << 3 << "2.5"
                                                   << "(3)";
        QTest::newRow("0.5") << some(0.5) << many(1) << 1 << "0.5"
                             << "(1)";
        QTest::newRow("no ratings yet") << some(0.0) << many(0) << 0 << "0.0"
                                        << "(0)";
        QTest::newRow("rating without count") << some(4.0) << std::optional<qint64>() << -1 << ""
                                              << "";
        QTest::newRow("count without rating") << std::optional<double>() << many(12) << -1 << ""
                                              << "";
    }
    void header_showsNameMarksAndRating() {
        QFETCH(std::optional<double>, rating);
        QFETCH(std::optional<qint64>, count);
        QFETCH(int, filled);
        QFETCH(QString, ratingText);
        QFETCH(QString, countText);
        AppRef app = storedApp(QStringLiteral("1"));
        app->setRating(rating);
        app->setRatingCount(count);
        auto view = showView(app);
        const QStringList texts = visibleTexts(view.get());
        for (const char* text : {"Tiny Tactics", "Moonbeam Games", "Games", "Free", "Open in App Store",
                                 "Developer Page", "Copy Link"})
            QVERIFY2(texts.contains(QString::fromUtf8(text)), text);
        QVERIFY(!texts.contains(QStringLiteral("IAP")));
        auto* value = view->findChild<QLabel*>(QStringLiteral("ratingValue"));
        QCOMPARE(value->isVisibleTo(view.get()), filled >= 0);
        if (filled >= 0) {
            QCOMPARE(value->text(), ratingText);
            QCOMPARE(value->font().weight(), QFont::DemiBold);
            QCOMPARE(view->findChild<QLabel*>(QStringLiteral("ratingCount"))->text(), countText);
            QStringList expected;
            for (int i = 0; i < 5; ++i)
                expected.append(i < filled ? QStringLiteral("star.fill") : QStringLiteral("star"));
            QCOMPARE(starSymbols(*view), expected);
        }

        // The purchases mark follows the record, before any save.
        app->setHasInAppPurchases(true);
        QVERIFY(visibleTexts(view.get()).contains(QStringLiteral("IAP")));
        app->setHasInAppPurchases(false);
        QVERIFY(!visibleTexts(view.get()).contains(QStringLiteral("IAP")));
        QVERIFY(context().hasChanges());
    }

    void information_showsValuesAndPurchases() {
        AppRef app = storedApp(QStringLiteral("2"));
        auto view = showView(app);
        for (const char* title : {"Version", "Size", "Age Rating"})
            QCOMPARE(infoValue(*view, QString::fromUtf8(title)), QStringLiteral("N/A"));
        QCOMPARE(infoValue(*view, QStringLiteral("Released")), QStringLiteral("Dec 3, 2026"));
        auto* info = view->findChild<SymbolLabel*>(QStringLiteral("purchaseInfo"));
        auto* list = view->findChild<QWidget*>(QStringLiteral("purchaseList"));
        QVERIFY(!info->isVisibleTo(view.get()));
        QVERIFY(!list->isVisibleTo(view.get()));

        app->setAppVersion(QStringLiteral("2.1"));
        app->setAppSize(QStringLiteral("48.2 MB"));
        app->setAgeRating(QStringLiteral("12+"));
        app->setInAppPurchaseInfo(QStringLiteral("Offers In-App Purchases"));
        app->setInAppPurchaseItems(
            QList<IAPItem>{{QStringLiteral("Gem Pack"), QStringLiteral("$4.99")},
                           {QStringLiteral("<b>Gold</b> & more"), QStringLiteral("$9.99")}});
        QCOMPARE(infoValue(*view, QStringLiteral("Version")), QStringLiteral("2.1"));
        QCOMPARE(infoValue(*view, QStringLiteral("Size")), QStringLiteral("48.2 MB"));
        QCOMPARE(infoValue(*view, QStringLiteral("Age Rating")), QStringLiteral("12+"));
        QVERIFY(info->isVisibleTo(view.get()));
        QCOMPARE(info->text(), QStringLiteral("Offers In-App Purchases"));
        QVERIFY(list->isVisibleTo(view.get()));
        const QStringList texts = visibleTexts(list);
        for (const char* text : {"In-App Purchases (2)", "$4.99", "$9.99", "•", "—"})
            QVERIFY2(texts.contains(QString::fromUtf8(text)), text);
        // Names are shown as typed, never read as markup.
        QStringList names;
        for (const ElidedLabel* name : list->findChildren<ElidedLabel*>())
            names.append(name->text());
        QCOMPARE(names, (QStringList{QStringLiteral("Gem Pack"), QStringLiteral("<b>Gold</b> & more")}));

        // An empty list shows no list; the info row stays.
        app->setInAppPurchaseItems(QList<IAPItem>());
        QVERIFY(!list->isVisibleTo(view.get()));
        QVERIFY(info->isVisibleTo(view.get()));
    }

    // The notice shows while details are missing; the view never fetches by itself.
    void notice_followsDetailsFetched() {
        AppRef app = storedApp(QStringLiteral("3"));
        auto view = showView(app);
        QVERIFY(visibleTexts(view.get()).contains(QStringLiteral("Extended details not loaded yet")));
        QVERIFY(view->loadDetailsButton()->isVisibleTo(view.get()));
        QVERIFY(view->loadDetailsButton()->isEnabled());
        QVERIFY(!view->findChild<BusyIndicator*>(QStringLiteral("loadingDetails"))->isVisibleTo(view.get()));
        QVERIFY(view->reloadButton()->isEnabled());
        QCOMPARE(view->reloadButton()->toolTip(), QStringLiteral("Reload app details"));
        QTest::qWait(200);
        QVERIFY(!lookupAsked());

        app->setDetailsFetched(true);
        QVERIFY(!visibleTexts(view.get()).contains(QStringLiteral("Extended details not loaded yet")));
        QVERIFY(!view->loadDetailsButton()->isVisibleTo(view.get()));
    }

    void description_copyAndTranslate() {
        AppRef app = storedApp(QStringLiteral("4"));
        auto view = showView(app);
        QVERIFY(!visibleTexts(view.get()).contains(QStringLiteral("Description")));
        const QString description = QStringLiteral("Build & battle: 1+1=2 #tactics\n<i>Привет</i>");
        app->setAppDescription(description);
        QVERIFY(visibleTexts(view.get()).contains(QStringLiteral("Description")));
        auto* text = view->findChild<QLabel*>(QStringLiteral("descriptionText"));
        QCOMPARE(text->text(), description);
        QCOMPARE(text->textFormat(), Qt::PlainText);
        QVERIFY(text->textInteractionFlags() & Qt::TextSelectableByMouse);
        QCOMPARE(view->copyDescriptionButton()->toolTip(), QStringLiteral("Copy description"));
        QCOMPARE(view->translateButton()->toolTip(), QStringLiteral("Open in Google Translate"));

        QGuiApplication::clipboard()->setText(QStringLiteral("something else"));
        QTest::mouseClick(view->copyDescriptionButton(), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), description);
        QCOMPARE(QGuiApplication::clipboard()->mimeData()->formats(),
                 QStringList{QStringLiteral("text/plain")});

        QTest::mouseClick(view->translateButton(), Qt::LeftButton);
        QCOMPARE(m_opened.size(), 1);
        QCOMPARE(m_opened.first(), *AppDetailView::translationAddress(description, QStringLiteral("ru")));
        QCOMPARE(QUrlQuery(m_opened.first()).queryItemValue(QStringLiteral("text"), QUrl::FullyDecoded),
                 description);
    }

    // A description of any length is shown cut short, so that laying it out
    // cannot freeze the window; copying still takes all of it.
    void description_longTextIsShownCutShort() {
        AppRef app = storedApp(QStringLiteral("9"));
        QString text;
        while (text.size() < 300000)
            text += QStringLiteral("Lorem ipsum dolor sit amet 🎮 ");
        app->setAppDescription(text);
        app->setName(QString(5000, QLatin1Char('N')));
        auto view = showView(app);
        const QString shown = view->findChild<QLabel*>(QStringLiteral("descriptionText"))->text();
        QVERIFY(shown.size() <= AppDetailView::descriptionDisplayLimit + 1);
        QVERIFY(shown.endsWith(QStringLiteral("…")));
        QVERIFY(text.startsWith(shown.chopped(1)));
        QVERIFY(!shown.chopped(1).back().isHighSurrogate());
        QCOMPARE(view->findChild<QLabel*>(QStringLiteral("appName"))->text().size(),
                 AppDetailView::nameDisplayLimit + 1);
        QTest::mouseClick(view->copyDescriptionButton(), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), text);
    }

    // The text reaches the site whole: nothing in it starts a parameter, ends
    // the value or turns into a space.
    void translationAddress_keepsTheTextWhole_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("encoded");
        QTest::newRow("words") << QStringLiteral("Hello world") << QStringLiteral("Hello%20world");
        QTest::newRow("ampersand") << QStringLiteral("Tom & Jerry") << QStringLiteral("Tom%20%26%20Jerry");
        QTest::newRow("plus and equals") << QStringLiteral("1+1=2") << QStringLiteral("1%2B1%3D2");
        QTest::newRow("hash") << QStringLiteral("#1 app") << QStringLiteral("%231%20app");
        QTest::newRow("percent") << QStringLiteral("100%") << QStringLiteral("100%25");
        QTest::newRow("query characters stay")
            << QStringLiteral("a/b?c:d@e!$'()*,;-._~") << QStringLiteral("a/b?c:d@e!$'()*,;-._~");
        QTest::newRow("line break") << QStringLiteral("a\nb") << QStringLiteral("a%0Ab");
        QTest::newRow("Cyrillic") << QStringLiteral("Мир") << QStringLiteral("%D0%9C%D0%B8%D1%80");
        QTest::newRow("emoji") << QStringLiteral("🎮") << QStringLiteral("%F0%9F%8E%AE");
        QTest::newRow("empty") << QString() << QString();
    }
    void translationAddress_keepsTheTextWhole() {
        QFETCH(QString, text);
        QFETCH(QString, encoded);
        const std::optional<QUrl> address = AppDetailView::translationAddress(text, QStringLiteral("ru"));
        QVERIFY(address);
        QCOMPARE(QString::fromLatin1(address->toEncoded()),
                 QStringLiteral("https://translate.google.com/?sl=auto&tl=ru&text=") + encoded +
                     QStringLiteral("&op=translate"));
        const QUrlQuery query(*address);
        QCOMPARE(query.queryItems(QUrl::FullyDecoded).size(), 4);
        QCOMPARE(query.queryItemValue(QStringLiteral("text"), QUrl::FullyDecoded), text);
        QCOMPARE(query.queryItemValue(QStringLiteral("op")), QStringLiteral("translate"));
    }

    // Only web addresses are opened; a feed's "javascript:" or "file:" address never is.
    void links_openOnlyWebAddresses_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("opens");
        QTest::newRow("https") << QStringLiteral("https://apps.apple.com/us/app/id1") << true;
        QTest::newRow("http") << QStringLiteral("http://apps.example/id1") << true;
        QTest::newRow("javascript") << QStringLiteral("javascript:alert(1)") << false;
        QTest::newRow("file") << QStringLiteral("file:///etc/passwd") << false;
        QTest::newRow("ftp") << QStringLiteral("ftp://apps.example/id1") << false;
        QTest::newRow("no host") << QStringLiteral("https://") << false;
        QTest::newRow("not an address") << QStringLiteral("apps dot example") << false;
        QTest::newRow("empty") << QString() << false;
    }
    void links_openOnlyWebAddresses() {
        QFETCH(QString, address);
        QFETCH(bool, opens);
        AppRef app = storedApp(QStringLiteral("5"));
        app->setAppStoreURL(address);
        app->setDeveloperURL(address);
        auto view = showView(app);
        QCOMPARE(view->developerPageButton()->toolTip(), QStringLiteral("View all apps by this developer"));
        QTest::mouseClick(view->openInAppStoreButton(), Qt::LeftButton);
        QTest::mouseClick(view->developerPageButton(), Qt::LeftButton);
        QCOMPARE(m_opened.size(), opens ? 2 : 0);
        if (opens)
            QCOMPARE(m_opened.first(), QUrl(address));

        // "Copy Link" copies the text as it is, whatever it holds.
        QTest::mouseClick(view->copyLinkButton(), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), address);

        // Without a developer address the button stays and does nothing.
        m_opened.clear();
        app->setDeveloperURL(std::nullopt);
        QVERIFY(view->developerPageButton()->isVisibleTo(view.get()));
        QTest::mouseClick(view->developerPageButton(), Qt::LeftButton);
        QVERIFY(m_opened.isEmpty());
    }

    void additionalInformation_valuesCanBeSelected() {
        AppRef app = storedApp(QStringLiteral("6"));
        auto view = showView(app);
        const QList<std::pair<QString, QString>> expected{
            {QStringLiteral("Apple ID"), QStringLiteral("6")},
            {QStringLiteral("Bundle ID"), QStringLiteral("com.example.tactics")},
            {QStringLiteral("Category ID"), QStringLiteral("6014")},
            {QStringLiteral("Fetched At"),
             QLocale().toString(app->fetchedAt().toLocalTime().date(), QLocale::ShortFormat) +
                 QLatin1Char(' ') +
                 QLocale().toString(app->fetchedAt().toLocalTime().time(), QLocale::ShortFormat)}};
        for (const auto& [title, value] : expected) {
            QLabel* label = additionalValue(*view, title);
            QVERIFY2(label, qPrintable(title));
            QCOMPARE(label->text(), value);
            QVERIFY(label->textInteractionFlags() & Qt::TextSelectableByMouse);
        }
        QVERIFY(additionalValue(*view, QStringLiteral("Fetched At"))
                    ->text()
                    .startsWith(QStringLiteral("12/4/26")));
    }

    // --- Favorites ---------------------------------------------------------------------

    void favoriteButton_opensTheSheetAndFollowsFavorites() {
        AppRef app = storedApp(QStringLiteral("7"));
        ConsoleCapture console;
        auto view = showView(app);
        QVERIFY(view->favoritesService());
        QCOMPARE(console.lines(), QStringList{QStringLiteral("✅ Created default 'Unfiltered' folder")});
        QCOMPARE(view->favoriteButton()->toolTip(), QStringLiteral("Add to Favorites"));
        QVERIFY(!view->showsFavorite());

        QTest::mouseClick(view->favoriteButton(), Qt::LeftButton);
        QPointer<AddToFavoritesSheet> sheet = view->addToFavoritesSheet();
        QVERIFY(sheet);
        QCOMPARE(sheet->folderPicker()->currentText(), QStringLiteral("Unfiltered"));
        QTest::keyClicks(sheet->commentEditor(), QStringLiteral("Try the puzzles"));
        QTest::mouseClick(sheet->addButton(), Qt::LeftButton);
        QTRY_VERIFY(!sheet);
        FavoritesService service(context());
        QCOMPARE(service.getFavorite(QStringLiteral("7"))->comment(), QStringLiteral("Try the puzzles"));
        QTRY_VERIFY(view->showsFavorite());

        // Pressed again for a favorite, it opens the sheet all the same.
        QTest::mouseClick(view->favoriteButton(), Qt::LeftButton);
        QVERIFY(view->addToFavoritesSheet());
        view->addToFavoritesSheet()->close();

        // Changes made elsewhere reach the star.
        service.removeFromFavorites(QStringLiteral("7"));
        QTRY_VERIFY(!view->showsFavorite());
    }

    // --- Screenshots ---------------------------------------------------------------------------

    void screenshots_showThumbnailsThatOpenTheViewer() {
        AppRef app = storedApp(QStringLiteral("8"));
        auto view = showView(app);
        QVERIFY(!visibleTexts(view.get()).contains(QStringLiteral("Screenshots (3)")));
        const QStringList shots{image(QStringLiteral("shot0.png")), image(QStringLiteral("small.png")),
                                image(QStringLiteral("missing.png"))};
        app->setScreenshotURLs(shots);
        QVERIFY(visibleTexts(view.get()).contains(QStringLiteral("Screenshots (3)")));
        const auto thumbnails = view->thumbnails();
        QCOMPARE(thumbnails.size(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(thumbnails[i]->address(), shots[i]);
            QCOMPARE(thumbnails[i]->toolTip(), QStringLiteral("Click to enlarge"));
            // A progress indicator in a 200 by 400 frame until the picture is in.
            if (!thumbnails[i]->isShowingImage())
                QCOMPARE(thumbnails[i]->pictureRect().size(), QSize(200, 400));
        }
        QTRY_VERIFY(thumbnails[0]->isShowingImage() && thumbnails[1]->isShowingImage());
        QTRY_COMPARE(m_loader->state(shots[2]), ImageLoader::State::Failed);
        QCOMPARE(thumbnails[0]->pictureRect().size(), QSize(200, 400)); // 300x600 fitted to 400 high
        QCOMPARE(thumbnails[1]->pictureRect().size(), QSize(100, 150)); // small ones keep their size
        QCOMPARE(thumbnails[2]->pictureRect().size(), QSize(200, 400));
        QVERIFY(thumbnails[2]->findChild<BusyIndicator*>()->isVisibleTo(thumbnails[2]));

        QTest::mouseClick(thumbnails[1], Qt::LeftButton, {}, thumbnails[1]->pictureRect().center());
        QPointer<ScreenshotViewerSheet> viewer = view->screenshotViewer();
        QVERIFY(viewer);
        QCOMPARE(viewer->currentIndex(), 1);
        QCOMPARE(viewer->positionText(), QStringLiteral("2 / 3"));
        viewer->close();
        QTRY_VERIFY(!viewer);

        // Thousands of addresses (a hostile lookup) get a bounded row; the
        // heading and the viewer still have them all.
        QStringList many;
        for (int i = 0; i < 3000; ++i)
            many.append(image(QStringLiteral("shot%1.png").arg(i % 3)) + QStringLiteral("?n=%1").arg(i));
        app->setScreenshotURLs(many);
        QVERIFY(visibleTexts(view.get()).contains(QStringLiteral("Screenshots (3000)")));
        QCOMPARE(view->thumbnails().size(), AppDetailView::thumbnailLimit);
        QTest::mouseClick(view->thumbnails().at(4), Qt::LeftButton, {}, QPoint(20, 20));
        viewer = view->screenshotViewer();
        QVERIFY(viewer);
        QCOMPARE(viewer->positionText(), QStringLiteral("5 / 3000"));
        viewer->close();
        QTRY_VERIFY(!viewer);
        QList<IAPItem> items;
        for (int i = 0; i < 5000; ++i)
            items.append({QStringLiteral("Item %1").arg(i), QStringLiteral("$1")});
        app->setInAppPurchaseItems(items);
        QVERIFY(visibleTexts(view.get()).contains(QStringLiteral("In-App Purchases (5000)")));
        QCOMPARE(
            view->findChild<QWidget*>(QStringLiteral("purchaseList"))->findChildren<ElidedLabel*>().size(),
            AppDetailView::purchaseRowLimit);

        // An emptied list hides the section.
        app->setScreenshotURLs(QStringList());
        QVERIFY(view->thumbnails().isEmpty());
        QVERIFY(!visibleTexts(view.get()).contains(QStringLiteral("Screenshots (0)")));
    }

    // --- Fetching --------------------------------------------------------------------------------

    // The lookup's screenshots: iPhone first, then iPad; nothing else counts,
    // and without them the page is scraped.
    void fetchDetails_takesLookupScreenshotsOrThePage_data() {
        QTest::addColumn<QJsonObject>("lookup");
        QTest::addColumn<QStringList>("expectedLines");
        QTest::addColumn<QStringList>("expectedScreenshots");
        QTest::addColumn<bool>("purchases");
        const QJsonObject common{{"averageUserRating", 4.5},      {"userRatingCount", 321},
                                 {"fileSizeBytes", "15500000"},   {"version", "2.0"},
                                 {"contentAdvisoryRating", "9+"}, {"description", "From the lookup"}};
        auto with = [&](const char* key, const QStringList& list) {
            QJsonObject result = common;
            result.insert(QLatin1String(key), QJsonArray::fromStringList(list));
            return result;
        };
        const QString pageShot =
            ProductPages::imageAddress(QStringLiteral("Purple116"), 1, QStringLiteral("1290x2796"));
        QTest::newRow("iPhone") << with("screenshotUrls", {"p1", "p2"})
                                << strings({"✅ Got 2 iPhone screenshots from API"}) << QStringList{"p1", "p2"}
                                << false;
        QJsonObject ipad = with("ipadScreenshotUrls", {"i1"});
        ipad.insert("screenshotUrls", QJsonArray());
        QTest::newRow("iPad when iPhone is empty")
            << ipad << strings({"✅ Got 1 iPad screenshots from API"}) << QStringList{"i1"} << false;
        QTest::newRow("Apple TV only: the page")
            << with("appletvScreenshotUrls", {"t1"})
            << strings({"🌐 Using WebKit scraper...", "✅ Got 1 screenshots from WebKit",
                        "💰 Found 1 IAP products", "💰 Has In-App Purchases"})
            << QStringList{pageShot} << true;
    }
    void fetchDetails_takesLookupScreenshotsOrThePage() {
        QFETCH(QJsonObject, lookup);
        QFETCH(QStringList, expectedLines);
        QFETCH(QStringList, expectedScreenshots);
        QFETCH(bool, purchases);
        AppRef app = storedApp(QStringLiteral("20"));
        serveLookup(QStringLiteral("20"), lookup, 300);
        servePage(QStringLiteral("20"), ProductPages::html(ProductPages::samplePage()));
        auto view = showView(app);
        ConsoleCapture console;
        QTest::mouseClick(view->loadDetailsButton(), Qt::LeftButton);
        // While loading: a progress indicator instead of the button, reload disabled.
        QTRY_VERIFY(view->isLoadingDetails());
        QVERIFY(!view->loadDetailsButton()->isVisibleTo(view.get()));
        QVERIFY(view->findChild<BusyIndicator*>(QStringLiteral("loadingDetails"))->isVisibleTo(view.get()));
        QVERIFY(!view->reloadButton()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!view->isLoadingDetails(), 15000);
        QVERIFY(view->reloadButton()->isEnabled());

        QStringList expected{QStringLiteral("🔍 Manually fetching details for: Tiny Tactics")};
        expected += expectedLines;
        expected += QStringList{QStringLiteral("💾 Final save:"), QStringLiteral("   Description: true"),
                                QStringLiteral("   Screenshots: %1").arg(expectedScreenshots.size()),
                                QStringLiteral("   IAP: ") + (purchases ? "true" : "false"),
                                QStringLiteral("✅ All details saved for: Tiny Tactics")};
        QVERIFY2(console.containsInOrder(expected), qPrintable(console.lines().join('\n')));
        QCOMPARE(console.lines().last(), expected.last());
        if (!purchases)
            QVERIFY(!console.contains(QStringLiteral("🌐 Using WebKit scraper...")));

        QCOMPARE(app->screenshotURLs(), std::optional<QStringList>(expectedScreenshots));
        QCOMPARE(app->rating(), std::optional<double>(4.5));
        QCOMPARE(app->ratingCount(), std::optional<qint64>(321));
        QCOMPARE(app->appSize(), std::optional<QString>(QStringLiteral("15.5 MB")));
        QCOMPARE(app->appVersion(), std::optional<QString>(QStringLiteral("2.0")));
        QCOMPARE(app->ageRating(), std::optional<QString>(QStringLiteral("9+")));
        // The lookup's description is kept over the page's.
        QCOMPARE(app->appDescription(), std::optional<QString>(QStringLiteral("From the lookup")));
        if (purchases) {
            QCOMPARE(app->inAppPurchaseItems(), std::optional<QList<IAPItem>>(QList<IAPItem>{
                                                    {QStringLiteral("Gem Pack"), QStringLiteral("$4.99")}}));
            QCOMPARE(app->inAppPurchaseInfo(),
                     std::optional<QString>(QStringLiteral("Offers In-App Purchases")));
        }
        QVERIFY(app->detailsFetched());
        QVERIFY(!context().hasChanges());

        // The view shows what arrived.
        QVERIFY(!view->loadDetailsButton()->isVisibleTo(view.get()));
        QVERIFY(!visibleTexts(view.get()).contains(QStringLiteral("Extended details not loaded yet")));
        QCOMPARE(infoValue(*view, QStringLiteral("Version")), QStringLiteral("2.0"));
        QCOMPARE(view->thumbnails().size(), expectedScreenshots.size());
    }

    // A lookup without a result still scrapes the page, and the fetch ends marked.
    void fetchDetails_withoutLookupResult() {
        AppRef app = storedApp(QStringLiteral("21"));
        m_store->setJson(QStringLiteral("/lookup?id=21"), StoreDocuments::lookupDocument(0, {}));
        servePage(QStringLiteral("21"), ProductPages::html(ProductPages::samplePage()));
        app->setRating(3.0); // not touched without a lookup result
        ConsoleCapture console;
        auto view = showView(app);
        AsyncTest::run(view->fetchDetails(), {20s, 2s});
        QVERIFY(console.contains(QStringLiteral("🌐 Using WebKit scraper...")));
        QCOMPARE(app->appDescription(), std::optional<QString>(QStringLiteral("From the page")));
        QCOMPARE(app->rating(), std::optional<double>(3.0));
        QVERIFY(app->detailsFetched());
        QCOMPARE(console.lines().last(), QStringLiteral("✅ All details saved for: Tiny Tactics"));
    }

    void fetchDetails_failureLeavesTheRecordUnmarkedAndUnsaved_data() {
        QTest::addColumn<QString>("failure");
        QTest::newRow("lookup refused") << QStringLiteral("lookup");
        QTest::newRow("page load breaks off") << QStringLiteral("page");
    }
    void fetchDetails_failureLeavesTheRecordUnmarkedAndUnsaved() {
        QFETCH(QString, failure);
        AppRef app = storedApp(QStringLiteral("22"));
        if (failure == QLatin1String("lookup")) {
            qputenv("CALDRIN_STORE_ORIGIN", FakeStore::refusedOrigin().toUtf8());
        } else {
            serveLookup(QStringLiteral("22"), QJsonObject{{"version", "3.0"}});
            FakeStore::Response page = ProductPages::html(ProductPages::samplePage());
            page.behaviour = FakeStore::Behaviour::Truncate;
            servePage(QStringLiteral("22"), page);
        }
        ConsoleCapture console;
        auto view = showView(app);
        QTest::mouseClick(view->loadDetailsButton(), Qt::LeftButton);
        QTRY_VERIFY(view->isLoadingDetails());
        QTRY_VERIFY_WITH_TIMEOUT(!view->isLoadingDetails(), 15000);
        const QString last = console.lines().last();
        QVERIFY2(last.startsWith(QStringLiteral("❌ Error fetching details: ")), qPrintable(last));
        QVERIFY(last.size() > QStringLiteral("❌ Error fetching details: ").size());
        QVERIFY(!console.contains(QStringLiteral("💾 Final save:")));
        QVERIFY(!app->detailsFetched());
        QVERIFY(view->loadDetailsButton()->isVisibleTo(view.get()));
        if (failure == QLatin1String("page")) {
            // What the lookup gave stays in memory, unsaved.
            QCOMPARE(app->appVersion(), std::optional<QString>(QStringLiteral("3.0")));
            QVERIFY(context().hasChanges());
        } else {
            QVERIFY(!context().hasChanges());
        }
    }

    // A save that fails is ignored: the fetch reports success all the same.
    void fetchDetails_ignoresAFailedSave() {
        AppRef app = storedApp(QStringLiteral("23"));
        serveLookup(QStringLiteral("23"), QJsonObject{{"screenshotUrls", QJsonArray{"p1"}}});
        m_container->database().setFaultHook(
            [](const QByteArray& sql) { return sql == "COMMIT" ? SQLITE_FULL : SQLITE_OK; });
        ConsoleCapture console;
        auto view = showView(app);
        AsyncTest::run(view->fetchDetails(), {10s, 2s});
        m_container->database().setFaultHook({});
        QCOMPARE(console.lines().last(), QStringLiteral("✅ All details saved for: Tiny Tactics"));
        QVERIFY(!console.containsInOrder({QStringLiteral("💾 Final save:"), QStringLiteral("❌")}));
        QVERIFY(app->detailsFetched());
        QVERIFY(context().hasChanges());
        context().save();
        QVERIFY(!context().hasChanges());
    }

    // Reload empties the enrichment at once (unsaved), then fetches again.
    void refetchDetails_clearsThenFetchesAgain() {
        AppRef app = storedApp(QStringLiteral("24"));
        app->setRating(2.0);
        app->setRatingCount(5);
        app->setAppSize(QStringLiteral("1 MB"));
        app->setAppVersion(QStringLiteral("1.0"));
        app->setAgeRating(QStringLiteral("4+"));
        app->setHasInAppPurchases(true);
        app->setInAppPurchaseInfo(QStringLiteral("Offers In-App Purchases"));
        app->setInAppPurchaseItems(QList<IAPItem>{{QStringLiteral("Old"), QStringLiteral("$1")}});
        app->setScreenshotURLs(QStringList{QStringLiteral("old")});
        app->setAppDescription(QStringLiteral("Old description"));
        app->setDetailsFetched(true);
        context().save();
        serveLookup(QStringLiteral("24"),
                    QJsonObject{{"averageUserRating", 4.0},
                                {"userRatingCount", 10},
                                {"version", "1.1"},
                                {"screenshotUrls", QJsonArray{"new1", "new2"}}},
                    400);
        auto view = showView(app);
        ConsoleCapture console;
        QVERIFY(!visibleTexts(view.get()).contains(QStringLiteral("Extended details not loaded yet")));
        QTest::mouseClick(view->reloadButton(), Qt::LeftButton);
        QTRY_VERIFY(view->isLoadingDetails());
        QVERIFY(!view->reloadButton()->isEnabled());
        // Everything the fetch fills is gone from the record and the view.
        QCOMPARE(app->rating(), std::optional<double>());
        QCOMPARE(app->ratingCount(), std::optional<qint64>());
        QCOMPARE(app->appSize(), std::optional<QString>());
        QCOMPARE(app->appVersion(), std::optional<QString>());
        QCOMPARE(app->ageRating(), std::optional<QString>());
        QCOMPARE(app->hasInAppPurchases(), std::optional<bool>());
        QCOMPARE(app->inAppPurchaseInfo(), std::optional<QString>());
        QCOMPARE(app->inAppPurchaseItems(), std::optional<QList<IAPItem>>());
        QCOMPARE(app->screenshotURLs(), std::optional<QStringList>());
        QVERIFY(!app->hasAppDescription());
        QVERIFY(!app->detailsFetched());
        QVERIFY(context().hasChanges());
        QCOMPARE(infoValue(*view, QStringLiteral("Version")), QStringLiteral("N/A"));
        QCOMPARE(infoValue(*view, QStringLiteral("Size")), QStringLiteral("N/A"));
        QVERIFY(!view->findChild<QLabel*>(QStringLiteral("ratingValue"))->isVisibleTo(view.get()));
        QVERIFY(view->thumbnails().isEmpty());
        QVERIFY(visibleTexts(view.get()).contains(QStringLiteral("Extended details not loaded yet")));
        QVERIFY(view->findChild<BusyIndicator*>(QStringLiteral("loadingDetails"))->isVisibleTo(view.get()));

        QTRY_VERIFY_WITH_TIMEOUT(!view->isLoadingDetails(), 15000);
        QCOMPARE(console.lines().first(), QStringLiteral("🔄 RE-fetching details for: Tiny Tactics"));
        QCOMPARE(console.lines().at(1), QStringLiteral("🔍 Manually fetching details for: Tiny Tactics"));
        QVERIFY(console.containsInOrder(
            strings({"✅ Got 2 iPhone screenshots from API", "💾 Final save:", "   Description: false",
                     "   Screenshots: 2", "   IAP: false", "✅ All details saved for: Tiny Tactics"})));
        QCOMPARE(app->appVersion(), std::optional<QString>(QStringLiteral("1.1")));
        QCOMPARE(app->inAppPurchaseItems(), std::optional<QList<IAPItem>>());
        QVERIFY(app->detailsFetched());
        QVERIFY(!context().hasChanges());
        QCOMPARE(view->thumbnails().size(), 2);
        QCOMPARE(view->findChild<QLabel*>(QStringLiteral("ratingValue"))->text(), QStringLiteral("4.0"));
    }

    // A fetch goes on when its view is gone, and leaves the record filled and saved.
    void fetch_outlivesItsView() {
        AppRef app = storedApp(QStringLiteral("25"));
        serveLookup(QStringLiteral("25"), QJsonObject{{"version", "5.0"}}, 300);
        servePage(QStringLiteral("25"), ProductPages::html(ProductPages::samplePage()));
        ConsoleCapture console;
        auto view = showView(app);
        QTest::mouseClick(view->loadDetailsButton(), Qt::LeftButton);
        QTRY_VERIFY(lookupAsked());
        view.reset();
        QTRY_VERIFY_WITH_TIMEOUT(app->detailsFetched(), 15000);
        QTRY_COMPARE(console.lines().last(), QStringLiteral("✅ All details saved for: Tiny Tactics"));
        QCOMPARE(app->appVersion(), std::optional<QString>(QStringLiteral("5.0")));
        QCOMPARE(app->hasInAppPurchases(), std::optional<bool>(true));
        QVERIFY(!context().hasChanges());

        // A new view of the same app starts afresh and shows the result.
        auto again = showView(app);
        QVERIFY(!again->isLoadingDetails());
        QVERIFY(!visibleTexts(again.get()).contains(QStringLiteral("Extended details not loaded yet")));
        QCOMPARE(infoValue(*again, QStringLiteral("Version")), QStringLiteral("5.0"));
    }

    // A record deleted while the view shows it (the window's reset) stays
    // readable, and a fetch on it neither fails nor brings it back.
    void deletedRecord_staysReadable() {
        AppRef app = storedApp(QStringLiteral("26"));
        serveLookup(QStringLiteral("26"), QJsonObject{{"screenshotUrls", QJsonArray{"p1"}}});
        auto view = showView(app);
        context().removeAll<AppModel>();
        context().save();
        QVERIFY(visibleTexts(view.get()).contains(QStringLiteral("Tiny Tactics")));
        ConsoleCapture console;
        AsyncTest::run(view->fetchDetails(), {10s, 2s});
        QCOMPARE(console.lines().last(), QStringLiteral("✅ All details saved for: Tiny Tactics"));
        QCOMPARE(context().count<AppModel>(), 0);
        QCOMPARE(view->thumbnails().size(), 1);
    }
};

CALDRIN_WEBENGINE_TEST_MAIN(TestDetailView)

#include "tst_detailview.moc"
