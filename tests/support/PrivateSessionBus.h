#pragma once

#include <QByteArray>

// Makes sure the process has a session bus of its own: when none is given
// (a test started by hand), starts a private dbus-daemon and points
// DBUS_SESSION_BUS_ADDRESS at it. Must run before the QCoreApplication exists.
class PrivateSessionBus {
public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    QByteArray address() const { return m_address; }

private:
    long m_pid = 0;
    QByteArray m_address;
};
