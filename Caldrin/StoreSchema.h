#pragma once

#include <QByteArray>
#include <QString>

class SqliteDatabase;

// The on-disk schema, version 1.0.0: three record tables, their indexes, and
// the marks that tell our file from any other SQLite file.
class StoreSchema {
public:
    static constexpr int kApplicationId = 0x43414C44; // "CALD"
    static constexpr int kUserVersion = 10000;        // 1.0.0
    static QString versionText() { return QStringLiteral("1.0.0"); }

    // Creates the schema in an empty database, or checks that a non-empty one
    // holds exactly this schema and version. Throws StoreError otherwise.
    static void prepare(SqliteDatabase& database);

    // The SQL condition of an app whose details are incomplete: not fetched, no
    // or no screenshots, or no description. Queries must use it word for word,
    // so that the partial index built on it serves them.
    static QByteArray incompleteAppCondition();

private:
    static void create(SqliteDatabase& database);
    static void verify(SqliteDatabase& database);
    static void createIndexes(SqliteDatabase& database);
};
