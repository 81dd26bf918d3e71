#pragma once

#include <QDateTime>
#include <QList>
#include <QSharedPointer>
#include <QString>

#include <functional>

class AppModel;

// App records with known names, developers, categories, release days and
// viewed marks, for the tests of the main window and its list.
class SampleApps {
public:
    struct Traits {
        QString name;
        QString developer = QStringLiteral("Example Developer");
        QString category = QStringLiteral("Games");
        int day = 0; // release day; higher is newer
        bool viewed = false;
    };

    // Release day 0; day n is n days later.
    static QDateTime day0() { return QDateTime(QDate(2024, 1, 1), QTime(7, 0), Qt::UTC); }
    // A new record with those traits, its other required fields filled plausibly.
    static QSharedPointer<AppModel> make(const QString& appleID, const Traits& traits);
    // "<prefix> 0" ... "<prefix> count-1", released on days firstDay onwards, in
    // the category that categoryOf gives for the number (Games when none).
    static QList<Traits> numbered(const QString& prefix, int count,
                                  const std::function<QString(int)>& categoryOf = {}, int firstDay = 0);
};
