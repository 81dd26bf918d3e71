#include "ExportController.h"

#include "AppListModel.h"
#include "Console.h"
#include "ContentView.h"
#include "ModelContext.h"
#include "SqliteDatabase.h"
#include "StoreError.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QtConcurrent/QtConcurrentRun>

namespace {

constexpr int kProgressSteps = 1000;
constexpr std::chrono::milliseconds kPollInterval{100};
// Quick exports finish without a dialog flashing up.
constexpr int kShowProgressAfterMs = 400;

bool onDisplay() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

ExportController::Choice runFileDialog(QWidget* parent, const QString& suggested) {
    QPointer<QFileDialog> dialog = ExportController::makeFileDialog(parent, suggested);
    const bool accepted = dialog->exec() == QDialog::Accepted;
    ExportController::Choice choice;
    if (dialog && accepted && !dialog->selectedFiles().isEmpty())
        choice = {dialog->selectedFiles().constFirst(), dialog->selectedNameFilter()};
    delete dialog;
    return choice;
}

} // namespace

ExportController::Options::Options()
    : messageBoxes(onDisplay()) {}

ExportController::ExportController(ContentView& view, Options options)
    : QObject(&view)
    , m_view(view)
    , m_options(std::move(options)) {
    if (!m_options.saveDialog)
        m_options.saveDialog = runFileDialog;
    connect(&view, &ContentView::exportRequested, this, &ExportController::exportListed);
    connect(&m_watcher, &QFutureWatcher<AppExporter::Result>::finished, this, &ExportController::done);
    m_poll.setInterval(kPollInterval);
    connect(&m_poll, &QTimer::timeout, this, &ExportController::showProgress);
}

ExportController::~ExportController() {
    if (m_control)
        m_control->cancelled.store(true);
    m_watcher.disconnect(this);
    m_watcher.waitForFinished();
}

QString ExportController::suggestedPath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    return QDir(folder).filePath(QStringLiteral("caldrin-apps.csv"));
}

QFileDialog* ExportController::makeFileDialog(QWidget* parent, const QString& suggestedPath) {
    auto* dialog = new QFileDialog(parent, QStringLiteral("Export Apps"), suggestedPath);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilters(ExportFormats::fileFilters());
    const ExportFormat format = ExportFormats::forFile(suggestedPath, QString());
    dialog->selectNameFilter(ExportFormats::fileFilter(format));
    dialog->setDefaultSuffix(ExportFormats::suffix(format).mid(1));
    // A name typed without a suffix gets the chosen format's.
    connect(dialog, &QFileDialog::filterSelected, dialog, [dialog](const QString& filter) {
        dialog->setDefaultSuffix(ExportFormats::suffix(ExportFormats::forFile(QString(), filter)).mid(1));
    });
    return dialog;
}

void ExportController::exportListed() {
    if (isRunning())
        return;
    const Choice choice = m_options.saveDialog(m_view.window(), suggestedPath());
    if (choice.path.isEmpty())
        return;
    const ExportFormat format = ExportFormats::forFile(choice.path, choice.filter);
    start(ExportFormats::withSuffix(choice.path, format), format);
}

bool ExportController::start(const QString& path, ExportFormat format) {
    if (isRunning())
        return false;
    ModelContext& context = m_view.modelContext();
    // The exporter's connection sees only what was saved; what the window
    // shows unsaved (a collector batch under way, say) is saved now.
    if (context.hasChanges()) {
        try {
            context.save();
        } catch (const StoreError& error) {
            Console::print(QStringLiteral("⚠️ The export leaves out unsaved changes: ") +
                           error.description());
        }
    }
    AppExporter::Request request;
    request.databasePath = context.database().path();
    request.targetPath = QFileInfo(path).absoluteFilePath();
    request.format = format;
    request.category = m_view.appList().selectedCategory();
    request.searchText = m_view.appList().searchText();
    m_path = request.targetPath;

    auto control = std::make_shared<AppExporter::Control>();
    m_control = control;
    auto* progress = new QProgressDialog(
        QStringLiteral("Exporting the listed apps to %1…").arg(QFileInfo(path).fileName()),
        QStringLiteral("Cancel"), 0, kProgressSteps, m_view.window());
    progress->setWindowTitle(QStringLiteral("Export Apps"));
    progress->setWindowModality(Qt::WindowModal);
    progress->setAutoReset(false);
    progress->setAutoClose(false);
    progress->setMinimumDuration(kShowProgressAfterMs);
    progress->setValue(0);
    connect(progress, &QProgressDialog::canceled, this, [control] { control->cancelled.store(true); });
    m_progress = progress;
    m_poll.start();
    m_watcher.setFuture(
        QtConcurrent::run([request, control] { return AppExporter::run(request, *control); }));
    return true;
}

void ExportController::showProgress() {
    if (!m_progress || !m_control)
        return;
    const qint64 total = m_control->rowsToRead.load();
    const qint64 read = m_control->rowsRead.load();
    if (total > 0)
        m_progress->setValue(
            static_cast<int>(std::min<qint64>(kProgressSteps, read * kProgressSteps / total)));
}

void ExportController::done() {
    m_poll.stop();
    const AppExporter::Result result = m_watcher.result();
    m_control.reset();
    if (m_progress) {
        m_progress->disconnect(this);
        m_progress->hide();
        m_progress->deleteLater();
    }
    switch (result.outcome) {
    case AppExporter::Result::Outcome::Written:
        Console::print(QStringLiteral("📤 Exported %1 apps to %2").arg(result.exported).arg(m_path));
        break;
    case AppExporter::Result::Outcome::Cancelled:
        Console::print(QStringLiteral("⏹️ Export cancelled: %1 was not written").arg(m_path));
        break;
    case AppExporter::Result::Outcome::Failed:
        reportFailure(result.error);
        break;
    }
    emit finished(result.outcome, result.exported, m_path);
}

void ExportController::reportFailure(const QString& reason) {
    Console::print(QStringLiteral("❌ Export failed: ") + reason);
    if (!m_options.messageBoxes)
        return;
    auto* box =
        new QMessageBox(QMessageBox::Critical, QStringLiteral("Export failed"),
                        QStringLiteral("The apps could not be exported."), QMessageBox::Ok, m_view.window());
    box->setInformativeText(reason);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
