#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// Why a JSON document could not be decoded into one of our typed documents:
// what went wrong and at which key path, so that a person reading the console
// can find the broken entry ("feed.entry[3].id.attributes["im:bundleId"]: key
// not found"). The key path names keys of our own types only, never document
// text, so printing it is safe.
class DecodingError : public std::exception {
public:
    enum class Kind {
        DataCorrupted,   // not JSON at all
        KeyNotFound,     // a required key is missing
        TypeMismatch,    // a value of the wrong JSON type (null included)
        ValueOutOfRange, // a number that the field's type cannot hold exactly
    };

    DecodingError(Kind kind, const QString& path, const QString& detail);

    Kind kind() const { return m_kind; }
    // The key path of the failing value; empty for the document itself.
    const QString& path() const { return m_path; }
    const QString& detail() const { return m_detail; }
    // "<path>: <detail>", the printed form.
    QString description() const;
    const char* what() const noexcept override { return m_what.constData(); }

private:
    Kind m_kind;
    QString m_path;
    QString m_detail;
    QByteArray m_what;
};
