#pragma once

// Gives the test program a session bus of its own: starts a private
// dbus-daemon and points DBUS_SESSION_BUS_ADDRESS at it (programs it starts
// inherit it). Test programs run side by side, and two fake notification
// servers cannot own the same name on one bus. Must run before the
// QCoreApplication exists.
class PrivateSessionBus {
public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

private:
    long m_pid = 0;
};
