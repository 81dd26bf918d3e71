// The store: records, the context's operations and the opening road.
#include "AppModel.h"
#include "CaldrinApp.h"
#include "ConsoleCapture.h"
#include "FavoriteApp.h"
#include "FavoriteFolder.h"
#include "ModelContainer.h"
#include "ModelContext.h"
#include "SqliteDatabase.h"
#include "SqliteStatement.h"
#include "StoreError.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <cmath>
#include <csignal>
#include <sqlite3.h>

using AppRef = QSharedPointer<AppModel>;

namespace {

AppRef makeApp(const QString& appleID, const QString& name = QStringLiteral("App")) {
    auto app = AppRef::create();
    app->setAppleID(appleID);
    app->setName(name);
    app->setBundleID(QStringLiteral("com.example.") + appleID);
    app->setDeveloperName(QStringLiteral("Example Developer"));
    app->setAppStoreURL(QStringLiteral("https://apps.example/app/id") + appleID);
    app->setCurrency(QStringLiteral("USD"));
    app->setPriceLabel(QStringLiteral("Get"));
    app->setCategory(QStringLiteral("Games"));
    app->setCategoryID(QStringLiteral("6014"));
    app->setReleaseDate(QDateTime::currentDateTimeUtc());
    app->setFetchedAt(QDateTime::currentDateTimeUtc());
    return app;
}

// Every field in declaration order, absent as an invalid QVariant, so that
// absent and empty stay apart in a comparison.
QVariantList fieldsOf(const AppModel& app) {
    const auto value = [](const auto& field) -> QVariant {
        if constexpr (requires { field.has_value(); })
            return field ? QVariant::fromValue(*field) : QVariant();
        else
            return QVariant::fromValue(field);
    };
    QVariantList items;
    for (const IAPItem& item : app.inAppPurchaseItems().value_or(QList<IAPItem>()))
        items << item.name << item.price;
    return {value(app.appleID()),
            value(app.name()),
            value(app.bundleID()),
            value(app.developerName()),
            value(app.developerURL()),
            value(app.appStoreURL()),
            std::isnan(app.price()) ? QVariant(QStringLiteral("NaN")) : QVariant(app.price()),
            value(app.currency()),
            value(app.priceLabel()),
            value(app.category()),
            value(app.categoryID()),
            value(app.releaseDate()),
            value(app.releaseDateString()),
            value(app.iconURL()),
            value(app.copyright()),
            value(app.fetchedAt()),
            value(app.appDescription()),
            value(app.screenshotURLs()),
            value(app.rating()),
            value(app.ratingCount()),
            value(app.appSize()),
            value(app.appVersion()),
            value(app.ageRating()),
            value(app.hasInAppPurchases()),
            value(app.inAppPurchaseInfo()),
            app.inAppPurchaseItems() ? QVariant(items) : QVariant(),
            value(app.detailsFetched()),
            value(app.isViewed())};
}

qint64 rawCount(const QString& path, const char* table) {
    SqliteDatabase database;
    database.open(path, SqliteDatabase::Mode::ReadOnly);
    return database.queryInt64(QByteArray("SELECT count(*) FROM ") + table);
}

// The child of the kill test: saves batches of 20 apps for ever, reporting each.
int runBatchWriter(const QString& path) {
    auto container = ModelContainer::open(path);
    ModelContext& context = container->mainContext();
    for (int batch = 0;; ++batch) {
        for (int i = 0; i < 20; ++i) {
            auto app = makeApp(QStringLiteral("%1-%2").arg(batch).arg(i));
            app->setAppDescription(QString(4000, QLatin1Char('d')));
            context.insert(app);
        }
        context.save();
        std::printf("saved %d\n", (batch + 1) * 20);
        std::fflush(stdout);
    }
}

} // namespace

class TestStore : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString freshPath() {
        static int counter = 0;
        return m_dir.filePath(QStringLiteral("store%1/caldrin.sqlite").arg(++counter));
    }

private slots:
    void newRecords_haveFreshUppercaseIdentifiers() {
        const FavoriteFolder folder(QStringLiteral("Games"), 3);
        const FavoriteApp favorite(QStringLiteral("42"), QString(), {});
        const QRegularExpression uuid(
            QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
        QVERIFY(uuid.match(folder.id()).hasMatch());
        QVERIFY(uuid.match(favorite.id()).hasMatch());
        QVERIFY(folder.id() != favorite.id());
        QCOMPARE(folder.sortOrder(), 3);
        QVERIFY(folder.createdAt().isValid());
        QVERIFY(favorite.addedAt().isValid());
    }

    void iapItem_json_requiresBothStrings_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("decodes");
        QTest::newRow("both") << QByteArray(R"([{"name":"Gems","price":"$1.99"}])") << true;
        QTest::newRow("extra key ignored")
            << QByteArray(R"([{"name":"Gems","price":"$1.99","x":1}])") << true;
        QTest::newRow("missing price") << QByteArray(R"([{"name":"Gems"}])") << false;
        QTest::newRow("number price") << QByteArray(R"([{"name":"Gems","price":1.99}])") << false;
        QTest::newRow("null name") << QByteArray(R"([{"name":null,"price":"1"}])") << false;
        QTest::newRow("not a list") << QByteArray(R"({"name":"Gems","price":"1"})") << false;
    }
    void iapItem_json_requiresBothStrings() {
        QFETCH(QByteArray, json);
        QFETCH(bool, decodes);
        QCOMPARE(IAPItem::decodeList(json).has_value(), decodes);
        QCOMPARE(IAPItem::encodeList({{QStringLiteral("A \"b\""), QStringLiteral("€1")}}),
                 QByteArray("[{\"name\":\"A \\\"b\\\"\",\"price\":\"€1\"}]"));
    }

    void everyField_survivesSaveAndReopen_data() {
        QTest::addColumn<int>("variant");
        QTest::newRow("fresh from the feed") << 0;
        QTest::newRow("enriched, empty and awkward values") << 1;
        QTest::newRow("enriched, lists with content") << 2;
    }
    void everyField_survivesSaveAndReopen() {
        QFETCH(int, variant);
        const QString path = freshPath();
        auto original = makeApp(QStringLiteral("123"), QStringLiteral("Quote \"name\" 'x' — 🎮 游戏"));
        original->setReleaseDate(QDateTime::fromMSecsSinceEpoch(1700000000123, Qt::UTC));
        original->setFetchedAt(QDateTime::fromMSecsSinceEpoch(1700000999987, Qt::UTC));
        original->setReleaseDateString(variant == 1 ? QString() : QStringLiteral("Jan 1, 2024"));
        if (variant > 0) {
            original->setDeveloperURL(QStringLiteral("https://dev.example/ü"));
            original->setPrice(variant == 1 ? std::nan("") : 1e300);
            original->setIconURL(QString());
            original->setCopyright(QStringLiteral("© 2024 \\ \"Inc\"\n"));
            original->setRating(0.0);
            original->setRatingCount(0);
            original->setAppSize(QStringLiteral("1.2 GB"));
            original->setAppVersion(QStringLiteral("1.0"));
            original->setAgeRating(QStringLiteral("4+"));
            original->setHasInAppPurchases(false);
            original->setInAppPurchaseInfo(QString());
            original->setDetailsFetched(true);
            original->setIsViewed(true);
        }
        if (variant == 1) {
            original->setAppDescription(QString());
            original->setScreenshotURLs(QStringList());
            original->setInAppPurchaseItems(QList<IAPItem>());
        } else if (variant == 2) {
            original->setAppDescription(QString(100000, QChar(0x263A)));
            original->setScreenshotURLs(QStringList{"https://b/2.png", "https://a/1.png", "https://a/1.png"});
            original->setInAppPurchaseItems(QList<IAPItem>{{"Coins", "$0.99"}, {"Gems ✨", "1,99 €"}});
        }
        {
            auto container = ModelContainer::open(path);
            container->mainContext().insert(original);
            container->mainContext().save();
        }
        auto container = ModelContainer::open(path);
        const auto apps = container->mainContext().fetch<AppModel>();
        QCOMPARE(apps.size(), 1);
        QVERIFY(apps.first().data() != original.data());
        QCOMPARE(apps.first()->hasAppDescription(), variant > 0);
        QCOMPARE(fieldsOf(*apps.first()), fieldsOf(*original));
        QVERIFY(!apps.first()->hasChanges());
    }

    void insert_isSeenByFetchAndCount_beforeSave() {
        auto container = ModelContainer::open(freshPath());
        ModelContext& context = container->mainContext();
        context.insert(makeApp(QStringLiteral("1")));
        context.insert(makeApp(QStringLiteral("2")));
        QCOMPARE(context.count<AppModel>(), 2);
        QCOMPARE(context.fetch<AppModel>(FetchDescriptor::equal("appleID", QStringLiteral("2"))).size(), 1);
        QVERIFY(context.hasChanges());
        // Nothing reached the file yet: another connection sees no rows.
        QCOMPARE(rawCount(container->path(), "AppModel"), 0);
        context.save();
        QCOMPARE(rawCount(container->path(), "AppModel"), 2);
        QVERIFY(!context.hasChanges());
    }

    void fetch_returnsOneObjectPerRecord() {
        auto container = ModelContainer::open(freshPath());
        ModelContext& context = container->mainContext();
        auto inserted = context.insert(makeApp(QStringLiteral("7")));
        context.save();
        const auto first = context.fetch<AppModel>(FetchDescriptor::equal("appleID", QStringLiteral("7")));
        const auto second = context.fetch<AppModel>();
        QCOMPARE(first.first().data(), inserted.data());
        QCOMPARE(second.first().data(), inserted.data());
        QVERIFY(inserted->persistentId() > 0);
    }

    void fetch_sortsAndFilters() {
        auto container = ModelContainer::open(freshPath());
        ModelContext& context = container->mainContext();
        const QDateTime base = QDateTime::currentDateTimeUtc();
        for (int i = 0; i < 5; ++i) {
            auto app = makeApp(QString::number(i));
            app->setReleaseDate(base.addDays(i % 2 ? i : -i));
            app->setCategory(i % 2 ? QStringLiteral("Games") : QStringLiteral("Music"));
            context.insert(app);
        }
        auto sorted = context.fetch<AppModel>(FetchDescriptor::sorted("releaseDate", false));
        QCOMPARE(sorted.size(), 5);
        for (int i = 1; i < sorted.size(); ++i)
            QVERIFY(sorted[i - 1]->releaseDate() >= sorted[i]->releaseDate());
        QCOMPARE(context.count<AppModel>(FetchDescriptor::equal("category", QStringLiteral("Music"))), 3);
        QVERIFY_THROWS_EXCEPTION(StoreError,
                                 context.fetch<AppModel>(FetchDescriptor::equal("pk; DROP", QString())));
    }

    void insertOfKnownUniqueValue_updatesStoredRecord() {
        const QString path = freshPath();
        auto container = ModelContainer::open(path);
        ModelContext& context = container->mainContext();
        auto first = context.insert(makeApp(QStringLiteral("55"), QStringLiteral("Old")));
        context.save();
        auto merged = context.insert(makeApp(QStringLiteral("55"), QStringLiteral("New")));
        QCOMPARE(merged.data(), first.data());
        QCOMPARE(first->name(), QStringLiteral("New"));
        context.save();
        QCOMPARE(rawCount(path, "AppModel"), 1);
        // The same holds before the first record was ever saved.
        context.insert(makeApp(QStringLiteral("56")));
        context.insert(makeApp(QStringLiteral("56"), QStringLiteral("Again")));
        context.save();
        QCOMPARE(rawCount(path, "AppModel"), 2);
    }

    void fieldChange_isNotifiedBeforeSave() {
        auto container = ModelContainer::open(freshPath());
        ModelContext& context = container->mainContext();
        auto app = context.insert(makeApp(QStringLiteral("1")));
        context.save();
        QSignalSpy recordSpy(app.data(), &PersistentRecord::changed);
        QSignalSpy contextSpy(&context, &ModelContext::recordChanged);
        app->setIsViewed(true);
        app->setIsViewed(true); // no change, no signal
        QCOMPARE(recordSpy.count(), 1);
        QCOMPARE(contextSpy.count(), 1);
        QCOMPARE(contextSpy.first().first().value<PersistentRecord*>(), app.data());
        QVERIFY(app->hasChanges());
        QSignalSpy insertSpy(&context, &ModelContext::recordInserted);
        context.insert(makeApp(QStringLiteral("2")));
        QCOMPARE(insertSpy.count(), 1);
    }

    void deletingFolder_cascadesToFavorites_andMovesKeepBothEnds() {
        const QString path = freshPath();
        auto container = ModelContainer::open(path);
        ModelContext& context = container->mainContext();
        auto games = context.insert(QSharedPointer<FavoriteFolder>::create(QStringLiteral("Games"), 1));
        auto tools = context.insert(QSharedPointer<FavoriteFolder>::create(QStringLiteral("Games"), 2));
        QVERIFY(games->id() != tools->id());
        QList<QSharedPointer<FavoriteApp>> favorites;
        for (int i = 0; i < 3; ++i)
            favorites.append(
                context.insert(QSharedPointer<FavoriteApp>::create(QString::number(i), QString(), games)));
        context.save();
        QCOMPARE(games->apps().size(), 3);
        QCOMPARE(games->appCount(), 3);

        QSignalSpy gamesSpy(games.data(), &PersistentRecord::changed);
        QSignalSpy toolsSpy(tools.data(), &PersistentRecord::changed);
        favorites[0]->setFolder(tools);
        QVERIFY(gamesSpy.count() >= 1);
        QVERIFY(toolsSpy.count() >= 1);
        QCOMPARE(games->apps().size(), 2);
        QCOMPARE(tools->apps().size(), 1);
        QCOMPARE(tools->apps().first().data(), favorites[0].data());
        QCOMPARE(favorites[0]->folder().data(), tools.data());
        context.save();

        context.remove(games.data());
        QCOMPARE(context.count<FavoriteApp>(), 1);
        QVERIFY(favorites[1]->isDeleted());
        context.save();
        QCOMPARE(rawCount(path, "FavoriteApp"), 1);
        QCOMPARE(rawCount(path, "FavoriteFolder"), 1);
        // Deleting a favorite leaves its folder.
        context.remove(favorites[0].data());
        context.save();
        QCOMPARE(tools->apps().size(), 0);
        QCOMPARE(rawCount(path, "FavoriteFolder"), 1);
    }

    void favoriteOfVanishedApp_keepsItsAppleID() {
        const QString path = freshPath();
        {
            auto container = ModelContainer::open(path);
            ModelContext& context = container->mainContext();
            auto folder = context.insert(QSharedPointer<FavoriteFolder>::create(QStringLiteral("Keep"), 1));
            auto app = context.insert(makeApp(QStringLiteral("99")));
            context.insert(
                QSharedPointer<FavoriteApp>::create(QStringLiteral("99"), QStringLiteral("nice"), folder));
            context.save();
            context.remove(app.data());
            context.save();
        }
        auto container = ModelContainer::open(path);
        const auto favorites = container->mainContext().fetch<FavoriteApp>();
        QCOMPARE(favorites.size(), 1);
        QCOMPARE(favorites.first()->appleID(), QStringLiteral("99"));
        QCOMPARE(favorites.first()->comment(), QStringLiteral("nice"));
        QCOMPARE(favorites.first()->folder()->name(), QStringLiteral("Keep"));
    }

    // A save that fails must lose nothing: the changes stay pending and a later
    // save writes them. Each row fails the real write path in another way.
    void failingSave_keepsChangesPending_data() {
        QTest::addColumn<QString>("failure");
        QTest::newRow("commit fails") << QStringLiteral("commit");
        QTest::newRow("read-only connection") << QStringLiteral("readonly");
        QTest::newRow("locked by another process") << QStringLiteral("locked");
        QTest::newRow("disk full") << QStringLiteral("full");
    }
    void failingSave_keepsChangesPending() {
        QFETCH(QString, failure);
        const QString path = freshPath();
        auto container = ModelContainer::open(path);
        ModelContext& context = container->mainContext();
        SqliteDatabase& database = container->database();
        auto kept = context.insert(makeApp(QStringLiteral("1")));
        auto doomed = context.insert(makeApp(QStringLiteral("2")));
        context.save();

        // Pending: a change, an insert, a deletion.
        kept->setName(QStringLiteral("Renamed"));
        auto added = context.insert(makeApp(QStringLiteral("3")));
        added->setAppDescription(QString(20000, QLatin1Char('x')));
        context.remove(doomed.data());

        SqliteDatabase locker;
        if (failure == QLatin1String("commit")) {
            database.setFaultHook(
                [](const QByteArray& sql) { return sql == "COMMIT" ? SQLITE_IOERR : SQLITE_OK; });
        } else if (failure == QLatin1String("readonly")) {
            database.exec("PRAGMA query_only = ON");
        } else if (failure == QLatin1String("locked")) {
            database.setBusyTimeout(50);
            locker.open(path);
            locker.exec("BEGIN IMMEDIATE");
            locker.exec("INSERT INTO StoreMetadata (key, value) VALUES ('lock', 'held')");
        } else {
            database.exec("PRAGMA max_page_count = " +
                          QByteArray::number(database.queryInt64("PRAGMA page_count")));
        }
        QVERIFY_THROWS_EXCEPTION(StoreError, context.save());
        QVERIFY(context.hasChanges());
        QCOMPARE(rawCount(path, "AppModel"), 2);

        // Nothing of it was lost in memory, and queries still see it once writing works.
        if (failure == QLatin1String("commit")) {
            // A query rewrites the pending changes into a new transaction.
            QCOMPARE(context.count<AppModel>(), 2);
            database.setFaultHook({});
        } else if (failure == QLatin1String("readonly")) {
            database.exec("PRAGMA query_only = OFF");
        } else if (failure == QLatin1String("locked")) {
            locker.exec("ROLLBACK");
            locker.close();
        } else {
            database.exec("PRAGMA max_page_count = 1073741823");
        }
        context.save();
        QVERIFY(!context.hasChanges());
        container.reset();
        auto reopened = ModelContainer::open(path);
        const auto apps = reopened->mainContext().fetch<AppModel>(FetchDescriptor::sorted("appleID", true));
        QCOMPARE(apps.size(), 2);
        QCOMPARE(apps[0]->name(), QStringLiteral("Renamed"));
        QCOMPARE(apps[1]->appleID(), QStringLiteral("3"));
        QCOMPARE(apps[1]->appDescription()->size(), 20000);
    }

    void removeAll_deletesWithoutLoading_andSurvivesAFailedSave() {
        const QString path = freshPath();
        auto container = ModelContainer::open(path);
        ModelContext& context = container->mainContext();
        auto folder = context.insert(QSharedPointer<FavoriteFolder>::create(QStringLiteral("F"), 0));
        for (int i = 0; i < 30; ++i)
            context.insert(makeApp(QString::number(i)));
        auto favorite =
            context.insert(QSharedPointer<FavoriteApp>::create(QStringLiteral("1"), QString(), folder));
        context.save();
        auto shown = context.fetch<AppModel>(FetchDescriptor::equal("appleID", QStringLiteral("4"))).first();

        QSignalSpy removed(&context, &ModelContext::allRecordsRemoved);
        QCOMPARE(context.removeAll<AppModel>(), 30);
        QCOMPARE(context.removeAll<FavoriteFolder>(), 1);
        QVERIFY(shown->isDeleted());
        QVERIFY(favorite->isDeleted());
        QCOMPARE(shown->appleID(), QStringLiteral("4")); // still readable where shown
        auto fresh = context.insert(makeApp(QStringLiteral("new")));
        QCOMPARE(context.count<AppModel>(), 1);
        QCOMPARE(context.count<FavoriteApp>(), 0);
        QCOMPARE(removed.count(), 3);

        container->database().setFaultHook(
            [](const QByteArray& sql) { return sql == "COMMIT" ? SQLITE_FULL : SQLITE_OK; });
        QVERIFY_THROWS_EXCEPTION(StoreError, context.save());
        QCOMPARE(rawCount(path, "AppModel"), 30);
        container->database().setFaultHook({});
        context.save();
        QCOMPARE(rawCount(path, "AppModel"), 1);
        QCOMPARE(rawCount(path, "FavoriteApp"), 0);
        QCOMPARE(rawCount(path, "FavoriteFolder"), 0);
    }

    // The opening road with every kind of file it can meet.
    void openStore_takesTheResetRoadForBadFiles_data() {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<bool>("reset");
        QTest::newRow("no file") << QByteArray("none") << false;
        QTest::newRow("empty file") << QByteArray("empty") << false;
        QTest::newRow("our store") << QByteArray("ours") << false;
        QTest::newRow("garbage") << QByteArray("garbage") << true;
        QTest::newRow("foreign schema") << QByteArray("foreign") << true;
        QTest::newRow("other version") << QByteArray("version") << true;
        QTest::newRow("our tables, other columns") << QByteArray("columns") << true;
    }
    void openStore_takesTheResetRoadForBadFiles() {
        QFETCH(QByteArray, kind);
        QFETCH(bool, reset);
        const QString path = freshPath();
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (kind == "empty" || kind == "garbage") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            if (kind == "garbage")
                file.write(QByteArray(8192, '\x5a'));
        } else if (kind != "none") {
            {
                auto container = ModelContainer::open(path);
                container->mainContext().insert(makeApp(QStringLiteral("old")));
                container->mainContext().save();
            }
            SqliteDatabase database;
            database.open(path);
            if (kind == "foreign")
                database.exec("DROP TABLE AppModel; PRAGMA application_id = 0; CREATE TABLE notes (x)");
            else if (kind == "version")
                database.exec("PRAGMA user_version = 10100");
            else if (kind == "columns")
                database.exec("ALTER TABLE FavoriteApp ADD COLUMN extra TEXT");
            // Leave a write-ahead log behind with old rows in it.
            database.exec("PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0");
            database.exec("INSERT INTO StoreMetadata (key, value) VALUES ('wal', 'data')");
        }

        ConsoleCapture console;
        auto container = CaldrinApp::openStore(path);
        QVERIFY(container);
        if (!reset) {
            QCOMPARE(console.lines(), QStringList{QStringLiteral("✅ ModelContainer created successfully")});
            QCOMPARE(container->mainContext().count<AppModel>(), kind == "ours" ? 1 : 0);
            return;
        }
        const QStringList lines = console.lines();
        QCOMPARE(lines.size(), 3);
        QVERIFY(
            lines[0].startsWith(QStringLiteral("⚠️ Migration failed, attempting to reset database: ")));
        QVERIFY(lines[0].size() > 52);
        QCOMPARE(lines[1],
                 QStringLiteral("🗑️ Removed old database at: ") + QUrl::fromLocalFile(path).toString());
        QCOMPARE(lines[2], QStringLiteral("✅ Created new ModelContainer after reset"));
        QCOMPARE(container->mainContext().count<AppModel>(), 0);
        QCOMPARE(container->mainContext().count<FavoriteFolder>(), 0);
        QCOMPARE(container->database().queryInt64("SELECT count(*) FROM StoreMetadata WHERE key = 'wal'"), 0);
    }

    void openStore_fileThatCannotBeDeleted_secondAttemptDecides() {
        const QString path = freshPath();
        QDir().mkpath(QFileInfo(path).absolutePath());
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(4096, '\x01'));
        }
        ConsoleCapture console;
        auto container = CaldrinApp::openStore(path, [](const QString&) {});
        QVERIFY(!container);
        QCOMPARE(console.lines().size(), 2);
        QCOMPARE(console.lines()[1],
                 QStringLiteral("🗑️ Removed old database at: ") + QUrl::fromLocalFile(path).toString());
        QCOMPARE(console.fatalLines().size(), 1);
        QVERIFY(console.fatalLines()[0].startsWith(
            QStringLiteral("Could not create ModelContainer even after reset: ")));

        // A removal that fails but leaves a usable file (another process fixed
        // it meanwhile) lets the second attempt succeed.
        console.clear();
        container = CaldrinApp::openStore(path, [](const QString& p) {
            QFile::remove(p);
            QFile::copy(QStringLiteral("/nonexistent"), p);
        });
        QVERIFY(container);
        QCOMPARE(console.lines().last(), QStringLiteral("✅ Created new ModelContainer after reset"));
    }

    // A process killed in the middle of its saves leaves a store that opens, with
    // every completed save whole and the interrupted one whole or absent.
    void killedMidSave_leavesEveryCompletedSaveIntact() {
        const QString path = freshPath();
        QDir().mkpath(QFileInfo(path).absolutePath());
        auto* random = QRandomGenerator::global();
        for (int round = 0; round < 4; ++round) {
            QProcess writer;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("CALDRIN_TEST_BATCH_WRITER"), path);
            writer.setProcessEnvironment(environment);
            writer.start(QCoreApplication::applicationFilePath());
            QVERIFY(writer.waitForStarted());
            int reported = 0;
            const int target = 3 + static_cast<int>(random->bounded(5));
            int seen = 0;
            while (seen < target && writer.waitForReadyRead(10000)) {
                while (writer.canReadLine()) {
                    const QByteArray line = writer.readLine().trimmed();
                    if (line.startsWith("saved ")) {
                        reported = line.mid(6).toInt();
                        ++seen;
                    }
                }
            }
            QVERIFY2(seen >= target, "the writer never reported its saves");
            QThread::usleep(random->bounded(20000));
            ::kill(static_cast<pid_t>(writer.processId()), SIGKILL);
            writer.waitForFinished();
            while (writer.canReadLine()) {
                const QByteArray line = writer.readLine().trimmed();
                if (line.startsWith("saved "))
                    reported = line.mid(6).toInt();
            }
            auto container = ModelContainer::open(path);
            {
                SqliteStatement check(container->database(), "PRAGMA quick_check");
                QVERIFY(check.step());
                QCOMPARE(check.text(0), QStringLiteral("ok"));
            }
            const qint64 stored = container->mainContext().count<AppModel>();
            // Earlier rounds' rows are there too; this round adds its own batches.
            QVERIFY2(stored % 20 == 0, qPrintable(QStringLiteral("a partial batch: %1").arg(stored)));
            container->database().exec("DELETE FROM AppModel");
            QVERIFY2(stored >= reported && stored <= reported + 20,
                     qPrintable(QStringLiteral("stored %1, reported %2").arg(stored).arg(reported)));
        }
    }
};

int main(int argc, char* argv[]) {
    if (const QString path = qEnvironmentVariable("CALDRIN_TEST_BATCH_WRITER"); !path.isEmpty()) {
        QCoreApplication application(argc, argv);
        return runBatchWriter(path);
    }
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Caldrin"));
    TestStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_store.moc"
