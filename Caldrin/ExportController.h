#pragma once

#include "AppExporter.h"
#include "ExportFormat.h"

#include <QFutureWatcher>
#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class ContentView;
class QFileDialog;
class QWidget;

// The window's "Export…": asks where to, makes sure pending changes are saved
// (the export reads the store on a connection of its own, which sees only what
// was saved), runs the exporter on a worker thread with a progress dialog whose
// Cancel stops it, and tells how it went on the console and, on a display, in a
// message box when it failed.
class ExportController : public QObject {
    Q_OBJECT
public:
    // The file the user chose and the filter chosen with it; an empty path when
    // the dialog was cancelled.
    struct Choice {
        QString path;
        QString filter;
    };
    using SaveDialog = std::function<Choice(QWidget* parent, const QString& suggestedPath)>;

    struct Options {
        SaveDialog saveDialog; // empty: the file dialog of makeFileDialog()
        bool messageBoxes;     // failures also in a message box; by default when on a display
        Options();
    };

    // Follows the window's exportRequested() and exports its list.
    explicit ExportController(ContentView& view, Options options = Options());
    // Cancels a running export and waits for it, so no half file stays behind.
    ~ExportController() override;

    // Asks for a file, then starts the export; does nothing while one runs.
    void exportListed();
    // Starts exporting what the list matches now; false while one runs.
    bool start(const QString& path, ExportFormat format);
    bool isRunning() const { return m_control != nullptr; }
    // The progress dialog of the running export, or null.
    QProgressDialog* progressDialog() const { return m_progress; }

    // The save dialog offered for an export, not yet shown.
    static QFileDialog* makeFileDialog(QWidget* parent, const QString& suggestedPath);
    static QString suggestedPath();

signals:
    void finished(AppExporter::Result::Outcome outcome, qint64 exported, const QString& path);

private:
    void showProgress();
    void done();
    void reportFailure(const QString& reason);

    ContentView& m_view;
    Options m_options;
    QString m_path;
    std::shared_ptr<AppExporter::Control> m_control;
    QFutureWatcher<AppExporter::Result> m_watcher;
    QPointer<QProgressDialog> m_progress;
    QTimer m_poll;
};
