// The desktop notifications: permission and the "new apps" notification.
#include "AsyncTest.h"
#include "ConsoleCapture.h"
#include "FakeNotificationServer.h"
#include "NotificationService.h"
#include "PrivateSessionBus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QTest>

class TestNotifications : public QObject {
    Q_OBJECT

private slots:
    void posts_areFreshNotificationsWithTheCountInWords_data() {
        QTest::addColumn<qint64>("count");
        QTest::addColumn<QString>("body");
        QTest::newRow("one") << qint64(1) << QStringLiteral("1 new app has been added to your collection");
        QTest::newRow("many") << qint64(300)
                              << QStringLiteral("300 new apps have been added to your collection");
    }
    void posts_areFreshNotificationsWithTheCountInWords() {
        QFETCH(qint64, count);
        QFETCH(QString, body);
        FakeNotificationServer server;
        QVERIFY(server.start());
        ConsoleCapture console;
        NotificationService::sendNewAppsNotification(count);
        NotificationService::sendNewAppsNotification(count);
        QTRY_COMPARE(server.notifications().size(), 2);
        // The confirmation says "apps" whatever the count; waiting for both keeps
        // them out of the next test.
        QTRY_COMPARE(console.lines(),
                     QStringList(2, QStringLiteral("📬 Notification sent: %1 new apps").arg(count)));
        QStringList ids;
        for (const auto& notification : server.notifications()) {
            QCOMPARE(notification.summary, QStringLiteral("🎉 New Apps Detected!"));
            QCOMPARE(notification.body, body);
            QCOMPARE(notification.replacesId, 0u);
            ids.append(notification.hints.value(QStringLiteral("x-caldrin-id")).toString());
        }
        QVERIFY(!ids[0].isEmpty() && ids[0] != ids[1]);
    }

    void permission_followsWhetherAServerAnswers() {
        ConsoleCapture console;
        {
            FakeNotificationServer server;
            QVERIFY(server.start());
            QVERIFY(AsyncTest::run(NotificationService::requestPermission()));
            QCOMPARE(server.permissionQueries(), 1);
        }
        QVERIFY(!AsyncTest::run(NotificationService::requestPermission()));
        NotificationService::sendNewAppsNotification(1);
        QTRY_COMPARE(console.lines().size(), 3);
        QCOMPARE(console.lines().mid(0, 2),
                 (QStringList{QStringLiteral("✅ Notification permission granted"),
                              QStringLiteral("⚠️ Notification permission denied")}));
        QVERIFY(console.lines()[2].startsWith(QStringLiteral("❌ Error sending notification: ")));
    }

    void noSessionBus_isReported_notFatal() {
        QDBusConnection none = QDBusConnection::connectToBus(
            QStringLiteral("unix:path=/nonexistent/caldrin-bus"), QStringLiteral("none"));
        QVERIFY(!none.isConnected());
        ConsoleCapture console;
        QVERIFY(!AsyncTest::run(NotificationService::requestPermission(none)));
        QCOMPARE(console.lines().size(), 1);
        QVERIFY(
            console.lines()[0].startsWith(QStringLiteral("❌ Error requesting notification permission: ")));
    }
};

int main(int argc, char* argv[]) {
    PrivateSessionBus bus;
    QCoreApplication application(argc, argv);
    TestNotifications test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_notifications.moc"
