#include "FakeNotificationServer.h"

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
} // namespace

FakeNotificationServer::FakeNotificationServer()
    : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                          QStringLiteral("fake-notification-server"))) {}

FakeNotificationServer::~FakeNotificationServer() {
    stop();
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-notification-server"));
}

bool FakeNotificationServer::start() {
    if (!m_bus.isConnected())
        return false;
    if (!m_bus.registerObject(kPath, this,
                              QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals))
        return false;
    return m_bus.registerService(kService);
}

void FakeNotificationServer::stop() {
    if (!m_bus.isConnected())
        return;
    m_bus.unregisterService(kService);
    m_bus.unregisterObject(kPath);
}

uint FakeNotificationServer::Notify(const QString& appName, uint replacesId, const QString& appIcon,
                                    const QString& summary, const QString& body, const QStringList& actions,
                                    const QVariantMap& hints, int expireTimeout) {
    Notification notification{appName, replacesId, appIcon,       summary,   body,
                              actions, hints,      expireTimeout, m_nextId++};
    m_notifications.append(notification);
    emit notified();
    return notification.id;
}

QStringList FakeNotificationServer::GetCapabilities() {
    return {QStringLiteral("body"), QStringLiteral("sound")};
}

QString FakeNotificationServer::GetServerInformation(QString& vendor, QString& version,
                                                     QString& specVersion) {
    ++m_queries;
    vendor = QStringLiteral("Caldrin tests");
    version = QStringLiteral("1");
    specVersion = QStringLiteral("1.2");
    return QStringLiteral("fake-notification-server");
}

void FakeNotificationServer::CloseNotification(uint id) {
    emit NotificationClosed(id, 3);
}
