// The main window's list, counts and search on a large store. Prints one
// "<figure>: <value>" line per figure:
//   bench_list <path/to/caldrin.sqlite>
// Run under the offscreen platform. The store is changed only for a moment (a
// batch of apps inserted and removed again, one app marked viewed and back).
//
// Figures of other parts (a collection run against the fake store, for one)
// belong in programs of their own beside this one: scripts/bench runs every
// bench_* program and prints what each prints.
#include "AppIndex.h"
#include "AppListModel.h"
#include "AppModel.h"
#include "CategoryListModel.h"
#include "ModelContainer.h"
#include "ModelContext.h"
#include "StoreError.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QListView>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

// Milliseconds since the kernel started this process, so that loading the
// program and its libraries counts too.
double msSinceProcessStart() {
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // Fields after the command name, which is in parentheses and may hold spaces.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double startTicks = fields.value(19).toDouble(); // field 22, starttime
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double nowMs = static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
    return nowMs - startTicks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

qint64 residentMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() / 1024;
    }
    return -1;
}

void figure(const char* name, double value) {
    std::printf("%s: %.0f\n", name, value);
    std::fflush(stdout);
}

double percentile(std::vector<double> samples, double fraction) {
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const auto index = static_cast<size_t>(fraction * static_cast<double>(samples.size() - 1) + 0.5);
    return samples[std::min(index, samples.size() - 1)];
}

// A row as the window's delegate would draw it, reading the record.
class RowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const auto* app = index.data(AppListModel::RecordRole).value<AppModel*>();
        if (!app)
            return;
        painter->drawText(option.rect.adjusted(8, 4, -8, -28), app->name());
        painter->drawText(option.rect.adjusted(8, 24, -8, -8), app->developerName() + QStringLiteral(" · ") +
                                                                   app->category() + QStringLiteral(" · ") +
                                                                   app->releaseDateString());
    }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override { return {380, 56}; }
};

class ListView : public QListView {
public:
    double firstPaintMs = -1;

protected:
    void paintEvent(QPaintEvent* event) override {
        QListView::paintEvent(event);
        if (firstPaintMs < 0 && model() && model()->rowCount() > 0)
            firstPaintMs = msSinceProcessStart();
    }
};

void settle(QListView& view) {
    QCoreApplication::processEvents();
    view.viewport()->repaint();
}

QSharedPointer<AppModel> benchApp(int i) {
    auto app = QSharedPointer<AppModel>::create();
    app->setAppleID(QStringLiteral("bench-%1").arg(i));
    app->setName(QStringLiteral("Bench Fresh App %1").arg(i));
    app->setBundleID(QStringLiteral("com.example.bench%1").arg(i));
    app->setDeveloperName(QStringLiteral("Bench Labs"));
    app->setAppStoreURL(QStringLiteral("https://apps.example/bench%1").arg(i));
    app->setCurrency(QStringLiteral("USD"));
    app->setPriceLabel(QStringLiteral("Get"));
    app->setCategory(QStringLiteral("Games"));
    app->setCategoryID(QStringLiteral("6014"));
    app->setReleaseDate(QDateTime::currentDateTimeUtc());
    app->setFetchedAt(QDateTime::currentDateTimeUtc());
    return app;
}

int run(const QString& path, double mainMs) {
    auto container = ModelContainer::open(path);
    ModelContext& context = container->mainContext();
    AppIndex index(context);
    AppListModel list(index);
    CategoryListModel categories(index);

    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* categoryView = new QListView(&window);
    categoryView->setModel(&categories);
    categoryView->setFixedWidth(250);
    auto* view = new ListView;
    view->setUniformItemSizes(true);
    view->setItemDelegate(new RowDelegate(view));
    view->setModel(&list);
    layout->addWidget(categoryView);
    layout->addWidget(view);
    window.resize(700, 900);
    window.show();
    QElapsedTimer wait;
    wait.start();
    while (view->firstPaintMs < 0 && wait.elapsed() < 60'000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    figure("first_paint_ms", view->firstPaintMs);
    // Of which loading the program and its libraries, before main():
    figure("process_start_to_main_ms", mainMs);
    figure("apps", static_cast<double>(list.filteredCount()));

    QElapsedTimer timer;
    timer.start();
    while (!index.isReady() && timer.elapsed() < 120'000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    figure("index_ready_ms", msSinceProcessStart());
    settle(*view);

    // Realistic queries typed one character at a time, each followed by a
    // clearing of the field (also a keystroke).
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
    for (const QString& query : queries) {
        for (qsizetype length = 1; length <= query.size(); ++length) {
            timer.restart();
            list.setSearchText(query.left(length));
            settle(*view);
            keystrokes.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        }
        timer.restart();
        list.setSearchText(QString());
        settle(*view);
        keystrokes.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    figure("search_keystroke_p95_ms", percentile(keystrokes, 0.95));
    figure("search_keystroke_max_ms", percentile(keystrokes, 1.0));
    figure("search_keystrokes", static_cast<double>(keystrokes.size()));

    // Every category and back to "All", without and with a search.
    std::vector<double> switches;
    for (const QString& search : {QString(), QStringLiteral("pro")}) {
        list.setSearchText(search);
        settle(*view);
        for (int row = 0; row <= categories.rowCount(); ++row) {
            const QString category = categories.categoryAt(row % categories.rowCount());
            timer.restart();
            list.setSelectedCategory(category);
            qint64 badges = 0;
            for (int r = 0; r < categories.rowCount(); ++r)
                badges += categories.index(r).data(CategoryListModel::UnviewedCountRole).toLongLong();
            settle(*view);
            categoryView->viewport()->repaint();
            switches.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            Q_UNUSED(badges);
        }
    }
    list.setSearchText(QString());
    list.setSelectedCategory(AppIndex::allCategories());
    settle(*view);
    figure("category_switch_ms", percentile(switches, 0.95));
    figure("category_switch_max_ms", percentile(switches, 1.0));

    // Load more, as far as a patient user would.
    timer.restart();
    for (int i = 0; i < 10; ++i) {
        list.loadMore();
        settle(*view);
    }
    figure("load_more_ms", static_cast<double>(timer.nsecsElapsed()) / 1e6 / 10);
    list.setDisplayLimit(AppListModel::kPageSize);

    // Marking the top app viewed, as selecting it does: save, badges, row.
    AppModel* top = list.recordAt(0);
    const bool topWasViewed = top && top->isViewed();
    if (top && !topWasViewed) {
        timer.restart();
        top->setIsViewed(true);
        context.save();
        index.processPendingChanges();
        settle(*view);
        categoryView->viewport()->repaint();
        figure("mark_viewed_ms", static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }

    // A collector batch: 20 new apps saved at once, shown at the top.
    QList<QSharedPointer<AppModel>> batch;
    timer.restart();
    for (int i = 0; i < 20; ++i)
        batch.append(context.insert(benchApp(i)));
    context.save();
    index.processPendingChanges();
    settle(*view);
    figure("batch_insert_ms", static_cast<double>(timer.nsecsElapsed()) / 1e6);

    figure("resident_mb", static_cast<double>(residentMb()));

    // Put the store back as it was.
    for (const auto& app : batch)
        context.remove(app.data());
    if (top && !topWasViewed)
        top->setIsViewed(false);
    context.save();
    index.processPendingChanges();
    batch.clear();

    // The baseline: every record materialised, as a load-everything live query.
    timer.restart();
    {
        const auto all = context.fetch<AppModel>(FetchDescriptor::sorted("releaseDate", false));
        figure("naive_load_all_ms", static_cast<double>(timer.nsecsElapsed()) / 1e6);
        figure("naive_resident_mb", static_cast<double>(residentMb()));
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    const double mainMs = msSinceProcessStart();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2 || !QFile::exists(arguments.at(1))) {
        std::fprintf(stderr, "usage: bench_list <path/to/caldrin.sqlite>\n");
        return 2;
    }
    try {
        return run(arguments.at(1), mainMs);
    } catch (const StoreError& error) {
        std::fprintf(stderr, "store error: %s\n", qPrintable(error.description()));
        return 1;
    }
}
