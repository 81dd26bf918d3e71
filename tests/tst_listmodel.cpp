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
#include "WindowTestKit.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sqlite3.h>

using AppRef = QSharedPointer<AppModel>;
using Traits = SampleApps::Traits;
using namespace Qt::StringLiterals;

namespace {

// One store per test, with the index and both models over it, each watched by
// a model tester.
class Fixture {
public:
    explicit Fixture(const QList<Traits>& traits = {}) {
        container = ModelContainer::open(dir.filePath(u"caldrin.sqlite"_s));
        for (qsizetype i = 0; i < traits.size(); ++i)
            context().insert(SampleApps::make(QString::number(1000 + i), traits.at(i)));
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
    QStringList names() const { return WindowTestKit::names(*list); }
    QStringList categoryRows() const { return WindowTestKit::categoryRows(*categories); }

    QTemporaryDir dir;
    std::unique_ptr<ModelContainer> container;
    std::unique_ptr<AppIndex> index;
    std::unique_ptr<AppListModel> list;
    std::unique_ptr<CategoryListModel> categories;
    std::unique_ptr<QAbstractItemModelTester> listTester, categoryTester;
};

// Lets the index apply what the context reported in this turn.
const auto turnEventLoop = []() { QCoreApplication::processEvents(); };

struct Spies {
    explicit Spies(QAbstractItemModel* model)
        : inserted(model, &QAbstractItemModel::rowsInserted)
        , removed(model, &QAbstractItemModel::rowsRemoved)
        , changed(model, &QAbstractItemModel::dataChanged)
        , reset(model, &QAbstractItemModel::modelReset)
        , layout(model, &QAbstractItemModel::layoutChanged) {}
    // Rows inserted, removed, reset or moved.
    qsizetype structural() const { return inserted.size() + removed.size() + reset.size() + layout.size(); }
    QSignalSpy inserted, removed, changed, reset, layout;
};

} // namespace

class TestListModel : public QObject {
    Q_OBJECT

private slots:
    // Random names and developers over an alphabet with case pairs, ß, sigmas and
    // CJK, typed character by character: the matches are QString's case-insensitive
    // containment ("SS" is no "ß"); a decomposed "é" finds the composed one. A
    // keystroke searches only the last matches, so apps renamed, added and removed
    // between keystrokes must be found or dropped all the same.
    void search_agreesWithQStringCaseInsensitiveContains() {
        const QString alphabet = u"aAbBsSéÉßẞσςΣ日 -"_s;
        QRandomGenerator random(42);
        auto randomText = [&](int maxLength) {
            QString text;
            for (int i = random.bounded(maxLength + 1); i > 0; --i)
                text += alphabet.at(random.bounded(alphabet.size()));
            return text;
        };
        QList<Traits> traits;
        for (int i = 0; i < 300; ++i)
            traits.append(Traits{randomText(8), randomText(6), u"Games"_s, random.bounded(50)});
        Fixture store(traits);
        store.open();
        QList<AppRef> apps;
        for (qsizetype i = 0; i < traits.size(); ++i)
            apps.append(store.app(QString::number(1000 + i)));
        auto changeOne = [&](int n, const QString& typed) {
            const auto which = random.bounded(apps.size());
            if (n % 3 == 0) {
                traits[which].name = randomText(2) + typed + randomText(2);
                apps[which]->setName(traits[which].name);
            } else if (n % 3 == 1) {
                traits.append(Traits{typed + randomText(3), randomText(6), u"Games"_s, random.bounded(50)});
                apps.append(store.context().insert(SampleApps::make(u"new%1"_s.arg(n), traits.last())));
            } else {
                store.context().remove(apps.takeAt(which).data());
                traits.removeAt(which);
            }
            turnEventLoop();
        };
        auto matchesAsQString = [&](const QString& typed, const QString& reference) {
            store.list->setSearchText(typed);
            store.list->setDisplayLimit(1000);
            QStringList expected;
            for (const Traits& app : std::as_const(traits)) {
                if (app.name.contains(reference, Qt::CaseInsensitive) ||
                    app.developer.contains(reference, Qt::CaseInsensitive))
                    expected.append(app.name);
            }
            QStringList actual = store.names();
            expected.sort();
            actual.sort();
            return actual == expected;
        };
        const QList<std::pair<QString, QString>> particular{
            {u"SS"_s, u"SS"_s}, {u"ẞ"_s, u"ẞ"_s}, {u"E\u0301"_s, u"é"_s}};
        for (const auto& [typed, reference] : particular) {
            QVERIFY2(matchesAsQString(typed, reference), qPrintable(typed));
            QVERIFY(store.list->filteredCount() > 0);
        }
        for (int n = 0; n < 60; ++n) {
            const QString needle = randomText(3);
            for (qsizetype length = 0; length <= needle.size(); ++length) {
                const QString typed = needle.left(length);
                QVERIFY2(matchesAsQString(typed, typed), qPrintable(u"search \"%1\""_s.arg(typed)));
                if (length == 1 && n % 2 == 0)
                    changeOne(n / 2, typed);
            }
        }
    }

    void categories_listSortedWithUnviewedBadges() {
        Fixture store({{u"G1"_s, {}, u"Games"_s, 1},
                       {u"G2"_s, {}, u"Games"_s, 2},
                       {u"G3"_s, {}, u"Games"_s, 3, true},
                       {u"B1"_s, {}, u"Books"_s, 4, true},
                       {u"E1"_s, {}, QString(), 5},
                       {u"E2"_s, {}, QString(), 6},
                       {u"A1"_s, {}, u"All"_s, 7},
                       {u"Z1"_s, {}, u"Zebra"_s, 8},
                       {u"b1"_s, {}, u"books"_s, 9}});
        store.open();
        // "All" once, then plain text order: the empty category, capitals before
        // small letters; a category named "All" is not listed twice.
        QCOMPARE(store.categoryRows(),
                 (QStringList{"All=7", "=2", "Books=0", "Games=2", "Zebra=1", "books=1"}));
        store.list->setSelectedCategory(QString());
        QCOMPARE(store.names(), (QStringList{"E2", "E1"}));
        store.list->setSelectedCategory(u"Games"_s);
        QCOMPARE(store.names(), (QStringList{"G3", "G2", "G1"}));

        // Marking one viewed redraws two badges and nothing else.
        Spies categorySpies(store.categories.get());
        store.app(u"1000"_s)->setIsViewed(true);
        store.context().save();
        turnEventLoop();
        QCOMPARE(store.categoryRows(),
                 (QStringList{"All=6", "=2", "Books=0", "Games=1", "Zebra=1", "books=1"}));
        QVERIFY(categorySpies.changed.size() == 2 && categorySpies.structural() == 0);
    }

    void insertBatchBeforeSave_appearsAsOneInsertion() {
        Fixture store(SampleApps::numbered(u"Old"_s, 60));
        store.open();
        Spies spies(store.list.get());
        QList<AppRef> batch;
        for (int i = 0; i < 20; ++i)
            batch.append(store.context().insert(
                SampleApps::make(u"new%1"_s.arg(i), {u"New %1"_s.arg(i), {}, u"Books"_s, 100})));
        turnEventLoop();
        // Unsaved, the twenty land at the top in one run (same release date:
        // insertion order) and push twenty out at the bottom in one run.
        // Insertions, their first and last row, removals; rows shown and matching.
        QCOMPARE((QList<qsizetype>{spies.inserted.size(), spies.inserted.first().at(1).toInt(),
                                   spies.inserted.first().at(2).toInt(), spies.removed.size(),
                                   store.list->rowCount(), store.list->filteredCount()}),
                 (QList<qsizetype>{1, 0, 19, 1, 50, 80}));
        QVERIFY(store.list->recordAt(0) == batch.first().data() &&
                store.list->recordAt(19) == batch.last().data());
        QCOMPARE(store.categoryRows(), (QStringList{"All=80", "Books=20", "Games=60"}));
        // Saving gives them keys and changes nothing on screen.
        store.context().save();
        turnEventLoop();
        QVERIFY(spies.structural() == 2 && store.list->recordAt(0) == batch.first().data());
        // A later change of a saved one still finds its row.
        batch.at(3)->setPriceLabel(u"$1.99"_s);
        turnEventLoop();
        QVERIFY(spies.changed.size() == 1 && spies.changed.first().at(0).toModelIndex().row() == 3);
    }

    // A field change redraws its row once; a new release date moves the row,
    // and a selection of it, in one step.
    void change_redrawsOrMovesThatRowOnly_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("row");
        QTest::newRow("priceLabel") << u"priceLabel"_s << 4;
        QTest::newRow("name, searched anew") << u"name"_s << 4;
        QTest::newRow("releaseDate") << u"releaseDate"_s << 0;
    }
    void change_redrawsOrMovesThatRowOnly() {
        QFETCH(QString, field);
        QFETCH(int, row);
        Fixture store(SampleApps::numbered(u"App"_s, 10));
        store.open();
        store.list->setSearchText(u"app"_s);
        Spies spies(store.list.get());
        const QPersistentModelIndex selected = store.list->index(4);
        AppModel* app = store.list->recordAt(4);
        if (field == "priceLabel")
            app->setPriceLabel(u"$0.99"_s);
        else if (field == "name")
            app->setName(u"App renamed"_s); // still matching
        else
            app->setReleaseDate(SampleApps::day0().addDays(100));
        app->setCopyright(u"© 2024"_s);
        turnEventLoop();
        QVERIFY(store.list->recordAt(row) == app && store.list->rowForAppleID(app->appleID()) == row &&
                selected.row() == row);
        // Moved: one layout change and nothing else; redrawn: one change of row 4 to row 4, nothing
        // structural.
        if (row == 0) {
            QVERIFY(spies.layout.size() == 1 && spies.structural() == 1);
            return;
        }
        QCOMPARE((QList<qsizetype>{spies.changed.size(), spies.changed.first().at(0).toModelIndex().row(),
                                   spies.changed.first().at(1).toModelIndex().row(), spies.structural()}),
                 (QList<qsizetype>{1, 4, 4, 0}));
    }

    void manyRemovals_compactTheIndex() {
        Fixture store(
            SampleApps::numbered(u"App"_s, 4500, [](int i) { return i % 3 ? u"Games"_s : u"Books"_s; }));
        store.open();
        store.list->setSearchText(u"app 44"_s);
        const QList<AppRef> all = store.context().fetch<AppModel>();
        for (int i = 0; i < 4200; ++i)
            store.context().remove(all.at(i).data());
        turnEventLoop();
        // Renumbered without the removed; App 4400 .. App 4499 match.
        QCOMPARE((QList<qsizetype>{store.index->slotBound(), store.list->filteredCount(),
                                   store.index->unviewedCount()}),
                 (QList<qsizetype>{300, 100, 300}));
        QCOMPARE(store.names().first(), u"App 4499"_s);
        // Changed names and developers are searched anew.
        all.at(4499)->setName(u"Renamed"_s);
        all.at(4300)->setDeveloperName(u"App 44 Works"_s);
        turnEventLoop();
        store.list->setDisplayLimit(200);
        QCOMPARE(store.list->filteredCount(), 100);
        QVERIFY(!store.names().contains(u"Renamed"_s) && store.names().contains(u"App 4300"_s));
    }

    // Primary keys beyond four bytes or below zero (a store edited by hand) keep
    // their place among apps of the same day and still find their records.
    void wideKeys_keepTheirPlaceAndRecords() {
        const QList<Traits> sameDay{
            {u"A"_s, {}, u"Games"_s, 5}, {u"B"_s, {}, u"Games"_s, 5}, {u"C"_s, {}, u"Games"_s, 5}};
        Fixture store(sameDay);
        const QString path = store.container->database().path();
        store.container.reset();
        {
            SqliteDatabase database;
            database.open(path);
            database.exec("UPDATE AppModel SET pk = 5000000000 WHERE appleID = '1001'");
            database.exec("UPDATE AppModel SET pk = -7 WHERE appleID = '1002'");
        }
        store.container = ModelContainer::open(path);
        store.open();
        QCOMPARE(store.names(), (QStringList{"C", "A", "B"}));
        store.context().insert(SampleApps::make(u"1003"_s, {u"D"_s, {}, u"Games"_s, 5}));
        store.context().save(); // D's key comes after B's
        store.context().remove(store.app(u"1000"_s).data());
        store.app(u"1001"_s)->setIsViewed(true);
        store.context().save();
        turnEventLoop();
        QCOMPARE(store.names(), (QStringList{"C", "B", "D"}));
        QCOMPARE(store.index->unviewedCount(), 2);
    }

    void backgroundRead_keepsChangesMadeMeanwhile() {
        Fixture store(
            SampleApps::numbered(u"App"_s, 300, [](int i) { return i % 2 ? u"Games"_s : u"Books"_s; }));
        store.open(AppIndex::Loading::InBackground);
        QSignalSpy ready(store.index.get(), &AppIndex::ready);
        // The first page is there before the index; the count of all records
        // follows from the background reader, never taken on the main thread.
        QVERIFY(store.list->rowCount() == 50 && !store.list->isCountKnown());
        QSignalSpy counted(store.index.get(), &AppIndex::countedBeforeReady);
        QVERIFY(counted.wait(10000));
        QVERIFY(store.list->filteredCount() == 300 && store.names().first() == u"App 299"_s);
        // So are the category names; their badges come with the index.
        QCOMPARE(store.categoryRows(), (QStringList{"All=0", "Books=0", "Games=0"}));
        store.list->setSelectedCategory(u"Books"_s);
        QVERIFY(store.list->filteredCount() == 150 && store.names().first() == u"App 298"_s);
        store.list->setSelectedCategory(AppIndex::allCategories());
        // Changes while the index is read, saved and unsaved, and a search.
        store.context().insert(SampleApps::make(u"new"_s, {u"App new"_s, {}, u"Zebra"_s, 1000}));
        store.context().remove(store.app(u"1299"_s).data());
        store.app(u"1298"_s)->setIsViewed(true);
        store.context().save();
        store.app(u"1000"_s)->setName(u"Renamed first"_s);
        store.list->setSearchText(u"app"_s);
        QVERIFY(ready.wait(10000) || ready.size() == 1);
        turnEventLoop();
        QCOMPARE(store.list->filteredCount(), 299);
        QCOMPARE(store.names().mid(0, 2), (QStringList{"App new", "App 298"}));
        QCOMPARE(store.categoryRows(), (QStringList{"All=299", "Books=149", "Games=149", "Zebra=1"}));
        // The same as an index read afresh from the saved store.
        store.context().save();
        AppIndex fresh(store.context(), AppIndex::Loading::Immediately);
        AppListModel freshList(fresh);
        freshList.setSearchText(u"app"_s);
        store.list->setDisplayLimit(400);
        freshList.setDisplayLimit(400);
        QCOMPARE(freshList.rowCount(), store.list->rowCount());
        for (int row = 0; row < freshList.rowCount(); ++row)
            QCOMPARE(freshList.recordAt(row), store.list->recordAt(row));
    }

    void unreadableRecord_leavesAnEmptyRowUntilTheNextUpdate() {
        Fixture store(SampleApps::numbered(u"App"_s, 60));
        ConsoleCapture console;
        bool failing = true;
        store.context().database().setFaultHook([&failing](const QByteArray& sql) {
            return failing && sql.contains("WHERE pk = ?") ? SQLITE_IOERR : SQLITE_OK;
        });
        store.open();
        QVERIFY(store.list->rowCount() == 50 && !store.list->recordAt(0) &&
                store.list->index(0).data().toString().isEmpty());
        QCOMPARE(console.linesStartingWith(u"❌ Could not read an app of the list: "_s).size(), 1);
        failing = false;
        Spies spies(store.list.get());
        store.list->loadMore();
        QCOMPARE((QStringList{store.list->recordAt(0)->name(), store.list->index(0).data().toString()}),
                 (QStringList{u"App 59"_s, u"App 59"_s}));
        QVERIFY(spies.inserted.size() == 1 && spies.changed.size() == 50); // the rows that were empty
    }
};

QTEST_MAIN(TestListModel)
#include "tst_listmodel.moc"
