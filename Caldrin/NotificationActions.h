#pragma once

#include "NotificationService.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>

// Follows what becomes of the notifications Caldrin posts on one bus: the
// notification server announces every click (ActionInvoked) and every closing
// (NotificationClosed) to all who listen, so only the ids of our own
// notifications count. A click on one of them is reported once.
//
// It hangs from the application object, where NotificationService finds it
// to hand over the id of each notification it posted.
class NotificationActions : public QObject {
    Q_OBJECT
public:
    explicit NotificationActions(QDBusConnection bus = QDBusConnection::sessionBus());
    ~NotificationActions() override;

    // The one following the bus of that name, or null.
    static NotificationActions* following(const QString& busName);

    // The notification with that server id is ours.
    void track(uint id, NotificationService::Kind kind);
    bool isTracking(uint id) const { return m_posted.contains(id); }

signals:
    // The user clicked one of our notifications.
    void activated(NotificationService::Kind kind);

private slots:
    void actionInvoked(uint id, const QString& actionKey);
    void notificationClosed(uint id, uint reason);

private:
    QDBusConnection m_bus;
    QHash<uint, NotificationService::Kind> m_posted;
};
