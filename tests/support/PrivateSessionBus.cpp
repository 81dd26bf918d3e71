#include "PrivateSessionBus.h"

#include <QByteArray>

#include <csignal>
#include <cstdio>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

PrivateSessionBus::PrivateSessionBus() {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return;
    const pid_t pid = fork();
    if (pid == 0) {
        // The bus goes when the test program goes, even when it crashes.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--print-address=1", nullptr);
        _exit(127);
    }
    close(pipeFds[1]);
    if (pid < 0) {
        close(pipeFds[0]);
        return;
    }
    m_pid = pid;
    char buffer[512];
    const ssize_t size = read(pipeFds[0], buffer, sizeof buffer - 1);
    close(pipeFds[0]);
    if (size > 0)
        qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArray(buffer, static_cast<qsizetype>(size)).trimmed());
}

PrivateSessionBus::~PrivateSessionBus() {
    if (m_pid > 0) {
        kill(static_cast<pid_t>(m_pid), SIGTERM);
        waitpid(static_cast<pid_t>(m_pid), nullptr, 0);
    }
}
