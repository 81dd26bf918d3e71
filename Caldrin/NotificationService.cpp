#include "NotificationService.h"

#include "Console.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
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
    if (!bus.isConnected()) {
        const QString error = noBusError(bus);
        // Reported like a completion: after the caller has moved on.
        QTimer::singleShot(
            0, [error] { Console::print(QStringLiteral("❌ Error sending notification: ") + error); });
        return;
    }
    QVariantMap hints;
    // The sound theme's default for a new message; the server plays it unless muted.
    hints.insert(QStringLiteral("sound-name"), QStringLiteral("message-new-instant"));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("caldrin"));
    // Our own identifier, fresh for every notification.
    hints.insert(QStringLiteral("x-caldrin-id"),
                 QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    // replaces_id 0: never replace an earlier notification.
    call << QStringLiteral("Caldrin") << 0u << QStringLiteral("caldrin") << title() << body(count)
         << QStringList() << hints << -1;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kCallTimeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [count](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        if (finished->isError())
            Console::print(QStringLiteral("❌ Error sending notification: ") + describe(finished->error()));
        else
            Console::print(QStringLiteral("📬 Notification sent: %1 new apps").arg(count));
    });
}
