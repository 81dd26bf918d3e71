#include "NotificationService.h"

#include "Console.h"
#include "NotificationActions.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>
#include <QUuid>
#include <QVariantMap>

#include <qcorodbuspendingcall.h>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

QString describe(const QDBusError& error) {
    return error.message().isEmpty() ? error.name()
                                     : QStringLiteral("%1 (%2)").arg(error.message(), error.name());
}

QString noBusError(const QDBusConnection& bus) {
    const QDBusError error = bus.lastError();
    return error.isValid() ? describe(error) : QStringLiteral("no D-Bus session bus is available");
}

} // namespace

QString NotificationService::body(qint64 count) {
    if (count == 1)
        return QStringLiteral("1 new app has been added to your collection");
    return QStringLiteral("%1 new apps have been added to your collection").arg(count);
}

QCoro::Task<bool> NotificationService::requestPermission() {
    co_return co_await requestPermission(QDBusConnection::sessionBus());
}

QCoro::Task<bool> NotificationService::requestPermission(QDBusConnection bus) {
    if (!bus.isConnected()) {
        Console::print(QStringLiteral("❌ Error requesting notification permission: ") + noBusError(bus));
        co_return false;
    }
    // A server that answers this call will show what we post.
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("GetServerInformation"));
    const QDBusMessage reply = co_await bus.asyncCall(call, kCallTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        Console::print(QStringLiteral("✅ Notification permission granted"));
        co_return true;
    }
    const QString errorName = reply.errorName();
    if (errorName == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        errorName == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")) {
        Console::print(QStringLiteral("⚠️ Notification permission denied"));
        co_return false;
    }
    Console::print(QStringLiteral("❌ Error requesting notification permission: ") +
                   describe(QDBusError(reply)));
    co_return false;
}

void NotificationService::sendNewAppsNotification(qint64 count) {
    sendNewAppsNotification(count, QDBusConnection::sessionBus());
}

void NotificationService::sendNewAppsNotification(qint64 count, QDBusConnection bus) {
    Content content{title(), body(count), {}};
    // The sound theme's default for a new message; the server plays it unless muted.
    content.extraHints.insert(QStringLiteral("sound-name"), QStringLiteral("message-new-instant"));
    post(bus, Kind::NewApps, content, [count](const QString& error) {
        if (error.isEmpty())
            Console::print(QStringLiteral("📬 Notification sent: %1 new apps").arg(count));
        else
            Console::print(QStringLiteral("❌ Error sending notification: ") + error);
    });
}

void NotificationService::sendKeepsCollectingNotification() {
    sendKeepsCollectingNotification(QDBusConnection::sessionBus());
}

void NotificationService::sendKeepsCollectingNotification(QDBusConnection bus) {
    post(bus, Kind::KeepsCollecting, {keepsCollectingTitle(), keepsCollectingBody(), {}},
         [](const QString& error) {
             if (!error.isEmpty())
                 Console::print(QStringLiteral("❌ Error sending notification: ") + error);
         });
}

void NotificationService::post(QDBusConnection bus, Kind kind, const Content& content,
                               std::function<void(const QString& error)> done) {
    if (!bus.isConnected()) {
        const QString error = noBusError(bus);
        // Reported like a completion: after the caller has moved on.
        QTimer::singleShot(0, [done = std::move(done), error] { done(error); });
        return;
    }
    QVariantMap hints = content.extraHints;
    // Lets the desktop show our name and icon, and find our desktop entry.
    hints.insert(QStringLiteral("desktop-entry"), applicationId());
    // Our own identifier, fresh for every notification.
    hints.insert(QStringLiteral("x-caldrin-id"),
                 QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    // A click on the notification invokes the default action.
    const QStringList actions{defaultActionKey(), QStringLiteral("Show")};
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    // replaces_id 0: never replace an earlier notification.
    call << QStringLiteral("Caldrin") << 0u << applicationId() << content.title << content.body << actions
         << hints << -1;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kCallTimeoutMs));
    const QString busName = bus.name();
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished,
                     [kind, busName, done = std::move(done)](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         const QDBusPendingReply<uint> reply = *finished;
                         if (reply.isError()) {
                             done(describe(reply.error()));
                             return;
                         }
                         if (NotificationActions* actions = NotificationActions::following(busName))
                             actions->track(reply.value(), kind);
                         done(QString());
                     });
}
