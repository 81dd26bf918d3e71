#pragma once

#include "IAPItem.h"
#include "PersistentRecord.h"
#include "RecordTable.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

struct AppEntry;

// The stored record of one app seen in a ranking feed; one per appleID.
// Fields 1-16 come from the feed, 17-27 from enrichment, 28 from the window.
class AppModel : public PersistentRecord {
    Q_OBJECT
public:
    AppModel();
    // A new, not yet inserted record of an app seen in a feed: fields 1-16
    // from the entry, the enrichment fields absent, both flags false. An
    // unreadable price becomes 0 and an unreadable release date the creation
    // time.
    explicit AppModel(const AppEntry& entry);

    RecordKind kind() const override { return RecordKind::App; }
    static const RecordTable& recordTable();

    const QString& appleID() const { return m_appleID; }
    void setAppleID(const QString& value) { assign(m_appleID, value); }
    const QString& name() const { return m_name; }
    void setName(const QString& value) { assign(m_name, value); }
    const QString& bundleID() const { return m_bundleID; }
    void setBundleID(const QString& value) { assign(m_bundleID, value); }
    const QString& developerName() const { return m_developerName; }
    void setDeveloperName(const QString& value) { assign(m_developerName, value); }
    const std::optional<QString>& developerURL() const { return m_developerURL; }
    void setDeveloperURL(const std::optional<QString>& value) { assign(m_developerURL, value); }
    const QString& appStoreURL() const { return m_appStoreURL; }
    void setAppStoreURL(const QString& value) { assign(m_appStoreURL, value); }
    double price() const { return m_price; }
    void setPrice(double value) { assign(m_price, value); }
    const QString& currency() const { return m_currency; }
    void setCurrency(const QString& value) { assign(m_currency, value); }
    const QString& priceLabel() const { return m_priceLabel; }
    void setPriceLabel(const QString& value) { assign(m_priceLabel, value); }
    const QString& category() const { return m_category; }
    void setCategory(const QString& value) { assign(m_category, value); }
    const QString& categoryID() const { return m_categoryID; }
    void setCategoryID(const QString& value) { assign(m_categoryID, value); }
    const QDateTime& releaseDate() const { return m_releaseDate; }
    void setReleaseDate(const QDateTime& value) { assign(m_releaseDate, value.toUTC()); }
    const QString& releaseDateString() const { return m_releaseDateString; }
    void setReleaseDateString(const QString& value) { assign(m_releaseDateString, value); }
    const std::optional<QString>& iconURL() const { return m_iconURL; }
    void setIconURL(const std::optional<QString>& value) { assign(m_iconURL, value); }
    const std::optional<QString>& copyright() const { return m_copyright; }
    void setCopyright(const std::optional<QString>& value) { assign(m_copyright, value); }
    const QDateTime& fetchedAt() const { return m_fetchedAt; }
    void setFetchedAt(const QDateTime& value) { assign(m_fetchedAt, value.toUTC()); }

    // The description is read from the store only when first asked for, so that
    // lists of many records never carry their descriptions.
    const std::optional<QString>& appDescription() const;
    bool hasAppDescription() const;
    void setAppDescription(const std::optional<QString>& value);
    const std::optional<QStringList>& screenshotURLs() const { return m_screenshotURLs; }
    void setScreenshotURLs(const std::optional<QStringList>& value) { assign(m_screenshotURLs, value); }
    const std::optional<double>& rating() const { return m_rating; }
    void setRating(const std::optional<double>& value) { assign(m_rating, value); }
    const std::optional<qint64>& ratingCount() const { return m_ratingCount; }
    void setRatingCount(const std::optional<qint64>& value) { assign(m_ratingCount, value); }
    const std::optional<QString>& appSize() const { return m_appSize; }
    void setAppSize(const std::optional<QString>& value) { assign(m_appSize, value); }
    const std::optional<QString>& appVersion() const { return m_appVersion; }
    void setAppVersion(const std::optional<QString>& value) { assign(m_appVersion, value); }
    const std::optional<QString>& ageRating() const { return m_ageRating; }
    void setAgeRating(const std::optional<QString>& value) { assign(m_ageRating, value); }
    const std::optional<bool>& hasInAppPurchases() const { return m_hasInAppPurchases; }
    void setHasInAppPurchases(const std::optional<bool>& value) { assign(m_hasInAppPurchases, value); }
    const std::optional<QString>& inAppPurchaseInfo() const { return m_inAppPurchaseInfo; }
    void setInAppPurchaseInfo(const std::optional<QString>& value) { assign(m_inAppPurchaseInfo, value); }
    const std::optional<QList<IAPItem>>& inAppPurchaseItems() const { return m_inAppPurchaseItems; }
    void setInAppPurchaseItems(const std::optional<QList<IAPItem>>& value) {
        assign(m_inAppPurchaseItems, value);
    }
    bool detailsFetched() const { return m_detailsFetched; }
    void setDetailsFetched(bool value) { assign(m_detailsFetched, value); }
    bool isViewed() const { return m_isViewed; }
    void setIsViewed(bool value) { assign(m_isViewed, value); }

private:
    void copyFrom(const AppModel& other);
    void loadDescription() const;

    QString m_appleID;
    QString m_name;
    QString m_bundleID;
    QString m_developerName;
    std::optional<QString> m_developerURL;
    QString m_appStoreURL;
    double m_price = 0;
    QString m_currency;
    QString m_priceLabel;
    QString m_category;
    QString m_categoryID;
    QDateTime m_releaseDate;
    QString m_releaseDateString;
    std::optional<QString> m_iconURL;
    std::optional<QString> m_copyright;
    QDateTime m_fetchedAt;
    mutable std::optional<QString> m_appDescription;
    std::optional<QStringList> m_screenshotURLs;
    std::optional<double> m_rating;
    std::optional<qint64> m_ratingCount;
    std::optional<QString> m_appSize;
    std::optional<QString> m_appVersion;
    std::optional<QString> m_ageRating;
    std::optional<bool> m_hasInAppPurchases;
    std::optional<QString> m_inAppPurchaseInfo;
    std::optional<QList<IAPItem>> m_inAppPurchaseItems;
    bool m_detailsFetched = false;
    bool m_isViewed = false;

    // Whether m_appDescription holds the stored value, and, until it does,
    // whether the store holds one at all.
    mutable bool m_descriptionLoaded = true;
    bool m_storedDescriptionPresent = false;
};
