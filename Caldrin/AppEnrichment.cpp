#include "AppEnrichment.h"

#include "AppModel.h"
#include "DetailsFetchQueue.h"
#include "iTunesAppDetails.h"
#include "WebKitScrapedData.h"

void AppEnrichment::copyLookupDetails(AppModel& app, const iTunesAppDetails& details) {
    app.setRating(details.averageUserRating);
    app.setRatingCount(details.userRatingCount);
    app.setAppSize(DetailsFetchQueue::formatFileSize(details.fileSizeBytes));
    app.setAppVersion(details.version);
    app.setAgeRating(details.contentAdvisoryRating);
    if (details.description)
        app.setAppDescription(details.description);
}

AppEnrichment::Merged AppEnrichment::mergeScrapedData(AppModel& app, const WebKitScrapedData& scraped) {
    Merged merged;
    if (!scraped.screenshotURLs.isEmpty()) {
        app.setScreenshotURLs(scraped.screenshotURLs);
        merged.tookScreenshots = true;
    }
    if (!app.hasAppDescription() && scraped.description)
        app.setAppDescription(scraped.description);
    app.setHasInAppPurchases(scraped.hasInAppPurchases);
    app.setInAppPurchaseInfo(scraped.inAppPurchaseInfo);
    if (!scraped.inAppPurchaseItems.isEmpty()) {
        QList<IAPItem> items;
        items.reserve(scraped.inAppPurchaseItems.size());
        for (const InAppPurchaseItem& item : scraped.inAppPurchaseItems)
            items.append(IAPItem{item.name(), item.price()});
        app.setInAppPurchaseItems(items);
        merged.purchaseItems = items.size();
    }
    return merged;
}
