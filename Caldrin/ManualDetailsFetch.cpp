#include "ManualDetailsFetch.h"

#include <optional>

#include "AppDetailsService.h"
#include "AppEnrichment.h"
#include "AppModel.h"
#include "Console.h"
#include "ErrorText.h"
#include "ModelContext.h"
#include "StoreError.h"

namespace {

QString trueFalse(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

bool isFilled(const std::optional<QStringList>& list) {
    return list && !list->isEmpty();
}

} // namespace

ManualDetailsFetch::ManualDetailsFetch(QSharedPointer<AppModel> app, ModelContext& modelContext,
                                       Timing timing)
    : m_app(std::move(app))
    , m_modelContext(&modelContext)
    , m_timing(timing) {}

ManualDetailsFetch::Enrichment ManualDetailsFetch::enrichmentOf(const AppModel& app) {
    return Enrichment{app.screenshotURLs(),     app.appDescription(),    app.rating(),
                      app.ratingCount(),        app.appSize(),           app.appVersion(),
                      app.ageRating(),          app.hasInAppPurchases(), app.inAppPurchaseInfo(),
                      app.inAppPurchaseItems(), app.detailsFetched()};
}

void ManualDetailsFetch::setEnrichment(AppModel& app, const Enrichment& enrichment) {
    app.setScreenshotURLs(enrichment.screenshotURLs);
    app.setAppDescription(enrichment.appDescription);
    app.setRating(enrichment.rating);
    app.setRatingCount(enrichment.ratingCount);
    app.setAppSize(enrichment.appSize);
    app.setAppVersion(enrichment.appVersion);
    app.setAgeRating(enrichment.ageRating);
    app.setHasInAppPurchases(enrichment.hasInAppPurchases);
    app.setInAppPurchaseInfo(enrichment.inAppPurchaseInfo);
    app.setInAppPurchaseItems(enrichment.inAppPurchaseItems);
    app.setDetailsFetched(enrichment.detailsFetched);
}

QCoro::Task<> ManualDetailsFetch::refetchDetails(std::shared_ptr<ManualDetailsFetch> work) {
    emit work->loadingChanged(true);
    const QSharedPointer<AppModel> app = work->m_app;
    const Enrichment held = enrichmentOf(*app);
    // Any save while the fetch runs (another app selected, the queue) writes the
    // cleared fields; the restoration below must then be saved as well.
    ManualDetailsFetch* const self = work.get();
    self->m_savedMeanwhile = false;
    QMetaObject::Connection watch;
    if (ModelContext* context = work->m_modelContext.data())
        watch = QObject::connect(context, &ModelContext::didSave, self,
                                 [self] { self->m_savedMeanwhile = true; });
    setEnrichment(*app, Enrichment{});
    Console::print(QStringLiteral("🔄 RE-fetching details for: ") + app->name());
    QCoro::Task<bool> fetching = fetch(work);
    const bool fetched = co_await fetching;
    QObject::disconnect(watch);
    if (!fetched && !app->isDeleted()) {
        setEnrichment(*app, held);
        if (self->m_savedMeanwhile) {
            if (ModelContext* context = work->m_modelContext.data()) {
                try {
                    context->save();
                } catch (const StoreError&) {
                    // Still pending: the next save writes it.
                }
            }
        }
    }
    emit work->loadingChanged(false);
}

QCoro::Task<> ManualDetailsFetch::fetchDetails(std::shared_ptr<ManualDetailsFetch> work) {
    emit work->loadingChanged(true);
    QCoro::Task<bool> fetching = fetch(work);
    co_await fetching;
    emit work->loadingChanged(false);
}

QCoro::Task<bool> ManualDetailsFetch::fetch(std::shared_ptr<ManualDetailsFetch> work) {
    const QSharedPointer<AppModel> app = work->m_app;
    Console::print(QStringLiteral("🔍 Manually fetching details for: ") + app->name());
    // Both for this fetch only: nothing is shared with the details queue.
    AppDetailsService detailsService(work->m_timing.http);
    WebKitScraperService scraper(work->m_timing.scraper);

    QString failure;
    try {
        QCoro::Task<std::optional<iTunesAppDetails>> lookup = detailsService.fetchAppDetails(app->appleID());
        const std::optional<iTunesAppDetails> details = co_await lookup;
        if (details) {
            AppEnrichment::copyLookupDetails(*app, *details);
            // Only the iPhone and iPad lists count here.
            const QStringList* taken = nullptr;
            if (isFilled(details->screenshotUrls)) {
                taken = &*details->screenshotUrls;
                Console::print(QStringLiteral("✅ Got %1 iPhone screenshots from API").arg(taken->size()));
            } else if (isFilled(details->ipadScreenshotUrls)) {
                taken = &*details->ipadScreenshotUrls;
                Console::print(QStringLiteral("✅ Got %1 iPad screenshots from API").arg(taken->size()));
            }
            if (taken)
                app->setScreenshotURLs(*taken);
        }

        if (!isFilled(app->screenshotURLs())) {
            Console::print(QStringLiteral("🌐 Using WebKit scraper..."));
            QCoro::Task<std::optional<WebKitScrapedData>> scrape = scraper.scrapePage(app->appStoreURL());
            const std::optional<WebKitScrapedData> scraped = co_await scrape;
            if (scraped) {
                const AppEnrichment::Merged merged = AppEnrichment::mergeScrapedData(*app, *scraped);
                if (merged.tookScreenshots)
                    Console::print(QStringLiteral("✅ Got %1 screenshots from WebKit")
                                       .arg(scraped->screenshotURLs.size()));
                if (merged.purchaseItems > 0)
                    Console::print(QStringLiteral("💰 Found %1 IAP products").arg(merged.purchaseItems));
                if (scraped->hasInAppPurchases)
                    Console::print(QStringLiteral("💰 Has In-App Purchases"));
            }
        }
    } catch (const std::exception& error) {
        failure = ErrorText::describe(error);
    } catch (...) {
        failure = ErrorText::unknown();
    }

    if (failure.isNull()) {
        app->setDetailsFetched(true);
        Console::print(QStringLiteral("💾 Final save:"));
        Console::print(QStringLiteral("   Description: ") + trueFalse(app->hasAppDescription()));
        Console::print(QStringLiteral("   Screenshots: %1")
                           .arg(app->screenshotURLs() ? app->screenshotURLs()->size() : 0));
        Console::print(QStringLiteral("   IAP: ") + trueFalse(app->hasInAppPurchases().value_or(false)));
        std::optional<QString> saveFailure;
        if (ModelContext* context = work->m_modelContext.data()) {
            try {
                context->save();
            } catch (const StoreError& error) {
                // The context keeps the changes for a later save; say so rather
                // than claim they were saved.
                saveFailure = error.description();
            }
        }
        if (saveFailure)
            Console::print(QStringLiteral("⚠️ Details not saved yet for: ") + app->name() +
                           QStringLiteral(" (") + *saveFailure + QStringLiteral(")"));
        else
            Console::print(QStringLiteral("✅ All details saved for: ") + app->name());
    } else {
        // What was assigned stays in memory, unsaved.
        Console::print(QStringLiteral("❌ Error fetching details: ") + failure);
    }
    co_return failure.isNull();
}
