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
        QVERIFY(context().count<FavoriteFolder>() == 1 && folderNamed(unfiltered)->sortOrder() == 0 &&
                !context().hasChanges());

        // Only the exact name counts; a deleted default comes back with the next service.
        context().remove(folderNamed(unfiltered).data());
        context().insert(FolderRef::create(u"unfiltered"_s, 4));
        context().save();
        console.clear();
        FavoritesService third(context());
        QVERIFY(console.lines() == created && folderNamed(unfiltered)->sortOrder() == 0);
    }

    void createFolder_storesTheNameAsGivenAfterTheGreatestSortOrder() {
        FavoritesService service(context());
        service.createFolder(u"First"_s);
        QCOMPARE(folderNamed(u"First"_s)->sortOrder(), 1);
        for (const qint64 order : {7, 2}) // after the greatest, not the last
            context().insert(FolderRef::create(u"Existing %1"_s.arg(order), order));
        const QString name = u"  🎮 Games\nand more "_s;
        ConsoleCapture console;
        service.createFolder(name);
        service.createFolder(name); // a name that another folder has is accepted
        QVERIFY(console.lines() == QStringList(2, u"✅ Created folder: "_s + name) && !context().hasChanges());
        reopen();
        QList<qint64> orders;
        for (const auto& folder : context().fetch<FavoriteFolder>(FetchDescriptor::equal("name", name)))
            orders.append(folder->sortOrder());
        std::sort(orders.begin(), orders.end());
        QCOMPARE(orders, (QList<qint64>{8, 9}));
    }

    // One favorite per app, whatever the folder; the comment is kept as given.
    void addToFavorites_refusesASecondFavoriteAndAMissingFolder() {
        FavoritesService service(context());
        service.createFolder(u"Later"_s);
        ConsoleCapture console;
        service.addToFavorites(u"7"_s, unfiltered, u" first\nthoughts "_s);
        service.addToFavorites(u"7"_s, u"Later"_s, u"second"_s);
        service.addToFavorites(u"8"_s, u"Nowhere"_s, QString());
        QCOMPARE(console.lines(),
                 (QStringList{u"⭐ Added to favorites: 7 in folder Unfiltered"_s,
                              u"⚠️ App already in favorites"_s, u"❌ Folder not found: Nowhere"_s}));
        QVERIFY(context().count<FavoriteApp>() == 1 && folderOf(service, u"7"_s) == unfiltered);
        QCOMPARE(service.getFavorite(u"7"_s)->comment(), u" first\nthoughts "_s);
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
        QVERIFY(newer->appCount() == 0 && older->appCount() == 2);
    }

    void moveRemoveAndDelete_changeTheEntryOrSilentlyNothing() {
        FavoritesService service(context());
        service.createFolder(u"Later"_s);
        service.addToFavorites(u"7"_s, unfiltered, u"keep"_s);
        service.addToFavorites(u"8"_s, unfiltered, QString());
        ConsoleCapture console;
        service.moveToFolder(u"7"_s, u"Later"_s);
        service.moveToFolder(u"7"_s, u"Later"_s); // same folder: same line
        QCOMPARE(console.lines(), QStringList(2, u"📁 Moved 7 to folder Later"_s));
        QCOMPARE((QStringList{folderOf(service, u"7"_s), service.getFavorite(u"7"_s)->comment()}),
                 (QStringList{u"Later"_s, u"keep"_s}));
        QCOMPARE(folderNamed(unfiltered)->appCount(), 1);

        // Silent no-ops: an app that is no favorite, a folder that does not exist.
        console.clear();
        service.removeFromFavorites(u"9"_s);
        service.moveToFolder(u"9"_s, unfiltered);
        service.moveToFolder(u"7"_s, u"Nowhere"_s);
        QVERIFY(console.lines().isEmpty() && !context().hasChanges());
        QCOMPARE(folderOf(service, u"7"_s), u"Later"_s);

        service.removeFromFavorites(u"8"_s);
        QCOMPARE(console.lines(), QStringList{u"🗑️ Removed from favorites: 8"_s});
        QVERIFY(!service.isFavorite(u"8"_s));
        QCOMPARE(folderNamed(unfiltered)->appCount(), 0); // the folder stays

        // A folder goes with its entries; the default folder is not protected.
        service.deleteFolder(*folderNamed(u"Later"_s));
        service.deleteFolder(*folderNamed(unfiltered));
        QCOMPARE(console.lines().mid(1),
                 (QStringList{u"🗑️ Deleted folder: Later"_s, u"🗑️ Deleted folder: Unfiltered"_s}));
        QVERIFY(!service.isFavorite(u"7"_s));
        reopen();
        QCOMPARE(context().count<FavoriteApp>() + context().count<FavoriteFolder>(), 0);
    }

    // A store that cannot be read answers like an empty one; nothing throws.
    void failingFetches_countAsEmptyResults() {
        FavoritesService service(context());
        service.addToFavorites(u"1"_s, unfiltered, QString());
        failStatements("SELECT", SQLITE_IOERR);
        ConsoleCapture console;
        QVERIFY(!service.isFavorite(u"1"_s) && !service.getFavorite(u"1"_s));
        service.moveToFolder(u"1"_s, unfiltered);
        service.removeFromFavorites(u"1"_s);
        service.addToFavorites(u"2"_s, unfiltered, QString());
        service.createFolder(u"New"_s);
        QCOMPARE(console.lines(),
                 (QStringList{u"❌ Folder not found: Unfiltered"_s, u"✅ Created folder: New"_s}));

        m_container->database().setFaultHook({});
        QVERIFY(folderNamed(u"New"_s)->sortOrder() == 1 && service.isFavorite(u"1"_s));
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
        QVERIFY(context().hasChanges() && service.isFavorite(u"9"_s));

        m_container->database().setFaultHook({});
        service.removeFromFavorites(u"nothing"_s); // no save here
        QVERIFY(context().hasChanges());
        service.createFolder(u"Later"_s); // this save writes everything
        QVERIFY(!context().hasChanges());
        reopen();
        QCOMPARE(folderOf(FavoritesService(context()), u"9"_s), u"Pending"_s);
    }

    // Loaded once, then kept current by the store's change signals.
    void favoriteAppleIDs_followEveryChange() {
        FavoritesService(context()).addToFavorites(u"1"_s, unfiltered, QString());
        reopen(); // nothing of the favorites in memory
        FavoriteAppleIDs favorites(context());
        QSignalSpy changed(&favorites, &FavoriteAppleIDs::changed);
        FavoritesService service(context());
        service.createFolder(u"Other"_s);
        service.addToFavorites(u"2"_s, u"Other"_s, QString());
        QVERIFY(favorites.contains(u"1"_s) && favorites.contains(u"2"_s) && !favorites.contains(u"3"_s) &&
                !changed.isEmpty());
        service.moveToFolder(u"1"_s, u"Other"_s);
        QVERIFY(favorites.contains(u"1"_s));
        service.removeFromFavorites(u"1"_s); // the entry loaded at first
        QVERIFY(!favorites.contains(u"1"_s));
        // The cascade of a deleted folder, and deletion of every entry at once.
        service.addToFavorites(u"3"_s, unfiltered, QString());
        service.deleteFolder(*folderNamed(u"Other"_s));
        QVERIFY(!favorites.contains(u"2"_s) && favorites.contains(u"3"_s));
        context().removeAll<FavoriteApp>();
        QCOMPARE(favorites.size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestFavorites)
#include "tst_favorites.moc"
