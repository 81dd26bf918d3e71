#include "InAppPurchaseItem.h"

QJsonObject InAppPurchaseItem::toJson() const {
    return QJsonObject{{QStringLiteral("name"), m_name}, {QStringLiteral("price"), m_price}};
}

std::optional<InAppPurchaseItem> InAppPurchaseItem::fromJson(const QJsonValue& value) {
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const QJsonValue name = object.value(QStringLiteral("name"));
    const QJsonValue price = object.value(QStringLiteral("price"));
    if (!name.isString() || !price.isString())
        return std::nullopt;
    return InAppPurchaseItem(name.toString(), price.toString());
}
