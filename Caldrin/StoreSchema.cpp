#include "StoreSchema.h"

#include "AppModel.h"
#include "FavoriteApp.h"
#include "FavoriteFolder.h"
#include "SqliteDatabase.h"
#include "SqliteStatement.h"
#include "StoreError.h"

#include <sqlite3.h>

namespace {

const char* const kCreateTables = R"SQL(
CREATE TABLE AppModel (
    pk INTEGER PRIMARY KEY,
    appleID TEXT NOT NULL UNIQUE,
    name TEXT NOT NULL,
    bundleID TEXT NOT NULL,
    developerName TEXT NOT NULL,
    developerURL TEXT,
    appStoreURL TEXT NOT NULL,
    price REAL NOT NULL,
    currency TEXT NOT NULL,
    priceLabel TEXT NOT NULL,
    category TEXT NOT NULL,
    categoryID TEXT NOT NULL,
    releaseDate INTEGER NOT NULL,
    releaseDateString TEXT NOT NULL,
    iconURL TEXT,
    copyright TEXT,
    fetchedAt INTEGER NOT NULL,
    rating REAL,
    ratingCount INTEGER,
    appSize TEXT,
    appVersion TEXT,
    ageRating TEXT,
    hasInAppPurchases INTEGER,
    inAppPurchaseInfo TEXT,
    detailsFetched INTEGER NOT NULL,
    isViewed INTEGER NOT NULL,
    screenshotURLs TEXT,
    inAppPurchaseItems TEXT,
    appDescription TEXT
);
CREATE TABLE FavoriteFolder (
    pk INTEGER PRIMARY KEY,
    id TEXT NOT NULL UNIQUE,
    name TEXT NOT NULL,
    createdAt INTEGER NOT NULL,
    sortOrder INTEGER NOT NULL
);
CREATE TABLE FavoriteApp (
    pk INTEGER PRIMARY KEY,
    id TEXT NOT NULL UNIQUE,
    appleID TEXT NOT NULL,
    comment TEXT NOT NULL,
    addedAt INTEGER NOT NULL,
    folder TEXT REFERENCES FavoriteFolder(id) ON DELETE CASCADE ON UPDATE CASCADE
);
CREATE TABLE StoreMetadata (
    key TEXT PRIMARY KEY,
    value TEXT NOT NULL
) WITHOUT ROWID;
)SQL";

// Every WHERE and ORDER BY the program issues, and the index that serves it:
//   AppModel WHERE appleID = ?                       -> UNIQUE constraint index
//   AppModel ORDER BY releaseDate DESC, pk [LIMIT n] -> AppModel_list
//   SELECT pk, releaseDate, category, isViewed, name, developerName
//     FROM AppModel ORDER BY releaseDate DESC, pk    -> AppModel_list, covering: the
//     window's in-memory index is read from it without touching the table rows
//     and their descriptions (a tenth of the pages at a million apps)
//   AppModel WHERE category = ? ORDER BY releaseDate DESC, pk [LIMIT n],
//     count(*) WHERE category = ?                    -> AppModel_category_releaseDate
//   FavoriteFolder WHERE name = ? / ORDER BY sortOrder: a handful of rows
//   FavoriteApp WHERE appleID = ?                    -> FavoriteApp_appleID
//   FavoriteApp WHERE folder = ? (and the cascade)   -> FavoriteApp_folder
//   SELECT pk, appleID FROM AppModel WHERE <incomplete> ORDER BY pk
//                                                    -> AppModel_incomplete, a partial
//     index holding only the apps whose details are incomplete, so the start-up
//     check reads those few entries instead of every row
// Indexes are not part of the schema's identity: missing ones are created at
// every open, so adding one later needs no reset.
const char* const kCreateIndexes = R"SQL(
CREATE INDEX IF NOT EXISTS AppModel_list ON AppModel(releaseDate DESC, pk, category, isViewed, name, developerName);
CREATE INDEX IF NOT EXISTS AppModel_category_releaseDate ON AppModel(category, releaseDate DESC);
CREATE INDEX IF NOT EXISTS FavoriteApp_appleID ON FavoriteApp(appleID);
CREATE INDEX IF NOT EXISTS FavoriteApp_folder ON FavoriteApp(folder);
)SQL";

QByteArray incompleteIndex() {
    return "CREATE INDEX IF NOT EXISTS AppModel_incomplete ON AppModel(pk, appleID) WHERE " +
           StoreSchema::incompleteAppCondition();
}

QByteArrayList columnsOf(SqliteDatabase& database, const QByteArray& table) {
    SqliteStatement statement(database, "SELECT name FROM pragma_table_info(?) ORDER BY cid");
    statement.bind(1, QString::fromLatin1(table));
    QByteArrayList columns;
    while (statement.step())
        columns.append(statement.text(0).toLatin1());
    return columns;
}

StoreError mismatch(const QString& detail) {
    return StoreError::foreignContent(QStringLiteral("The file is not a Caldrin store of version %1: %2")
                                          .arg(StoreSchema::versionText(), detail));
}

} // namespace

void StoreSchema::prepare(SqliteDatabase& database) {
    // Opening proves nothing: this is the first read of the file, and a file of
    // garbage fails here with "file is not a database".
    const qint64 objects = database.queryInt64("SELECT count(*) FROM sqlite_master");
    const qint64 applicationId = database.queryInt64("PRAGMA application_id");
    if (objects == 0 && applicationId == 0)
        create(database);
    else
        verify(database);
    createIndexes(database);
}

void StoreSchema::create(SqliteDatabase& database) {
    database.exec("BEGIN IMMEDIATE");
    try {
        database.exec(kCreateTables);
        database.exec("INSERT INTO StoreMetadata (key, value) VALUES ('schemaVersion', '1.0.0'), "
                      "('recordTypes', 'AppModel,FavoriteFolder,FavoriteApp')");
        database.exec("PRAGMA application_id = " + QByteArray::number(kApplicationId));
        database.exec("PRAGMA user_version = " + QByteArray::number(kUserVersion));
        database.exec("COMMIT");
    } catch (const StoreError&) {
        try {
            database.exec("ROLLBACK");
        } catch (const StoreError&) {
        }
        throw;
    }
}

void StoreSchema::verify(SqliteDatabase& database) {
    const qint64 applicationId = database.queryInt64("PRAGMA application_id");
    if (applicationId != kApplicationId)
        throw mismatch(
            QStringLiteral("it belongs to another application (application id %1)").arg(applicationId));
    const qint64 version = database.queryInt64("PRAGMA user_version");
    if (version != kUserVersion)
        throw mismatch(QStringLiteral("it holds schema version %1.%2.%3")
                           .arg(version / 10000)
                           .arg(version / 100 % 100)
                           .arg(version % 100));
    const RecordTable* tables[] = {&AppModel::recordTable(), &FavoriteFolder::recordTable(),
                                   &FavoriteApp::recordTable()};
    for (const RecordTable* table : tables) {
        QByteArrayList expected = {"pk"};
        expected += table->columns;
        QByteArrayList actual = columnsOf(database, table->table);
        std::sort(expected.begin(), expected.end());
        std::sort(actual.begin(), actual.end());
        if (actual != expected)
            throw mismatch(
                QStringLiteral("table %1 has other columns").arg(QString::fromLatin1(table->table)));
    }
}

void StoreSchema::createIndexes(SqliteDatabase& database) {
    database.exec(kCreateIndexes);
    database.exec(incompleteIndex());
}

QByteArray StoreSchema::incompleteAppCondition() {
    // An empty description counts as present; an empty screenshot list does not.
    return "(detailsFetched = 0 OR screenshotURLs IS NULL OR screenshotURLs = '[]' OR appDescription IS "
           "NULL)";
}
