#pragma once

// A made-up product page of realistic size (a few thousand elements), for the
// benchmarks that load pages in the scraper.

#include "ProductPages.h"

#include <QByteArray>
#include <QString>

namespace RealisticProductPage {

inline QString image(int screenshot, const char* size, const char* extension) {
    return QStringLiteral("https://is%1-ssl.mzstatic.com/image/thumb/PurpleSource1%2/v4/5a/0c/%3/"
                          "%4-11aa-4bb2-8cc3-0dd4ee5f%5/Screenshot_%6.png/%7bb.%8")
        .arg(screenshot % 5 + 1)
        .arg(screenshot % 9)
        .arg(screenshot * 7 % 100, 2, 10, QLatin1Char('0'))
        .arg(QString::asprintf("%08x", 0x3a00bc00 + screenshot))
        .arg(screenshot, 4, 10, QLatin1Char('0'))
        .arg(screenshot)
        .arg(QLatin1String(size), QLatin1String(extension));
}

// A made-up product page laid out as store pages are: header, a gallery of ten
// screenshots in four sizes, description, ratings and reviews, information
// with purchases, related apps, a long footer and the page's own state script.
inline QByteArray html() {
    QString html = QStringLiteral(
        "<header class=\"product-header app-header\"><h1 class=\"product-header__title\">Lantern Lake</h1>"
        "<h2 class=\"product-header__subtitle\">Night fishing, slowly</h2><ul class=\"product-header__list\">"
        "<li class=\"product-header__list__item\">Free</li><li>Offers In-App Purchases</li></ul></header>"
        "<section class=\"l-content-width section section--bordered section--screenshots\"><ul>");
    for (int shot = 0; shot < 10; ++shot)
        html += QStringLiteral(
                    "<li><picture class=\"we-artwork we-screenshot\"><source srcset=\"%1 300w, %2 600w, %3 "
                    "1290w\" type=\"image/webp\"><img src=\"%4\" alt=\"\" loading=\"lazy\"></picture></li>")
                    .arg(image(shot, "300x650", "webp"), image(shot, "600x1300", "webp"),
                         image(shot, "1290x2796", "webp"), image(shot, "1290x2796", "jpg"));
    html += QStringLiteral("</ul></section><section class=\"section\"><div class=\"we-truncate\">");
    for (int paragraph = 0; paragraph < 12; ++paragraph)
        html += QStringLiteral(
                    "<p>Row out under the lanterns and wait for the lake to answer. Paragraph %1 of the "
                    "description, with <b>some</b> <i>markup</i> in it.</p>")
                    .arg(paragraph);
    html += QStringLiteral("</div></section><section class=\"section\"><div class=\"l-row\">");
    for (int review = 0; review < 120; ++review)
        html += QStringLiteral(
                    "<div class=\"l-column small-4\"><div class=\"we-customer-review lockup\">"
                    "<div class=\"we-customer-review__header\"><h3>Review %1</h3><span>Reader %1</span>"
                    "<time>Jan %2, 2024</time></div><figure class=\"we-star-rating\"><span></span><span>"
                    "</span><span></span><span></span><span></span></figure><blockquote><p>Quiet and "
                    "lovely; the %1th evening on the lake was the best so far.</p></blockquote></div></div>")
                    .arg(review)
                    .arg(review % 28 + 1);
    html += QStringLiteral("</div></section><section class=\"section section--information\"><dl>");
    for (int field = 0; field < 12; ++field)
        html +=
            QStringLiteral("<div class=\"information-list__item\"><dt>Field %1</dt><dd>Value %1</dd></div>")
                .arg(field);
    html += QStringLiteral("<div class=\"information-list__item\"><dt>In-App Purchases</dt><dd><ol>");
    for (int purchase = 0; purchase < 10; ++purchase)
        html += QStringLiteral(
                    "<li class=\"list-with-numbers__item\"><span>Lantern Oil %1</span><span>$%1.99</span>"
                    "</li>")
                    .arg(purchase + 1);
    html += QStringLiteral("</ol></dd></div></dl></section>");
    for (int shelf = 0; shelf < 6; ++shelf) {
        html +=
            QStringLiteral("<section class=\"section\"><h2>Shelf %1</h2><div class=\"l-row\">").arg(shelf);
        for (int app = 0; app < 30; ++app)
            html += QStringLiteral(
                        "<a class=\"we-lockup\" href=\"/us/app/x/id%1\"><picture><source srcset=\"https://"
                        "is2-ssl.mzstatic.com/image/thumb/Purple126/v4/aa/bb/cc/%1/AppIcon.png/160x160bb."
                        "webp 160w\"><img src=\"https://is2-ssl.mzstatic.com/image/thumb/Purple126/v4/aa/"
                        "bb/cc/%1/AppIcon.png/160x160bb.png\"></picture><div class=\"we-lockup__text\">"
                        "<div class=\"we-lockup__title\"><div><p>App %1</p></div></div><div class=\"we-"
                        "lockup__subtitle\">Games</div></div></a>")
                        .arg(shelf * 100 + app);
        html += QStringLiteral("</div></section>");
    }
    html += QStringLiteral("<footer><nav>");
    for (int column = 0; column < 8; ++column) {
        html += QStringLiteral("<div class=\"ac-gf-directory-column\"><h3>Column %1</h3><ul>").arg(column);
        for (int link = 0; link < 25; ++link)
            html += QStringLiteral("<li><a href=\"/link/%1/%2\">Link %2</a></li>").arg(column).arg(link);
        html += QStringLiteral("</ul></div>");
    }
    html += QStringLiteral(
        "</nav><div>Copyright &copy; 2024 Made Up Studio. All rights reserved.</div></footer>");
    // The page's own state, with escaped image addresses, as store pages carry it.
    html += QStringLiteral(
        "<script>window.__INITIAL_STATE__ = {\"product\": {\"description\": \"Night fishing.\", "
        "\"artwork\": [");
    for (int entry = 0; entry < 400; ++entry)
        html += QStringLiteral("\"%1\",").arg(
            image(entry % 10, "600x1300", "webp").replace(QLatin1String("/"), QLatin1String("\\/")));
    html += QStringLiteral("\"\"]}};</script>");
    return ProductPages::page(html.toUtf8(),
                              "<meta name=\"description\" content=\"Night fishing, slowly.\">");
}

} // namespace RealisticProductPage
