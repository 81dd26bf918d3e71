// caldrin-scrape URL: runs the page scraper on one address, as the program does
// (with its real waits), and prints what the page yields as one JSON object on
// standard output. The scraper's console trail and the page's own console go to
// standard error. Exit status: 0 data came back, 1 no data (time-out, or not a
// web address), 2 the page failed to load, 64 wrong usage.
#include "Console.h"
#include "WebEngineEnvironment.h"
#include "WebKitNavigationError.h"
#include "WebKitScraperService.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

void writeLine(std::FILE* stream, const QString& line) {
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

// Console lines and page console lines as they are, everything else in Qt's usual form.
void toStandardError(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const bool plain = Console::isConsoleCategory(context.category) ||
                       (context.category && std::strcmp(context.category, "caldrin.page") == 0);
    writeLine(stderr, plain ? message : qFormatLogMessage(type, context, message));
}

QCoro::Task<> scrape(WebKitScraperService* service, QString url) {
    int status = 1;
    try {
        const std::optional<WebKitScrapedData> data = co_await service->scrapePage(url);
        if (data) {
            writeLine(stdout, QString::fromUtf8(data->toJson()));
            status = 0;
        } else {
            writeLine(stderr,
                      QStringLiteral("caldrin-scrape: no data (not a web address, or the page did not "
                                     "finish loading in time)"));
        }
    } catch (const WebKitNavigationError& error) {
        writeLine(stderr, QStringLiteral("caldrin-scrape: the page failed to load: ") + error.description());
        status = 2;
    }
    QCoreApplication::exit(status);
}

} // namespace

int main(int argc, char* argv[]) {
    // Nothing is ever shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    WebEngineEnvironment::prepare();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("caldrin-scrape"));

    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 2 || arguments[1].startsWith(QLatin1Char('-'))) {
        writeLine(stderr, QStringLiteral("Usage: caldrin-scrape URL\n"
                                         "Scrapes one product page and prints what it yields as JSON."));
        return 64;
    }
    qInstallMessageHandler(toStandardError);
    QLoggingCategory::setFilterRules(QStringLiteral("caldrin.page.info=true"));

    WebKitScraperService service;
    const QString url = arguments[1];
    QTimer::singleShot(0, &service, [&service, url] { scrape(&service, url); });
    return QApplication::exec();
}
