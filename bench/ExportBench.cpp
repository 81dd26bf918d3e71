// Exporting the whole list of a large store through the real window's export,
// as a person would start it, while the main thread is watched for stalls.
// Prints one "<figure>: <value>" line per figure:
//   bench_export <path/to/caldrin.sqlite>
// Run under the offscreen platform. The store is only read; the exported files
// go to a temporary folder and are removed. Nothing leaves the machine: the
// window's collector and the list's icons lead to a port on 127.0.0.1 where
// nothing listens.
#include "AppIndex.h"
#include "BenchApplication.h"
#include "BenchSupport.h"
#include "ContentView.h"
#include "ExportController.h"
#include "ModelContainer.h"
#include "ModelContext.h"
#include "StallProbe.h"
#include "StoreError.h"
#include "WebEngineEnvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkProxy>
#include <QTemporaryDir>

#include <cstdio>

namespace {

using BenchSupport::figure;

// One export of the unfiltered list; false when it did not write the file.
bool exportOnce(ExportController& controller, const QString& path, ExportFormat format, const char* name) {
    StallProbe probe;
    QEventLoop loop;
    AppExporter::Result::Outcome outcome = AppExporter::Result::Outcome::Failed;
    qint64 exported = 0;
    QObject::connect(&controller, &ExportController::finished, &loop,
                     [&](AppExporter::Result::Outcome result, qint64 count) {
                         outcome = result;
                         exported = count;
                         loop.quit();
                     });
    QElapsedTimer timer;
    probe.start();
    timer.start();
    if (!controller.start(path, format))
        return false;
    loop.exec();
    const double ms = static_cast<double>(timer.elapsed());
    probe.stop();
    if (outcome != AppExporter::Result::Outcome::Written)
        return false;
    const QByteArray prefix = QByteArray("export_") + name;
    const auto out = [&prefix](const char* suffix, double value) {
        figure((prefix + suffix).constData(), value);
    };
    out("_ms", ms);
    out("_mb", static_cast<double>(QFileInfo(path).size()) / 1e6);
    out("_apps", static_cast<double>(exported));
    // The CSV export's stall is the headline figure, named without the format.
    if (format == ExportFormat::Csv)
        figure("export_max_stall_ms", probe.maxStallMs());
    else
        out("_max_stall_ms", probe.maxStallMs());
    out("_p99_stall_ms", probe.percentileMs(99));
    QFile::remove(path);
    return true;
}

int run(const QString& storePath) {
    auto container = ModelContainer::open(storePath);
    ContentView window(container->mainContext());
    window.resize(1280, 900);
    window.show();
    QElapsedTimer wait;
    wait.start();
    while (!window.appIndex().isReady() && wait.elapsed() < 120'000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QTemporaryDir target;
    ExportController::Options options;
    options.messageBoxes = false;
    ExportController controller(window, options);
    if (!exportOnce(controller, target.filePath(QStringLiteral("apps.csv")), ExportFormat::Csv, "csv") ||
        !exportOnce(controller, target.filePath(QStringLiteral("apps.json")), ExportFormat::Json, "json")) {
        std::fprintf(stderr, "the export failed\n");
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    BenchApplication application(argc, argv);
    BenchSupport::refuseNetwork();
    if (argc != 2 || !QFile::exists(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "usage: bench_export <path/to/caldrin.sqlite>\n");
        return 2;
    }
    BenchSupport::quietTrails();
    try {
        return run(QString::fromLocal8Bit(argv[1]));
    } catch (const StoreError& error) {
        std::fprintf(stderr, "store error: %s\n", qPrintable(error.description()));
        return 1;
    }
}
