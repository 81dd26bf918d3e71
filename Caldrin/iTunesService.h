#pragma once

#include "AppEntry.h"
#include "HttpFetcher.h"

#include <QList>
#include <QString>

#include <qcoro/qcorotask.h>

#include <array>

// Fetches the store's ranking feeds, decodes them and merges several into one
// list without repeated apps. Holds no state between calls besides its base
// address; its network transfers and decoding never block the main thread,
// where its callers await it. Must outlive the tasks it returns.
class iTunesService {
public:
    enum class FeedType {
        newApplications,
        newFreeApplications,
        newPaidApplications,
        topFreeApplications,
        topPaidApplications,
    };
    // The name of the feed kind in the feed's address, e.g. "newapplications".
    static QString rawValue(FeedType feedType);
    // The kinds that fetchAllFeeds merges, in this order.
    static constexpr std::array<FeedType, 3> kMergedFeedTypes = {
        FeedType::newApplications, FeedType::newFreeApplications, FeedType::newPaidApplications};

    // baseURL: the store web service origin without a trailing slash.
    explicit iTunesService(const QString& baseURL, HttpFetcher::Limits limits = {});

    const QString& baseURL() const { return m_baseURL; }

    // One feed's entries in document order; throws iTunesAPIError.
    QCoro::Task<QList<AppEntry>> fetchFeed(QString country, FeedType feedType, int limit);
    // The merged feeds, first entry per app identifier kept, in order of first
    // appearance. A feed that fails is reported and skipped.
    QCoro::Task<QList<AppEntry>> fetchAllFeeds(QString country, int limit);

private:
    const QString m_baseURL;
    HttpFetcher m_http;
};
