#pragma once

#include <QDBusConnection>
#include <QString>

#include <qcorotask.h>

// The program's contact with the desktop notification service
// (org.freedesktop.Notifications on the session bus). "Permission" is whether a
// notification server answers there. Nothing here ever blocks the window or
// stops the program: a missing bus or server is only reported.
class NotificationService {
public:
    NotificationService() = delete;

    static QString title() { return QStringLiteral("🎉 New Apps Detected!"); }
    static QString body(qint64 count);

    // Asks whether notifications can be shown; prints the outcome.
    static QCoro::Task<bool> requestPermission();
    static QCoro::Task<bool> requestPermission(QDBusConnection bus);

    // Posts the "new apps" notification and returns at once; the outcome is
    // printed when the notification server answers.
    static void sendNewAppsNotification(qint64 count);
    static void sendNewAppsNotification(qint64 count, QDBusConnection bus);

    // How long a call may wait for the notification server.
    static constexpr int kCallTimeoutMs = 10000;
};
