#pragma once

#include "FakeStore.h"

#include <QByteArray>
#include <QString>

// Small product pages written for the tests, and the fake store's answer that serves one.
namespace ProductPages {

inline QByteArray page(const QByteArray& body, const QByteArray& head = {}) {
    return "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\"><title>Test Product</title>" +
           head + "</head><body>" + body + "</body></html>";
}

inline FakeStore::Response html(const QByteArray& document,
                                FakeStore::Behaviour behaviour = FakeStore::Behaviour::Normal) {
    return {.contentType = "text/html; charset=utf-8", .body = document, .behaviour = behaviour};
}

// An address of the store's numbered image servers for one picture of one
// screenshot: `identifier` picks the screenshot, `size` is "<width>x<height>".
inline QString imageAddress(const QString& folder, int identifier, const QString& size) {
    return QStringLiteral("https://is2-ssl.mzstatic.com/image/thumb/%1/v4/0a/1b/2c/%2/Screen.png/%3bb.png")
        .arg(folder, QString::asprintf("%08x-4e2f-4a1b-9c3d-5e6f7a8b9c0d", 0x1000 + identifier), size);
}

// A product page whose scripts find one screenshot, one purchase ("Gem Pack",
// "$4.99") and the description "From the page".
inline QByteArray samplePage() {
    const QString shot = imageAddress(QStringLiteral("Purple116"), 1, QStringLiteral("1290x2796"));
    return page("<section class=\"screenshots\"><picture><source srcset=\"" + shot.toUtf8() +
                    " 1290w\"></picture></section>"
                    "<div class=\"in-app-purchases\"><div><span>Gem Pack</span><span>$4.99</span></div></div>"
                    "<p>Offers In-App Purchases</p>",
                "<meta name=\"description\" content=\"From the page\">");
}

} // namespace ProductPages
