#include "InAppPurchaseItem.h"

#include "IAPItem.h"

// The same JSON form as the stored purchase.
QJsonObject InAppPurchaseItem::toJson() const {
    return IAPItem{m_name, m_price}.toJson();
}

std::optional<InAppPurchaseItem> InAppPurchaseItem::fromJson(const QJsonValue& value) {
    const std::optional<IAPItem> item = IAPItem::fromJson(value);
    if (!item)
        return std::nullopt;
    return InAppPurchaseItem(item->name, item->price);
}
