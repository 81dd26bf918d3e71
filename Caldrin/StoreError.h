#pragma once

#include <QString>

#include <stdexcept>

// A failure of the store: opening, fetching, counting or saving. Carries the
// engine's result code so callers and tests can tell a full disk from a lock.
class StoreError : public std::runtime_error {
public:
    StoreError(const QString& message, int code);

    int code() const { return m_code; }
    QString message() const { return m_message; }
    // "<message> (<engine code name>)", the printed form used on the console.
    QString description() const;

private:
    QString m_message;
    int m_code;
};
