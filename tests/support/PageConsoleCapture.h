#pragma once

#include <QStringList>
#include <QtGlobal>

// Records what scraped pages write to their console (the "caldrin.page"
// category, switched on while the capture lives). Every other message goes on
// to the handler that was installed before, so create it after a ConsoleCapture
// and let it go first. One capture at a time.
class PageConsoleCapture {
public:
    PageConsoleCapture();
    ~PageConsoleCapture();
    PageConsoleCapture(const PageConsoleCapture&) = delete;
    PageConsoleCapture& operator=(const PageConsoleCapture&) = delete;

    QStringList lines() const;

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message);

    QStringList m_lines;
    QtMessageHandler m_previous = nullptr;
};
