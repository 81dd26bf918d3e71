#include "AppDetailsService.h"

#include "BackgroundDecoder.h"
#include "BuiltInConfiguration.h"
#include "Console.h"
#include "iTunesLookupResponse.h"
#include "NumberText.h"
#include "UserCharacters.h"

#include <QJsonDocument>

namespace {

qsizetype countOf(const std::optional<QStringList>& list) {
    return list ? list->size() : 0;
}

} // namespace

AppDetailsService::AppDetailsService(HttpFetcher::Limits limits)
    : m_http(limits) {}

std::optional<QUrl> AppDetailsService::lookupAddress(const QString& origin, const QString& appleID) {
    return HttpFetcher::webAddress(origin + QStringLiteral("/lookup?id=") +
                                   QString::fromLatin1(QUrl::toPercentEncoding(appleID)));
}

QCoro::Task<std::optional<iTunesAppDetails>> AppDetailsService::fetchAppDetails(QString appleID) {
    const std::optional<QUrl> url = lookupAddress(BuiltInConfiguration::storeOrigin(), appleID);
    Console::print(QStringLiteral("🔍 Fetching details for app ID: ") + appleID);
    if (!url) {
        Console::print(QStringLiteral("❌ Invalid URL for lookup"));
        co_return std::nullopt;
    }

    std::optional<iTunesLookupResponse> document;
    try {
        QCoro::Task<HttpFetcher::Response> transfer = m_http.get(*url);
        const HttpFetcher::Response response = co_await transfer;
        if (response.statusCode)
            Console::print(QStringLiteral("📊 Lookup HTTP Status: %1").arg(*response.statusCode));
        QCoro::Task<iTunesLookupResponse> decoding =
            BackgroundDecoder::decode<iTunesLookupResponse>(response.body);
        document = co_await decoding;
    } catch (const std::exception& error) {
        Console::print(QStringLiteral("❌ Error fetching app details: ") + QString::fromUtf8(error.what()));
        throw;
    }

    if (document->resultCount < 1 || document->results.isEmpty()) {
        Console::print(QStringLiteral("⚠️ No results found for app ID: ") + appleID);
        co_return std::nullopt;
    }
    const iTunesAppDetails details = document->results.first();
    printSummary(details);

    Console::print(QStringLiteral("📦 Raw API response:"));
    Console::print(QString::fromUtf8(QJsonDocument(details.toJson()).toJson(QJsonDocument::Compact)));
    co_return details;
}

void AppDetailsService::printSummary(const iTunesAppDetails& details) const {
    const QString unknown = QStringLiteral("Unknown");
    const QString notAvailable = QStringLiteral("N/A");
    Console::print(QStringLiteral("✅ Fetched details for: ") + details.trackName.value_or(unknown));
    Console::print(QStringLiteral("   Description: %1 (%2 chars)")
                       .arg(details.description ? QStringLiteral("✅") : QStringLiteral("❌"))
                       .arg(details.description ? UserCharacters::count(*details.description) : 0));
    Console::print(QStringLiteral("   Screenshots: %1").arg(countOf(details.screenshotUrls)));
    Console::print(QStringLiteral("   iPad Screenshots: %1").arg(countOf(details.ipadScreenshotUrls)));
    Console::print(QStringLiteral("   AppleTV Screenshots: %1").arg(countOf(details.appletvScreenshotUrls)));
    Console::print(QStringLiteral("   Rating: %1 (%2 reviews)")
                       .arg(NumberText::fromDouble(details.averageUserRating.value_or(0.0)))
                       .arg(details.userRatingCount.value_or(0)));
    Console::print(QStringLiteral("   Price: %1 (%2)")
                       .arg(details.formattedPrice.value_or(notAvailable),
                            NumberText::fromDouble(details.price.value_or(0.0))));
    Console::print(QStringLiteral("   Features: %1").arg(countOf(details.features)));
    Console::print(QStringLiteral("   Advisories: %1").arg(countOf(details.advisories)));
    Console::print(QStringLiteral("   Kind: ") + details.kind.value_or(notAvailable));
}
