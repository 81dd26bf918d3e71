#pragma once

#include <QSettings>
#include <QString>

// The user's settings, where what outlives a run is kept: the time of the last
// collection, and the window's size and split positions.
class UserSettings {
public:
    static QSettings open() { return QSettings(QStringLiteral("Caldrin"), QStringLiteral("Caldrin")); }

    // The time of the last collection run (a date-time).
    static QString lastFetchDateKey() { return QStringLiteral("lastFetchDate"); }
    // A count that earlier versions kept; nothing writes it now, but "Reset &
    // Reload" removes it with lastFetchDate.
    static QString totalAppsCollectedKey() { return QStringLiteral("totalAppsCollected"); }
};
