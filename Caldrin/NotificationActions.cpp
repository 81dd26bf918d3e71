#include "NotificationActions.h"

#include <QCoreApplication>

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
} // namespace

NotificationActions::NotificationActions(QDBusConnection bus)
    : QObject(QCoreApplication::instance())
    , m_bus(bus) {
    if (!m_bus.isConnected())
        return;
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                  SLOT(actionInvoked(uint, QString)));
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                  SLOT(notificationClosed(uint, uint)));
}

NotificationActions::~NotificationActions() {
    if (!m_bus.isConnected())
        return;
    m_bus.disconnect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                     SLOT(actionInvoked(uint, QString)));
    m_bus.disconnect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                     SLOT(notificationClosed(uint, uint)));
}

NotificationActions* NotificationActions::following(const QString& busName) {
    QObject* application = QCoreApplication::instance();
    if (!application)
        return nullptr;
    const auto all = application->findChildren<NotificationActions*>(QString(), Qt::FindDirectChildrenOnly);
    for (NotificationActions* actions : all) {
        if (actions->m_bus.name() == busName)
            return actions;
    }
    return nullptr;
}

void NotificationActions::track(uint id, NotificationService::Kind kind) {
    m_posted.insert(id, kind);
}

void NotificationActions::actionInvoked(uint id, const QString& actionKey) {
    const auto posted = m_posted.constFind(id);
    if (posted == m_posted.constEnd() || actionKey != NotificationService::defaultActionKey())
        return;
    const NotificationService::Kind kind = *posted;
    // The server closes a clicked notification; one click, one answer.
    m_posted.erase(posted);
    emit activated(kind);
}

void NotificationActions::notificationClosed(uint id, uint) {
    m_posted.remove(id);
}
