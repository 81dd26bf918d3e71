#include "iTunesAppDetails.h"

#include <QJsonArray>

namespace {

// The one list of fields and keys, walked both to decode and to encode.
template <class Visitor> void visitFields(Visitor&& visit, auto& details) {
    visit("trackId", details.trackId);
    visit("trackName", details.trackName);
    visit("description", details.description);
    visit("screenshotUrls", details.screenshotUrls);
    visit("ipadScreenshotUrls", details.ipadScreenshotUrls);
    visit("appletvScreenshotUrls", details.appletvScreenshotUrls);
    visit("averageUserRating", details.averageUserRating);
    visit("userRatingCount", details.userRatingCount);
    visit("fileSizeBytes", details.fileSizeBytes);
    visit("version", details.version);
    visit("contentAdvisoryRating", details.contentAdvisoryRating);
    visit("artistName", details.artistName);
    visit("genres", details.genres);
    visit("releaseDate", details.releaseDate);
    visit("currentVersionReleaseDate", details.currentVersionReleaseDate);
    visit("minimumOsVersion", details.minimumOsVersion);
    visit("formattedPrice", details.formattedPrice);
    visit("currency", details.currency);
    visit("price", details.price);
    visit("features", details.features);
    visit("advisories", details.advisories);
    visit("supportedDevices", details.supportedDevices);
    visit("isGameCenterEnabled", details.isGameCenterEnabled);
    visit("kind", details.kind);
    visit("bundleId", details.bundleId);
}

QJsonValue toJsonValue(const QStringList& list) {
    return QJsonArray::fromStringList(list);
}
template <class T> QJsonValue toJsonValue(const T& value) {
    return QJsonValue(value);
}

} // namespace

iTunesAppDetails iTunesAppDetails::decode(const JsonDecoder& decoder) {
    iTunesAppDetails details;
    visitFields([&decoder]<class T>(const char* key,
                                    std::optional<T>& field) { field = decoder.decodeIfPresent<T>(key); },
                details);
    return details;
}

QJsonObject iTunesAppDetails::toJson() const {
    QJsonObject object;
    visitFields(
        [&object]<class T>(const char* key, const std::optional<T>& field) {
            if (field)
                object.insert(QLatin1String(key), toJsonValue(*field));
        },
        *this);
    return object;
}
