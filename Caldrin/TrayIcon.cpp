#include "TrayIcon.h"

#include "AppCollectorService.h"
#include "CollectorBox.h"
#include "Console.h"
#include "ContentView.h"
#include "DetailsFetchQueue.h"
#include "ErrorText.h"
#include "ModelContext.h"
#include "NotificationService.h"
#include "SymbolTable.h"
#include "UserSettings.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>

namespace {

QIcon applicationIcon() {
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull())
        icon = QIcon::fromTheme(NotificationService::applicationId(),
                                SymbolTable::icon(QStringLiteral("app.badge")));
    return icon;
}

} // namespace

TrayIcon::TrayIcon(ContentView& window, ShowWindow showWindow, const Availability& isAvailable,
                   QObject* parent)
    : QObject(parent)
    , m_window(window)
    , m_showWindow(std::move(showWindow)) {
    if (!isAvailable())
        return;
    m_menu = std::make_unique<QMenu>();
    m_menu->setObjectName(QStringLiteral("trayMenu"));
    m_show = m_menu->addAction(QStringLiteral("Show Caldrin"), this, [this] { m_showWindow(); });
    m_fetchNow = m_menu->addAction(QStringLiteral("Fetch Now"), this, [this] {
        if (m_collector && m_fetchNow->isEnabled())
            CollectorBox::startFetch(*m_collector);
    });
    m_startStop = m_menu->addAction(QStringLiteral("Start Collecting"), this, [this] {
        if (m_collector)
            CollectorBox::startOrStop(*m_collector);
    });
    m_menu->addSeparator();
    m_quit = m_menu->addAction(QStringLiteral("Quit"), this, &TrayIcon::quit);

    m_icon = new QSystemTrayIcon(applicationIcon(), this);
    m_icon->setContextMenu(m_menu.get());
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            m_showWindow();
    });

    // The window's closing goes through here now: a hidden window is no
    // reason to quit; the program ends by quit().
    m_quitOnLastWindowClosed = QApplication::quitOnLastWindowClosed();
    QApplication::setQuitOnLastWindowClosed(false);
    m_window.installEventFilter(this);
    // The session is ending: it closes the window and must not be refused.
    connect(qApp, &QGuiApplication::commitDataRequest, this, &TrayIcon::prepareToQuit);

    connect(&m_window, &ContentView::collectorCreated, this, &TrayIcon::setCollector);
    setCollector(m_window.collectorService());
    m_icon->show();
}

TrayIcon::~TrayIcon() {
    if (!m_icon)
        return;
    m_window.removeEventFilter(this);
    QApplication::setQuitOnLastWindowClosed(m_quitOnLastWindowClosed);
}

bool TrayIcon::systemTrayAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::setCollector(AppCollectorService* collector) {
    if (m_collector)
        disconnect(m_collector, nullptr, this, nullptr);
    m_collector = collector;
    if (collector) {
        // After the window's collector box (connected first), whose texts the tooltip repeats.
        connect(collector, &AppCollectorService::changed, this, &TrayIcon::refresh);
        connect(&collector->detailsQueue(), &DetailsFetchQueue::changed, this, &TrayIcon::refresh);
    }
    refresh();
}

QString TrayIcon::toolTip() const {
    const CollectorBox* box = m_window.collectorBox();
    if (!m_collector || !box)
        return QStringLiteral("Caldrin");
    return QStringLiteral("Caldrin\n") + box->statusText() + QLatin1Char('\n') + box->queueText();
}

void TrayIcon::refresh() {
    if (!m_icon)
        return;
    const bool collecting = m_collector && m_collector->isCollecting();
    m_startStop->setText(collecting ? QStringLiteral("Stop Collecting") : QStringLiteral("Start Collecting"));
    m_startStop->setEnabled(m_collector);
    const QPushButton* fetchNow =
        m_window.collectorBox() ? m_window.collectorBox()->fetchNowButton() : nullptr;
    m_fetchNow->setEnabled(m_collector && fetchNow && fetchNow->isEnabled());
    m_icon->setToolTip(toolTip());
}

bool TrayIcon::eventFilter(QObject* watched, QEvent* event) {
    // While quitting, the application closes its windows: let them close.
    if (watched == &m_window && event->type() == QEvent::Close && !m_quitting) {
        if (m_collector && m_collector->isCollecting()) {
            event->ignore();
            hideToTray();
            return true;
        }
        // Nothing to collect in the background: closing ends the program.
        QMetaObject::invokeMethod(this, &TrayIcon::quit, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

void TrayIcon::hideToTray() {
    m_window.saveWindowState();
    m_window.hide();
    QSettings settings = UserSettings::open();
    if (settings.value(hintShownKey()).toBool())
        return;
    settings.setValue(hintShownKey(), true);
    settings.sync();
    NotificationService::sendKeepsCollectingNotification();
}

void TrayIcon::prepareToQuit() {
    try {
        m_window.modelContext().save();
    } catch (const std::exception& error) {
        Console::print(QStringLiteral("❌ Error saving before quitting: ") + ErrorText::describe(error));
    }
    m_window.saveWindowState();
    m_quitting = true;
}

void TrayIcon::quit() {
    prepareToQuit();
    QCoreApplication::quit();
}
