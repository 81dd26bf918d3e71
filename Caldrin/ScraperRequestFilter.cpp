#include "ScraperRequestFilter.h"

#include <QUrl>

namespace {

bool isAllowed(const QUrl& url) {
    static const QStringList webSchemes{QStringLiteral("http"), QStringLiteral("https"),
                                        QStringLiteral("ws"),   QStringLiteral("wss"),
                                        QStringLiteral("data"), QStringLiteral("blob")};
    return webSchemes.contains(url.scheme().toLower());
}

} // namespace

void ScraperRequestFilter::interceptRequest(QWebEngineUrlRequestInfo& info) {
    if (!isAllowed(info.requestUrl()))
        info.block(true);
}
