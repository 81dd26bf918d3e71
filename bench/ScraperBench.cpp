// Script time of the page scraper on a product page of realistic size (a few
// thousand elements): each evaluation on its own, the load alone, and a whole
// scrape without the fixed 5-second wait. Served from the tests' fake store on
// 127.0.0.1. Prints one "<figure>: <value>" line per figure (milliseconds);
// nothing fails on a timing. Arguments are ignored (scripts/bench passes a store).
#include "BenchApplication.h"
#include "BenchSupport.h"
#include "FakeStore.h"
#include "PageEvaluation.h"
#include "ProductPages.h"
#include "RealisticProductPage.h"
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

} // namespace

int main(int argc, char* argv[]) {
    BenchApplication application(argc, argv);
    BenchSupport::quietTrails();

    FakeStore store;
    if (!store.listen())
        return 1;
    const QByteArray html = RealisticProductPage::html();
    store.setResponse(QStringLiteral("/us/app/lantern-lake/id1"), ProductPages::html(html));
    const QString url = store.origin() + QStringLiteral("/us/app/lantern-lake/id1");
    // The first scrape of a process, as the details queue's first page: the web
    // engine starts, loads the page and runs the scripts, without the fixed
    // wait. The longest the main thread is kept from its events meanwhile.
    {
        StallProbe probe;
        probe.start();
        WebKitScraperService first(WebKitScraperService::Durations{0ms, 60s});
        const bool scraped = runTask(first.scrapePage(url), 60s).has_value();
        probe.stop();
        if (!scraped)
            std::fprintf(stderr, "the first scrape returned nothing\n");
        BenchSupport::stallFigures("scrape", probe);
    }
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
    StallProbe probe;
    probe.start();
    measure("whole_scrape_without_wait", 10,
            [&] { return runTask(service.scrapePage(url), 60s).has_value(); });
    probe.stop();
    BenchSupport::stallFigures("scrape_again", probe);
    return 0;
}
