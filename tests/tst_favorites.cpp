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

using FolderRef = QSharedPointer<FavoriteFolder>;

namespace {

const QString unfiltered = QStringLiteral("Unfiltered");

FolderRef folderNamed(ModelContext& context, const QString& name) {
    const auto folders = context.fetch<FavoriteFolder>(FetchDescriptor::equal("name", name));
    return folders.isEmpty() ? nullptr : folders.first();
}

QString folderOf(FavoritesService& service, const QString& appleID) {
    const auto favorite = service.getFavorite(appleID);
    return favorite && favorite->folder() ? favorite->folder()->id() : QString();
}

} // namespace

class TestFavorites : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<ModelContainer> m_container;
    QString m_path;

    ModelContext& context() { return m_container->mainContext(); }
    void reopen() {
        m_container.reset();
        m_container = ModelContainer::open(m_path);
    }

private slots:
    void init() {
        static int counter = 0;
        m_path = m_dir.filePath(QStringLiteral("store%1/caldrin.sqlite").arg(++counter));
        m_container = ModelContainer::open(m_path);
    }
    void cleanup() { m_container.reset(); }

    void construction_createsTheDefaultFolderOnce() {
        ConsoleCapture console;
        FavoritesService first(context());
        QCOMPARE(console.lines(), QStringList{QStringLiteral("✅ Created default 'Unfiltered' folder")});
        const auto folders = context().fetch<FavoriteFolder>();
        QCOMPARE(folders.size(), 1);
        QCOMPARE(folders.first()->name(), unfiltered);
        QCOMPARE(folders.first()->sortOrder(), 0);
        QVERIFY(!context().hasChanges());

        console.clear();
        FavoritesService second(context());
        QVERIFY(console.lines().isEmpty());
        QCOMPARE(context().count<FavoriteFolder>(), 1);

        // Only the exact name counts; a deleted default comes back with the next service.
        context().remove(folders.first().data());
        context().insert(FolderRef::create(QStringLiteral("unfiltered"), 4));
        context().save();
        FavoritesService third(context());
        QCOMPARE(console.lines(), QStringList{QStringLiteral("✅ Created default 'Unfiltered' folder")});
        QVERIFY(folderNamed(context(), unfiltered));
        QCOMPARE(folderNamed(context(), unfiltered)->sortOrder(), 0);
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
            context().insert(FolderRef::create(QStringLiteral("Existing %1").arg(order), order));
        ConsoleCapture console;
        service.createFolder(QStringLiteral("Games"));
        QCOMPARE(console.lines(), QStringList{QStringLiteral("✅ Created folder: Games")});
        QCOMPARE(folderNamed(context(), QStringLiteral("Games"))->sortOrder(), expected);
        QVERIFY(!context().hasChanges());
    }

    void createFolder_storesTheNameAsGiven_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("spaces only") << QStringLiteral("   ");
        QTest::newRow("surrounding spaces") << QStringLiteral("  Work  ");
        QTest::newRow("10,000 characters") << QString(10000, QLatin1Char('n'));
        QTest::newRow("emoji and newline") << QStringLiteral("🎮 Games\nand more");
        QTest::newRow("same as the default") << unfiltered;
        QTest::newRow("empty") << QString();
    }
    void createFolder_storesTheNameAsGiven() {
        QFETCH(QString, name);
        FavoritesService service(context());
        ConsoleCapture console;
        service.createFolder(name);
        service.createFolder(name); // a name that another folder has is accepted
        QCOMPARE(console.lines(), QStringList(2, QStringLiteral("✅ Created folder: ") + name));
        reopen();
        const auto folders = context().fetch<FavoriteFolder>(FetchDescriptor::equal("name", name));
        QCOMPARE(folders.size(), name == unfiltered ? 3 : 2);
        QVERIFY(folders[0]->id() != folders[1]->id());
    }

    void addToFavorites_storesOneEntryPerApp() {
        FavoritesService service(context());
        service.createFolder(QStringLiteral("A"));
        service.createFolder(QStringLiteral("B"));
        const QString comment = QStringLiteral("  two\nlines\u00a0with nbsp  ");
        ConsoleCapture console;
        service.addToFavorites(QStringLiteral("100"), QStringLiteral("A"), comment);
        service.addToFavorites(QStringLiteral("200"), QStringLiteral("A"), QString());
        QCOMPARE(console.lines(), (QStringList{QStringLiteral("⭐ Added to favorites: 100 in folder A"),
                                               QStringLiteral("⭐ Added to favorites: 200 in folder A")}));

        // A second add, to any folder, is refused and changes nothing.
        console.clear();
        service.addToFavorites(QStringLiteral("100"), QStringLiteral("B"), QStringLiteral("other"));
        QCOMPARE(console.lines(), QStringList{QStringLiteral("⚠️ App already in favorites")});

        // A folder that does not exist.
        console.clear();
        service.addToFavorites(QStringLiteral("300"), QStringLiteral("Missing"), QString());
        QCOMPARE(console.lines(), QStringList{QStringLiteral("❌ Folder not found: Missing")});
        QVERIFY(!service.isFavorite(QStringLiteral("300")));

        reopen();
        FavoritesService again(context());
        QCOMPARE(context().count<FavoriteApp>(), 2);
        const auto first = again.getFavorite(QStringLiteral("100"));
        QVERIFY(first);
        QCOMPARE(first->comment(), comment);
        QCOMPARE(first->folder()->name(), QStringLiteral("A"));
        QCOMPARE(again.getFavorite(QStringLiteral("200"))->comment(), QString());
        QVERIFY(again.isFavorite(QStringLiteral("100")));
        QVERIFY(!again.isFavorite(QStringLiteral("10")));
        QVERIFY(!again.getFavorite(QStringLiteral("10")));
    }

    void sameNamedFolders_addAndMoveUseTheOneStoredFirst() {
        FavoritesService service(context());
        // Stored first but shown later: the store's order decides, not sortOrder.
        const auto older = context().insert(FolderRef::create(QStringLiteral("Twins"), 9));
        const auto newer = context().insert(FolderRef::create(QStringLiteral("Twins"), 2));
        context().save();
        service.addToFavorites(QStringLiteral("1"), QStringLiteral("Twins"), QString());
        QCOMPARE(folderOf(service, QStringLiteral("1")), older->id());

        service.addToFavorites(QStringLiteral("2"), unfiltered, QString());
        ConsoleCapture console;
        service.moveToFolder(QStringLiteral("2"), QStringLiteral("Twins"));
        QCOMPARE(console.lines(), QStringList{QStringLiteral("📁 Moved 2 to folder Twins")});
        QCOMPARE(folderOf(service, QStringLiteral("2")), older->id());
        QCOMPARE(newer->appCount(), 0);
        QCOMPARE(older->appCount(), 2);
    }

    void moveAndRemove_changeTheEntry() {
        FavoritesService service(context());
        service.createFolder(QStringLiteral("Later"));
        service.addToFavorites(QStringLiteral("7"), unfiltered, QStringLiteral("keep"));
        const auto later = folderNamed(context(), QStringLiteral("Later"));
        ConsoleCapture console;
        service.moveToFolder(QStringLiteral("7"), QStringLiteral("Later"));
        service.moveToFolder(QStringLiteral("7"), QStringLiteral("Later")); // same folder: same line
        QCOMPARE(console.lines(), QStringList(2, QStringLiteral("📁 Moved 7 to folder Later")));
        QCOMPARE(folderOf(service, QStringLiteral("7")), later->id());
        QCOMPARE(folderNamed(context(), unfiltered)->appCount(), 0);
        QCOMPARE(service.getFavorite(QStringLiteral("7"))->comment(), QStringLiteral("keep"));

        console.clear();
        service.removeFromFavorites(QStringLiteral("7"));
        QCOMPARE(console.lines(), QStringList{QStringLiteral("🗑️ Removed from favorites: 7")});
        QVERIFY(!service.isFavorite(QStringLiteral("7")));
        QVERIFY(!context().hasChanges());
        QCOMPARE(later->appCount(), 0);
        QVERIFY(folderNamed(context(), QStringLiteral("Later"))); // the folder stays
    }

    void silentNoOps_printNothingAndChangeNothing() {
        FavoritesService service(context());
        service.addToFavorites(QStringLiteral("1"), unfiltered, QString());
        ConsoleCapture console;
        service.removeFromFavorites(QStringLiteral("2"));
        service.moveToFolder(QStringLiteral("2"), unfiltered);
        service.moveToFolder(QStringLiteral("1"), QStringLiteral("Nowhere"));
        QVERIFY(console.lines().isEmpty());
        QVERIFY(!context().hasChanges());
        QCOMPARE(folderOf(service, QStringLiteral("1")), folderNamed(context(), unfiltered)->id());
    }

    void deleteFolder_takesItsFavoritesWithIt() {
        FavoritesService service(context());
        service.createFolder(QStringLiteral("Doomed"));
        for (const char* id : {"1", "2", "3"})
            service.addToFavorites(QString::fromLatin1(id), QStringLiteral("Doomed"), QString());
        service.addToFavorites(QStringLiteral("4"), unfiltered, QString());
        ConsoleCapture console;
        service.deleteFolder(*folderNamed(context(), QStringLiteral("Doomed")));
        QCOMPARE(console.lines(), QStringList{QStringLiteral("🗑️ Deleted folder: Doomed")});
        for (const char* id : {"1", "2", "3"})
            QVERIFY(!service.isFavorite(QString::fromLatin1(id)));
        QVERIFY(service.isFavorite(QStringLiteral("4")));
        reopen();
        QCOMPARE(context().count<FavoriteApp>(), 1);
        QCOMPARE(context().count<FavoriteFolder>(), 1);

        // The default folder is not protected here.
        FavoritesService again(context());
        console.clear();
        again.deleteFolder(*folderNamed(context(), unfiltered));
        QCOMPARE(console.lines(), QStringList{QStringLiteral("🗑️ Deleted folder: Unfiltered")});
        QCOMPARE(context().count<FavoriteApp>(), 0);
    }

    // A store that cannot be read answers like an empty one; nothing throws.
    void failingFetches_countAsEmptyResults() {
        FavoritesService service(context());
        service.addToFavorites(QStringLiteral("1"), unfiltered, QString());
        m_container->database().setFaultHook(
            [](const QByteArray& sql) { return sql.startsWith("SELECT") ? SQLITE_IOERR : SQLITE_OK; });
        ConsoleCapture console;
        QVERIFY(!service.isFavorite(QStringLiteral("1")));
        QVERIFY(!service.getFavorite(QStringLiteral("1")));
        service.moveToFolder(QStringLiteral("1"), unfiltered);
        service.removeFromFavorites(QStringLiteral("1"));
        QVERIFY(console.lines().isEmpty());
        service.addToFavorites(QStringLiteral("2"), unfiltered, QString());
        QCOMPARE(console.lines(), QStringList{QStringLiteral("❌ Folder not found: Unfiltered")});
        console.clear();
        service.createFolder(QStringLiteral("New"));
        QCOMPARE(console.lines(), QStringList{QStringLiteral("✅ Created folder: New")});

        m_container->database().setFaultHook({});
        QCOMPARE(folderNamed(context(), QStringLiteral("New"))->sortOrder(), 1);
        QVERIFY(service.isFavorite(QStringLiteral("1")));
    }

    // A failing save is not reported; the change stays pending and a later
    // successful save writes it.
    void failingSaves_areIgnoredAndKeptPending() {
        FavoritesService service(context());
        m_container->database().setFaultHook(
            [](const QByteArray& sql) { return sql == "COMMIT" ? SQLITE_FULL : SQLITE_OK; });
        ConsoleCapture console;
        service.createFolder(QStringLiteral("Pending"));
        service.addToFavorites(QStringLiteral("9"), QStringLiteral("Pending"), QStringLiteral("c"));
        QCOMPARE(console.lines(), (QStringList{QStringLiteral("✅ Created folder: Pending"),
                                               QStringLiteral("⭐ Added to favorites: 9 in folder Pending")}));
        QVERIFY(context().hasChanges());
        QVERIFY(service.isFavorite(QStringLiteral("9")));

        m_container->database().setFaultHook({});
        service.removeFromFavorites(QStringLiteral("nothing")); // no save here
        QVERIFY(context().hasChanges());
        service.createFolder(QStringLiteral("Later")); // this save writes everything
        QVERIFY(!context().hasChanges());
        reopen();
        FavoritesService again(context());
        QCOMPARE(again.getFavorite(QStringLiteral("9"))->folder()->name(), QStringLiteral("Pending"));
    }

    void favoriteAppleIDs_followEveryChangeWithoutQueries() {
        FavoritesService service(context());
        service.createFolder(QStringLiteral("Other"));
        service.addToFavorites(QStringLiteral("1"), unfiltered, QString());
        reopen(); // nothing of the favorites in memory

        // The hook sees every step of every statement.
        QByteArrayList statements;
        m_container->database().setFaultHook([&statements](const QByteArray& sql) {
            statements.append(sql);
            return SQLITE_OK;
        });
        FavoriteAppleIDs favorites(context());
        QCOMPARE(QSet<QByteArray>(statements.cbegin(), statements.cend()).size(), 1);
        QSignalSpy changed(&favorites, &FavoriteAppleIDs::changed);
        statements.clear();
        for (int i = 0; i < 100; ++i)
            QVERIFY(favorites.contains(QStringLiteral("1")));
        QVERIFY(!favorites.contains(QStringLiteral("2")));
        QVERIFY(statements.isEmpty());
        m_container->database().setFaultHook({});

        FavoritesService again(context());
        again.addToFavorites(QStringLiteral("2"), QStringLiteral("Other"), QString());
        QVERIFY(favorites.contains(QStringLiteral("2")));
        QVERIFY(!changed.isEmpty());
        again.moveToFolder(QStringLiteral("1"), QStringLiteral("Other"));
        QVERIFY(favorites.contains(QStringLiteral("1")));
        again.removeFromFavorites(QStringLiteral("1"));
        QVERIFY(!favorites.contains(QStringLiteral("1")));

        // An entry whose appleID is rewritten moves with it.
        again.getFavorite(QStringLiteral("2"))->setAppleID(QStringLiteral("22"));
        QVERIFY(!favorites.contains(QStringLiteral("2")));
        QVERIFY(favorites.contains(QStringLiteral("22")));

        // The cascade of a deleted folder, and deletion of every entry at once.
        again.addToFavorites(QStringLiteral("3"), unfiltered, QString());
        again.deleteFolder(*folderNamed(context(), QStringLiteral("Other")));
        QVERIFY(!favorites.contains(QStringLiteral("22")));
        QVERIFY(favorites.contains(QStringLiteral("3")));
        context().removeAll<FavoriteApp>();
        QCOMPARE(favorites.size(), 0);
        QCOMPARE(favorites.contains(QStringLiteral("3")), again.isFavorite(QStringLiteral("3")));
    }

    // The set agrees with the service's store query after any mix of changes.
    void favoriteAppleIDs_agreeWithTheStore() {
        FavoritesService service(context());
        FavoriteAppleIDs favorites(context());
        for (int i = 0; i < 4; ++i)
            service.createFolder(QStringLiteral("F%1").arg(i));
        for (int step = 0; step < 200; ++step) {
            const QString appleID = QString::number(step * 7 % 13);
            const QString folder = QStringLiteral("F%1").arg(step % 4);
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
                    service.deleteFolder(*folderNamed(context(), folder));
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
