#include "IAPItem.h"

#include <QJsonArray>
#include <QJsonDocument>

QJsonObject IAPItem::toJson() const {
    return QJsonObject{{QStringLiteral("name"), name}, {QStringLiteral("price"), price}};
}

std::optional<IAPItem> IAPItem::fromJson(const QJsonValue& value) {
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const QJsonValue name = object.value(QStringLiteral("name"));
    const QJsonValue price = object.value(QStringLiteral("price"));
    if (!name.isString() || !price.isString())
        return std::nullopt;
    return IAPItem{name.toString(), price.toString()};
}

QByteArray IAPItem::encodeList(const QList<IAPItem>& items) {
    // QJsonObject sorts its keys, and "name" < "price", so the order holds.
    QJsonArray array;
    for (const IAPItem& item : items)
        array.append(item.toJson());
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QList<IAPItem>> IAPItem::decodeList(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    QList<IAPItem> items;
    for (const QJsonValue& value : document.array()) {
        const auto item = fromJson(value);
        if (!item)
            return std::nullopt;
        items.append(*item);
    }
    return items;
}
