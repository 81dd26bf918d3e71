#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>

// Records the console lines printed while it lives, and echoes them (and the
// fatal message) so a failing test shows its trail.
// One capture at a time.
class ConsoleCapture {
public:
    ConsoleCapture();
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    QStringList lines() const;
    void clear();
    bool contains(const QString& line) const { return lines().contains(line); }
    // Lines that start with the prefix, in order.
    QStringList linesStartingWith(const QString& prefix) const;
    // True when every one of `expected` appears, in this order (others may lie between).
    bool containsInOrder(const QStringList& expected) const { return inOrder(lines(), expected); }
    static bool inOrder(const QStringList& lines, const QStringList& expected);

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message);

    mutable QMutex m_mutex;
    QStringList m_lines;
    QtMessageHandler m_previous = nullptr;
};
