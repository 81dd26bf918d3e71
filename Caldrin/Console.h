#pragma once

#include <QLoggingCategory>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(lcConsole)

// The running account of the program's work. Every console line goes through
// print(), which logs under the "caldrin.console" category; the handler that the
// executable installs writes those lines, and only those, to standard output.
// Tests install their own message handler to capture them.
class Console {
public:
    static void print(const QString& line);

    // The message of the program's one fatal stop; goes to standard error.
    static void fatal(const QString& message);

    // Installs the handler that sends console lines to standard output and every
    // other log message (Qt's own warnings included) to standard error.
    static void installStandardHandler();

    static bool isConsoleCategory(const char* category);
    static bool isFatalCategory(const char* category);
};
