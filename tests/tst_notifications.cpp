// The desktop notifications (permission, the "new apps" notification and a
// click on it) and the tray, with Caldrin started as main() starts it, a fake
// notification server on a private bus and a local fake store.
#include "AppCollectorService.h"
#include "AppIndex.h"
#include "AppListModel.h"
#include "AppModel.h"
#include "AsyncTest.h"
#include "CaldrinApp.h"
#include "CategoryListModel.h"
#include "ConsoleCapture.h"
#include "ContentView.h"
#include "FakeNotificationServer.h"
#include "FakeStore.h"
#include "ModelContainer.h"
#include "ModelContext.h"
#include "NotificationService.h"
#include "PrivateSessionBus.h"
#include "SampleApps.h"
#include "StoreDocuments.h"
#include "TrayIcon.h"
#include "UserSettings.h"
#include "WebEngineTestMain.h"
#include "WindowTestKit.h"

#include <QAction>
#include <QDBusConnection>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QScrollBar>
#include <QSystemTrayIcon>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Runs the event loop as main() does, after posting `action`: 0 when the
// program quits, 1 once `until` holds, 2 after 20 s.
int runProgram(const std::function<void()>& action, const std::function<bool()>& until = {}) {
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&until] {
        if (until && until())
            QCoreApplication::exit(1);
    });
    QTimer::singleShot(20000, &poll, [] { QCoreApplication::exit(2); }); // gone with the poll
    QTimer::singleShot(0, action);
    poll.start(20);
    return QApplication::exec();
}

qint64 viewedCount(ModelContext& context) {
    qint64 viewed = 0;
    for (const auto& app : context.fetch<AppModel>())
        viewed += app->isViewed() ? 1 : 0;
    return viewed;
}

} // namespace

class TestNotifications : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FakeStore> m_store;
    std::unique_ptr<FakeNotificationServer> m_server;

    QString storePath() const { return m_dir->filePath(u"caldrin.sqlite"_s); }

    // Caldrin over a store of 60 complete, unviewed apps (even ones "Games",
    // odd ones "Puzzle"), its window shown and its first run (nothing new) over.
    std::unique_ptr<CaldrinApp> startCaldrin(bool trayAvailable) {
        auto caldrin = std::make_unique<CaldrinApp>(storePath());
        if (!caldrin->isReady())
            return nullptr;
        ModelContext& context = caldrin->sharedModelContainer->mainContext();
        const auto traits =
            SampleApps::numbered(u"Match"_s, 60, [](int i) { return i % 2 ? u"Puzzle"_s : u"Games"_s; });
        for (qsizetype i = 0; i < traits.size(); ++i) {
            auto app = SampleApps::make(QString::number(1000 + i), traits.at(i));
            app->setScreenshotURLs(QStringList{m_store->origin() + u"/images/shot.png"_s});
            app->setAppDescription(u"An app."_s);
            app->setDetailsFetched(true);
            context.insert(app);
        }
        context.save();
        caldrin->setTrayAvailability([trayAvailable] { return trayAvailable; });
        caldrin->showWindow();
        ContentView* window = caldrin->window();
        window->resize(1200, 800);
        if (!QTest::qWaitFor(
                [window] {
                    return window->appIndex().isReady() && window->collectorService() &&
                           window->collectorService()->statusMessage().startsWith(u"✓"_s);
                },
                15000))
            qWarning("the window's index or the collector's first run took too long");
        return caldrin;
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_store = std::make_unique<FakeStore>();
        QVERIFY(m_store->listen());
        for (const char* kind : {"newapplications", "newfreeapplications", "newpaidapplications"})
            m_store->setJson(u"/us/rss/%1/limit=100/json"_s.arg(QLatin1String(kind)),
                             StoreDocuments::feedDocument({}));
        qputenv("CALDRIN_STORE_ORIGIN", m_store->origin().toUtf8());
        UserSettings::open().clear();
        m_server = std::make_unique<FakeNotificationServer>();
        QVERIFY(m_server->start());
    }
    void cleanup() {
        m_server.reset();
        m_store.reset();
        m_dir.reset();
    }

    void posts_areFreshNotificationsThatLeadToCaldrin_data() {
        QTest::addColumn<qint64>("count");
        QTest::addColumn<QString>("body");
        QTest::newRow("one") << qint64(1) << u"1 new app has been added to your collection"_s;
        QTest::newRow("many") << qint64(300) << u"300 new apps have been added to your collection"_s;
    }
    void posts_areFreshNotificationsThatLeadToCaldrin() {
        QFETCH(qint64, count);
        QFETCH(QString, body);
        ConsoleCapture console;
        NotificationService::sendNewAppsNotification(count);
        NotificationService::sendNewAppsNotification(count);
        QTRY_COMPARE(m_server->notifications().size(), 2);
        // The confirmation says "apps" whatever the count; waiting for both keeps
        // them out of the next test.
        QTRY_COMPARE(console.lines(), QStringList(2, u"📬 Notification sent: %1 new apps"_s.arg(count)));
        QStringList ids;
        for (const auto& notification : m_server->notifications()) {
            // Summary, body, icon, desktop entry; a click on it is the default action.
            QCOMPARE((QStringList{notification.summary, notification.body, notification.appIcon,
                                  notification.hints.value(u"desktop-entry"_s).toString()} +
                      notification.actions),
                     (QStringList{"🎉 New Apps Detected!", body, "org.caldrin.Caldrin", "org.caldrin.Caldrin",
                                  "default", "Show"}));
            QCOMPARE(notification.replacesId, 0u);
            ids.append(notification.hints.value(u"x-caldrin-id"_s).toString());
        }
        QVERIFY(!ids[0].isEmpty() && ids[0] != ids[1]);
    }

    // Granted while a server answers, denied when none does; no session bus at
    // all is reported, not fatal.
    void permission_followsWhetherAServerAnswers() {
        ConsoleCapture console;
        QVERIFY(AsyncTest::run(NotificationService::requestPermission()));
        QCOMPARE(m_server->permissionQueries(), 1);
        m_server.reset();
        QVERIFY(!AsyncTest::run(NotificationService::requestPermission()));
        NotificationService::sendNewAppsNotification(1);
        QTRY_COMPARE(console.lines().size(), 3);
        QDBusConnection none =
            QDBusConnection::connectToBus(u"unix:path=/nonexistent/caldrin-bus"_s, u"none"_s);
        QVERIFY(!AsyncTest::run(NotificationService::requestPermission(none)));
        QCOMPARE(console.lines().mid(0, 2), (QStringList{u"✅ Notification permission granted"_s,
                                                         u"⚠️ Notification permission denied"_s}));
        QVERIFY(console.lines()[2].startsWith(u"❌ Error sending notification: "_s));
        QVERIFY(console.lines().value(3).startsWith(u"❌ Error requesting notification permission: "_s));
        QCOMPARE(console.lines().size(), 4);
    }

    // A click on the "new apps" notification brings the window with the newest
    // apps in view; clicks that are not on it change nothing.
    void click_showsTheNewestApps_data() {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QString>("category");
        QTest::addColumn<bool>("onFavorites");
        QTest::addColumn<QString>("click"); // ours, other, button, expired
        QTest::addColumn<bool>("shows");
        QTest::newRow("scrolled down, on Favorites") << QString() << u"All"_s << true << u"ours"_s << true;
        QTest::newRow("searched in a category") << u"Match 1"_s << u"Puzzle"_s << false << u"ours"_s << true;
        QTest::newRow("another program's notification")
            << u"Match 1"_s << u"Puzzle"_s << true << u"other"_s << false;
        QTest::newRow("a button, not the notification")
            << u"Match 1"_s << u"Puzzle"_s << true << u"button"_s << false;
        QTest::newRow("after it expired") << u"Match 1"_s << u"Puzzle"_s << true << u"expired"_s << false;
    }
    void click_showsTheNewestApps() {
        QFETCH(QString, search);
        QFETCH(QString, category);
        QFETCH(bool, onFavorites);
        QFETCH(QString, click);
        QFETCH(bool, shows);
        auto caldrin = startCaldrin(false);
        QVERIFY(caldrin);
        ContentView& window = *caldrin->window();
        window.searchField()->setText(search);
        const int row = window.categoryList().rowForCategory(category);
        window.categoryView()->selectionModel()->setCurrentIndex(window.categoryList().index(row),
                                                                 QItemSelectionModel::ClearAndSelect);
        QScrollBar* scroll = window.appListView()->verticalScrollBar();
        if (search.isEmpty()) {
            QTRY_VERIFY(scroll->maximum() > 0);
            window.appListView()->scrollToBottom();
            QVERIFY(scroll->value() > 0);
        }
        if (onFavorites)
            window.setSelectedTab(ContentTab::favorites);
        window.hide();
        ConsoleCapture console;
        NotificationService::sendNewAppsNotification(2);
        QTRY_VERIFY(console.contains(u"📬 Notification sent: 2 new apps"_s));
        const uint id = m_server->notifications().constLast().id;
        if (click == u"expired"_s)
            m_server->expire(id);
        m_server->invokeAction(click == u"other"_s ? id + 100 : id,
                               click == u"button"_s ? u"reply"_s : u"default"_s);
        // The server's signals reach Caldrin in the order sent: once a later
        // notification's answer is in, the click has been handled.
        NotificationService::sendNewAppsNotification(1);
        QTRY_VERIFY(console.contains(u"📬 Notification sent: 1 new apps"_s));

        QCOMPARE(window.isVisible(), shows);
        if (shows) {
            QVERIFY(window.selectedTab() == ContentTab::general && window.selectedCategory() == u"All"_s);
            QCOMPARE(window.categoryView()->selectionModel()->selectedIndexes().value(0).row(),
                     window.categoryList().rowForCategory(u"All"_s));
            QVERIFY(window.searchText().isEmpty() && window.searchField()->text().isEmpty());
            QVERIFY(scroll->value() == 0 && window.appList().rowCount() == 50 && !window.selectedApp());
        } else {
            QVERIFY(window.selectedTab() == (onFavorites ? ContentTab::favorites : ContentTab::general) &&
                    window.searchText() == search && window.selectedCategory() == category);
        }
        QCOMPARE(viewedCount(caldrin->sharedModelContainer->mainContext()), 0);
        QCOMPARE(console.linesStartingWith(u"✅ Marked as viewed"_s), QStringList());
    }

    void trayMenu_followsTheCollector() {
        auto caldrin = startCaldrin(true);
        QVERIFY(caldrin);
        TrayIcon& tray = *caldrin->trayIcon();
        ContentView& window = *caldrin->window();
        AppCollectorService& collector = *window.collectorService();
        QVERIFY(tray.isActive() && !tray.icon()->icon().isNull());
        QCOMPARE(
            WindowTestKit::menuItems(tray.menu()),
            (QStringList{u"Show Caldrin"_s, u"Fetch Now (off)"_s, u"Stop Collecting"_s, u"-"_s, u"Quit"_s}));
        QCOMPARE(tray.icon()->toolTip(),
                 u"Caldrin\nStatus: ✓ Saved 0 new apps, skipped 0 duplicates\nQueue: Queue empty"_s);

        tray.startStopAction()->trigger();
        QVERIFY(!collector.isCollecting());
        QCOMPARE(WindowTestKit::menuItems(tray.menu()),
                 (QStringList{u"Show Caldrin"_s, u"Fetch Now"_s, u"Start Collecting"_s, u"-"_s, u"Quit"_s}));
        QCOMPARE(tray.icon()->toolTip(), u"Caldrin\nStatus: Collection stopped\nQueue: Queue empty"_s);

        ConsoleCapture console;
        tray.fetchNowAction()->trigger();
        QTRY_VERIFY(console.contains(u"📦 Processing 0 apps in 0 batches of 20"_s));
        QTRY_VERIFY(tray.icon()->toolTip().contains(u"Status: ✓ Saved 0 new apps"_s));

        window.hide();
        tray.showAction()->trigger();
        QVERIFY(window.isVisible());
        tray.startStopAction()->trigger();
        QVERIFY(collector.isCollecting() && !tray.fetchNowAction()->isEnabled());
        QCOMPARE(tray.startStopAction()->text(), u"Stop Collecting"_s);
    }

    // With a tray, closing the window while collecting hides it and collection
    // goes on; closing it with collection off, or Quit in the tray's menu, ends
    // the program with every change saved. Without a tray closing ends it.
    void closingTheWindow_data() {
        QTest::addColumn<bool>("tray");
        QTest::addColumn<bool>("collecting");
        QTest::addColumn<bool>("byQuit");
        QTest::addColumn<bool>("quits");
        QTest::newRow("tray, collecting: hides") << true << true << false << false;
        QTest::newRow("tray, collection off: quits") << true << false << false << true;
        QTest::newRow("tray: Quit in its menu") << true << true << true << true;
        QTest::newRow("no tray: quits") << false << true << false << true;
    }
    void closingTheWindow() {
        QFETCH(bool, tray);
        QFETCH(bool, collecting);
        QFETCH(bool, byQuit);
        QFETCH(bool, quits);
        auto caldrin = startCaldrin(tray);
        QVERIFY(caldrin);
        ContentView& window = *caldrin->window();
        AppCollectorService& collector = *window.collectorService();
        QCOMPARE(caldrin->trayIcon()->isActive(), tray);
        if (!collecting)
            collector.stopCollecting();
        // A change made a moment before the end, not saved yet.
        ModelContext& context = caldrin->sharedModelContainer->mainContext();
        context.fetch<AppModel>().constFirst()->setIsViewed(true);

        ConsoleCapture console;
        const auto end = [&] {
            if (byQuit)
                caldrin->trayIcon()->quitAction()->trigger();
            else
                window.close();
            console.clear();
            // The hourly timer, made quick: a run after the window went.
            if (collector.timer())
                collector.timer()->setInterval(50);
        };
        const auto collectedSince = [&] {
            return console.contains(u"📦 Processing 0 apps in 0 batches of 20"_s);
        };
        QVERIFY(runProgram(end, collectedSince) == (quits ? 0 : 1) && !window.isVisible());

        const auto hints = [this] {
            qsizetype count = 0;
            for (const auto& notification : m_server->notifications())
                count += notification.summary == NotificationService::keepsCollectingTitle() ? 1 : 0;
            return count;
        };
        if (!quits) {
            QTRY_COMPARE(hints(), 1);
            QVERIFY(UserSettings::open().value(TrayIcon::hintShownKey()).toBool());
            // The second time, no hint.
            caldrin->raiseWindow();
            QVERIFY(window.isVisible());
            window.close();
            QVERIFY(!window.isVisible());
        }
        // Once a later notification is in, any hint would be too.
        NotificationService::sendNewAppsNotification(1);
        QTRY_VERIFY(console.contains(u"📬 Notification sent: 1 new apps"_s));
        QCOMPARE(hints(), quits ? 0 : 1);
        if (tray && quits) {
            auto reader = ModelContainer::open(storePath());
            QCOMPARE(viewedCount(reader->mainContext()), 1);
        }
    }
};

CALDRIN_WEBENGINE_TEST_MAIN_AFTER(TestNotifications, PrivateSessionBus bus)
#include "tst_notifications.moc"
