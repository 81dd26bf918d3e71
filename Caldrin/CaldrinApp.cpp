#include "CaldrinApp.h"

#include "Console.h"
#include "ContentView.h"
#include "ExportController.h"
#include "ModelContainer.h"
#include "ModelContext.h"
#include "NewestAppsPresenter.h"
#include "NotificationActions.h"
#include "StoreError.h"

#include <QFile>
#include <QUrl>

CaldrinApp::CaldrinApp(const QString& storePath, QObject* parent)
    : QObject(parent) {
    sharedModelContainer = openStore(storePath.isEmpty() ? ModelContainer::defaultStorePath() : storePath);
}

CaldrinApp::~CaldrinApp() {
    // The window (and the collector it owns) goes before the store, the tray
    // that watches it before the window.
    m_tray.reset();
    m_window.reset();
}

std::unique_ptr<ModelContainer> CaldrinApp::openStore(const QString& path, const FileRemover& removeFile) {
    try {
        auto container = ModelContainer::open(path);
        Console::print(QStringLiteral("✅ ModelContainer created successfully"));
        return container;
    } catch (const StoreError& first) {
        Console::print(QStringLiteral("⚠️ Migration failed, attempting to reset database: ") +
                       first.description());
    }
    (removeFile ? removeFile : removeStoreFiles)(path);
    Console::print(QStringLiteral("🗑️ Removed old database at: ") +
                   QUrl::fromLocalFile(path).toString());
    try {
        auto container = ModelContainer::open(path);
        Console::print(QStringLiteral("✅ Created new ModelContainer after reset"));
        return container;
    } catch (const StoreError& second) {
        Console::fatal(QStringLiteral("Could not create ModelContainer even after reset: ") +
                       second.description());
    }
    return nullptr;
}

void CaldrinApp::removeStoreFiles(const QString& path) {
    // The write-ahead log and its index hold data too: a reset that left them
    // would bring old records back.
    for (const QString& suffix :
         {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")})
        QFile::remove(path + suffix);
}

void CaldrinApp::showWindow() {
    if (!isReady())
        return;
    if (m_window) {
        m_window->show();
        return;
    }
    m_window = std::make_unique<ContentView>(sharedModelContainer->mainContext());
    new ExportController(*m_window); // owned by the window
    setUpDesktopIntegration();
    m_window->show();
}

void CaldrinApp::setUpDesktopIntegration() {
    m_tray = std::make_unique<TrayIcon>(
        *m_window, [this] { raiseWindow(); }, m_trayAvailable);
    // A click on one of our notifications brings the window forward, and for
    // new apps shows them.
    m_notificationActions = std::make_unique<NotificationActions>();
    connect(m_notificationActions.get(), &NotificationActions::activated, this,
            [this](NotificationService::Kind kind) {
                raiseWindow();
                if (kind == NotificationService::Kind::NewApps)
                    NewestAppsPresenter::present(*m_window);
            });
}

void CaldrinApp::raiseWindow() {
    showWindow();
    if (!m_window)
        return;
    if (m_window->isMinimized())
        m_window->showNormal();
    m_window->raise();
    m_window->activateWindow();
}
