#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>

// Records the console lines (and the fatal message) printed while it lives,
// and echoes them so a failing test shows its trail; also what scraped pages
// write to their console (the "caldrin.page" category, switched on while it
// lives). One capture at a time.
class ConsoleCapture {
public:
    ConsoleCapture();
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    QStringList lines() const { return locked(m_lines); }
    QStringList fatalLines() const { return locked(m_fatal); }
    QStringList pageLines() const { return locked(m_page); }
    void clear();
    bool contains(const QString& line) const { return lines().contains(line); }
    // Lines that start with the prefix, in order.
    QStringList linesStartingWith(const QString& prefix) const;
    // True when every one of `expected` appears, in this order (others may lie between).
    bool containsInOrder(const QStringList& expected) const { return inOrder(lines(), expected); }
    static bool inOrder(const QStringList& lines, const QStringList& expected);

private:
    QStringList locked(const QStringList& list) const {
        QMutexLocker locker(&m_mutex);
        return list;
    }
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message);

    mutable QMutex m_mutex;
    QStringList m_lines;
    QStringList m_fatal;
    QStringList m_page;
    QtMessageHandler m_previous = nullptr;
};
