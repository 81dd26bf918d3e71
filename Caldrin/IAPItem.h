#pragma once

#include "JsonDecoder.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

// One in-app purchase kept inside an app record. Serialised as a JSON object
// with exactly the keys "name" and "price", both strings, in that order.
struct IAPItem {
    QString name;
    QString price;

    bool operator==(const IAPItem&) const = default;

    QJsonObject toJson() const;
    // Both keys are required and must be strings; other keys are ignored.
    static IAPItem decode(const JsonDecoder& decoder);
    static std::optional<IAPItem> fromJson(const QJsonValue& value);

    // The list as compact JSON text, names before prices.
    static QByteArray encodeList(const QList<IAPItem>& items);
    // nullopt when the text is not a JSON array of valid items.
    static std::optional<QList<IAPItem>> decodeList(const QByteArray& json);
};
