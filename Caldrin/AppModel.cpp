#include "AppModel.h"

#include "AppEntry.h"
#include "CLocaleNumber.h"
#include "InternetDateTime.h"
#include "ModelContext.h"
#include "SqliteStatement.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>

namespace {

// The table keeps the fields in declaration order, except that the three that
// can be large (screenshot list, purchase list, description) come last: rows
// spill into overflow pages, and columns after a long text cost page reads.
const QByteArrayList kColumns = {"appleID",
                                 "name",
                                 "bundleID",
                                 "developerName",
                                 "developerURL",
                                 "appStoreURL",
                                 "price",
                                 "currency",
                                 "priceLabel",
                                 "category",
                                 "categoryID",
                                 "releaseDate",
                                 "releaseDateString",
                                 "iconURL",
                                 "copyright",
                                 "fetchedAt",
                                 "rating",
                                 "ratingCount",
                                 "appSize",
                                 "appVersion",
                                 "ageRating",
                                 "hasInAppPurchases",
                                 "inAppPurchaseInfo",
                                 "detailsFetched",
                                 "isViewed",
                                 "screenshotURLs",
                                 "inAppPurchaseItems",
                                 "appDescription"};

// Read back without the description: only whether there is one.
const QByteArray kSelectList =
    "appleID, name, bundleID, developerName, developerURL, appStoreURL, price, currency, priceLabel, "
    "category, categoryID, releaseDate, releaseDateString, iconURL, copyright, fetchedAt, rating, "
    "ratingCount, appSize, appVersion, ageRating, hasInAppPurchases, inAppPurchaseInfo, detailsFetched, "
    "isViewed, screenshotURLs, inAppPurchaseItems, appDescription IS NOT NULL";

qint64 toStored(const QDateTime& date) {
    return date.isValid() ? date.toMSecsSinceEpoch() : 0;
}

QDateTime fromStored(qint64 milliseconds) {
    return QDateTime::fromMSecsSinceEpoch(milliseconds, Qt::UTC);
}

// The engine turns NaN into NULL, so a not-a-number price is kept as text.
void bindReal(SqliteStatement& statement, int index, double value) {
    if (std::isnan(value))
        statement.bind(index, QStringLiteral("NaN"));
    else
        statement.bind(index, value);
}

double readReal(const SqliteStatement& statement, int index) {
    if (!statement.isNull(index) && statement.text(index) == QLatin1String("NaN"))
        return std::nan("");
    return statement.real(index);
}

std::optional<QByteArray> encodeStrings(const std::optional<QStringList>& list) {
    if (!list)
        return std::nullopt;
    return QJsonDocument(QJsonArray::fromStringList(*list)).toJson(QJsonDocument::Compact);
}

std::optional<QStringList> decodeStrings(const std::optional<QString>& text) {
    if (!text)
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(text->toUtf8());
    QStringList list;
    for (const QJsonValue& value : document.array())
        list.append(value.toString());
    return list;
}

std::optional<QString> asText(const std::optional<QByteArray>& bytes) {
    if (!bytes)
        return std::nullopt;
    return QString::fromUtf8(*bytes);
}

} // namespace

AppModel::AppModel() = default;

AppModel::AppModel(const AppEntry& entry) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    m_appleID = entry.id.attributes.id;
    m_name = entry.name.label;
    m_bundleID = entry.id.attributes.bundleId;
    m_developerName = entry.artist.label;
    if (entry.artist.attributes)
        m_developerURL = entry.artist.attributes->href;
    m_appStoreURL = entry.link.attributes.href;
    m_price = CLocaleNumber::parseDouble(entry.price.attributes.amount).value_or(0.0);
    m_currency = entry.price.attributes.currency;
    m_priceLabel = entry.price.label;
    m_category = entry.category.attributes.term;
    m_categoryID = entry.category.attributes.id;
    // Not parsed: a second clock reading, as close to `now` as the clock allows.
    m_releaseDate =
        InternetDateTime::parse(entry.releaseDate.label).value_or(QDateTime::currentDateTimeUtc());
    m_releaseDateString = entry.releaseDate.attributes ? entry.releaseDate.attributes->label : QString();
    // The last image, whatever its height.
    if (!entry.images.isEmpty())
        m_iconURL = entry.images.last().label;
    if (entry.rights)
        m_copyright = entry.rights->label;
    m_fetchedAt = now;
}

const RecordTable& AppModel::recordTable() {
    static const RecordTable table{
        RecordKind::App,
        "AppModel",
        "appleID",
        kColumns,
        kSelectList,
        {"appleID", "name", "bundleID", "developerName", "developerURL", "appStoreURL", "currency",
         "priceLabel", "category", "categoryID", "releaseDateString", "iconURL", "copyright", "appSize",
         "appVersion", "ageRating", "inAppPurchaseInfo"},
        {"appleID", "name", "developerName", "price", "category", "releaseDate", "fetchedAt", "rating",
         "ratingCount"},
        [] { return QSharedPointer<PersistentRecord>(new AppModel); },
        [](const PersistentRecord& record, SqliteStatement& s) {
            const auto& app = static_cast<const AppModel&>(record);
            int i = 1;
            s.bind(i++, app.m_appleID);
            s.bind(i++, app.m_name);
            s.bind(i++, app.m_bundleID);
            s.bind(i++, app.m_developerName);
            s.bind(i++, app.m_developerURL);
            s.bind(i++, app.m_appStoreURL);
            bindReal(s, i++, app.m_price);
            s.bind(i++, app.m_currency);
            s.bind(i++, app.m_priceLabel);
            s.bind(i++, app.m_category);
            s.bind(i++, app.m_categoryID);
            s.bind(i++, toStored(app.m_releaseDate));
            s.bind(i++, app.m_releaseDateString);
            s.bind(i++, app.m_iconURL);
            s.bind(i++, app.m_copyright);
            s.bind(i++, toStored(app.m_fetchedAt));
            s.bind(i++, app.m_rating);
            s.bind(i++, app.m_ratingCount);
            s.bind(i++, app.m_appSize);
            s.bind(i++, app.m_appVersion);
            s.bind(i++, app.m_ageRating);
            s.bind(i++, app.m_hasInAppPurchases);
            s.bind(i++, app.m_inAppPurchaseInfo);
            s.bind(i++, app.m_detailsFetched);
            s.bind(i++, app.m_isViewed);
            s.bind(i++, asText(encodeStrings(app.m_screenshotURLs)));
            s.bind(i++, app.m_inAppPurchaseItems ? std::optional<QString>(QString::fromUtf8(
                                                       IAPItem::encodeList(*app.m_inAppPurchaseItems)))
                                                 : std::nullopt);
            s.bind(i++, app.appDescription());
        },
        [](PersistentRecord& record, const SqliteStatement& s) {
            auto& app = static_cast<AppModel&>(record);
            int i = 1;
            app.m_appleID = s.text(i++);
            app.m_name = s.text(i++);
            app.m_bundleID = s.text(i++);
            app.m_developerName = s.text(i++);
            app.m_developerURL = s.optionalText(i++);
            app.m_appStoreURL = s.text(i++);
            app.m_price = readReal(s, i++);
            app.m_currency = s.text(i++);
            app.m_priceLabel = s.text(i++);
            app.m_category = s.text(i++);
            app.m_categoryID = s.text(i++);
            app.m_releaseDate = fromStored(s.int64(i++));
            app.m_releaseDateString = s.text(i++);
            app.m_iconURL = s.optionalText(i++);
            app.m_copyright = s.optionalText(i++);
            app.m_fetchedAt = fromStored(s.int64(i++));
            app.m_rating = s.optionalReal(i++);
            app.m_ratingCount = s.optionalInt64(i++);
            app.m_appSize = s.optionalText(i++);
            app.m_appVersion = s.optionalText(i++);
            app.m_ageRating = s.optionalText(i++);
            app.m_hasInAppPurchases = s.optionalBoolean(i++);
            app.m_inAppPurchaseInfo = s.optionalText(i++);
            app.m_detailsFetched = s.boolean(i++);
            app.m_isViewed = s.boolean(i++);
            app.m_screenshotURLs = decodeStrings(s.optionalText(i++));
            const std::optional<QString> items = s.optionalText(i++);
            app.m_inAppPurchaseItems = items ? IAPItem::decodeList(items->toUtf8()) : std::nullopt;
            if (items && !app.m_inAppPurchaseItems)
                app.m_inAppPurchaseItems = QList<IAPItem>(); // unreadable list: keep "present"
            app.m_storedDescriptionPresent = s.boolean(i++);
            app.m_appDescription.reset();
            app.m_descriptionLoaded = !app.m_storedDescriptionPresent;
        },
        [](const PersistentRecord& record) { return static_cast<const AppModel&>(record).m_appleID; },
        [](PersistentRecord& target, const PersistentRecord& source) {
            static_cast<AppModel&>(target).copyFrom(static_cast<const AppModel&>(source));
        }};
    return table;
}

const std::optional<QString>& AppModel::appDescription() const {
    if (!m_descriptionLoaded)
        loadDescription();
    return m_appDescription;
}

bool AppModel::hasAppDescription() const {
    return m_descriptionLoaded ? m_appDescription.has_value() : m_storedDescriptionPresent;
}

void AppModel::setAppDescription(const std::optional<QString>& value) {
    if (!m_descriptionLoaded)
        loadDescription();
    assign(m_appDescription, value);
}

void AppModel::loadDescription() const {
    m_descriptionLoaded = true;
    if (ModelContext* context = modelContext())
        m_appDescription = context->loadAppDescription(persistentId());
}

void AppModel::copyFrom(const AppModel& other) {
    setAppleID(other.appleID());
    setName(other.name());
    setBundleID(other.bundleID());
    setDeveloperName(other.developerName());
    setDeveloperURL(other.developerURL());
    setAppStoreURL(other.appStoreURL());
    setPrice(other.price());
    setCurrency(other.currency());
    setPriceLabel(other.priceLabel());
    setCategory(other.category());
    setCategoryID(other.categoryID());
    setReleaseDate(other.releaseDate());
    setReleaseDateString(other.releaseDateString());
    setIconURL(other.iconURL());
    setCopyright(other.copyright());
    setFetchedAt(other.fetchedAt());
    setAppDescription(other.appDescription());
    setScreenshotURLs(other.screenshotURLs());
    setRating(other.rating());
    setRatingCount(other.ratingCount());
    setAppSize(other.appSize());
    setAppVersion(other.appVersion());
    setAgeRating(other.ageRating());
    setHasInAppPurchases(other.hasInAppPurchases());
    setInAppPurchaseInfo(other.inAppPurchaseInfo());
    setInAppPurchaseItems(other.inAppPurchaseItems());
    setDetailsFetched(other.detailsFetched());
    setIsViewed(other.isViewed());
}
