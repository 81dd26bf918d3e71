#pragma once

#include "PersistentRecord.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QSharedPointer>

#include <functional>

class SqliteStatement;

// How one record kind lies in the database: its table, its columns in write
// order, the column list it is read back with, and the functions that move field
// values between a record and a statement. Each record type provides one.
struct RecordTable {
    RecordKind kind;
    QByteArray table;
    QByteArray uniqueColumn;    // the unique attribute; inserting a known value updates
    QByteArrayList columns;     // written by INSERT/UPDATE, bound from 1 in this order
    QByteArray selectList;      // read back by SELECT, after the primary key
    QByteArrayList textColumns; // may be used in equality tests
    QByteArrayList sortColumns; // may be used as the sort field
    std::function<QSharedPointer<PersistentRecord>()> create;
    std::function<void(const PersistentRecord&, SqliteStatement&)> bind;
    std::function<void(PersistentRecord&, const SqliteStatement&)> load; // columns from 1
    std::function<QString(const PersistentRecord&)> uniqueValue;
    std::function<void(PersistentRecord& target, const PersistentRecord& source)> copyValues;
};
