#include "IAPItem.h"

#include <QJsonArray>
#include <QJsonDocument>

QJsonObject IAPItem::toJson() const {
    return QJsonObject{{QStringLiteral("name"), name}, {QStringLiteral("price"), price}};
}

IAPItem IAPItem::decode(const JsonDecoder& decoder) {
    return {decoder.decode<QString>("name"), decoder.decode<QString>("price")};
}

std::optional<IAPItem> IAPItem::fromJson(const QJsonValue& value) {
    try {
        return decode(JsonDecoder(value));
    } catch (const DecodingError&) {
        return std::nullopt;
    }
}

QByteArray IAPItem::encodeList(const QList<IAPItem>& items) {
    // QJsonObject sorts its keys, and "name" < "price", so the order holds.
    QJsonArray array;
    for (const IAPItem& item : items)
        array.append(item.toJson());
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QList<IAPItem>> IAPItem::decodeList(const QByteArray& json) {
    try {
        return JsonDecoder::parse(json).as<QList<IAPItem>>();
    } catch (const DecodingError&) {
        return std::nullopt;
    }
}
