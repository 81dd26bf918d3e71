#pragma once

#include "JsonDecoder.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

// One result of the store's lookup service. Every field is optional: a key
// that is missing or null leaves it absent, a key of another JSON type fails
// the whole document. Each field's JSON key is its own name.
struct iTunesAppDetails {
    std::optional<qint64> trackId;
    std::optional<QString> trackName;
    std::optional<QString> description;
    std::optional<QStringList> screenshotUrls;
    std::optional<QStringList> ipadScreenshotUrls;
    std::optional<QStringList> appletvScreenshotUrls;
    std::optional<double> averageUserRating;
    std::optional<qint64> userRatingCount;
    std::optional<QString> fileSizeBytes;
    std::optional<QString> version;
    std::optional<QString> contentAdvisoryRating;
    std::optional<QString> artistName;
    std::optional<QStringList> genres;
    std::optional<QString> releaseDate;
    std::optional<QString> currentVersionReleaseDate;
    std::optional<QString> minimumOsVersion;
    std::optional<QString> formattedPrice;
    std::optional<QString> currency;
    std::optional<double> price;
    std::optional<QStringList> features;
    std::optional<QStringList> advisories;
    std::optional<QStringList> supportedDevices;
    std::optional<bool> isGameCenterEnabled;
    std::optional<QString> kind;
    std::optional<QString> bundleId;

    bool operator==(const iTunesAppDetails&) const = default;

    static iTunesAppDetails decode(const JsonDecoder& decoder);
    // The present fields under their own keys; absent fields are left out.
    QJsonObject toJson() const;
};
