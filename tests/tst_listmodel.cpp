// The main window's data layer: the app index, the app list and the category
// list, against stores with known records.
#include "AppIndex.h"
#include "AppListModel.h"
#include "AppModel.h"
#include "CategoryListModel.h"
#include "ConsoleCapture.h"
#include "ModelContainer.h"
#include "ModelContext.h"
#include "SampleApps.h"
#include "SqliteDatabase.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>
#include <sqlite3.h>

using AppRef = QSharedPointer<AppModel>;

namespace {

using Traits = SampleApps::Traits;

const QDateTime kDay0 = SampleApps::day0();

AppRef makeApp(const QString& appleID, const Traits& traits) {
    return SampleApps::make(appleID, traits);
}

QList<Traits> numbered(const QString& prefix, int count, const std::function<QString(int)>& categoryOf = {}) {
    return SampleApps::numbered(prefix, count, categoryOf);
}

QString gamesOrBooks(int i) {
    return i % 2 ? QStringLiteral("Games") : QStringLiteral("Books");
}

// One store per test, with the index and both models over it, each watched by
// a model tester.
class Fixture {
public:
    explicit Fixture(const QList<Traits>& traits = {}) {
        container = ModelContainer::open(dir.filePath(QStringLiteral("caldrin.sqlite")));
        for (qsizetype i = 0; i < traits.size(); ++i)
            context().insert(makeApp(QString::number(1000 + i), traits.at(i)));
        context().save();
    }
    ModelContext& context() { return container->mainContext(); }
    void open(AppIndex::Loading loading = AppIndex::Loading::Immediately) {
        index = std::make_unique<AppIndex>(context(), loading);
        list = std::make_unique<AppListModel>(*index);
        categories = std::make_unique<CategoryListModel>(*index);
        listTester = std::make_unique<QAbstractItemModelTester>(
            list.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        categoryTester = std::make_unique<QAbstractItemModelTester>(
            categories.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    }
    AppRef app(const QString& appleID) {
        return context().fetch<AppModel>(FetchDescriptor::equal("appleID", appleID)).value(0);
    }
    QStringList names() const {
        QStringList result;
        for (int row = 0; row < list->rowCount(); ++row)
            result.append(list->index(row).data(AppListModel::RecordRole).value<AppModel*>()->name());
        return result;
    }
    QStringList categoryRows() const {
        QStringList result;
        for (int row = 0; row < categories->rowCount(); ++row)
            result.append(QStringLiteral("%1=%2")
                              .arg(categories->categoryAt(row))
                              .arg(categories->unviewedCountAt(row)));
        return result;
    }

    QTemporaryDir dir;
    std::unique_ptr<ModelContainer> container;
    std::unique_ptr<AppIndex> index;
    std::unique_ptr<AppListModel> list;
    std::unique_ptr<CategoryListModel> categories;
    std::unique_ptr<QAbstractItemModelTester> listTester;
    std::unique_ptr<QAbstractItemModelTester> categoryTester;
};

// Lets the index apply what the context reported in this turn.
void turnEventLoop() {
    QCoreApplication::processEvents();
}

struct Spies {
    explicit Spies(QAbstractItemModel* model)
        : inserted(model, &QAbstractItemModel::rowsInserted)
        , removed(model, &QAbstractItemModel::rowsRemoved)
        , changed(model, &QAbstractItemModel::dataChanged)
        , reset(model, &QAbstractItemModel::modelReset)
        , layout(model, &QAbstractItemModel::layoutChanged) {}
    QSignalSpy inserted;
    QSignalSpy removed;
    QSignalSpy changed;
    QSignalSpy reset;
    QSignalSpy layout;
};

QList<Traits> searchStore() {
    return {
        {QStringLiteral("Photo Editor"), QStringLiteral("Nordlicht Studios"), QStringLiteral("Photo & Video"),
         9},
        {QStringLiteral("Budget Planner"), QStringLiteral("Jürgen Müller"), QStringLiteral("Finance"), 8},
        {QStringLiteral("Café Finder"), QStringLiteral("Señor Apps"), QStringLiteral("Food & Drink"), 7},
        {QStringLiteral("ÉCOLE Planner"), QStringLiteral("Lycée Labs"), QStringLiteral("Education"), 6},
        {QStringLiteral("Fußball Manager"), QStringLiteral("Kicker GmbH"), QStringLiteral("Sports"), 5},
        {QStringLiteral("日記アプリ"), QStringLiteral("株式会社サクラ"), QStringLiteral("Lifestyle"), 4},
        {QStringLiteral("Alpha"), QStringLiteral("Beta"), QStringLiteral("Utilities"), 3},
        {QStringLiteral("ΣΟΦΙΑ Quiz"), QStringLiteral("Athens Apps"), QStringLiteral("Education"), 2},
    };
}

} // namespace

class TestListModel : public QObject {
    Q_OBJECT

private slots:
    void search_matchesNameOrDeveloperIgnoringCase_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("developer only")
            << QStringLiteral("nordlicht") << QStringList{QStringLiteral("Photo Editor")};
        QTest::newRow("typed in capitals")
            << QStringLiteral("PHOTO ED") << QStringList{QStringLiteral("Photo Editor")};
        QTest::newRow("both fields, list order")
            << QStringLiteral("planner")
            << QStringList{QStringLiteral("Budget Planner"), QStringLiteral("ÉCOLE Planner")};
        QTest::newRow("é finds É and é")
            << QStringLiteral("é")
            << QStringList{QStringLiteral("Café Finder"), QStringLiteral("ÉCOLE Planner")};
        QTest::newRow("É finds é and É")
            << QStringLiteral("É")
            << QStringList{QStringLiteral("Café Finder"), QStringLiteral("ÉCOLE Planner")};
        QTest::newRow("decomposed é finds composed")
            << QStringLiteral("cafe\u0301") << QStringList{QStringLiteral("Café Finder")};
        QTest::newRow("ü in developer")
            << QStringLiteral("MÜLLER") << QStringList{QStringLiteral("Budget Planner")};
        QTest::newRow("ß finds ß") << QStringLiteral("fußball")
                                   << QStringList{QStringLiteral("Fußball Manager")};
        QTest::newRow("capital ẞ finds ß")
            << QStringLiteral("FUẞBALL") << QStringList{QStringLiteral("Fußball Manager")};
        QTest::newRow("SS is not ß") << QStringLiteral("FUSSBALL") << QStringList{};
        QTest::newRow("final sigma") << QStringLiteral("σοφια") << QStringList{QStringLiteral("ΣΟΦΙΑ Quiz")};
        QTest::newRow("CJK") << QStringLiteral("日記") << QStringList{QStringLiteral("日記アプリ")};
        QTest::newRow("CJK developer")
            << QStringLiteral("サクラ") << QStringList{QStringLiteral("日記アプリ")};
        QTest::newRow("not trimmed") << QStringLiteral(" editor")
                                     << QStringList{QStringLiteral("Photo Editor")};
        QTest::newRow("trailing space kept") << QStringLiteral("editor ") << QStringList{};
        QTest::newRow("not across name and developer") << QStringLiteral("alphabeta") << QStringList{};
        QTest::newRow("nothing") << QStringLiteral("zzz") << QStringList{};
    }
    void search_matchesNameOrDeveloperIgnoringCase() {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        Fixture store(searchStore());
        store.open();
        // Typed one character at a time, so that narrowing is exercised too.
        for (qsizetype length = 1; length <= text.size(); ++length)
            store.list->setSearchText(text.left(length));
        QCOMPARE(store.names(), expected);
        QCOMPARE(store.list->filteredCount(), expected.size());
        // And typed at once, from nothing.
        store.list->setSearchText(QString());
        QCOMPARE(store.list->filteredCount(), 8);
        store.list->setSearchText(text);
        QCOMPARE(store.names(), expected);
    }

    void search_agreesWithQStringCaseInsensitiveContains() {
        // Random names over an alphabet with case pairs, ß/ẞ, sigmas and CJK; every
        // needle is typed character by character and compared with the reference.
        const QString alphabet = QStringLiteral("aAbBéÉßẞσςΣ日 -");
        QRandomGenerator random(42);
        auto randomText = [&](int maxLength) {
            QString text;
            const int length = random.bounded(maxLength + 1);
            for (int i = 0; i < length; ++i)
                text += alphabet.at(random.bounded(alphabet.size()));
            return text;
        };
        QList<Traits> traits;
        for (int i = 0; i < 300; ++i)
            traits.append(Traits{randomText(8), randomText(6), QStringLiteral("Games"), random.bounded(50)});
        Fixture store(traits);
        store.open();
        store.list->setDisplayLimit(1000);
        for (int n = 0; n < 60; ++n) {
            const QString needle = randomText(3);
            for (qsizetype length = 0; length <= needle.size(); ++length) {
                const QString typed = needle.left(length);
                store.list->setSearchText(typed);
                store.list->setDisplayLimit(1000);
                QStringList expected;
                for (const Traits& traits : std::as_const(traits)) {
                    if (traits.name.contains(typed, Qt::CaseInsensitive) ||
                        traits.developer.contains(typed, Qt::CaseInsensitive))
                        expected.append(traits.name);
                }
                QStringList actual = store.names();
                expected.sort();
                actual.sort();
                QVERIFY2(actual == expected, qPrintable(QStringLiteral("search \"%1\"").arg(typed)));
            }
        }
    }

    void categories_listSortedWithUnviewedBadges() {
        Fixture store({{QStringLiteral("G1"), {}, QStringLiteral("Games"), 1},
                       {QStringLiteral("G2"), {}, QStringLiteral("Games"), 2},
                       {QStringLiteral("G3"), {}, QStringLiteral("Games"), 3, true},
                       {QStringLiteral("B1"), {}, QStringLiteral("Books"), 4, true},
                       {QStringLiteral("E1"), {}, QString(), 5},
                       {QStringLiteral("E2"), {}, QString(), 6},
                       {QStringLiteral("A1"), {}, QStringLiteral("All"), 7},
                       {QStringLiteral("Z1"), {}, QStringLiteral("Zebra"), 8},
                       {QStringLiteral("b1"), {}, QStringLiteral("books"), 9}});
        store.open();
        // "All" once, then plain text order: the empty category, capitals before
        // small letters; a category named "All" is not listed twice.
        QCOMPARE(store.categoryRows(),
                 (QStringList{"All=7", "=2", "Books=0", "Games=2", "Zebra=1", "books=1"}));
        store.list->setSelectedCategory(QString());
        QCOMPARE(store.names(), (QStringList{"E2", "E1"}));
        store.list->setSelectedCategory(QStringLiteral("Games"));
        QCOMPARE(store.names(), (QStringList{"G3", "G2", "G1"}));
        store.list->setSearchText(QStringLiteral("g2"));
        QCOMPARE(store.names(), QStringList{"G2"});
        store.list->setSearchText(QString());

        // Marking one viewed redraws two badges and nothing else.
        Spies categorySpies(store.categories.get());
        store.app(QStringLiteral("1000"))->setIsViewed(true);
        store.context().save();
        turnEventLoop();
        QCOMPARE(store.categoryRows(),
                 (QStringList{"All=6", "=2", "Books=0", "Games=1", "Zebra=1", "books=1"}));
        QCOMPARE(categorySpies.changed.size(), 2);
        QCOMPARE(categorySpies.inserted.size() + categorySpies.removed.size() + categorySpies.reset.size(),
                 0);

        // A category that no record has any more leaves the list; the list
        // filtered by it is empty until a record has it again.
        store.list->setSelectedCategory(QStringLiteral("Zebra"));
        QCOMPARE(store.list->filteredCount(), 1);
        store.context().remove(store.app(QStringLiteral("1007")).data());
        turnEventLoop();
        QCOMPARE(categorySpies.removed.size(), 1);
        QCOMPARE(store.categories->rowForCategory(QStringLiteral("Zebra")), -1);
        QCOMPARE(store.list->filteredCount(), 0);
        QCOMPARE(store.list->rowCount(), 0);
        QCOMPARE(store.list->selectedCategory(), QStringLiteral("Zebra"));
        store.context().insert(
            makeApp(QStringLiteral("2000"), {QStringLiteral("Z2"), {}, QStringLiteral("Zebra"), 10}));
        turnEventLoop();
        QCOMPARE(store.names(), QStringList{"Z2"});
        QCOMPARE(store.categories->unviewedCountAt(store.categories->rowForCategory(QStringLiteral("Zebra"))),
                 1);
    }

    void loadMore_showsFiftyMoreUntilAllMatchingAreShown() {
        Fixture store(numbered(QStringLiteral("Match"), 120) + numbered(QStringLiteral("Other"), 30));
        store.open();
        store.list->setSearchText(QStringLiteral("MATCH"));
        Spies spies(store.list.get());
        QSignalSpy remaining(store.list.get(), &AppListModel::remainingChanged);
        QCOMPARE(store.list->filteredCount(), 120);
        const QList<std::pair<int, qint64>> steps = {{50, 70}, {100, 20}, {120, 0}};
        for (qsizetype step = 0; step < steps.size(); ++step) {
            if (step > 0)
                store.list->loadMore();
            QCOMPARE(store.list->rowCount(), steps[step].first);
            QCOMPARE(store.list->remaining(), steps[step].second);
            QCOMPARE(store.list->displayLimit(), 50 * (step + 1));
        }
        // Newest first, and each press appends one run of rows.
        QCOMPARE(store.names().first(), QStringLiteral("Match 119"));
        QCOMPARE(store.names().last(), QStringLiteral("Match 0"));
        QCOMPARE(spies.inserted.size(), 2);
        QCOMPARE(spies.removed.size() + spies.reset.size(), 0);
        QCOMPARE(remaining.size(), 2);
        store.list->loadMore();
        QCOMPARE(store.list->rowCount(), 120);
        QCOMPARE(store.list->remaining(), 0);
    }

    void displayLimit_backToOnePageOnSearchOrCategoryOnly_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<qint64>("limit");
        QTest::newRow("one more character") << "search" << qint64(50);
        QTest::newRow("another category") << "category" << qint64(50);
        QTest::newRow("the same text again") << "same text" << qint64(150);
        QTest::newRow("records inserted") << "insert" << qint64(150);
        QTest::newRow("records removed") << "remove" << qint64(150);
    }
    void displayLimit_backToOnePageOnSearchOrCategoryOnly() {
        QFETCH(QString, action);
        QFETCH(qint64, limit);
        Fixture store(numbered(QStringLiteral("App"), 200, gamesOrBooks));
        store.open();
        store.list->setSearchText(QStringLiteral("app"));
        store.list->loadMore();
        store.list->loadMore();
        QCOMPARE(store.list->rowCount(), 150);
        if (action == QLatin1String("search"))
            store.list->setSearchText(QStringLiteral("app "));
        else if (action == QLatin1String("category"))
            store.list->setSelectedCategory(QStringLiteral("Games"));
        else if (action == QLatin1String("same text"))
            store.list->setSearchText(QStringLiteral("app"));
        else if (action == QLatin1String("insert"))
            store.context().insert(makeApp(QStringLiteral("new"), {QStringLiteral("App new"), {}, {}, 500}));
        else
            store.context().remove(store.app(QStringLiteral("1199")).data());
        turnEventLoop();
        QCOMPARE(store.list->displayLimit(), limit);
        QCOMPARE(store.list->rowCount(), std::min<qint64>(limit, store.list->filteredCount()));
    }

    void insertBatchBeforeSave_appearsAsOneInsertion() {
        Fixture store(numbered(QStringLiteral("Old"), 60));
        store.open();
        Spies spies(store.list.get());
        QList<AppRef> batch;
        for (int i = 0; i < 20; ++i)
            batch.append(store.context().insert(
                makeApp(QStringLiteral("new%1").arg(i),
                        {QStringLiteral("New %1").arg(i), {}, QStringLiteral("Books"), 100})));
        QCOMPARE(batch.first()->persistentId(), 0); // not written yet
        turnEventLoop();
        // The twenty land at the top in one run (same release date: insertion
        // order) and push twenty out at the bottom in one run.
        QCOMPARE(spies.inserted.size(), 1);
        QCOMPARE(spies.inserted.first().at(1).toInt(), 0);
        QCOMPARE(spies.inserted.first().at(2).toInt(), 19);
        QCOMPARE(spies.removed.size(), 1);
        QCOMPARE(spies.reset.size(), 0);
        QCOMPARE(store.list->rowCount(), 50);
        QCOMPARE(store.list->filteredCount(), 80);
        QCOMPARE(store.list->recordAt(0), batch.first().data());
        QCOMPARE(store.list->recordAt(19), batch.last().data());
        QCOMPARE(store.categoryRows(), (QStringList{"All=80", "Books=20", "Games=60"}));
        // Saving gives them keys and changes nothing on screen.
        store.context().save();
        turnEventLoop();
        QCOMPARE(spies.inserted.size(), 1);
        QCOMPARE(spies.removed.size(), 1);
        QCOMPARE(spies.layout.size(), 0);
        QCOMPARE(store.list->recordAt(0), batch.first().data());
        // A later change of a saved one still finds its row.
        batch.at(3)->setPriceLabel(QStringLiteral("$1.99"));
        turnEventLoop();
        QCOMPARE(spies.changed.size(), 1);
        QCOMPARE(spies.changed.first().at(0).toModelIndex().row(), 3);
    }

    void fieldChange_redrawsThatRowOnly_data() {
        QTest::addColumn<QString>("field");
        QTest::newRow("price label") << "priceLabel";
        QTest::newRow("viewed") << "isViewed";
        QTest::newRow("name, still matching") << "name";
        QTest::newRow("screenshots") << "screenshotURLs";
        QTest::newRow("description") << "appDescription";
    }
    void fieldChange_redrawsThatRowOnly() {
        QFETCH(QString, field);
        Fixture store(numbered(QStringLiteral("App"), 10));
        store.open();
        store.list->setSearchText(QStringLiteral("app"));
        Spies spies(store.list.get());
        AppModel* app = store.list->recordAt(4);
        if (field == QLatin1String("priceLabel"))
            app->setPriceLabel(QStringLiteral("$0.99"));
        else if (field == QLatin1String("isViewed"))
            app->setIsViewed(true);
        else if (field == QLatin1String("name"))
            app->setName(QStringLiteral("App renamed"));
        else if (field == QLatin1String("screenshotURLs"))
            app->setScreenshotURLs(QStringList{QStringLiteral("https://example/1.png")});
        else
            app->setAppDescription(QStringLiteral("Text"));
        app->setCopyright(QStringLiteral("© 2024")); // two changes, one redraw
        turnEventLoop();
        QCOMPARE(spies.changed.size(), 1);
        QCOMPARE(spies.changed.first().at(0).toModelIndex().row(), 4);
        QCOMPARE(spies.changed.first().at(1).toModelIndex().row(), 4);
        QCOMPARE(spies.inserted.size() + spies.removed.size() + spies.reset.size() + spies.layout.size(), 0);
        QCOMPARE(store.list->recordAt(4), app);
    }

    void nameChange_updatesSearchResults() {
        Fixture store(searchStore());
        store.open();
        store.list->setSearchText(QStringLiteral("photo"));
        QCOMPARE(store.list->filteredCount(), 1);
        store.app(QStringLiteral("1000"))->setName(QStringLiteral("Video Editor"));
        store.app(QStringLiteral("1001"))->setDeveloperName(QStringLiteral("Photon Works"));
        turnEventLoop();
        QCOMPARE(store.names(), QStringList{QStringLiteral("Budget Planner")});
        store.list->setSearchText(QStringLiteral("video"));
        QCOMPARE(store.names(), QStringList{QStringLiteral("Video Editor")});
    }

    void releaseDateChange_movesRowAndKeepsItsSelection() {
        Fixture store(numbered(QStringLiteral("App"), 10));
        store.open();
        Spies spies(store.list.get());
        const QPersistentModelIndex selected = store.list->index(5);
        AppModel* app = store.list->recordAt(5);
        app->setReleaseDate(kDay0.addDays(100));
        turnEventLoop();
        QCOMPARE(spies.layout.size(), 1);
        QCOMPARE(spies.inserted.size() + spies.removed.size() + spies.reset.size(), 0);
        QCOMPARE(selected.row(), 0);
        QCOMPARE(store.list->recordAt(0), app);
        QCOMPARE(store.list->rowForAppleID(app->appleID()), 0);
        QCOMPARE(store.list->rowForAppleID(QStringLiteral("none")), -1);
    }

    void removal_ofOneOrAll() {
        Fixture store(numbered(QStringLiteral("App"), 70,
                               [](int i) { return i % 2 ? QStringLiteral("Games") : QString(); }));
        store.open();
        Spies spies(store.list.get());
        store.context().remove(store.list->recordAt(2));
        turnEventLoop();
        QCOMPARE(spies.removed.size(), 1);
        QCOMPARE(spies.inserted.size(), 1); // the next one moves up from beyond the page
        QCOMPARE(store.list->filteredCount(), 69);

        store.list->setSearchText(QStringLiteral("app"));
        QCOMPARE(store.context().removeAll<AppModel>(), 69);
        turnEventLoop();
        QCOMPARE(store.list->rowCount(), 0);
        QCOMPARE(store.list->filteredCount(), 0);
        QCOMPARE(store.list->remaining(), 0);
        QCOMPARE(store.categoryRows(), QStringList{"All=0"});
        // Empty both before and after the save; new records come in afresh.
        store.context().save();
        store.context().insert(
            makeApp(QStringLiteral("1"), {QStringLiteral("App again"), {}, QStringLiteral("Books"), 1}));
        store.context().save();
        turnEventLoop();
        QCOMPARE(store.names(), QStringList{"App again"});
        QCOMPARE(store.categoryRows(), (QStringList{"All=1", "Books=1"}));
    }

    void manyRemovals_compactTheIndex() {
        Fixture store(numbered(QStringLiteral("App"), 4500, [](int i) {
            return i % 3 ? QStringLiteral("Games") : QStringLiteral("Books");
        }));
        store.open();
        store.list->setSearchText(QStringLiteral("app 44"));
        const QList<AppRef> all = store.context().fetch<AppModel>();
        for (int i = 0; i < 4200; ++i)
            store.context().remove(all.at(i).data());
        turnEventLoop();
        QCOMPARE(store.index->slotBound(), 300);    // renumbered without the removed
        QCOMPARE(store.list->filteredCount(), 100); // App 4400 .. App 4499
        QCOMPARE(store.names().first(), QStringLiteral("App 4499"));
        QCOMPARE(store.index->unviewedCount(), 300);
        all.at(4499)->setName(QStringLiteral("Renamed"));
        turnEventLoop();
        QCOMPARE(store.list->filteredCount(), 99);
    }

    void backgroundRead_keepsChangesMadeMeanwhile() {
        Fixture store(numbered(QStringLiteral("App"), 300, gamesOrBooks));
        store.open(AppIndex::Loading::InBackground);
        QSignalSpy ready(store.index.get(), &AppIndex::ready);
        // The first page is there before the index.
        QCOMPARE(store.list->rowCount(), 50);
        QCOMPARE(store.list->filteredCount(), 300);
        QCOMPARE(store.names().first(), QStringLiteral("App 299"));
        // So are the category names; their badges come with the index.
        QCOMPARE(store.categoryRows(), (QStringList{"All=0", "Books=0", "Games=0"}));
        store.list->setSelectedCategory(QStringLiteral("Books"));
        QCOMPARE(store.list->filteredCount(), 150);
        QCOMPARE(store.names().first(), QStringLiteral("App 298"));
        store.list->setSelectedCategory(AppIndex::allCategories());
        // Changes while the index is read, saved and unsaved, and a search.
        store.context().insert(
            makeApp(QStringLiteral("new"), {QStringLiteral("App new"), {}, QStringLiteral("Zebra"), 1000}));
        store.context().remove(store.app(QStringLiteral("1299")).data());
        store.app(QStringLiteral("1298"))->setIsViewed(true);
        store.context().save();
        store.app(QStringLiteral("1000"))->setName(QStringLiteral("Renamed first"));
        store.list->setSearchText(QStringLiteral("app"));
        QVERIFY(ready.wait(10000) || ready.size() == 1);
        turnEventLoop();
        QCOMPARE(store.list->filteredCount(), 299);
        QCOMPARE(store.names().first(), QStringLiteral("App new"));
        QCOMPARE(store.names().at(1), QStringLiteral("App 298"));
        QCOMPARE(store.categoryRows(), (QStringList{"All=299", "Books=149", "Games=149", "Zebra=1"}));
        // The same as an index read afresh from the saved store.
        store.context().save();
        AppIndex fresh(store.context(), AppIndex::Loading::Immediately);
        AppListModel freshList(fresh);
        freshList.setSearchText(QStringLiteral("app"));
        store.list->setDisplayLimit(400);
        freshList.setDisplayLimit(400);
        QCOMPARE(freshList.rowCount(), store.list->rowCount());
        for (int row = 0; row < freshList.rowCount(); ++row)
            QCOMPARE(freshList.recordAt(row), store.list->recordAt(row));
    }

    void unsavedRecordsAtStart_areListed() {
        Fixture store(numbered(QStringLiteral("Saved"), 3));
        store.context().insert(
            makeApp(QStringLiteral("u"), {QStringLiteral("Unsaved"), {}, QStringLiteral("Books"), 9}));
        // Another connection could not see it: the index reads on the main one.
        store.open(AppIndex::Loading::InBackground);
        QVERIFY(store.index->isReady());
        QCOMPARE(store.names(), (QStringList{"Unsaved", "Saved 2", "Saved 1", "Saved 0"}));
        QCOMPARE(store.categoryRows(), (QStringList{"All=4", "Books=1", "Games=3"}));
    }

    void unreadableRecord_leavesAnEmptyRowUntilTheNextUpdate() {
        Fixture store(numbered(QStringLiteral("App"), 60));
        ConsoleCapture console;
        bool failing = true;
        store.context().database().setFaultHook([&failing](const QByteArray& sql) {
            return failing && sql.contains("WHERE pk = ?") ? SQLITE_IOERR : SQLITE_OK;
        });
        store.open();
        QCOMPARE(store.list->rowCount(), 50);
        QCOMPARE(store.list->recordAt(0), nullptr);
        QCOMPARE(store.list->index(0).data().toString(), QString());
        QCOMPARE(console.linesStartingWith(QStringLiteral("❌ Could not read an app of the list: ")).size(),
                 1);
        failing = false;
        Spies spies(store.list.get());
        store.list->loadMore();
        QCOMPARE(store.list->recordAt(0)->name(), QStringLiteral("App 59"));
        QCOMPARE(spies.inserted.size(), 1);
        QCOMPARE(spies.changed.size(), 50); // the rows that were empty
    }

    void recordRole_givesTheRecordWithoutItsDescription() {
        Fixture store;
        auto app = makeApp(QStringLiteral("1"), {QStringLiteral("Described")});
        app->setAppDescription(QString(5000, QLatin1Char('d')));
        store.context().insert(app);
        store.context().save();
        app.reset();
        store.open();
        const QVariant value = store.list->index(0).data(AppListModel::RecordRole);
        auto* record = value.value<AppModel*>();
        QVERIFY(record);
        QCOMPARE(record->appleID(), QStringLiteral("1"));
        QVERIFY(record->hasAppDescription());
        QCOMPARE(store.list->index(0).data().toString(), QStringLiteral("Described"));
        QCOMPARE(store.list->roleNames().value(AppListModel::RecordRole), QByteArray("record"));
    }
};

QTEST_MAIN(TestListModel)
#include "tst_listmodel.moc"
