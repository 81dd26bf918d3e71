// The favorites service and the in-memory set of favorite apps.
#include "ConsoleCapture.h"
#include "FavoriteApp.h"
#include "FavoriteAppleIDs.h"
#include "FavoriteFolder.h"
#include "FavoritesService.h"
#include "ModelContainer.h"
#include "ModelContext.h"
#include "SqliteDatabase.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using namespace Qt::StringLiterals;
using FolderRef = QSharedPointer<FavoriteFolder>;

namespace {
const QString unfiltered = u"Unfiltered"_s;
} // namespace

class TestFavorites : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<ModelContainer> m_container;
    QString m_path;
    int m_count = 0;

    ModelContext& context() { return m_container->mainContext(); }
    // The same store opened afresh: only what was saved is there.
    void reopen() {
        m_container.reset();
        m_container = ModelContainer::open(m_path);
    }
    void failStatements(const QByteArray& prefix, int code) {
        m_container->database().setFaultHook(
            [=](const QByteArray& sql) { return sql.startsWith(prefix) ? code : SQLITE_OK; });
    }
    FolderRef folderNamed(const QString& name) {
        const auto folders = context().fetch<FavoriteFolder>(FetchDescriptor::equal("name", name));
        return folders.isEmpty() ? nullptr : folders.first();
    }
    static QString folderOf(const FavoritesService& service, const QString& appleID) {
        const auto favorite = service.getFavorite(appleID);
        return favorite && favorite->folder() ? favorite->folder()->name() : QString();
    }

private slots:
    void init() {
        m_path = m_dir.filePath(u"store%1/caldrin.sqlite"_s.arg(++m_count));
        reopen();
    }
    void cleanup() { m_container.reset(); }

    void construction_createsTheDefaultFolderOnce() {
        ConsoleCapture console;
        FavoritesService first(context());
        FavoritesService second(context());
        const QStringList created{u"✅ Created default 'Unfiltered' folder"_s};
        QCOMPARE(console.lines(), created);
        const auto folders = context().fetch<FavoriteFolder>();
        QCOMPARE(folders.size(), 1);
        QCOMPARE(folders.first()->name(), unfiltered);
        QCOMPARE(folders.first()->sortOrder(), 0);
        QVERIFY(!context().hasChanges());

        // Only the exact name counts; a deleted default comes back with the next service.
        context().remove(folders.first().data());
        context().insert(FolderRef::create(u"unfiltered"_s, 4));
        context().save();
        console.clear();
        FavoritesService third(context());
        QCOMPARE(console.lines(), created);
        QCOMPARE(folderNamed(unfiltered)->sortOrder(), 0);
    }

    void createFolder_takesGreatestSortOrderPlusOne_data() {
        QTest::addColumn<QList<qint64>>("existing");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("only the default folder") << QList<qint64>{} << qint64(1);
        QTest::newRow("after 0, 1 and 7") << QList<qint64>{1, 7} << qint64(8);
        QTest::newRow("unordered") << QList<qint64>{5, 2} << qint64(6);
        QTest::newRow("negative orders") << QList<qint64>{-4} << qint64(1);
    }
    void createFolder_takesGreatestSortOrderPlusOne() {
        QFETCH(QList<qint64>, existing);
        QFETCH(qint64, expected);
        FavoritesService service(context());
        for (const qint64 order : existing)
            context().insert(FolderRef::create(u"Existing %1"_s.arg(order), order));
        ConsoleCapture console;
        service.createFolder(u"Games"_s);
        QCOMPARE(console.lines(), QStringList{u"✅ Created folder: Games"_s});
        QCOMPARE(folderNamed(u"Games"_s)->sortOrder(), expected);
        QVERIFY(!context().hasChanges());
    }

    void createFolder_storesTheNameAsGiven_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("spaces only") << u"   "_s;
        QTest::newRow("surrounding spaces") << u"  Work  "_s;
        QTest::newRow("10,000 characters") << QString(10000, u'n');
        QTest::newRow("emoji and newline") << u"🎮 Games\nand more"_s;
        QTest::newRow("same as the default") << unfiltered;
        QTest::newRow("empty") << QString();
    }
    void createFolder_storesTheNameAsGiven() {
        QFETCH(QString, name);
        FavoritesService service(context());
        ConsoleCapture console;
        service.createFolder(name);
        service.createFolder(name); // a name that another folder has is accepted
        QCOMPARE(console.lines(), QStringList(2, u"✅ Created folder: "_s + name));
        reopen();
        const auto folders = context().fetch<FavoriteFolder>(FetchDescriptor::equal("name", name));
        QCOMPARE(folders.size(), name == unfiltered ? 3 : 2);
        QVERIFY(folders[0]->id() != folders[1]->id());
    }

    void addToFavorites_storesOneEntryPerApp() {
        FavoritesService service(context());
        service.createFolder(u"A"_s);
        service.createFolder(u"B"_s);
        const QString comment = u"  two\nlines\u00a0with nbsp  "_s;
        ConsoleCapture console;
        service.addToFavorites(u"100"_s, u"A"_s, comment);
        service.addToFavorites(u"200"_s, u"A"_s, QString());
        // A second add, to any folder, is refused; so is a folder that does not exist.
        service.addToFavorites(u"100"_s, u"B"_s, u"other"_s);
        service.addToFavorites(u"300"_s, u"Missing"_s, QString());
        QCOMPARE(console.lines(),
                 (QStringList{u"⭐ Added to favorites: 100 in folder A"_s,
                              u"⭐ Added to favorites: 200 in folder A"_s,
                              u"⚠️ App already in favorites"_s, u"❌ Folder not found: Missing"_s}));

        reopen();
        FavoritesService again(context());
        QCOMPARE(context().count<FavoriteApp>(), 2);
        QCOMPARE(again.getFavorite(u"100"_s)->comment(), comment);
        QCOMPARE(folderOf(again, u"100"_s), u"A"_s);
        QCOMPARE(again.getFavorite(u"200"_s)->comment(), QString());
        QVERIFY(again.isFavorite(u"100"_s));
        QVERIFY(!again.isFavorite(u"300"_s));
        QVERIFY(!again.getFavorite(u"10"_s));
    }

    void sameNamedFolders_addAndMoveUseTheOneStoredFirst() {
        FavoritesService service(context());
        // Stored first but shown later: the store's order decides, not sortOrder.
        const auto older = context().insert(FolderRef::create(u"Twins"_s, 9));
        const auto newer = context().insert(FolderRef::create(u"Twins"_s, 2));
        context().save();
        service.addToFavorites(u"1"_s, u"Twins"_s, QString());
        service.addToFavorites(u"2"_s, unfiltered, QString());
        service.moveToFolder(u"2"_s, u"Twins"_s);
        QCOMPARE(newer->appCount(), 0);
        QCOMPARE(older->appCount(), 2);
    }

    void moveAndRemove_changeTheEntry() {
        FavoritesService service(context());
        service.createFolder(u"Later"_s);
        service.addToFavorites(u"7"_s, unfiltered, u"keep"_s);
        ConsoleCapture console;
        service.moveToFolder(u"7"_s, u"Later"_s);
        service.moveToFolder(u"7"_s, u"Later"_s); // same folder: same line
        QCOMPARE(console.lines(), QStringList(2, u"📁 Moved 7 to folder Later"_s));
        QCOMPARE(folderOf(service, u"7"_s), u"Later"_s);
        QCOMPARE(folderNamed(unfiltered)->appCount(), 0);
        QCOMPARE(service.getFavorite(u"7"_s)->comment(), u"keep"_s);

        console.clear();
        service.removeFromFavorites(u"7"_s);
        QCOMPARE(console.lines(), QStringList{u"🗑️ Removed from favorites: 7"_s});
        QVERIFY(!service.isFavorite(u"7"_s));
        QVERIFY(!context().hasChanges());
        QCOMPARE(folderNamed(u"Later"_s)->appCount(), 0); // the folder stays
    }

    void silentNoOps_printNothingAndChangeNothing() {
        FavoritesService service(context());
        service.addToFavorites(u"1"_s, unfiltered, QString());
        ConsoleCapture console;
        service.removeFromFavorites(u"2"_s);
        service.moveToFolder(u"2"_s, unfiltered);
        service.moveToFolder(u"1"_s, u"Nowhere"_s);
        QVERIFY(console.lines().isEmpty());
        QVERIFY(!context().hasChanges());
        QCOMPARE(folderOf(service, u"1"_s), unfiltered);
    }

    void deleteFolder_takesItsFavoritesWithIt() {
        FavoritesService service(context());
        service.createFolder(u"Doomed"_s);
        for (const QString& id : {u"1"_s, u"2"_s, u"3"_s})
            service.addToFavorites(id, u"Doomed"_s, QString());
        service.addToFavorites(u"4"_s, unfiltered, QString());
        ConsoleCapture console;
        service.deleteFolder(*folderNamed(u"Doomed"_s));
        QCOMPARE(console.lines(), QStringList{u"🗑️ Deleted folder: Doomed"_s});
        QVERIFY(!service.isFavorite(u"2"_s));
        reopen();
        QCOMPARE(context().count<FavoriteApp>(), 1);
        QCOMPARE(context().count<FavoriteFolder>(), 1);

        // The default folder is not protected here.
        FavoritesService(context()).deleteFolder(*folderNamed(unfiltered));
        QCOMPARE(context().count<FavoriteApp>(), 0);
    }

    // A store that cannot be read answers like an empty one; nothing throws.
    void failingFetches_countAsEmptyResults() {
        FavoritesService service(context());
        service.addToFavorites(u"1"_s, unfiltered, QString());
        failStatements("SELECT", SQLITE_IOERR);
        ConsoleCapture console;
        QVERIFY(!service.isFavorite(u"1"_s));
        QVERIFY(!service.getFavorite(u"1"_s));
        service.moveToFolder(u"1"_s, unfiltered);
        service.removeFromFavorites(u"1"_s);
        service.addToFavorites(u"2"_s, unfiltered, QString());
        service.createFolder(u"New"_s);
        QCOMPARE(console.lines(),
                 (QStringList{u"❌ Folder not found: Unfiltered"_s, u"✅ Created folder: New"_s}));

        m_container->database().setFaultHook({});
        QCOMPARE(folderNamed(u"New"_s)->sortOrder(), 1);
        QVERIFY(service.isFavorite(u"1"_s));
    }

    // A failing save is not reported; the change stays pending and a later
    // successful save writes it.
    void failingSaves_areIgnoredAndKeptPending() {
        FavoritesService service(context());
        failStatements("COMMIT", SQLITE_FULL);
        ConsoleCapture console;
        service.createFolder(u"Pending"_s);
        service.addToFavorites(u"9"_s, u"Pending"_s, u"c"_s);
        QCOMPARE(console.lines(), (QStringList{u"✅ Created folder: Pending"_s,
                                               u"⭐ Added to favorites: 9 in folder Pending"_s}));
        QVERIFY(context().hasChanges());
        QVERIFY(service.isFavorite(u"9"_s));

        m_container->database().setFaultHook({});
        service.removeFromFavorites(u"nothing"_s); // no save here
        QVERIFY(context().hasChanges());
        service.createFolder(u"Later"_s); // this save writes everything
        QVERIFY(!context().hasChanges());
        reopen();
        QCOMPARE(folderOf(FavoritesService(context()), u"9"_s), u"Pending"_s);
    }

    // Loaded with one query, then answered from memory and kept current by the
    // store's change signals (adds, moves, removals and cascades are covered by
    // favoriteAppleIDs_agreeWithTheStore).
    void favoriteAppleIDs_loadOnceAndFollowEveryChange() {
        FavoritesService(context()).addToFavorites(u"1"_s, unfiltered, QString());
        reopen(); // nothing of the favorites in memory

        // The hook sees every step of every statement.
        QByteArrayList statements;
        m_container->database().setFaultHook([&statements](const QByteArray& sql) {
            statements.append(sql);
            return SQLITE_OK;
        });
        FavoriteAppleIDs favorites(context());
        QCOMPARE(QSet<QByteArray>(statements.cbegin(), statements.cend()).size(), 1);
        statements.clear();
        for (int i = 0; i < 100; ++i)
            QVERIFY(favorites.contains(u"1"_s));
        QVERIFY(!favorites.contains(u"2"_s));
        QVERIFY(statements.isEmpty());
        m_container->database().setFaultHook({});

        QSignalSpy changed(&favorites, &FavoriteAppleIDs::changed);
        FavoritesService service(context());
        service.addToFavorites(u"2"_s, unfiltered, QString());
        QCOMPARE(changed.size(), 1);
        service.removeFromFavorites(u"1"_s); // the entry loaded at first
        QVERIFY(!favorites.contains(u"1"_s));
        // An entry whose appleID is rewritten moves with it.
        service.getFavorite(u"2"_s)->setAppleID(u"22"_s);
        QVERIFY(!favorites.contains(u"2"_s));
        QVERIFY(favorites.contains(u"22"_s));
        context().removeAll<FavoriteApp>();
        QCOMPARE(favorites.size(), 0);
    }

    // The set agrees with the service's store query after any mix of changes.
    void favoriteAppleIDs_agreeWithTheStore() {
        FavoritesService service(context());
        FavoriteAppleIDs favorites(context());
        for (int i = 0; i < 4; ++i)
            service.createFolder(u"F%1"_s.arg(i));
        for (int step = 0; step < 200; ++step) {
            const QString appleID = QString::number(step * 7 % 13);
            const QString folder = u"F%1"_s.arg(step % 4);
            switch (step % 5) {
            case 0:
            case 1:
                service.addToFavorites(appleID, folder, QString());
                break;
            case 2:
                service.moveToFolder(appleID, folder);
                break;
            case 3:
                service.removeFromFavorites(appleID);
                break;
            default:
                if (step % 35 == 4) {
                    service.deleteFolder(*folderNamed(folder));
                    service.createFolder(folder);
                }
            }
            for (int id = 0; id < 13; ++id)
                QCOMPARE(favorites.contains(QString::number(id)), service.isFavorite(QString::number(id)));
        }
    }
};

QTEST_GUILESS_MAIN(TestFavorites)
#include "tst_favorites.moc"
