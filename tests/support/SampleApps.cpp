#include "SampleApps.h"

#include "AppModel.h"

QSharedPointer<AppModel> SampleApps::make(const QString& appleID, const Spec& spec) {
    auto app = QSharedPointer<AppModel>::create();
    app->setAppleID(appleID);
    app->setName(spec.name);
    app->setBundleID(QStringLiteral("com.example.") + appleID);
    app->setDeveloperName(spec.developer);
    app->setAppStoreURL(QStringLiteral("https://apps.example/id") + appleID);
    app->setCurrency(QStringLiteral("USD"));
    app->setPriceLabel(QStringLiteral("Get"));
    app->setCategory(spec.category);
    app->setCategoryID(QStringLiteral("1"));
    app->setReleaseDate(day0().addDays(spec.day));
    app->setFetchedAt(day0());
    app->setIsViewed(spec.viewed);
    return app;
}

QList<SampleApps::Spec> SampleApps::numbered(const QString& prefix, int count,
                                             const std::function<QString(int)>& categoryOf, int firstDay) {
    QList<Spec> specs;
    for (int i = 0; i < count; ++i)
        specs.append(Spec{QStringLiteral("%1 %2").arg(prefix).arg(i),
                          {},
                          categoryOf ? categoryOf(i) : QStringLiteral("Games"),
                          firstDay + i});
    return specs;
}
