#pragma once

#include <QWebEngineUrlRequestInterceptor>

// Lets scraped pages fetch only from the web: any request for another scheme
// (the application's own qrc: resources, file:, custom schemes) is blocked,
// whatever asked for it (an image, a frame, a script).
class ScraperRequestFilter : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void interceptRequest(QWebEngineUrlRequestInfo& info) override;
};
