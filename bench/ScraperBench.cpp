// Script time of the page scraper on a product page of realistic size (a few
// thousand elements): each evaluation on its own, the load alone, and a whole
// scrape without the fixed 5-second wait. Served from the tests' fake store on
// 127.0.0.1. Prints one "<figure>: <value>" line per figure (milliseconds);
// nothing fails on a timing. Arguments are ignored (scripts/bench passes a store).
#include "FakeStore.h"
#include "PageEvaluation.h"
#include "ProductPages.h"
#include "RunTask.h"
#include "WebEngineEnvironment.h"
#include "WebKitScraperService.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

using namespace std::chrono_literals;

namespace {

QString image(int screenshot, const char* size, const char* extension) {
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
QByteArray realisticPage() {
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

bool load(QWebEnginePage& page, const QString& url) {
    QEventLoop loop;
    bool finished = false;
    QObject::connect(&page, &QWebEnginePage::loadFinished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    page.load(QUrl(url));
    loop.exec();
    return finished;
}

QCoro::Task<PageEvaluation::Outcome> evaluation(QWebEnginePage* page, QString script,
                                                PageEvaluation::World world) {
    co_return co_await PageEvaluation(page, script, world);
}

bool evaluate(QWebEnginePage& page, const QString& script, PageEvaluation::World world) {
    return runTask(evaluation(&page, script, world), 30s).ok;
}

void figure(const char* name, double value) {
    std::printf("%s: %.2f\n", name, value);
    std::fflush(stdout);
}

// Median and 95th percentile of `rounds` runs of `work`, in milliseconds.
void measure(const char* name, int rounds, const std::function<bool()>& work) {
    QList<double> times;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        if (!work()) {
            std::fprintf(stderr, "%s: a run failed\n", name);
            return;
        }
        times.append(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    figure((QByteArray(name) + "_median_ms").constData(), times[times.size() / 2]);
    figure((QByteArray(name) + "_p95_ms").constData(),
           times[std::min<qsizetype>(times.size() - 1, times.size() * 95 / 100)]);
}

// The trail of the scrapes would drown the figures.
void quiet(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (context.category && (std::strcmp(context.category, "caldrin.console") == 0 ||
                             std::strcmp(context.category, "caldrin.page") == 0))
        return;
    if (type >= QtWarningMsg)
        std::fprintf(stderr, "%s\n", qFormatLogMessage(type, context, message).toUtf8().constData());
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
                "--host-resolver-rules=\"MAP * ~NOTFOUND, EXCLUDE 127.0.0.1, EXCLUDE localhost\"");
    WebEngineEnvironment::prepare();
    QApplication application(argc, argv);
    qInstallMessageHandler(quiet);

    FakeStore store;
    if (!store.listen())
        return 1;
    const QByteArray html = realisticPage();
    store.setResponse(QStringLiteral("/us/app/lantern-lake/id1"), ProductPages::html(html));
    const QString url = store.origin() + QStringLiteral("/us/app/lantern-lake/id1");
    QWebEngineProfile profile;
    {
        QWebEnginePage page(&profile);
        if (!load(page, url))
            return 1;
        const PageEvaluation::Outcome elements =
            runTask(evaluation(&page, QStringLiteral("document.getElementsByTagName('*').length"),
                               PageEvaluation::World::Isolated),
                    30s);
        figure("product_page_elements", elements.value.toDouble());
        figure("product_page_html_kb", static_cast<double>(html.size()) / 1024);

        using World = PageEvaluation::World;
        measure("page_information", 100, [&] {
            return evaluate(page, QStringLiteral("document.title"), World::Isolated) &&
                   evaluate(page, QStringLiteral("window.location.href"), World::Isolated) &&
                   evaluate(page, QStringLiteral("document.documentElement.outerHTML"), World::Isolated);
        });
        measure("screenshot_script", 100,
                [&] { return evaluate(page, WebKitScraperService::screenshotScript(), World::Isolated); });
        measure("purchase_script", 100,
                [&] { return evaluate(page, WebKitScraperService::purchaseScript(), World::Isolated); });
        measure("description_script", 100,
                [&] { return evaluate(page, WebKitScraperService::descriptionScript(), World::Page); });
        measure("page_load", 10, [&] { return load(page, url); });
    }
    // Load, the six evaluations, the debug file and the console lines.
    WebKitScraperService service(WebKitScraperService::Durations{0ms, 60s});
    measure("whole_scrape_without_wait", 10,
            [&] { return runTask(service.scrapePage(url), 60s).has_value(); });
    return 0;
}
