#pragma once

#include "InAppPurchaseItem.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What the page scraper found on one product page. A plain value.
struct WebKitScrapedData {
    // Screenshot addresses in the order the screenshot script returned them.
    QStringList screenshotURLs;
    // The description as the description script returned it, whole.
    std::optional<QString> description;
    // The purchase script's verdict; false when it failed or gave none.
    bool hasInAppPurchases = false;
    // "Offers In-App Purchases" when purchases were found, absent otherwise.
    std::optional<QString> inAppPurchaseInfo;
    // The purchases found, in the order the script listed them.
    QList<InAppPurchaseItem> inAppPurchaseItems;

    bool operator==(const WebKitScrapedData&) const = default;

    // One JSON object with the keys "screenshotURLs", "description",
    // "hasInAppPurchases", "inAppPurchaseInfo" and "inAppPurchaseItems", in this
    // order, absent values as null.
    QByteArray toJson() const;
};
