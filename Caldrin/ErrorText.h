#pragma once

#include <QString>

#include <exception>

// The printed form of any failure the program reports: our own error types
// give their descriptions, anything else its what() text.
class ErrorText {
public:
    static QString describe(const std::exception& error);
    // For a catch (...) without a std::exception.
    static QString unknown() { return QStringLiteral("unknown error"); }
};
