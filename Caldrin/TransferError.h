#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// An HTTP transfer that did not deliver a whole response: no connection, a
// broken connection, the transfer time-out, or a body over the size limit.
// A response with an error status is not a transfer error.
class TransferError : public std::exception {
public:
    enum class Kind { Failed, TimedOut, BodyTooLarge };

    TransferError(Kind kind, const QString& description);

    Kind kind() const { return m_kind; }
    // A sentence a person can read, for example "Connection refused".
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    Kind m_kind;
    QString m_description;
    QByteArray m_what;
};
