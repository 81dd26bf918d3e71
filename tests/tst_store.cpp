// The store: records, the context's operations and the opening road.
#include "AppModel.h"
#include "CaldrinApp.h"
#include "ConsoleCapture.h"
#include "DamagedStoreCopies.h"
#include "FavoriteApp.h"
#include "FavoriteFolder.h"
#include "ModelContainer.h"
#include "ModelContext.h"
#include "SampleApps.h"
#include "SqliteDatabase.h"
#include "SqliteStatement.h"
#include "StoreError.h"
#include "TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <sqlite3.h>

using AppRef = QSharedPointer<AppModel>;
using namespace Qt::StringLiterals;
using TestFiles::readFile;
using TestFiles::writeFile;

namespace {

AppRef makeApp(const QString& appleID, const QString& name = u"App"_s) {
    return SampleApps::make(appleID, {name});
}

// Every field in declaration order, absent as an invalid QVariant, so that
// absent and empty stay apart in a comparison.
template <auto... getters> QVariantList valuesOf(const AppModel& app) {
    const auto value = [](const auto& field) -> QVariant {
        using Field = std::decay_t<decltype(field)>;
        if constexpr (std::is_same_v<Field, double>)
            return std::isnan(field) ? QVariant(u"NaN"_s) : QVariant(field);
        else if constexpr (requires { field.has_value(); })
            return field ? QVariant::fromValue(*field) : QVariant();
        else
            return QVariant::fromValue(field);
    };
    return {value((app.*getters)())...};
}

QVariantList fieldsOf(const AppModel& app) {
    using A = AppModel;
    return valuesOf<&A::appleID, &A::name, &A::bundleID, &A::developerName, &A::developerURL, &A::appStoreURL,
                    &A::price, &A::currency, &A::priceLabel, &A::category, &A::categoryID, &A::releaseDate,
                    &A::releaseDateString, &A::iconURL, &A::copyright, &A::fetchedAt, &A::appDescription,
                    &A::screenshotURLs, &A::rating, &A::ratingCount, &A::appSize, &A::appVersion,
                    &A::ageRating, &A::hasInAppPurchases, &A::inAppPurchaseInfo, &A::inAppPurchaseItems,
                    &A::detailsFetched, &A::isViewed>(app);
}

qint64 rawCount(const QString& path, const char* table) {
    SqliteDatabase database;
    database.open(path, SqliteDatabase::Mode::ReadOnly);
    return database.queryInt64(QByteArray("SELECT count(*) FROM ") + table);
}

// Saves a batch of 20 apps, each with a description of `size` characters.
void saveBatch(ModelContext& context, int batch, int size) {
    for (int i = 0; i < 20; ++i) {
        auto app = makeApp(u"%1-%2"_s.arg(batch).arg(i));
        app->setAppDescription(QString(size, QLatin1Char('d')));
        context.insert(app);
    }
    context.save();
}

// The child of the kill test: saves batches of 20 apps for ever, reporting each.
int runBatchWriter(const QString& path) {
    auto container = ModelContainer::open(path);
    for (int batch = 0;; ++batch) {
        saveBatch(container->mainContext(), batch, 4000);
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
        return m_dir.filePath(u"store%1/caldrin.sqlite"_s.arg(++counter));
    }

private slots:
    void everyField_survivesSaveAndReopen_data() {
        QTest::addColumn<int>("variant");
        QTest::newRow("fresh from the feed") << 0;
        QTest::newRow("enriched, empty and awkward values") << 1;
        QTest::newRow("enriched, lists with content") << 2;
    }
    void everyField_survivesSaveAndReopen() {
        QFETCH(int, variant);
        const QString path = freshPath();
        auto original = makeApp(u"123"_s, u"Quote \"name\" 'x' — 🎮 游戏"_s);
        original->setReleaseDate(QDateTime::fromMSecsSinceEpoch(1700000000123, Qt::UTC));
        original->setFetchedAt(QDateTime::fromMSecsSinceEpoch(1700000999987, Qt::UTC));
        original->setReleaseDateString(variant == 1 ? QString() : u"Jan 1, 2024"_s);
        if (variant > 0) {
            original->setDeveloperURL(u"https://dev.example/ü"_s);
            original->setPrice(variant == 1 ? std::nan("") : 1e300);
            original->setIconURL(QString());
            original->setCopyright(u"© 2024 \\ \"Inc\"\n"_s);
            original->setRating(0.0);
            original->setRatingCount(0);
            original->setAppSize(u"1.2 GB"_s);
            original->setAppVersion(u"1.0"_s);
            original->setAgeRating(u"4+"_s);
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
            original->setInAppPurchaseItems(QList<IAPItem>{{"Coins", "$0.99"}, {"Gems \"✨\"", "1,99 €"}});
        }
        {
            auto container = ModelContainer::open(path);
            container->mainContext().insert(original);
            container->mainContext().save();
        }
        auto container = ModelContainer::open(path);
        const auto apps = container->mainContext().fetch<AppModel>();
        QVERIFY(apps.size() == 1 && apps.first()->hasAppDescription() == (variant > 0));
        QCOMPARE(fieldsOf(*apps.first()), fieldsOf(*original));
        QVERIFY(!apps.first()->hasChanges());
    }

    void pendingChanges_areQueriedMergedAndNotified() {
        const QString path = freshPath();
        auto container = ModelContainer::open(path);
        ModelContext& context = container->mainContext();
        QSignalSpy inserted(&context, &ModelContext::recordInserted);
        for (int i = 0; i < 5; ++i) {
            const int day = i % 2 ? i : -i;
            context.insert(
                SampleApps::make(QString::number(i), {u"App"_s, {}, i % 2 ? u"Games"_s : u"Music"_s, day}));
        }
        QCOMPARE(inserted.count(), 5);
        // Queries see the unsaved inserts; another connection does not.
        QCOMPARE(context.count<AppModel>(FetchDescriptor::equal("category", u"Music"_s)), 3);
        const auto all = context.fetch<AppModel>(FetchDescriptor::sorted("releaseDate", false));
        QVERIFY(all.first()->appleID() == u"3"_s && context.hasChanges() && rawCount(path, "AppModel") == 0);
        context.save();
        QVERIFY(rawCount(path, "AppModel") == 5 && !context.hasChanges());

        // One object per record; an insert of a known appleID updates it, saved or not.
        const auto app = context.fetch<AppModel>(FetchDescriptor::equal("appleID", u"3"_s)).first();
        QVERIFY(all.contains(app) && context.insert(makeApp(u"3"_s, u"New"_s)).data() == app.data());
        QCOMPARE(app->name(), u"New"_s); // the insert updated the known record
        context.insert(makeApp(u"new"_s));
        context.insert(makeApp(u"new"_s, u"Again"_s));
        context.save();
        QCOMPARE(rawCount(path, "AppModel"), 6);

        // A change is announced once, at once, before any save.
        QSignalSpy changed(&context, &ModelContext::recordChanged);
        app->setIsViewed(true);
        app->setIsViewed(true);
        QVERIFY(changed.count() == 1 && app->hasChanges());
        QVERIFY_THROWS_EXCEPTION(StoreError,
                                 context.fetch<AppModel>(FetchDescriptor::equal("pk; DROP", QString())));
    }

    // A save that fails must lose nothing: the changes stay pending and a later
    // save writes them. Each row fails the real write path in another way.
    void failingSave_keepsChangesPending_data() {
        QTest::addColumn<QString>("failure");
        QTest::newRow("commit fails") << u"commit"_s;
        QTest::newRow("locked by another process") << u"locked"_s;
        QTest::newRow("disk full") << u"full"_s;
    }
    void failingSave_keepsChangesPending() {
        QFETCH(QString, failure);
        const QString path = freshPath();
        auto container = ModelContainer::open(path);
        ModelContext& context = container->mainContext();
        SqliteDatabase& database = container->database();
        auto kept = context.insert(makeApp(u"1"_s));
        auto doomed = context.insert(makeApp(u"2"_s));
        context.save();

        // Pending: a change, an insert, a deletion.
        kept->setName(u"Renamed"_s);
        auto added = context.insert(makeApp(u"3"_s));
        added->setAppDescription(QString(20000, QLatin1Char('x')));
        context.remove(doomed.data());

        SqliteDatabase locker;
        if (failure == QLatin1String("commit")) {
            database.setFaultHook(
                [](const QByteArray& sql) { return sql == "COMMIT" ? SQLITE_IOERR : SQLITE_OK; });
        } else if (failure == QLatin1String("locked")) {
            locker.open(path);
            locker.exec("BEGIN IMMEDIATE");
            locker.exec("INSERT INTO StoreMetadata (key, value) VALUES ('lock', 'held')");
        } else {
            database.exec("PRAGMA max_page_count = " +
                          QByteArray::number(database.queryInt64("PRAGMA page_count")));
        }
        QVERIFY_THROWS_EXCEPTION(StoreError, context.save());
        QVERIFY(context.hasChanges() && rawCount(path, "AppModel") == 2);

        // Nothing of it was lost in memory, and queries still see it once writing works.
        if (failure == QLatin1String("commit")) {
            QCOMPARE(context.count<AppModel>(), 2);
            database.setFaultHook({});
        } else if (failure == QLatin1String("locked")) {
            // The lock is waited for briefly; queries answer from what is
            // committed with the pending changes over it, the insert included.
            QCOMPARE(database.queryInt64("PRAGMA busy_timeout"), qint64(ModelContext::kLockWaitMs));
            QStringList listed;
            for (const auto& app : context.fetch<AppModel>(FetchDescriptor::sorted("appleID", false)))
                listed.append(app->appleID() + u':' + app->name());
            QCOMPARE(listed, QStringList({u"3:App"_s, u"1:Renamed"_s}));
            FetchDescriptor first = FetchDescriptor::sorted("appleID", true);
            first.limit = 1;
            QCOMPARE(context.fetch<AppModel>(first).first().data(), kept.data());
            QCOMPARE(
                (QList<qsizetype>{context.count<AppModel>(),
                                  context.count<AppModel>(FetchDescriptor::equal("name", u"App"_s)),
                                  context.fetch<AppModel>(FetchDescriptor::equal("appleID", u"2"_s)).size()}),
                (QList<qsizetype>{2, 1, 0}));
            QVERIFY_THROWS_EXCEPTION(StoreError, context.save());
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
        QVERIFY(apps.size() == 2 && apps[0]->name() == u"Renamed" && apps[1]->appleID() == u"3" &&
                apps[1]->appDescription()->size() == 20000);
    }

    void removeAll_deletesWithoutLoading_andSurvivesAFailedSave() {
        const QString path = freshPath();
        auto container = ModelContainer::open(path);
        ModelContext& context = container->mainContext();
        auto folder = context.insert(QSharedPointer<FavoriteFolder>::create(u"F"_s, 0));
        for (int i = 0; i < 30; ++i)
            context.insert(makeApp(QString::number(i)));
        auto favorite = context.insert(QSharedPointer<FavoriteApp>::create(u"1"_s, QString(), folder));
        context.save();
        auto shown = context.fetch<AppModel>(FetchDescriptor::equal("appleID", u"4"_s)).first();

        QSignalSpy removed(&context, &ModelContext::allRecordsRemoved);
        QCOMPARE(context.removeAll<AppModel>(), 30);
        QCOMPARE(context.count<FavoriteApp>(), 1); // an app's removal leaves its favorite
        QVERIFY(context.removeAll<FavoriteFolder>() == 1 && shown->isDeleted() && favorite->isDeleted());
        QCOMPARE(shown->appleID(), u"4"_s); // still readable where shown
        auto fresh = context.insert(makeApp(u"new"_s));
        QCOMPARE((QList<qint64>{context.count<AppModel>(), context.count<FavoriteApp>(), removed.count()}),
                 (QList<qint64>{1, 0, 3}));

        container->database().setFaultHook(
            [](const QByteArray& sql) { return sql == "COMMIT" ? SQLITE_FULL : SQLITE_OK; });
        QVERIFY_THROWS_EXCEPTION(StoreError, context.save());
        QCOMPARE(rawCount(path, "AppModel"), 30);
        container->database().setFaultHook({});
        context.save();
        QCOMPARE((QList<qint64>{rawCount(path, "AppModel"), rawCount(path, "FavoriteApp"),
                                rawCount(path, "FavoriteFolder")}),
                 (QList<qint64>{1, 0, 0}));
    }

    // The opening road with every kind of file it can meet. Only a damaged file
    // is replaced, after a copy of it (and of its log) is kept beside it; a file
    // that cannot be opened for a cause outside it is left byte for byte.
    void openStore_replacesOnlyDamagedFiles_keepingACopy_data() {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<QByteArray>("outcome");
        QTest::newRow("our store, a log left by a crash") << QByteArray("ours") << QByteArray("opened");
        QTest::newRow("empty file, a new store") << QByteArray("empty") << QByteArray("opened");
        QTest::newRow("garbage") << QByteArray("garbage") << QByteArray("reset");
        QTest::newRow("store cut short") << QByteArray("truncated") << QByteArray("reset");
        QTest::newRow("header overwritten") << QByteArray("header") << QByteArray("reset");
        QTest::newRow("foreign schema") << QByteArray("foreign") << QByteArray("reset");
        QTest::newRow("other version") << QByteArray("version") << QByteArray("reset");
        QTest::newRow("our tables, other columns") << QByteArray("columns") << QByteArray("reset");
        QTest::newRow("a directory in its place") << QByteArray("directory") << QByteArray("fatal");
        QTest::newRow("held in exclusive locking mode") << QByteArray("locked") << QByteArray("fatal");
    }
    void openStore_replacesOnlyDamagedFiles_keepingACopy() {
        QFETCH(QByteArray, kind);
        QFETCH(QByteArray, outcome);
        // A home with a space and letters beyond ASCII, as users have.
        const QString path =
            m_dir.filePath(u"home %1/Zoë 東京/caldrin.sqlite"_s.arg(QTest::currentDataTag()));
        const QString folder = QFileInfo(path).absolutePath();
        QVERIFY(QDir().mkpath(folder));
        const QString wal = path + u"-wal"_s;

        if (kind == "garbage" || kind == "empty") {
            QVERIFY(writeFile(path, kind == "garbage" ? QByteArray(8192, '\x5a') : QByteArray()));
        } else if (kind == "directory") {
            QVERIFY(QDir().mkpath(path) && writeFile(path + u"/inside"_s, "keep me"));
        } else {
            // Our store with a write-ahead log still holding a commit, as a
            // killed process leaves it; then the damage.
            const QString scratch = m_dir.filePath(u"scratch-%1.sqlite"_s.arg(QTest::currentDataTag()));
            {
                auto container = ModelContainer::open(scratch);
                for (int batch = 0; batch < (kind == "truncated" ? 10 : 1); ++batch)
                    saveBatch(container->mainContext(), batch, 4000);
            }
            SqliteDatabase database;
            if (kind != "truncated") // a log would supply the lost pages
                database.open(scratch);
            if (kind == "foreign")
                database.exec("DROP TABLE AppModel; PRAGMA application_id = 0; CREATE TABLE notes (x)");
            else if (kind == "version")
                database.exec("PRAGMA user_version = 10100");
            else if (kind == "columns")
                database.exec("ALTER TABLE FavoriteApp ADD COLUMN extra TEXT");
            if (database.isOpen()) {
                database.exec("PRAGMA wal_autocheckpoint = 0");
                database.exec("INSERT INTO StoreMetadata (key, value) VALUES ('wal', 'data')");
                QVERIFY(QFile::copy(scratch + u"-wal"_s, wal));
            }
            QVERIFY(QFile::copy(scratch, path));
            if (kind == "truncated") {
                QFile file(path);
                QVERIFY(file.resize(file.size() / 2));
            } else if (kind == "header") {
                QFile file(path);
                QVERIFY(file.open(QIODevice::ReadWrite));
                file.write(QByteArray(100, '\x5a'));
            }
        }
        // Older copies: the two newest stay beside the new one, the oldest goes
        // with its log, and a file of another pattern is never touched.
        const QString stem = folder + u"/caldrin.sqlite."_s;
        const QStringList older = {stem + u"2020-01-03T00-00-00Z.broken"_s,
                                   stem + u"2020-01-02T00-00-00Z-2.broken"_s,
                                   stem + u"2020-01-02T00-00-00Z.broken"_s};
        for (const QString& copy : older)
            QVERIFY(writeFile(copy, copy.toUtf8()));
        QVERIFY(writeFile(older.last() + u"-wal"_s, "log") && writeFile(stem + u"notes.broken"_s, "mine"));

        SqliteDatabase locker;
        if (kind == "locked") {
            locker.open(path);
            locker.exec("PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE; SELECT count(*) FROM AppModel");
        }
        const QByteArray before = readFile(path), walBefore = readFile(wal);

        ConsoleCapture console;
        auto container = CaldrinApp::openStore(path);
        const QStringList lines = console.lines();
        QCOMPARE(QFileInfo::exists(stem + u"notes.broken"_s), true);

        const QString migration = u"⚠️ Migration failed, attempting to reset database: "_s;
        if (outcome != "opened")
            QVERIFY2(lines.value(0).startsWith(migration) && lines[0].size() > migration.size() + 1,
                     qPrintable(lines.join(u'\n')));
        if (outcome == "fatal") {
            QVERIFY(!container && lines.size() == 1 && console.fatalLines().size() == 1);
            QVERIFY(
                console.fatalLines()[0].startsWith(u"Could not create ModelContainer even after reset: "_s));
            QVERIFY2(console.fatalLines()[0].contains(kind == "locked" ? u"locked"_s : u"unable to open"_s),
                     qPrintable(console.fatalLines()[0]));
            if (kind == "directory")
                QCOMPARE(readFile(path + u"/inside"_s), QByteArray("keep me"));
            else
                QCOMPARE(readFile(path), before);
            QVERIFY(readFile(wal) == walBefore && DamagedStoreCopies::copiesOf(path) == older);
            QVERIFY(QFileInfo::exists(older.last() + u"-wal"_s));
            return;
        }
        // Opened, the user's apps and the log's commit are there; a new store is empty.
        QVERIFY(container);
        const qint64 kept = outcome == "opened" && kind != "empty" ? 1 : 0;
        QCOMPARE(
            (QList<qint64>{
                container->mainContext().count<AppModel>(), container->mainContext().count<FavoriteFolder>(),
                container->database().queryInt64("SELECT count(*) FROM StoreMetadata WHERE key = 'wal'")}),
            (QList<qint64>{20 * kept, 0, kept}));
        if (outcome == "opened") {
            QCOMPARE(lines, QStringList{u"✅ ModelContainer created successfully"_s});
            QCOMPARE(DamagedStoreCopies::copiesOf(path), older);
            return;
        }
        QCOMPARE(lines.size(), 4);
        const QStringList copies = DamagedStoreCopies::copiesOf(path);
        QCOMPARE(copies.size(), 3);
        const QString copy = copies.first();
        QVERIFY2(QFileInfo(copy).fileName().contains(QRegularExpression(
                     u"^caldrin\\.sqlite\\.\\d{4}-\\d\\d-\\d\\dT\\d\\d-\\d\\d-\\d\\dZ\\.broken$"_s)),
                 qPrintable(copy));
        QCOMPARE(copies.mid(1), older.mid(0, 2));
        QVERIFY(!QFileInfo::exists(older.last()) && !QFileInfo::exists(older.last() + u"-wal"_s));
        QCOMPARE(lines[1], u"📦 Kept a copy of the damaged database at: "_s + copy);
        QCOMPARE(readFile(copy), before);
        if (walBefore.isNull()) // at most the empty log of the attempt to open it
            QCOMPARE(QFileInfo(copy + u"-wal"_s).size(), 0);
        else
            QCOMPARE(readFile(copy + u"-wal"_s), walBefore);
        // The copy and its log still read as one database: the user's data is there.
        if (kind == "version" || kind == "columns")
            QVERIFY(rawCount(copy, "AppModel") == 20 &&
                    rawCount(copy, "StoreMetadata WHERE key = 'wal'") == 1);

        // The old file's address, percent-encoded: ASCII without spaces.
        const QString prefix = u"🗑️ Removed old database at: "_s, address = lines[2].mid(prefix.size());
        const QUrl url(address, QUrl::StrictMode);
        QVERIFY2(lines[2].startsWith(prefix) && url.isValid() && url.toLocalFile() == path &&
                     !address.contains(QLatin1Char(' ')) &&
                     std::all_of(address.cbegin(), address.cend(), [](QChar c) { return c.unicode() < 128; }),
                 qPrintable(address));
        QCOMPARE(lines[3], u"✅ Created new ModelContainer after reset"_s);
    }

    // Two resets within one second keep two copies; neither replaces the other,
    // and the later one counts as the newer.
    void damagedCopies_neverReplaceOneAnother() {
        const QString path = freshPath();
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        const QDateTime now(QDate(2026, 12, 6), QTime(11, 22, 57), Qt::UTC);
        QStringList copies;
        for (const QByteArray& content : {QByteArray("first"), QByteArray("second")}) {
            QVERIFY(writeFile(path, content) && writeFile(path + u"-journal"_s, content + "-journal"));
            copies.prepend(DamagedStoreCopies::keep(path, now));
            QVERIFY(!QFileInfo::exists(path) && !QFileInfo::exists(path + u"-journal"_s));
        }
        QCOMPARE(copies, DamagedStoreCopies::copiesOf(path));
        QVERIFY(copies[0].endsWith(u"/caldrin.sqlite.2026-12-06T11-22-57Z-2.broken"_s));
        QVERIFY(copies[1].endsWith(u"/caldrin.sqlite.2026-12-06T11-22-57Z.broken"_s));
        QCOMPARE(readFile(copies[0]), QByteArray("second"));
        QCOMPARE(readFile(copies[1] + u"-journal"_s), QByteArray("first-journal"));
    }

    // A process killed in the middle of its saves leaves a store that opens, with
    // every completed save whole and the interrupted one whole or absent.
    // Saves leave checkpoints to a connection of their own: the log is copied
    // into the store file rather than left to grow.
    void manySaves_theLogIsCopiedIntoTheStore() {
        const QString path = freshPath();
        auto container = ModelContainer::open(path);
        const qint64 before = QFileInfo(path).size();
        for (int batch = 0; batch < 8; ++batch)
            saveBatch(container->mainContext(), batch, 30000);
        QTRY_VERIFY(QFileInfo(path).size() > before + 2'000'000);
    }

    void killedMidSave_leavesEveryCompletedSaveIntact() {
        const QString path = freshPath();
        for (int round = 0; round < 4; ++round) {
            QProcess writer;
            writer.setEnvironment(QProcess::systemEnvironment() << u"CALDRIN_TEST_BATCH_WRITER="_s + path);
            writer.start(QCoreApplication::applicationFilePath());
            QByteArray output; // a line per completed save
            const int target = 3 + static_cast<int>(QRandomGenerator::global()->bounded(5));
            while (output.count('\n') < target && writer.waitForReadyRead(10000))
                output += writer.readAllStandardOutput();
            QVERIFY2(output.count('\n') >= target, "the writer never reported its saves");
            QThread::usleep(QRandomGenerator::global()->bounded(20000));
            writer.kill(); // SIGKILL
            writer.waitForFinished();
            const qint64 reported = 20 * (output + writer.readAllStandardOutput()).count('\n');
            auto container = ModelContainer::open(path);
            SqliteStatement check(container->database(), "PRAGMA quick_check");
            QVERIFY(check.step() && check.text(0) == u"ok"_s);
            const qint64 stored = container->mainContext().count<AppModel>();
            container->database().exec("DELETE FROM AppModel");
            QVERIFY2(stored % 20 == 0 && stored >= reported && stored <= reported + 20,
                     qPrintable(u"stored %1, reported %2"_s.arg(stored).arg(reported)));
        }
    }
};

int main(int argc, char* argv[]) {
    if (const QString path = qEnvironmentVariable("CALDRIN_TEST_BATCH_WRITER"); !path.isEmpty()) {
        QCoreApplication application(argc, argv);
        return runBatchWriter(path);
    }
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(u"Caldrin"_s);
    TestStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_store.moc"
