#pragma once

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

// A notification server on its own connection to the session bus, recording
// every Notify call, so tests can check what the program posted, and sending
// the signals of a click or an expiry.
class FakeNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Notification {
        QString appName;
        uint replacesId = 0;
        QString appIcon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int expireTimeout = 0;
        uint id = 0;
    };

    FakeNotificationServer();
    ~FakeNotificationServer() override;

    // Takes the org.freedesktop.Notifications name; false when the bus refuses.
    bool start();
    // Gives the name up, as a server that vanishes would.
    void stop();

    QList<Notification> notifications() const { return m_notifications; }
    // As a click on the notification (or one of its buttons) would.
    void invokeAction(uint id, const QString& actionKey) { emit ActionInvoked(id, actionKey); }
    // As the notification's expiry would.
    void expire(uint id) { emit NotificationClosed(id, 1); }
    int permissionQueries() const { return m_queries; }

public slots:
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int expireTimeout);
    QStringList GetCapabilities();
    QString GetServerInformation(QString& vendor, QString& version, QString& specVersion);
    void CloseNotification(uint id);

signals:
    void NotificationClosed(uint id, uint reason);
    void ActionInvoked(uint id, const QString& actionKey);
    void notified();

private:
    QString m_connectionName;
    QDBusConnection m_bus;
    QList<Notification> m_notifications;
    uint m_nextId = 1;
    int m_queries = 0;
};
