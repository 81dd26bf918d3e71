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
#include "FavoritesService.h"
#include "FixtureImages.h"
#include "ImageLoader.h"
#include "InfoItem.h"
#include "ModelContainer.h"
#include "ModelContext.h"
#include "ProductPages.h"
#include "SampleApps.h"
#include "ScreenshotThumbnail.h"
#include "ScreenshotViewerSheet.h"
#include "SqliteDatabase.h"
#include "StoreDocuments.h"
#include "SymbolLabel.h"
#include "SymbolTable.h"
#include "WebEngineTestMain.h"
#include "WindowTestKit.h"

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
using namespace Qt::StringLiterals;

namespace {

// The texts of the labels and buttons shown within root.
QStringList texts(const QWidget* root) {
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

bool showsNotice(const QWidget* view) {
    return texts(view).contains(u"Extended details not loaded yet"_s);
}

QString infoValue(const AppDetailView& view, const QString& title) {
    for (const InfoItem* item : view.findChildren<InfoItem*>()) {
        if (item->title() == title)
            return item->value();
    }
    return u"<no item>"_s;
}

// The value shown under a label of the "Additional Information" section.
QLabel* additionalValue(const AppDetailView& view, const QString& title) {
    for (QLabel* label : view.findChildren<QLabel*>()) {
        const auto values = label->parentWidget()->findChildren<QLabel*>(u"additionalValue"_s);
        if (label->text() == title && !values.isEmpty())
            return values.first();
    }
    return nullptr;
}

QStringList starSymbols(const AppDetailView& view) {
    QStringList stars;
    for (int i = 0; i < 5; ++i)
        stars.append(view.findChild<QLabel*>(u"star%1"_s.arg(i))->property("symbol").toString());
    return stars;
}

bool isBusy(const AppDetailView& view) {
    return view.findChild<BusyIndicator*>(u"loadingDetails"_s)->isVisibleTo(&view);
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
    QString image(const QString& file) const { return m_store->origin() + u"/images/"_s + file; }

    AppRef storedApp(const QString& appleID) {
        auto app = SampleApps::make(appleID, {u"Tiny Tactics"_s, u"Moonbeam Games"_s});
        app->setAppStoreURL(m_store->origin() + u"/us/app/x/id"_s + appleID);
        app->setPriceLabel(u"Free"_s);
        app->setReleaseDateString(u"Dec 3, 2026"_s);
        app->setFetchedAt(QDateTime(QDate(2026, 12, 4), QTime(9, 41), Qt::UTC));
        app = context().insert(app);
        context().save();
        return app;
    }

    std::unique_ptr<AppDetailView> showView(const AppRef& app) {
        AppDetailView::Options options;
        options.openUrl = WindowTestKit::recordInto(m_opened);
        options.timing.scraper = {30ms, 5s};
        options.timing.http.transferTimeout = 5s;
        options.loader = m_loader.get();
        auto view = std::make_unique<AppDetailView>(app, context(), options);
        view->resize(820, 900);
        view->show();
        return view;
    }

    void serveLookup(const QString& appleID, const QJsonObject& result, int delayMs = 0) {
        FakeStore::Response response;
        response.body = StoreDocuments::lookupDocument(1, {result});
        response.delayMs = delayMs;
        m_store->setResponse(u"/lookup?id="_s + appleID, response);
    }
    void servePage(const QString& appleID, FakeStore::Behaviour behaviour = FakeStore::Behaviour::Normal) {
        FakeStore::Response page = ProductPages::html(ProductPages::samplePage());
        page.behaviour = behaviour;
        m_store->setResponse(u"/us/app/x/id"_s + appleID, page);
    }
    bool lookupAsked() const {
        const QStringList requests = m_store->requests();
        return std::any_of(requests.begin(), requests.end(),
                           [](const QString& r) { return r.startsWith(u"/lookup"_s); });
    }
    // Clicks "Load Details" and waits for the fetch to end.
    void loadDetails(AppDetailView& view) {
        QTest::mouseClick(view.loadDetailsButton(), Qt::LeftButton);
        QTRY_VERIFY(view.isLoadingDetails());
        QTRY_VERIFY_WITH_TIMEOUT(!view.isLoadingDetails(), 15000);
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
        QVERIFY(FixtureImages::writeImage(fixtures, u"small.png"_s,
                                          FixtureImages::solid(QSize(100, 150), Qt::red)));
        m_store->setFixturesDirectory(fixtures);
        QVERIFY(m_store->listen());
        qputenv("CALDRIN_STORE_ORIGIN", m_store->origin().toUtf8());
        m_loader = std::make_unique<ImageLoader>(m_dir->filePath(u"cache"_s));
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
        QTest::newRow("2.5 rounds away from zero") << some(2.5) << many(3) << 3 << "2.5 (3)";
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
        for (const char* text : {"Tiny Tactics", "Moonbeam Games", "Games", "Free", "Open in App Store",
                                 "Developer Page", "Copy Link"})
            QVERIFY2(texts(view.get()).contains(QString::fromUtf8(text)), text);
        auto* value = view->findChild<QLabel*>(u"ratingValue"_s);
        QCOMPARE(value->isVisibleTo(view.get()), filled >= 0);
        if (filled >= 0) {
            QCOMPARE(value->text() + ' ' + view->findChild<QLabel*>(u"ratingCount"_s)->text(), shown);
            QStringList expected(5, u"star"_s);
            std::fill_n(expected.begin(), filled, u"star.fill"_s);
            QCOMPARE(starSymbols(*view), expected);
        }

        // The purchases mark follows the record, before any save.
        QVERIFY(!texts(view.get()).contains(u"IAP"_s));
        app->setHasInAppPurchases(true);
        QVERIFY(texts(view.get()).contains(u"IAP"_s));
        app->setHasInAppPurchases(false);
        QVERIFY(!texts(view.get()).contains(u"IAP"_s));
        QVERIFY(context().hasChanges());
    }

    void information_showsValuesAndPurchases() {
        AppRef app = storedApp(u"2"_s);
        auto view = showView(app);
        for (const char* title : {"Version", "Size", "Age Rating"})
            QCOMPARE(infoValue(*view, QString::fromUtf8(title)), u"N/A"_s);
        QCOMPARE(infoValue(*view, u"Released"_s), u"Dec 3, 2026"_s);
        auto* info = view->findChild<SymbolLabel*>(u"purchaseInfo"_s);
        auto* list = view->findChild<QWidget*>(u"purchaseList"_s);
        QVERIFY(!info->isVisibleTo(view.get()) && !list->isVisibleTo(view.get()));

        app->setAppVersion(u"2.1"_s);
        app->setAppSize(u"48.2 MB"_s);
        app->setAgeRating(u"12+"_s);
        app->setInAppPurchaseInfo(u"Offers In-App Purchases"_s);
        app->setInAppPurchaseItems(
            QList<IAPItem>{{u"Gem Pack"_s, u"$4.99"_s}, {u"<b>Gold</b> & more"_s, u"$9.99"_s}});
        QCOMPARE(infoValue(*view, u"Version"_s), u"2.1"_s);
        QCOMPARE(infoValue(*view, u"Size"_s), u"48.2 MB"_s);
        QCOMPARE(infoValue(*view, u"Age Rating"_s), u"12+"_s);
        QVERIFY(info->isVisibleTo(view.get()) && list->isVisibleTo(view.get()));
        QCOMPARE(info->text(), u"Offers In-App Purchases"_s);
        for (const char* text : {"In-App Purchases (2)", "$4.99", "$9.99", "•", "—"})
            QVERIFY2(texts(list).contains(QString::fromUtf8(text)), text);
        // Names are shown as typed, never read as markup.
        QStringList names;
        for (const ElidedLabel* name : list->findChildren<ElidedLabel*>())
            names.append(name->text());
        QCOMPARE(names, (QStringList{"Gem Pack", "<b>Gold</b> & more"}));

        // An empty list shows no list; the info row stays.
        app->setInAppPurchaseItems(QList<IAPItem>());
        QVERIFY(!list->isVisibleTo(view.get()));
        QVERIFY(info->isVisibleTo(view.get()));
    }

    void description_copyAndTranslate() {
        AppRef app = storedApp(u"4"_s);
        auto view = showView(app);
        QVERIFY(!texts(view.get()).contains(u"Description"_s));
        const QString description = u"Build & battle: 1+1=2 #tactics\n<i>Привет</i>"_s;
        app->setAppDescription(description);
        QVERIFY(texts(view.get()).contains(u"Description"_s));
        auto* text = view->findChild<QLabel*>(u"descriptionText"_s);
        QCOMPARE(text->text(), description);
        QCOMPARE(text->textFormat(), Qt::PlainText);
        QVERIFY(text->textInteractionFlags() & Qt::TextSelectableByMouse);

        QGuiApplication::clipboard()->setText(u"something else"_s);
        QTest::mouseClick(view->copyDescriptionButton(), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), description);
        QCOMPARE(QGuiApplication::clipboard()->mimeData()->formats(), QStringList{"text/plain"});

        QTest::mouseClick(view->translateButton(), Qt::LeftButton);
        QCOMPARE(m_opened, QList<QUrl>{*AppDetailView::translationAddress(description, u"ru"_s)});
        QCOMPARE(QUrlQuery(m_opened.first()).queryItemValue(u"text"_s, QUrl::FullyDecoded), description);
    }

    // A description of any length is shown cut short, so that laying it out
    // cannot freeze the window; copying still takes all of it.
    void description_longTextIsShownCutShort() {
        AppRef app = storedApp(u"9"_s);
        QString text;
        while (text.size() < 300000)
            text += u"Lorem ipsum dolor sit amet 🎮 "_s;
        app->setAppDescription(text);
        app->setName(QString(5000, QLatin1Char('N')));
        auto view = showView(app);
        const QString shown = view->findChild<QLabel*>(u"descriptionText"_s)->text();
        QVERIFY(shown.size() <= AppDetailView::descriptionDisplayLimit + 1);
        QVERIFY(shown.endsWith(u"…"_s));
        QVERIFY(text.startsWith(shown.chopped(1)));
        QVERIFY(!shown.chopped(1).back().isHighSurrogate());
        QCOMPARE(view->findChild<QLabel*>(u"appName"_s)->text().size(), AppDetailView::nameDisplayLimit + 1);
        QTest::mouseClick(view->copyDescriptionButton(), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), text);
    }

    // The text reaches the site whole: nothing in it starts a parameter, ends
    // the value or turns into a space.
    void translationAddress_keepsTheTextWhole_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("encoded");
        QTest::newRow("ampersand") << u"Tom & Jerry"_s << u"Tom%20%26%20Jerry"_s;
        QTest::newRow("plus and equals") << u"1+1=2"_s << u"1%2B1%3D2"_s;
        QTest::newRow("hash") << u"#1 app"_s << u"%231%20app"_s;
        QTest::newRow("percent") << u"100%"_s << u"100%25"_s;
        QTest::newRow("query characters stay") << u"a/b?c:d@e!$'()*,;-._~"_s << u"a/b?c:d@e!$'()*,;-._~"_s;
        QTest::newRow("line break") << u"a\nb"_s << u"a%0Ab"_s;
        QTest::newRow("emoji") << u"🎮"_s << u"%F0%9F%8E%AE"_s;
    }
    void translationAddress_keepsTheTextWhole() {
        QFETCH(QString, text);
        QFETCH(QString, encoded);
        const std::optional<QUrl> address = AppDetailView::translationAddress(text, u"ru"_s);
        QVERIFY(address);
        QCOMPARE(QString::fromLatin1(address->toEncoded()),
                 u"https://translate.google.com/?sl=auto&tl=ru&text="_s + encoded + u"&op=translate"_s);
        const QUrlQuery query(*address);
        QCOMPARE(query.queryItems(QUrl::FullyDecoded).size(), 4);
        QCOMPARE(query.queryItemValue(u"text"_s, QUrl::FullyDecoded), text);
    }

    // Only web addresses are opened; a feed's "javascript:" or "file:" address never is.
    void links_openOnlyWebAddresses_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("opens");
        QTest::newRow("https") << u"https://apps.apple.com/us/app/id1"_s << true;
        QTest::newRow("http") << u"http://apps.example/id1"_s << true;
        QTest::newRow("javascript") << u"javascript:alert(1)"_s << false;
        QTest::newRow("file") << u"file:///etc/passwd"_s << false;
        QTest::newRow("ftp") << u"ftp://apps.example/id1"_s << false;
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

        // Without a developer address the button stays and does nothing.
        m_opened.clear();
        app->setDeveloperURL(std::nullopt);
        QVERIFY(view->developerPageButton()->isVisibleTo(view.get()));
        QTest::mouseClick(view->developerPageButton(), Qt::LeftButton);
        QVERIFY(m_opened.isEmpty());
    }

    void additionalInformation_valuesCanBeSelected() {
        auto view = showView(storedApp(u"6"_s));
        const QList<std::pair<QString, QString>> expected{{u"Apple ID"_s, u"6"_s},
                                                          {u"Bundle ID"_s, u"com.example.6"_s},
                                                          {u"Category ID"_s, u"1"_s},
                                                          {u"Fetched At"_s, u"12/4/26"_s}};
        for (const auto& [title, value] : expected) {
            QLabel* label = additionalValue(*view, title);
            QVERIFY2(label, qPrintable(title));
            QVERIFY2(label->text().startsWith(value), qPrintable(label->text()));
            QVERIFY(label->textInteractionFlags() & Qt::TextSelectableByMouse);
        }
    }

    // --- Favorites ---------------------------------------------------------------------

    // On its own the view makes the favorites service (and the default folder)
    // and follows the favorites; it never fetches details by itself. The
    // sheet's flow from the star runs in the window's test.
    void onItsOwn_theViewFollowsFavoritesAndFetchesNothing() {
        ConsoleCapture console;
        auto view = showView(storedApp(u"7"_s));
        QVERIFY(view->favoritesService());
        QCOMPARE(console.lines(), QStringList{"✅ Created default 'Unfiltered' folder"});
        QVERIFY(!view->showsFavorite());
        view->favoritesService()->addToFavorites(u"7"_s, u"Unfiltered"_s, QString());
        QTRY_VERIFY(view->showsFavorite());
        // Pressed for a favorite, the star opens the sheet all the same.
        QTest::mouseClick(view->favoriteButton(), Qt::LeftButton);
        QVERIFY(view->addToFavoritesSheet());
        view->addToFavoritesSheet()->close();
        QTest::qWait(200);
        QVERIFY(!lookupAsked());
        QVERIFY(!isBusy(*view));
    }

    // --- Screenshots ---------------------------------------------------------------------------

    void screenshots_showThumbnailsThatOpenTheViewer() {
        AppRef app = storedApp(u"8"_s);
        auto view = showView(app);
        const QStringList shots{image(u"shot.png"_s), image(u"small.png"_s), image(u"missing.png"_s)};
        app->setScreenshotURLs(shots);
        QVERIFY(texts(view.get()).contains(u"Screenshots (3)"_s));
        const auto thumbnails = view->thumbnails();
        QCOMPARE(thumbnails.size(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(thumbnails[i]->address(), shots[i]);
        QTRY_VERIFY(thumbnails[0]->isShowingImage() && thumbnails[1]->isShowingImage());
        QTRY_COMPARE(m_loader->state(shots[2]), ImageLoader::State::Failed);
        QVERIFY(!thumbnails[2]->isShowingImage());

        QTest::mouseClick(thumbnails[1], Qt::LeftButton, {}, thumbnails[1]->pictureRect().center());
        QPointer<ScreenshotViewerSheet> viewer = view->screenshotViewer();
        QVERIFY(viewer);
        QCOMPARE(viewer->currentIndex(), 1);
        QCOMPARE(viewer->positionText(), u"2 / 3"_s);
        viewer->close();
        QTRY_VERIFY(!viewer);

        // Thousands of screenshots or purchases (a hostile lookup or page) get a
        // bounded number of rows; the headings and the viewer still have them all.
        QStringList many;
        QList<IAPItem> items;
        for (int i = 0; i < 5000; ++i) {
            many.append(image(u"shot.png?n=%1"_s.arg(i)));
            items.append({u"Item %1"_s.arg(i), u"$1"_s});
        }
        app->setScreenshotURLs(many);
        app->setInAppPurchaseItems(items);
        QVERIFY(texts(view.get()).contains(u"Screenshots (5000)"_s));
        QCOMPARE(view->thumbnails().size(), AppDetailView::thumbnailLimit);
        QTest::mouseClick(view->thumbnails().at(4), Qt::LeftButton, {}, QPoint(20, 20));
        viewer = view->screenshotViewer();
        QVERIFY(viewer);
        QCOMPARE(viewer->positionText(), u"5 / 5000"_s);
        viewer->close();
        QTRY_VERIFY(!viewer);
        QVERIFY(texts(view.get()).contains(u"In-App Purchases (5000)"_s));
        QCOMPARE(view->findChild<QWidget*>(u"purchaseList"_s)->findChildren<ElidedLabel*>().size(),
                 AppDetailView::purchaseRowLimit);

        // An emptied list hides the section.
        app->setScreenshotURLs(QStringList());
        QVERIFY(view->thumbnails().isEmpty());
        QVERIFY(!texts(view.get()).contains(u"Screenshots (0)"_s));
    }

    // --- Fetching --------------------------------------------------------------------------------

    // The lookup's screenshots: iPhone first, then iPad; nothing else counts,
    // and without them the page is scraped.
    void fetchDetails_takesLookupScreenshotsOrThePage_data() {
        QTest::addColumn<QJsonObject>("lookup");
        QTest::addColumn<QStringList>("expectedLines");
        QTest::addColumn<QStringList>("expectedScreenshots");
        QTest::addColumn<bool>("purchases");
        const QJsonObject common{{"version", "2.0"}, {"description", "From the lookup"}};
        auto with = [&](const char* key, const QStringList& list) {
            QJsonObject result = common;
            result.insert(QLatin1String(key), QJsonArray::fromStringList(list));
            return result;
        };
        const QString pageShot = ProductPages::imageAddress(u"Purple116"_s, 1, u"1290x2796"_s);
        QTest::newRow("iPhone") << with("screenshotUrls", {"p1", "p2"})
                                << QStringList{"✅ Got 2 iPhone screenshots from API"}
                                << QStringList{"p1", "p2"} << false;
        QJsonObject ipad = with("ipadScreenshotUrls", {"i1"});
        ipad.insert("screenshotUrls", QJsonArray());
        QTest::newRow("iPad when iPhone is empty")
            << ipad << QStringList{"✅ Got 1 iPad screenshots from API"} << QStringList{"i1"} << false;
        QTest::newRow("Apple TV only: the page")
            << with("appletvScreenshotUrls", {"t1"})
            << QStringList{"🌐 Using WebKit scraper...", "✅ Got 1 screenshots from WebKit",
                           "💰 Found 1 IAP products", "💰 Has In-App Purchases"}
            << QStringList{pageShot} << true;
    }
    void fetchDetails_takesLookupScreenshotsOrThePage() {
        QFETCH(QJsonObject, lookup);
        QFETCH(QStringList, expectedLines);
        QFETCH(QStringList, expectedScreenshots);
        QFETCH(bool, purchases);
        AppRef app = storedApp(u"20"_s);
        serveLookup(u"20"_s, lookup, 300);
        servePage(u"20"_s);
        auto view = showView(app);
        ConsoleCapture console;
        QVERIFY(showsNotice(view.get()) && view->loadDetailsButton()->isVisibleTo(view.get()));
        QTest::mouseClick(view->loadDetailsButton(), Qt::LeftButton);
        // While loading: a progress indicator instead of the button, reload disabled.
        QTRY_VERIFY(view->isLoadingDetails());
        QVERIFY(!view->loadDetailsButton()->isVisibleTo(view.get()));
        QVERIFY(isBusy(*view));
        QVERIFY(!view->reloadButton()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!view->isLoadingDetails(), 15000);
        QVERIFY(view->reloadButton()->isEnabled());

        const QStringList expected = QStringList{"🔍 Manually fetching details for: Tiny Tactics"} +
                                     expectedLines +
                                     QStringList{"💾 Final save:", "   Description: true",
                                                 u"   Screenshots: %1"_s.arg(expectedScreenshots.size()),
                                                 u"   IAP: "_s + (purchases ? "true" : "false"),
                                                 "✅ All details saved for: Tiny Tactics"};
        QVERIFY2(console.containsInOrder(expected), qPrintable(console.lines().join('\n')));
        QCOMPARE(console.lines().last(), expected.last());
        QCOMPARE(console.contains(u"🌐 Using WebKit scraper..."_s), purchases);

        // The lookup's fields are copied as the details queue copies them
        // (tst_queue); its description is kept over the page's.
        QCOMPARE(app->screenshotURLs(), std::optional(expectedScreenshots));
        QCOMPARE(app->appVersion(), std::optional(u"2.0"_s));
        QCOMPARE(app->appDescription(), std::optional(u"From the lookup"_s));
        if (purchases) {
            QCOMPARE(app->inAppPurchaseItems(), std::optional(QList<IAPItem>{{u"Gem Pack"_s, u"$4.99"_s}}));
            QCOMPARE(app->inAppPurchaseInfo(), std::optional(u"Offers In-App Purchases"_s));
        }
        QVERIFY(app->detailsFetched());
        QVERIFY(!context().hasChanges());

        // The view shows what arrived.
        QVERIFY(!view->loadDetailsButton()->isVisibleTo(view.get()));
        QVERIFY(!showsNotice(view.get()));
        QCOMPARE(infoValue(*view, u"Version"_s), u"2.0"_s);
        QCOMPARE(view->thumbnails().size(), expectedScreenshots.size());
    }

    // A lookup without a result still scrapes the page, and the fetch ends marked.
    void fetchDetails_withoutLookupResult() {
        AppRef app = storedApp(u"21"_s);
        m_store->setJson(u"/lookup?id=21"_s, StoreDocuments::lookupDocument(0, {}));
        servePage(u"21"_s);
        app->setRating(3.0); // not touched without a lookup result
        ConsoleCapture console;
        auto view = showView(app);
        AsyncTest::run(view->fetchDetails(), {20s, 2s});
        QVERIFY(console.contains(u"🌐 Using WebKit scraper..."_s));
        QCOMPARE(app->appDescription(), std::optional(u"From the page"_s));
        QCOMPARE(app->rating(), std::optional(3.0));
        QVERIFY(app->detailsFetched());
        QCOMPARE(console.lines().last(), u"✅ All details saved for: Tiny Tactics"_s);
    }

    void fetchDetails_failureLeavesTheRecordUnmarkedAndUnsaved_data() {
        QTest::addColumn<bool>("pageFails");
        QTest::newRow("lookup refused") << false;
        QTest::newRow("page load breaks off") << true;
    }
    void fetchDetails_failureLeavesTheRecordUnmarkedAndUnsaved() {
        QFETCH(bool, pageFails);
        AppRef app = storedApp(u"22"_s);
        if (pageFails) {
            serveLookup(u"22"_s, QJsonObject{{"version", "3.0"}});
            servePage(u"22"_s, FakeStore::Behaviour::Truncate);
        } else {
            qputenv("CALDRIN_STORE_ORIGIN", FakeStore::refusedOrigin().toUtf8());
        }
        ConsoleCapture console;
        auto view = showView(app);
        loadDetails(*view);
        const QString last = console.lines().last();
        const QString prefix = u"❌ Error fetching details: "_s;
        QVERIFY2(last.startsWith(prefix) && last.size() > prefix.size(), qPrintable(last));
        QVERIFY(!console.contains(u"💾 Final save:"_s));
        QVERIFY(!app->detailsFetched());
        QVERIFY(view->loadDetailsButton()->isVisibleTo(view.get()));
        // What the lookup gave stays in memory, unsaved.
        QCOMPARE(app->appVersion(), pageFails ? std::optional(u"3.0"_s) : std::nullopt);
        QCOMPARE(context().hasChanges(), pageFails);
    }

    // Reload empties the enrichment at once (unsaved), then fetches again.
    void refetchDetails_clearsThenFetchesAgain() {
        AppRef app = storedApp(u"24"_s);
        app->setRating(2.0);
        app->setRatingCount(5);
        app->setAppSize(u"1 MB"_s);
        app->setAppVersion(u"1.0"_s);
        app->setAgeRating(u"4+"_s);
        app->setHasInAppPurchases(true);
        app->setInAppPurchaseInfo(u"Offers In-App Purchases"_s);
        app->setInAppPurchaseItems(QList<IAPItem>{{u"Old"_s, u"$1"_s}});
        app->setScreenshotURLs(QStringList{u"old"_s});
        app->setAppDescription(u"Old description"_s);
        app->setDetailsFetched(true);
        context().save();
        serveLookup(u"24"_s,
                    QJsonObject{{"averageUserRating", 4.0},
                                {"userRatingCount", 10},
                                {"version", "1.1"},
                                {"screenshotUrls", QJsonArray{"new1", "new2"}}},
                    400);
        auto view = showView(app);
        ConsoleCapture console;
        QVERIFY(!showsNotice(view.get()));
        QTest::mouseClick(view->reloadButton(), Qt::LeftButton);
        QTRY_VERIFY(view->isLoadingDetails());
        QVERIFY(!view->reloadButton()->isEnabled());
        // Everything the fetch fills is gone from the record and the view.
        QVERIFY(!app->rating() && !app->ratingCount() && !app->appSize() && !app->appVersion() &&
                !app->ageRating());
        QVERIFY(!app->hasInAppPurchases() && !app->inAppPurchaseInfo() && !app->inAppPurchaseItems());
        QVERIFY(!app->screenshotURLs() && !app->hasAppDescription() && !app->detailsFetched());
        QVERIFY(context().hasChanges());
        QCOMPARE(infoValue(*view, u"Version"_s), u"N/A"_s);
        QCOMPARE(infoValue(*view, u"Size"_s), u"N/A"_s);
        QVERIFY(!view->findChild<QLabel*>(u"ratingValue"_s)->isVisibleTo(view.get()));
        QVERIFY(view->thumbnails().isEmpty());
        QVERIFY(showsNotice(view.get()));
        QVERIFY(isBusy(*view));

        QTRY_VERIFY_WITH_TIMEOUT(!view->isLoadingDetails(), 15000);
        QCOMPARE(console.lines().mid(0, 2), (QStringList{"🔄 RE-fetching details for: Tiny Tactics",
                                                         "🔍 Manually fetching details for: Tiny Tactics"}));
        QVERIFY(console.containsInOrder({"✅ Got 2 iPhone screenshots from API",
                                         "💾 Final save:", "   Description: false", "   Screenshots: 2",
                                         "   IAP: false", "✅ All details saved for: Tiny Tactics"}));
        QCOMPARE(app->appVersion(), std::optional(u"1.1"_s));
        QCOMPARE(app->inAppPurchaseItems(), std::nullopt);
        QVERIFY(app->detailsFetched());
        QVERIFY(!context().hasChanges());
        QCOMPARE(view->thumbnails().size(), 2);
        QCOMPARE(view->findChild<QLabel*>(u"ratingValue"_s)->text(), u"4.0"_s);
    }

    // A fetch goes on when its view is gone, and leaves the record filled and saved.
    void fetch_outlivesItsView() {
        AppRef app = storedApp(u"25"_s);
        serveLookup(u"25"_s, QJsonObject{{"version", "5.0"}}, 300);
        servePage(u"25"_s);
        ConsoleCapture console;
        auto view = showView(app);
        QTest::mouseClick(view->loadDetailsButton(), Qt::LeftButton);
        QTRY_VERIFY(lookupAsked());
        view.reset();
        QTRY_VERIFY_WITH_TIMEOUT(app->detailsFetched(), 15000);
        QTRY_COMPARE(console.lines().last(), u"✅ All details saved for: Tiny Tactics"_s);
        QCOMPARE(app->appVersion(), std::optional(u"5.0"_s));
        QCOMPARE(app->hasInAppPurchases(), std::optional(true));
        QVERIFY(!context().hasChanges());

        // A new view of the same app starts afresh and shows the result.
        auto again = showView(app);
        QVERIFY(!again->isLoadingDetails());
        QVERIFY(!showsNotice(again.get()));
        QCOMPARE(infoValue(*again, u"Version"_s), u"5.0"_s);
    }

    // A fetch whose save fails says its details are not saved yet (the changes
    // stay for the next save); one whose record was deleted while the view
    // showed it (the window's reset) ends normally: the record stays readable
    // and is not brought back.
    void fetchDetails_endsWhenTheSaveFailsOrTheRecordIsGone_data() {
        QTest::addColumn<bool>("deleted");
        QTest::newRow("the save fails") << false;
        QTest::newRow("the record is deleted") << true;
    }
    void fetchDetails_endsWhenTheSaveFailsOrTheRecordIsGone() {
        QFETCH(bool, deleted);
        AppRef app = storedApp(u"23"_s);
        serveLookup(u"23"_s, QJsonObject{{"screenshotUrls", QJsonArray{"p1"}}});
        auto view = showView(app);
        if (deleted) {
            context().removeAll<AppModel>();
            context().save();
        } else {
            m_container->database().setFaultHook(
                [](const QByteArray& sql) { return sql == "COMMIT" ? SQLITE_FULL : SQLITE_OK; });
        }
        ConsoleCapture console;
        AsyncTest::run(view->fetchDetails(), {10s, 2s});
        m_container->database().setFaultHook({});
        if (deleted)
            QCOMPARE(console.lines().last(), u"✅ All details saved for: Tiny Tactics"_s);
        else
            QVERIFY(console.lines().last().startsWith(u"⚠️ Details not saved yet for: Tiny Tactics ("_s));
        QVERIFY(!console.containsInOrder({u"💾 Final save:"_s, u"❌"_s}));
        QVERIFY(app->detailsFetched());
        QVERIFY(texts(view.get()).contains(u"Tiny Tactics"_s));
        QCOMPARE(view->thumbnails().size(), 1);
        QCOMPARE(context().hasChanges(), !deleted);
        context().save();
        QCOMPARE(context().count<AppModel>(), deleted ? 0 : 1);
    }
};

CALDRIN_WEBENGINE_TEST_MAIN(TestDetailView)

#include "tst_detailview.moc"
