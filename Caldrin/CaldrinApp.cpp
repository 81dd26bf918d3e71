#include "CaldrinApp.h"

#include "AppCollectorService.h"
#include "Console.h"
#include "ModelContainer.h"
#include "ModelContext.h"
#include "StoreError.h"

#include <QFile>
#include <QLabel>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

CaldrinApp::CaldrinApp(const QString& storePath, QObject* parent)
    : QObject(parent) {
    sharedModelContainer = openStore(storePath.isEmpty() ? ModelContainer::defaultStorePath() : storePath);
}

CaldrinApp::~CaldrinApp() {
    m_window.reset();
    m_collector.reset();
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
    auto window = std::make_unique<QWidget>();
    window->setWindowTitle(QStringLiteral("Caldrin"));
    auto* layout = new QVBoxLayout(window.get());
    auto* label = new QLabel(QStringLiteral("Caldrin is keeping track of new iOS apps."), window.get());
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
    window->resize(640, 400);
    window->show();
    m_window = std::move(window);
    m_collector = std::make_unique<AppCollectorService>(sharedModelContainer->mainContext());
    m_collector->startCollecting();
}
