#include "CaldrinApp.h"

#include "Console.h"
#include "ContentView.h"
#include "DamagedStoreCopies.h"
#include "ExportController.h"
#include "ModelContainer.h"
#include "ModelContext.h"
#include "NewestAppsPresenter.h"
#include "NotificationActions.h"
#include "StartupAlert.h"
#include "StoreError.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <optional>

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

std::unique_ptr<ModelContainer> CaldrinApp::openStore(const QString& path) {
    // The store stays as it is (or as the reset left it) and Caldrin stops.
    const auto stop = [&path](const StoreError& error, bool afterReset) {
        Console::fatal(QStringLiteral("Could not create ModelContainer even after reset: ") +
                       error.description());
        StartupAlert::showStoreFatal(error.description(), path, afterReset);
    };
    std::optional<StoreError> first;
    try {
        auto container = ModelContainer::open(path);
        Console::print(QStringLiteral("✅ ModelContainer created successfully"));
        return container;
    } catch (const StoreError& error) {
        Console::print(QStringLiteral("⚠️ Migration failed, attempting to reset database: ") +
                       error.description());
        first = error;
    }
    // A lock, a permission or a full disk says nothing about the file: replacing
    // it would throw away a good store.
    if (!first->isDamagedFile()) {
        stop(*first, false);
        return nullptr;
    }
    QString copy;
    try {
        copy = DamagedStoreCopies::keep(path);
    } catch (const StoreError& error) {
        stop(error, false);
        return nullptr;
    }
    if (!copy.isEmpty())
        Console::print(QStringLiteral("📦 Kept a copy of the damaged database at: ") +
                       QDir::toNativeSeparators(copy));
    DamagedStoreCopies::prune(path);
    Console::print(QStringLiteral("🗑️ Removed old database at: ") +
                   QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded));
    try {
        auto container = ModelContainer::open(path);
        Console::print(QStringLiteral("✅ Created new ModelContainer after reset"));
        StartupAlert::showReset(first->description(), copy);
        return container;
    } catch (const StoreError& second) {
        stop(second, true);
    }
    return nullptr;
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
