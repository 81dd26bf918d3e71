#pragma once

#include "DecodingError.h"

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <optional>
#include <type_traits>

// A position in a parsed JSON document with its key path: the typed decoding
// of our documents. Every accessor checks the JSON type and throws a
// DecodingError that names the path on any mismatch, so a document decodes
// whole or not at all. Keys that a type does not ask for are ignored.
//
// A document type T decodes itself with `static T decode(const JsonDecoder&)`;
// texts, 64-bit integers, doubles, booleans and lists of any of these decode
// through as<T>().
class JsonDecoder {
public:
    // Parses a whole document. Malformed JSON (trailing garbage, invalid UTF-8
    // and lone surrogates included) is a DataCorrupted error.
    static JsonDecoder parse(const QByteArray& json);

    explicit JsonDecoder(const QJsonValue& value, const QString& path = QString());

    const QJsonValue& value() const { return m_value; }
    const QString& path() const { return m_path; }

    // The value under a required key: the value here must be an object and the
    // key present (its value may still be of the wrong type; that is the
    // caller's accessor to find).
    JsonDecoder required(const char* key) const;
    // The value under an optional key, or nullopt when the key is missing or null.
    std::optional<JsonDecoder> optional(const char* key) const;

    QString string() const;
    // Only numbers that are whole and within the 64-bit range. Qt keeps such
    // numbers exactly (beyond 2^53 too); anything it had to hold as a double
    // here is a fraction or out of range, and is refused.
    qint64 int64() const;
    double real() const;
    bool boolean() const;
    QList<JsonDecoder> elements() const;

    template <class T> T as() const;

    template <class T> T decode(const char* key) const { return required(key).as<T>(); }
    template <class T> std::optional<T> decodeIfPresent(const char* key) const {
        const std::optional<JsonDecoder> child = optional(key);
        if (!child)
            return std::nullopt;
        return child->as<T>();
    }

    // "a string", "an object", ... for messages.
    static QString typeName(const QJsonValue& value);

private:
    [[noreturn]] void mismatch(const char* expected) const;
    JsonDecoder child(const char* key) const;

    QJsonValue m_value;
    QString m_path;
};

namespace JsonDecoderDetail {
template <class T> struct IsList : std::false_type {};
template <class T> struct IsList<QList<T>> : std::true_type { using Element = T; };
} // namespace JsonDecoderDetail

template <class T> T JsonDecoder::as() const {
    if constexpr (std::is_same_v<T, QString>) {
        return string();
    } else if constexpr (std::is_same_v<T, qint64>) {
        return int64();
    } else if constexpr (std::is_same_v<T, double>) {
        return real();
    } else if constexpr (std::is_same_v<T, bool>) {
        return boolean();
    } else if constexpr (JsonDecoderDetail::IsList<T>::value) {
        T list;
        const QList<JsonDecoder> items = elements();
        list.reserve(items.size());
        for (const JsonDecoder& item : items)
            list.append(item.as<typename JsonDecoderDetail::IsList<T>::Element>());
        return list;
    } else {
        return T::decode(*this);
    }
}
