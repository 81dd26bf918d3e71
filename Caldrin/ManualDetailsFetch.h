#pragma once

#include "HttpFetcher.h"
#include "IAPItem.h"
#include "WebKitScraperService.h"

#include <QObject>
#include <QPointer>
#include <QSharedPointer>

#include <QCoroTask>

#include <memory>
#include <optional>

class AppModel;
class ModelContext;

// The detail view's own fetch of one app's details, apart from the details
// queue: a new lookup client and a new page scraper for every fetch. The running
// task owns this object and holds the record, never the view, so a fetch goes on
// to its end when the view that started it is gone; a view that still exists
// follows it through loadingChanged(). Main thread only.
class ManualDetailsFetch : public QObject {
    Q_OBJECT
public:
    // The scraper's waits and the lookup's transfer limits; tests shorten them,
    // the program uses the defaults.
    struct Timing {
        WebKitScraperService::Durations scraper;
        HttpFetcher::Limits http;
    };

    ManualDetailsFetch(QSharedPointer<AppModel> app, ModelContext& modelContext, Timing timing = {});

    const QSharedPointer<AppModel>& app() const { return m_app; }

    // Fetches the details into the record, marks it fetched and saves the store
    // context; a failure is printed and leaves the record unmarked and unsaved.
    // The task keeps `work` alive until it ends.
    static QCoro::Task<> fetchDetails(std::shared_ptr<ManualDetailsFetch> work);
    // Clears the record's enrichment first (unsaved), then fetches. When the
    // fetch fails, the record gets back what it held, so no later save can
    // write the cleared fields in place of the stored ones.
    static QCoro::Task<> refetchDetails(std::shared_ptr<ManualDetailsFetch> work);

signals:
    // True when a fetch starts, false when it ends, success or failure.
    void loadingChanged(bool loading);

private:
    // Everything a reload clears.
    struct Enrichment {
        std::optional<QStringList> screenshotURLs;
        std::optional<QString> appDescription;
        std::optional<double> rating;
        std::optional<qint64> ratingCount;
        std::optional<QString> appSize;
        std::optional<QString> appVersion;
        std::optional<QString> ageRating;
        std::optional<bool> hasInAppPurchases;
        std::optional<QString> inAppPurchaseInfo;
        std::optional<QList<IAPItem>> inAppPurchaseItems;
        bool detailsFetched = false;
    };
    static Enrichment enrichmentOf(const AppModel& app);
    static void setEnrichment(AppModel& app, const Enrichment& enrichment);
    // The fetch itself; false when the lookup or the page failed.
    static QCoro::Task<bool> fetch(std::shared_ptr<ManualDetailsFetch> work);

    QSharedPointer<AppModel> m_app;
    // The store context outlives every view; should it go first, nothing is saved.
    QPointer<ModelContext> m_modelContext;
    Timing m_timing;
    bool m_savedMeanwhile = false; // the store context saved during a reload
};
