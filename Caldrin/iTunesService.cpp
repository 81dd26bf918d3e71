#include "iTunesService.h"

#include "BackgroundDecoder.h"
#include "Console.h"
#include "iTunesAPIError.h"
#include "iTunesRSSResponse.h"
#include "TransferError.h"

#include <QSet>

QString iTunesService::rawValue(FeedType feedType) {
    switch (feedType) {
    case FeedType::newApplications:
        return QStringLiteral("newapplications");
    case FeedType::newFreeApplications:
        return QStringLiteral("newfreeapplications");
    case FeedType::newPaidApplications:
        return QStringLiteral("newpaidapplications");
    case FeedType::topFreeApplications:
        return QStringLiteral("topfreeapplications");
    case FeedType::topPaidApplications:
        break;
    }
    return QStringLiteral("toppaidapplications");
}

iTunesService::iTunesService(const QString& baseURL, HttpFetcher::Limits limits)
    : m_baseURL(baseURL)
    , m_http(limits) {}

QCoro::Task<QList<AppEntry>> iTunesService::fetchFeed(QString country, FeedType feedType, int limit) {
    const QString address = m_baseURL + QStringLiteral("/") + country + QStringLiteral("/rss/") +
                            rawValue(feedType) + QStringLiteral("/limit=") + QString::number(limit) +
                            QStringLiteral("/json");
    Console::print(QStringLiteral("📡 Fetching from URL: ") + address);
    const std::optional<QUrl> url = HttpFetcher::webAddress(address);
    if (!url) {
        Console::print(QStringLiteral("❌ Invalid URL: ") + address);
        throw iTunesAPIError::invalidURL();
    }
    Console::print(QStringLiteral("🌐 Making network request..."));

    HttpFetcher::Response response;
    try {
        QCoro::Task<HttpFetcher::Response> transfer = m_http.get(*url);
        response = co_await transfer;
    } catch (const TransferError& error) {
        throw iTunesAPIError::networkError(error.description());
    }
    if (response.statusCode)
        Console::print(QStringLiteral("📊 HTTP Status: %1").arg(*response.statusCode));
    Console::print(QStringLiteral("📦 Received %1 bytes of data").arg(response.body.size()));

    std::optional<iTunesRSSResponse> document;
    try {
        QCoro::Task<iTunesRSSResponse> decoding = BackgroundDecoder::decode<iTunesRSSResponse>(response.body);
        document = co_await decoding;
    } catch (const DecodingError& error) {
        throw iTunesAPIError::decodingError(error);
    } catch (const std::exception& error) {
        throw iTunesAPIError::networkError(QString::fromUtf8(error.what()));
    }
    Console::print(QStringLiteral("✅ Decoded %1 app entries").arg(document->feed.entry.size()));
    co_return document->feed.entry;
}

QCoro::Task<QList<AppEntry>> iTunesService::fetchAllFeeds(QString country, int limit) {
    QList<AppEntry> allEntries;
    Console::print(QStringLiteral("🔄 Fetching from %1 collections...").arg(kMergedFeedTypes.size()));
    for (const FeedType feedType : kMergedFeedTypes) {
        const QString name = rawValue(feedType);
        Console::print(QStringLiteral("📱 Fetching %1...").arg(name));
        try {
            QCoro::Task<QList<AppEntry>> fetch = fetchFeed(country, feedType, limit);
            const QList<AppEntry> entries = co_await fetch;
            allEntries += entries;
            Console::print(QStringLiteral("✅ Added %1 apps from %2").arg(entries.size()).arg(name));
        } catch (const iTunesAPIError& error) {
            Console::print(QStringLiteral("❌ Error fetching %1: %2").arg(name, error.description()));
        } catch (const std::exception& error) {
            Console::print(
                QStringLiteral("❌ Error fetching %1: %2").arg(name, QString::fromUtf8(error.what())));
        }
    }
    Console::print(QStringLiteral("📊 Total apps before deduplication: %1").arg(allEntries.size()));

    // The first entry per app wins: the earliest feed, and the earlier place
    // within a feed. Kept in the order of first appearance, which is stable
    // from run to run (nothing downstream relies on the order).
    QList<AppEntry> unique;
    QSet<QString> seen;
    for (const AppEntry& entry : std::as_const(allEntries)) {
        if (!seen.contains(entry.id.attributes.id)) {
            seen.insert(entry.id.attributes.id);
            unique.append(entry);
        }
    }
    Console::print(QStringLiteral("✨ Unique apps after deduplication: %1").arg(unique.size()));
    co_return unique;
}
