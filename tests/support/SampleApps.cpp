#include "SampleApps.h"

#include "AppModel.h"

QSharedPointer<AppModel> SampleApps::make(const QString& appleID, const Traits& traits) {
    auto app = QSharedPointer<AppModel>::create();
    app->setAppleID(appleID);
    app->setName(traits.name);
    app->setBundleID(QStringLiteral("com.example.") + appleID);
    app->setDeveloperName(traits.developer);
    app->setAppStoreURL(QStringLiteral("https://apps.example/id") + appleID);
    app->setCurrency(QStringLiteral("USD"));
    app->setPriceLabel(QStringLiteral("Get"));
    app->setCategory(traits.category);
    app->setCategoryID(QStringLiteral("1"));
    app->setReleaseDate(day0().addDays(traits.day));
    app->setFetchedAt(day0());
    app->setIsViewed(traits.viewed);
    return app;
}

QList<SampleApps::Traits> SampleApps::numbered(const QString& prefix, int count,
                                             const std::function<QString(int)>& categoryOf, int firstDay) {
    QList<Traits> traits;
    for (int i = 0; i < count; ++i)
        traits.append(Traits{QStringLiteral("%1 %2").arg(prefix).arg(i),
                          {},
                          categoryOf ? categoryOf(i) : QStringLiteral("Games"),
                          firstDay + i});
    return traits;
}
