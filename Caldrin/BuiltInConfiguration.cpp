#include "BuiltInConfiguration.h"

#include <QtGlobal>

QString BuiltInConfiguration::storeOrigin() {
    QString origin = qEnvironmentVariable("CALDRIN_STORE_ORIGIN");
    if (origin.isEmpty())
        return QStringLiteral("https://itunes.apple.com");
    while (origin.endsWith(QLatin1Char('/')))
        origin.chop(1);
    return origin;
}
