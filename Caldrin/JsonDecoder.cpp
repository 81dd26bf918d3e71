#include "JsonDecoder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QMetaType>
#include <QVariant>

namespace {

bool isIdentifier(const char* key) {
    if (*key == '\0' || (*key >= '0' && *key <= '9'))
        return false;
    for (const char* c = key; *c != '\0'; ++c) {
        const bool ok =
            (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') || *c == '_';
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

JsonDecoder JsonDecoder::parse(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError) {
        throw DecodingError(
            DecodingError::Kind::DataCorrupted, QString(),
            QStringLiteral("malformed JSON at byte %1: %2").arg(error.offset).arg(error.errorString()));
    }
    // Qt refuses scalars at the top; whatever is left is an object or an array.
    return JsonDecoder(document.isObject() ? QJsonValue(document.object()) : QJsonValue(document.array()));
}

JsonDecoder::JsonDecoder(const QJsonValue& value, const QString& path)
    : m_value(value)
    , m_path(path) {}

JsonDecoder JsonDecoder::child(const char* key) const {
    // Keys are always our own constants, so they need no escaping.
    QString path = m_path;
    if (isIdentifier(key))
        path += (path.isEmpty() ? QString() : QStringLiteral(".")) + QLatin1String(key);
    else
        path += QStringLiteral("[\"") + QLatin1String(key) + QStringLiteral("\"]");
    return JsonDecoder(m_value.toObject().value(QLatin1String(key)), path);
}

JsonDecoder JsonDecoder::required(const char* key) const {
    if (!m_value.isObject())
        mismatch("an object");
    JsonDecoder result = child(key);
    if (result.m_value.isUndefined())
        throw DecodingError(DecodingError::Kind::KeyNotFound, result.m_path, QStringLiteral("key not found"));
    return result;
}

std::optional<JsonDecoder> JsonDecoder::optional(const char* key) const {
    if (!m_value.isObject())
        mismatch("an object");
    JsonDecoder result = child(key);
    if (result.m_value.isUndefined() || result.m_value.isNull())
        return std::nullopt;
    return result;
}

QString JsonDecoder::string() const {
    if (!m_value.isString())
        mismatch("a string");
    return m_value.toString();
}

qint64 JsonDecoder::int64() const {
    if (!m_value.isDouble())
        mismatch("a 64-bit integer");
    // Qt's parser stores every whole number that fits in 64 bits as an integer
    // (also when written "1.0" or "1e2"), so a number held as a double is a
    // fraction or too large.
    const QVariant held = m_value.toVariant();
    if (held.typeId() != QMetaType::LongLong) {
        throw DecodingError(DecodingError::Kind::ValueOutOfRange, m_path,
                            QStringLiteral("expected a 64-bit integer, found the number %1")
                                .arg(QString::number(m_value.toDouble(), 'g', 17)));
    }
    return held.toLongLong();
}

double JsonDecoder::real() const {
    if (!m_value.isDouble())
        mismatch("a number");
    return m_value.toDouble();
}

bool JsonDecoder::boolean() const {
    if (!m_value.isBool())
        mismatch("a boolean");
    return m_value.toBool();
}

QList<JsonDecoder> JsonDecoder::elements() const {
    if (!m_value.isArray())
        mismatch("an array");
    const QJsonArray array = m_value.toArray();
    QList<JsonDecoder> result;
    result.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i)
        result.append(JsonDecoder(array.at(i), m_path + QStringLiteral("[%1]").arg(i)));
    return result;
}

QString JsonDecoder::typeName(const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("a boolean");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::String:
        return QStringLiteral("a string");
    case QJsonValue::Array:
        return QStringLiteral("an array");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("nothing");
}

void JsonDecoder::mismatch(const char* expected) const {
    throw DecodingError(
        DecodingError::Kind::TypeMismatch, m_path,
        QStringLiteral("expected %1, found %2").arg(QLatin1String(expected), typeName(m_value)));
}
