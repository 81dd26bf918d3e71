#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

// One in-app purchase found on a product page: its name and its price exactly as
// the page shows it (currency sign included). Immutable; serialised as a JSON
// object with the two required string keys "name" and "price".
class InAppPurchaseItem {
public:
    InAppPurchaseItem(QString name, QString price)
        : m_name(std::move(name))
        , m_price(std::move(price)) {}

    const QString& name() const { return m_name; }
    const QString& price() const { return m_price; }

    bool operator==(const InAppPurchaseItem&) const = default;

    QJsonObject toJson() const;
    // Both keys are required and must be strings; other keys are ignored.
    static std::optional<InAppPurchaseItem> fromJson(const QJsonValue& value);

private:
    QString m_name;
    QString m_price;
};
