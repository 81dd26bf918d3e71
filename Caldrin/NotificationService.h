#pragma once

#include <QDBusConnection>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <qcorotask.h>

#include <functional>

// The program's contact with the desktop notification service
// (org.freedesktop.Notifications on the session bus). "Permission" is whether a
// notification server answers there. Nothing here ever blocks the window or
// stops the program: a missing bus or server is only reported.
//
// Every notification names the application's desktop entry and icon and offers
// a default action (a click on it); NotificationActions follows the clicks.
class NotificationService {
public:
    NotificationService() = delete;

    // The application's id: its desktop entry and its icon name.
    static QString applicationId() { return QStringLiteral("org.caldrin.Caldrin"); }
    // The key of the action a click on the notification invokes.
    static QString defaultActionKey() { return QStringLiteral("default"); }
    // Which notification a click came from.
    enum class Kind { NewApps, KeepsCollecting };

    static QString title() { return QStringLiteral("🎉 New Apps Detected!"); }
    static QString body(qint64 count);

    // Asks whether notifications can be shown; prints the outcome.
    static QCoro::Task<bool> requestPermission();
    static QCoro::Task<bool> requestPermission(QDBusConnection bus);

    // Posts the "new apps" notification and returns at once; the outcome is
    // printed when the notification server answers.
    static void sendNewAppsNotification(qint64 count);
    static void sendNewAppsNotification(qint64 count, QDBusConnection bus);

    // Says once that closing the window leaves Caldrin collecting in the tray.
    static QString keepsCollectingTitle() { return QStringLiteral("Caldrin keeps collecting"); }
    static QString keepsCollectingBody() {
        return QStringLiteral(
            "Caldrin goes on collecting new apps in the background. Choose Quit in its tray menu to end it.");
    }
    static void sendKeepsCollectingNotification();
    static void sendKeepsCollectingNotification(QDBusConnection bus);

    // How long a call may wait for the notification server.
    static constexpr int kCallTimeoutMs = 10000;

private:
    // What distinguishes one kind of notification from another.
    struct Content {
        QString title;
        QString body;
        QVariantMap extraHints;
    };
    // Posts the content; on success reports the notification's id to the
    // NotificationActions that follows the bus, then calls done with an empty
    // error text (or the error's text on failure).
    static void post(QDBusConnection bus, Kind kind, const Content& content,
                     std::function<void(const QString& error)> done);
};
