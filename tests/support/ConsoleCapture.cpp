#include "ConsoleCapture.h"

#include "Console.h"

#include <QLoggingCategory>

#include <cstdio>
#include <cstring>

namespace {
// The handler is a plain function; it finds the active capture here.
ConsoleCapture* g_active = nullptr;
} // namespace

ConsoleCapture::ConsoleCapture() {
    g_active = this;
    QLoggingCategory::setFilterRules(QStringLiteral("caldrin.page.info=true"));
    m_previous = qInstallMessageHandler(&ConsoleCapture::handler);
}

ConsoleCapture::~ConsoleCapture() {
    qInstallMessageHandler(m_previous);
    QLoggingCategory::setFilterRules(QString());
    g_active = nullptr;
}

void ConsoleCapture::handler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    ConsoleCapture* capture = g_active;
    const bool console = Console::isConsoleCategory(context.category);
    const bool fatal = Console::isFatalCategory(context.category);
    if (capture && context.category && std::strcmp(context.category, "caldrin.page") == 0) {
        QMutexLocker locker(&capture->m_mutex);
        capture->m_page.append(message);
        return;
    }
    if (capture && (console || fatal)) {
        {
            QMutexLocker locker(&capture->m_mutex);
            (console ? capture->m_lines : capture->m_fatal).append(message);
        }
        std::fprintf(console ? stdout : stderr, "%s\n", message.toUtf8().constData());
        std::fflush(stdout);
        return;
    }
    std::fprintf(stderr, "%s\n", qFormatLogMessage(type, context, message).toUtf8().constData());
}

void ConsoleCapture::clear() {
    QMutexLocker locker(&m_mutex);
    m_lines.clear();
    m_fatal.clear();
    m_page.clear();
}

QStringList ConsoleCapture::linesStartingWith(const QString& prefix) const {
    QStringList result;
    for (const QString& line : lines())
        if (line.startsWith(prefix))
            result.append(line);
    return result;
}

bool ConsoleCapture::inOrder(const QStringList& lines, const QStringList& expected) {
    qsizetype position = 0;
    for (const QString& line : expected) {
        position = lines.indexOf(line, position);
        if (position < 0)
            return false;
        ++position;
    }
    return true;
}
