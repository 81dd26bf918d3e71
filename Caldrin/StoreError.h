#pragma once

#include <QString>

#include <stdexcept>

// A failure of the store: opening, fetching, counting or saving. Carries the
// engine's result code so callers and tests can tell a full disk from a lock.
class StoreError : public std::runtime_error {
public:
    StoreError(const QString& message, int code);

    // A file that opens but holds another application's data, another schema or
    // another version of ours.
    static StoreError foreignContent(const QString& message);

    int code() const { return m_code; }
    // The result code without its extended part.
    int primaryCode() const { return m_code & 0xff; }
    QString message() const { return m_message; }
    // "<message> (<engine code name>)", the printed form used on the console.
    QString description() const;

    // True when the failure lies in the file's own content: not a database,
    // corrupt, or not this program's schema or version. Every other failure
    // (permission, lock, busy, full disk, I/O, a folder that cannot be made) has
    // its cause outside the file, and the file must be left as it is.
    bool isDamagedFile() const;

private:
    QString m_message;
    int m_code;
    bool m_foreignContent = false;
};
