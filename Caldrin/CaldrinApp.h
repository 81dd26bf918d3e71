#pragma once

#include "TrayIcon.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class ContentView;
class ModelContainer;
class NotificationActions;

// The application's entry type: opens the store once, before any window, with
// one reset and retry when it cannot be opened, then shows the window. The
// window starts the collector.
class CaldrinApp : public QObject {
    Q_OBJECT
public:
    // Opens the store at storePath (the default location when empty).
    explicit CaldrinApp(const QString& storePath = QString(), QObject* parent = nullptr);
    ~CaldrinApp() override;

    // False after the fatal stop: the store could not be opened even after reset.
    bool isReady() const { return sharedModelContainer != nullptr; }
    // Shows the one window, whose content is the ContentView over the store.
    void showWindow();
    // Shows the window (also when hidden or minimised), raises it and asks the
    // window manager to activate it: a second start, the tray and a click on a
    // notification all bring the one window forward this way.
    void raiseWindow();
    ContentView* window() const { return m_window.get(); }
    // The tray icon, made with the window (inactive when the desktop has no
    // tray); tests say beforehand whether there is one.
    TrayIcon* trayIcon() const { return m_tray.get(); }
    void setTrayAvailability(TrayIcon::Availability isAvailable) { m_trayAvailable = std::move(isAvailable); }

    // The opening road with its console lines. removeFile deletes the store file
    // and its companions; a failure to delete is ignored. Returns null after
    // printing the fatal message.
    using FileRemover = std::function<void(const QString& path)>;
    static std::unique_ptr<ModelContainer> openStore(const QString& path, const FileRemover& removeFile = {});
    static void removeStoreFiles(const QString& path);

    std::unique_ptr<ModelContainer> sharedModelContainer;

private:
    void setUpDesktopIntegration();

    std::unique_ptr<NotificationActions> m_notificationActions;
    std::unique_ptr<ContentView> m_window;
    TrayIcon::Availability m_trayAvailable = TrayIcon::systemTrayAvailable;
    std::unique_ptr<TrayIcon> m_tray;
};
