#pragma once

#include "HttpFetcher.h"
#include "iTunesAppDetails.h"

#include <QString>

#include <qcoro/qcorotask.h>

#include <optional>

// Asks the store's lookup service for the details of one app and returns the
// first result, with a summary on the console. Keeps no state between calls;
// its transfers and decoding never block the main thread, where its callers
// await it. Must outlive the tasks it returns.
class AppDetailsService {
public:
    explicit AppDetailsService(HttpFetcher::Limits limits = {});

    // The first result, or nullopt when the address cannot be formed or the
    // service has no result. Throws the transfer's TransferError or the
    // decoder's DecodingError unchanged, after printing it.
    QCoro::Task<std::optional<iTunesAppDetails>> fetchAppDetails(QString appleID);

    // The lookup address of an identifier, or nullopt when none can be formed.
    // The identifier is percent-encoded whole, so that "&", "#", "/", "+",
    // spaces or any other text ask for exactly that identifier and never add
    // or change a parameter.
    static std::optional<QUrl> lookupAddress(const QString& origin, const QString& appleID);

private:
    void printSummary(const iTunesAppDetails& details) const;

    HttpFetcher m_http;
};
