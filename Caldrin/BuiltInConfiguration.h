#pragma once

#include <QString>

// The program's built-in constants. Only the store origin can be replaced, by
// the CALDRIN_STORE_ORIGIN environment variable (tests, offline demonstrations).
class BuiltInConfiguration {
public:
    // Origin of the store web service (feeds and lookup), without a trailing slash.
    static QString storeOrigin();
    // The store's image host domain, counted in scraped pages.
    static QString imageHostDomain() { return QStringLiteral("mzstatic.com"); }
    // Host pattern of the store's numbered image servers (a regular expression).
    static QString imageServerHostPattern() { return QStringLiteral("is\\d+-ssl\\.mzstatic\\.com"); }
    // Origin of the translation site.
    static QString translationOrigin() { return QStringLiteral("https://translate.google.com"); }
};
