#include "Console.h"

#include <cstdio>
#include <cstring>

Q_LOGGING_CATEGORY(lcConsole, "caldrin.console", QtInfoMsg)
Q_LOGGING_CATEGORY(lcFatal, "caldrin.fatal", QtInfoMsg)

namespace {

void standardHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (Console::isConsoleCategory(context.category)) {
        const QByteArray bytes = message.toUtf8();
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
        return;
    }
    if (Console::isFatalCategory(context.category)) {
        std::fflush(stdout);
        const QByteArray bytes = message.toUtf8();
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
        std::fputc('\n', stderr);
        std::fflush(stderr);
        return;
    }
    const QByteArray bytes = qFormatLogMessage(type, context, message).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

} // namespace

void Console::print(const QString& line) {
    qCInfo(lcConsole).noquote() << line;
}

void Console::fatal(const QString& message) {
    qCInfo(lcFatal).noquote() << message;
}

void Console::installStandardHandler() {
    qInstallMessageHandler(standardHandler);
}

bool Console::isConsoleCategory(const char* category) {
    return category != nullptr && std::strcmp(category, "caldrin.console") == 0;
}

bool Console::isFatalCategory(const char* category) {
    return category != nullptr && std::strcmp(category, "caldrin.fatal") == 0;
}
