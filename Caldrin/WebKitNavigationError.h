#pragma once

#include <QString>

#include <stdexcept>

// A page load that the engine reports as failed: before any of the page
// arrived (refused connection, unknown host, TLS failure) or after (a broken
// transfer). Carries the engine's error text, domain and code.
class WebKitNavigationError : public std::runtime_error {
public:
    WebKitNavigationError(const QString& errorText, int domain, int code);

    int domain() const { return m_domain; }
    int code() const { return m_code; }
    // The engine's description of the failure, the printed form used on the console.
    QString description() const { return m_description; }

private:
    QString m_description;
    int m_domain;
    int m_code;
};
