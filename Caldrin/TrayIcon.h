#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class AppCollectorService;
class ContentView;
class QAction;
class QMenu;
class QSystemTrayIcon;

// Caldrin's icon in the desktop's system tray, shown when the desktop has one.
// Its tooltip gives the collector's status and queue lines; its menu shows the
// window, fetches now (enabled as the window's button is), stops or starts
// collecting and quits.
//
// With a tray, closing the window while collection is on only hides it: the
// collector, its queue and its hourly timer go on, and the first time a
// notification says so. Closing it with collection off ends the program, as
// "Quit" does, with every change saved. Without a tray nothing changes:
// closing the window quits.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    using Availability = std::function<bool()>;
    using ShowWindow = std::function<void()>;

    // showWindow brings the window forward ("Show Caldrin", a click on the icon).
    TrayIcon(ContentView& window, ShowWindow showWindow,
             const Availability& isAvailable = systemTrayAvailable, QObject* parent = nullptr);
    ~TrayIcon() override;

    static bool systemTrayAvailable();
    // The settings key that remembers that the hint was given.
    static QString hintShownKey() { return QStringLiteral("trayHintShown"); }

    // False when the desktop had no tray: then the icon does nothing.
    bool isActive() const { return m_icon != nullptr; }
    QSystemTrayIcon* icon() const { return m_icon; }
    QMenu* menu() const { return m_menu.get(); }
    QString toolTip() const;
    QAction* showAction() const { return m_show; }
    QAction* fetchNowAction() const { return m_fetchNow; }
    QAction* startStopAction() const { return m_startStop; }
    QAction* quitAction() const { return m_quit; }

    // Saves every change and the window's state, then ends the program.
    void quit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setCollector(AppCollectorService* collector);
    void refresh();
    void hideToTray();
    // Saves every change and the window's state; from now on closing closes.
    void prepareToQuit();

    ContentView& m_window;
    ShowWindow m_showWindow;
    QPointer<AppCollectorService> m_collector;
    QSystemTrayIcon* m_icon = nullptr;
    std::unique_ptr<QMenu> m_menu;
    QAction* m_show = nullptr;
    QAction* m_fetchNow = nullptr;
    QAction* m_startStop = nullptr;
    QAction* m_quit = nullptr;
    bool m_quitting = false;
    bool m_quitOnLastWindowClosed = true;
};
