#include "WebKitScrapedData.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// One JSON value as text: QJsonDocument only writes arrays and objects, so a
// scalar is written inside an array and taken out again.
QByteArray jsonText(const QJsonValue& value) {
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

QJsonValue optionalText(const std::optional<QString>& text) {
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

} // namespace

QByteArray WebKitScrapedData::toJson() const {
    // Written by hand so the keys keep the order of the fields (QJsonObject sorts them).
    QJsonArray items;
    for (const InAppPurchaseItem& item : inAppPurchaseItems)
        items.append(item.toJson());
    const QList<std::pair<const char*, QJsonValue>> fields = {
        {"screenshotURLs", QJsonArray::fromStringList(screenshotURLs)},
        {"description", optionalText(description)},
        {"hasInAppPurchases", hasInAppPurchases},
        {"inAppPurchaseInfo", optionalText(inAppPurchaseInfo)},
        {"inAppPurchaseItems", items},
    };
    QByteArray text = "{";
    for (const auto& [key, value] : fields) {
        if (text.size() > 1)
            text += ",";
        text += jsonText(QString::fromLatin1(key)) + ":" + jsonText(value);
    }
    return text + "}";
}
