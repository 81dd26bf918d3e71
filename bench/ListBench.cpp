// The real main window on a large store, driven as a person would: typing
// into the search field, clicking categories, loading more, selecting an app.
// Prints one "<figure>: <value>" line per figure:
//   bench_list <path/to/caldrin.sqlite>
// Run under the offscreen platform. The store is changed only for a moment (a
// batch of apps inserted and removed again, one app marked viewed and back).
// Nothing leaves the machine: the collector's store and every image address
// lead to a port on 127.0.0.1 where nothing listens.
//
// Figures of other parts (a collection run against the fake store, for one)
// belong in programs of their own beside this one: scripts/bench runs every
// bench_* program and prints what each prints.
#include "AppIndex.h"
#include "AppListModel.h"
#include "AppModel.h"
#include "BenchApplication.h"
#include "BenchSupport.h"
#include "CategoryListModel.h"
#include "ContentView.h"
#include "LoadMoreRowModel.h"
#include "ModelContainer.h"
#include "ModelContext.h"
#include "StoreError.h"
#include "WebEngineEnvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QNetworkProxy>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

using BenchSupport::figure;
using BenchSupport::msSinceProcessStart;
using BenchSupport::residentMb;

double percentile(std::vector<double> samples, double fraction) {
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const auto index = static_cast<size_t>(fraction * static_cast<double>(samples.size() - 1) + 0.5);
    return samples[std::min(index, samples.size() - 1)];
}

// Sends a key as the keyboard would: press and release, with its text.
void typeKey(QWidget* widget, Qt::Key key, const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(widget, &release);
}

void clickAt(QWidget* widget, const QPoint& position) {
    const QPointF local(position);
    const QPointF global(widget->mapToGlobal(position));
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &release);
}

// Notes when the list has first been painted with rows: the paint is let
// through first, so its cost counts.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(QListView* view)
        : m_view(view) {
        view->viewport()->installEventFilter(this);
    }
    double ms = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint || m_inside || ms >= 0 || !m_view->model() ||
            m_view->model()->rowCount() == 0)
            return false;
        m_inside = true;
        QCoreApplication::sendEvent(watched, event);
        m_inside = false;
        ms = msSinceProcessStart();
        return true;
    }

private:
    QListView* m_view;
    bool m_inside = false;
};

// The window as the user sees it after an action: pending events handled
// (the index's batch, the models' updates), the list column and the category
// list painted again in full.
void settle(ContentView& window) {
    QCoreApplication::processEvents();
    window.findChild<QWidget*>(QStringLiteral("contentColumn"))->repaint();
    window.categoryView()->viewport()->repaint();
}

QSharedPointer<AppModel> benchApp(int i) {
    return BenchSupport::newApp(
        QStringLiteral("bench-%1").arg(i), QStringLiteral("Bench Fresh App %1").arg(i),
        QStringLiteral("com.example.bench%1").arg(i), QStringLiteral("https://apps.example/bench%1").arg(i));
}

double waitForFirstPaint(ContentView& window) {
    FirstPaint firstPaint(window.appListView());
    window.resize(1280, 900);
    window.show();
    QElapsedTimer wait;
    wait.start();
    while (firstPaint.ms < 0 && wait.elapsed() < 60'000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return firstPaint.ms;
}

// Only the first paint, for a start after the page cache was dropped.
int runFirstPaintOnly(const QString& path) {
    auto container = ModelContainer::open(path);
    ContentView window(container->mainContext());
    figure("first_paint_ms", waitForFirstPaint(window));
    return 0;
}

// Drops the page cache: the whole of it when permitted, else the store's own
// files (then the program's libraries stay cached). Returns what was dropped,
// or null when nothing could be.
const char* dropPageCache(const QString& path) {
    ::sync();
    if (QFile control(QStringLiteral("/proc/sys/vm/drop_caches"));
        control.open(QIODevice::WriteOnly) && control.write("1") == 1 && control.flush())
        return "page cache dropped";
    bool any = false;
    for (const QString& file : {path, path + QStringLiteral("-wal"), path + QStringLiteral("-shm")}) {
        const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        any = ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0 || any;
        ::close(fd);
    }
    return any ? "store files dropped from the page cache, libraries not" : nullptr;
}

// A fresh process paints the list after the page cache was dropped.
void measureColdFirstPaint(const QString& path) {
    const char* dropped = dropPageCache(path);
    if (!dropped) {
        BenchSupport::note("first_paint_cold_ms", "not measured (the page cache could not be dropped)");
        return;
    }
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--first-paint-only"), path});
    if (!child.waitForFinished(120'000) || child.exitCode() != 0) {
        BenchSupport::note("first_paint_cold_ms", "not measured (the fresh process failed)");
        return;
    }
    const QByteArray output = child.readAllStandardOutput();
    const qsizetype at = output.indexOf("first_paint_ms: ");
    if (at < 0) {
        BenchSupport::note("first_paint_cold_ms", "not measured (no paint reported)");
        return;
    }
    figure("first_paint_cold_ms", output.mid(at + 16).split('\n').value(0).toDouble());
    BenchSupport::note("first_paint_cold_cache", dropped);
}

int run(const QString& path, double mainMs) {
    auto container = ModelContainer::open(path);
    ModelContext& context = container->mainContext();
    ContentView window(context);
    figure("first_paint_ms", waitForFirstPaint(window));
    // Of which loading the program and its libraries, before main():
    figure("process_start_to_main_ms", mainMs);
    AppListModel& list = window.appList();
    figure("apps", static_cast<double>(list.filteredCount()));

    QElapsedTimer timer;
    timer.start();
    while (!window.appIndex().isReady() && timer.elapsed() < 120'000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    figure("index_ready_ms", msSinceProcessStart());
    settle(window);

    // Realistic queries typed into the search field one character at a time,
    // each followed by a clearing of the field (also a keystroke). Each
    // keystroke updates the rows, the title's count and the load-more row.
    QLineEdit* field = window.searchField();
    const QStringList queries = {QStringLiteral("photo"),
                                 QStringLiteral("Puzzle"),
                                 QStringLiteral("studio"),
                                 QStringLiteral("café"),
                                 QStringLiteral("日記"),
                                 QStringLiteral("pro"),
                                 QStringLiteral("GAME"),
                                 QStringLiteral("müller"),
                                 QStringLiteral("fitness tracker"),
                                 QStringLiteral("zzq"),
                                 QStringLiteral("llc"),
                                 QStringLiteral("the"),
                                 QStringLiteral("Nordlicht"),
                                 QStringLiteral("brain training"),
                                 QStringLiteral("ö")};
    std::vector<double> keystrokes;
    std::vector<double> keystrokesCpu; // the main thread's own processor time
    for (const QString& query : queries) {
        for (const QChar character : query) {
            timer.restart();
            const double cpu = BenchSupport::threadCpuMs();
            typeKey(field, Qt::Key_unknown, QString(character));
            settle(window);
            keystrokes.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            keystrokesCpu.push_back(BenchSupport::threadCpuMs() - cpu);
        }
        field->selectAll();
        timer.restart();
        const double cpu = BenchSupport::threadCpuMs();
        typeKey(field, Qt::Key_Backspace);
        settle(window);
        keystrokes.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        keystrokesCpu.push_back(BenchSupport::threadCpuMs() - cpu);
        if (list.searchText() != QString())
            std::fprintf(stderr, "the search field did not clear\n");
    }
    figure("search_keystroke_p95_ms", percentile(keystrokes, 0.95));
    figure("search_keystroke_max_ms", percentile(keystrokes, 1.0));
    figure("search_keystrokes", static_cast<double>(keystrokes.size()));
    figure("search_keystroke_cpu_p95_ms", percentile(keystrokesCpu, 0.95));
    figure("search_keystroke_cpu_max_ms", percentile(keystrokesCpu, 1.0));

    // The same queries typed at a brisk 12 keys a second with the event loop
    // turning in between, as the window really runs: the longest the main
    // thread is away from its events while someone types.
    {
        QStringList keys;
        for (const QString& query : queries) {
            for (const QChar character : query)
                keys.append(QString(character));
            keys.append(QString()); // select all and erase
        }
        StallProbe probe;
        qsizetype next = 0;
        QTimer typist;
        QObject::connect(&typist, &QTimer::timeout, field, [&] {
            if (next >= keys.size())
                return;
            const QString key = keys.at(next++);
            if (key.isEmpty()) {
                field->selectAll();
                typeKey(field, Qt::Key_Backspace);
            } else {
                typeKey(field, Qt::Key_unknown, key);
            }
        });
        probe.start();
        typist.start(83);
        BenchSupport::waitUntil([&] { return next >= keys.size(); }, 60'000);
        BenchSupport::waitUntil([] { return false; }, 150); // the last key's paint
        probe.stop();
        typist.stop();
        BenchSupport::stallFigures("typing", probe);
    }

    // Every category clicked and back to "All", without and with a search; the
    // badges are painted with the list.
    CategoryListModel& categories = window.categoryList();
    QListView* categoryView = window.categoryView();
    std::vector<double> switches;
    for (const QString& search : {QString(), QStringLiteral("pro")}) {
        field->setText(search);
        settle(window);
        for (int row = 0; row <= categories.rowCount(); ++row) {
            const QModelIndex index = categories.index(row % categories.rowCount());
            categoryView->scrollTo(index);
            QCoreApplication::processEvents();
            timer.restart();
            clickAt(categoryView->viewport(), categoryView->visualRect(index).center());
            settle(window);
            switches.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            if (list.selectedCategory() != categories.categoryAt(index.row()))
                std::fprintf(stderr, "the category click did not choose %s\n",
                             qPrintable(categories.categoryAt(index.row())));
        }
    }
    field->clear();
    settle(window);
    figure("category_switch_ms", percentile(switches, 0.95));
    figure("category_switch_max_ms", percentile(switches, 1.0));

    // Load more, as far as a patient user would, with the row's button.
    timer.restart();
    for (int i = 0; i < 10; ++i) {
        QPushButton* button = window.loadMoreButton();
        if (!button)
            break;
        button->click();
        settle(window);
    }
    figure("load_more_ms", static_cast<double>(timer.nsecsElapsed()) / 1e6 / 10);
    list.setDisplayLimit(AppListModel::kPageSize);
    settle(window);

    // Selecting the top app marks it viewed: save, badges, row.
    AppModel* top = list.recordAt(0);
    const bool topWasViewed = top && top->isViewed();
    if (top) {
        QListView* view = window.appListView();
        view->scrollToTop();
        QCoreApplication::processEvents();
        timer.restart();
        clickAt(view->viewport(), view->visualRect(window.listRows().index(0, 0)).center());
        settle(window);
        figure("mark_viewed_ms", static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }

    // A collector batch: 20 new apps saved at once, shown at the top, taken
    // apart: the inserts (each looks its appleID up), the rows written into
    // the transaction, the commit with its fsync, the list index with the
    // models that follow it, and the repaint.
    QList<QSharedPointer<AppModel>> batch;
    timer.restart();
    QElapsedTimer step;
    double cpu = BenchSupport::threadCpuMs();
    QStringList parts;
    auto stepDone = [&](const char* what) {
        const double now = BenchSupport::threadCpuMs();
        parts.append(QStringLiteral("%1 %2 (cpu %3)")
                         .arg(QLatin1String(what))
                         .arg(static_cast<double>(step.nsecsElapsed()) / 1e6, 0, 'f', 1)
                         .arg(now - cpu, 0, 'f', 1));
        cpu = now;
        step.restart();
    };
    step.start();
    for (int i = 0; i < 20; ++i)
        batch.append(context.insert(benchApp(i)));
    stepDone("inserts");
    context.flush();
    stepDone("rows written");
    context.save();
    stepDone("commit");
    window.appIndex().processPendingChanges();
    stepDone("index and models");
    settle(window);
    stepDone("repaint");
    figure("batch_insert_ms", static_cast<double>(timer.nsecsElapsed()) / 1e6);
    std::printf("batch_insert_breakdown_ms: %s\n", qPrintable(parts.join(QStringLiteral(", "))));
    std::fflush(stdout);

    figure("resident_mb", static_cast<double>(residentMb()));

    // Put the store back as it was.
    window.setSelectedApp({});
    for (const auto& app : batch)
        context.remove(app.data());
    if (top && !topWasViewed)
        top->setIsViewed(false);
    context.save();
    settle(window);
    batch.clear();

    // The baseline: every record materialised, as a load-everything live query
    // (half a minute and 3.7 GB; CALDRIN_BENCH_NO_BASELINE=1 leaves it out).
    timer.restart();
    if (qEnvironmentVariableIsEmpty("CALDRIN_BENCH_NO_BASELINE")) {
        const auto all = context.fetch<AppModel>(FetchDescriptor::sorted("releaseDate", false));
        figure("naive_load_all_ms", static_cast<double>(timer.nsecsElapsed()) / 1e6);
        figure("naive_resident_mb", static_cast<double>(residentMb()));
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    const double mainMs = msSinceProcessStart();
    // The window keeps its size, and the collector its last run, in settings
    // of their own here; the user's stay untouched.
    BenchApplication application(argc, argv);
    BenchSupport::refuseNetwork();
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 3 && arguments.at(1) == QLatin1String("--first-paint-only")) {
        try {
            return runFirstPaintOnly(arguments.at(2));
        } catch (const StoreError& error) {
            std::fprintf(stderr, "store error: %s\n", qPrintable(error.description()));
            return 1;
        }
    }
    if (arguments.size() != 2 || !QFile::exists(arguments.at(1))) {
        std::fprintf(stderr, "usage: bench_list <path/to/caldrin.sqlite>\n");
        return 2;
    }
    try {
        const int status = run(arguments.at(1), mainMs);
        // CALDRIN_BENCH_NO_COLD=1 keeps the page cache, for runs one after another.
        if (status == 0 && qEnvironmentVariableIsEmpty("CALDRIN_BENCH_NO_COLD"))
            measureColdFirstPaint(arguments.at(1));
        return status;
    } catch (const StoreError& error) {
        std::fprintf(stderr, "store error: %s\n", qPrintable(error.description()));
        return 1;
    }
}
