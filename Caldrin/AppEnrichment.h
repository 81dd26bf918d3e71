#pragma once

#include <QtGlobal>

class AppModel;
struct WebKitScrapedData;
struct iTunesAppDetails;

// How enrichment results are copied into an app record, shared by the details
// queue and the detail view's own fetch so that both fill a record alike. The
// screenshot lists of a lookup are chosen by each caller (they differ).
class AppEnrichment {
public:
    // Rating, rating count, size, version and age rating are assigned as given,
    // so an absent value clears the field; the description only when present.
    static void copyLookupDetails(AppModel& app, const iTunesAppDetails& details);

    struct Merged {
        bool tookScreenshots = false; // the page's screenshots replaced the record's
        qsizetype purchaseItems = 0;  // items stored; 0 when the record's list was kept
    };
    // Merges what a product page yielded: its screenshots when it found any, its
    // description when the record has none, the purchase verdict and info as
    // given (absent info clears the field), its purchase items when it found any.
    static Merged mergeScrapedData(AppModel& app, const WebKitScrapedData& scraped);
};
