// Script time of the page scraper on a product page of realistic size (a few
// thousand elements): each evaluation on its own, and a whole scrape without
// the fixed wait. Served from a local fake store; figures only, nothing fails.
#include "FakeStore.h"
#include "PageEvaluation.h"
#include "ProductPages.h"
#include "RunTask.h"
#include "WebKitScraperService.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

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

struct Bench {
    FakeStore store;
    QString url;
    std::unique_ptr<QWebEngineProfile> profile;
    std::unique_ptr<QWebEnginePage> page;
    std::unique_ptr<WebKitScraperService> service;
};

Bench* bench = nullptr;

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

void evaluate(benchmark::State& state, const QString& script, PageEvaluation::World world) {
    for (auto _ : state) {
        const PageEvaluation::Outcome outcome = runTask(evaluation(bench->page.get(), script, world), 30s);
        if (!outcome.ok)
            state.SkipWithError(outcome.error.toStdString().c_str());
    }
}

void BM_PageInformation(benchmark::State& state) {
    for (auto _ : state) {
        for (const char* script :
             {"document.title", "window.location.href", "document.documentElement.outerHTML"})
            runTask(
                evaluation(bench->page.get(), QString::fromLatin1(script), PageEvaluation::World::Isolated),
                30s);
    }
}
void BM_ScreenshotScript(benchmark::State& state) {
    evaluate(state, WebKitScraperService::screenshotScript(), PageEvaluation::World::Isolated);
}
void BM_PurchaseScript(benchmark::State& state) {
    evaluate(state, WebKitScraperService::purchaseScript(), PageEvaluation::World::Isolated);
}
void BM_DescriptionScript(benchmark::State& state) {
    evaluate(state, WebKitScraperService::descriptionScript(), PageEvaluation::World::Page);
}
// The load alone, for comparison with the whole scrape.
void BM_PageLoad(benchmark::State& state) {
    QWebEnginePage page(bench->profile.get());
    for (auto _ : state) {
        if (!load(page, bench->url))
            state.SkipWithError("the page did not load");
    }
}
// A whole scrape without the fixed wait: load, six evaluations, the debug
// file, the console lines.
void BM_WholeScrapeWithoutWait(benchmark::State& state) {
    for (auto _ : state) {
        if (!runTask(bench->service->scrapePage(bench->url), 60s))
            state.SkipWithError("no data");
    }
}

BENCHMARK(BM_PageInformation)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ScreenshotScript)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PurchaseScript)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DescriptionScript)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PageLoad)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_WholeScrapeWithoutWait)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

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
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
                "--host-resolver-rules=\"MAP * ~NOTFOUND, EXCLUDE 127.0.0.1, EXCLUDE localhost\"");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    qInstallMessageHandler(quiet);
    benchmark::Initialize(&argc, argv);

    Bench state;
    bench = &state;
    if (!state.store.listen())
        return 1;
    state.store.setResponse(QStringLiteral("/us/app/lantern-lake/id1"), ProductPages::html(realisticPage()));
    state.url = state.store.origin() + QStringLiteral("/us/app/lantern-lake/id1");
    state.profile = std::make_unique<QWebEngineProfile>();
    state.page = std::make_unique<QWebEnginePage>(state.profile.get());
    if (!load(*state.page, state.url))
        return 1;
    state.service = std::make_unique<WebKitScraperService>(WebKitScraperService::Durations{0ms, 60s});

    const PageEvaluation::Outcome elements =
        runTask(evaluation(state.page.get(), QStringLiteral("document.getElementsByTagName('*').length"),
                           PageEvaluation::World::Isolated),
                30s);
    std::printf("Product page: %d elements, %lld bytes of HTML\n", elements.value.toInt(),
                static_cast<long long>(realisticPage().size()));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    state.service.reset();
    state.page.reset();
    return 0;
}
