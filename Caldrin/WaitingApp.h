#pragma once

#include <QSharedPointer>
#include <QString>

class AppModel;

// One app waiting for its details. Apps found by the start-up check wait as
// their store identity only and are read when their turn comes, so that a long
// list of incomplete apps does not hold every record in memory.
struct WaitingApp {
    QSharedPointer<AppModel> record; // null until read
    qint64 persistentId = 0;
    QString appleID;
};
