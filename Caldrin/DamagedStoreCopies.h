#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// Before a damaged store is replaced, its file and companions are moved aside
// in the same folder, under the store's name, the UTC time and ".broken":
//   caldrin.sqlite.2026-12-06T11-22-57Z.broken        (and -wal, -shm, -journal)
// so the user's favourites can still be read out of it. Only the newest few
// copies are kept.
class DamagedStoreCopies {
public:
    static constexpr int kKept = 3;

    // Moves the store file and its companions aside and returns the copy's path
    // (empty when there was nothing to move). Throws StoreError when anything cannot be
    // moved; every file moved so far is then put back, so nothing is lost. A
    // path that is not a regular file is never moved.
    static QString keep(const QString& storePath, const QDateTime& now = QDateTime::currentDateTimeUtc());

    // Deletes every copy of the store at storePath but the `kept` newest,
    // companions included.
    static void prune(const QString& storePath, int kept = kKept);

    // The copies of the store at storePath, newest first.
    static QStringList copiesOf(const QString& storePath);

    // The files the engine keeps beside a database, by suffix of its name.
    static QStringList companionSuffixes();
};
