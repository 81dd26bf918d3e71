// The desktop notifications: permission and the "new apps" notification.
#include "ConsoleCapture.h"
#include "FakeNotificationServer.h"
#include "NotificationService.h"
#include "PrivateSessionBus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QSignalSpy>
#include <QTest>

namespace {

QCoro::Task<void> storeResult(QCoro::Task<bool> task, std::optional<bool>* result) {
    *result = co_await std::move(task);
}

std::optional<bool> waitForPermission(QCoro::Task<bool> task) {
    std::optional<bool> result;
    auto runner = storeResult(std::move(task), &result);
    (void)QTest::qWaitFor([&] { return result.has_value(); }, 15000);
    return result;
}

} // namespace

class TestNotifications : public QObject {
    Q_OBJECT

private slots:
    void bodies_singularAndPlural_data() {
        QTest::addColumn<qint64>("count");
        QTest::addColumn<QString>("body");
        QTest::newRow("one") << qint64(1) << QStringLiteral("1 new app has been added to your collection");
        QTest::newRow("two") << qint64(2) << QStringLiteral("2 new apps have been added to your collection");
        QTest::newRow("many") << qint64(300)
                              << QStringLiteral("300 new apps have been added to your collection");
    }
    void bodies_singularAndPlural() {
        QFETCH(qint64, count);
        QFETCH(QString, body);
        FakeNotificationServer server;
        QVERIFY(server.start());
        ConsoleCapture console;
        NotificationService::sendNewAppsNotification(count);
        QTRY_COMPARE(server.notifications().size(), 1);
        const auto notification = server.notifications().first();
        QCOMPARE(notification.summary, QStringLiteral("🎉 New Apps Detected!"));
        QCOMPARE(notification.body, body);
        QCOMPARE(notification.replacesId, 0u);
        QCOMPARE(notification.hints.value(QStringLiteral("sound-name")).toString(),
                 QStringLiteral("message-new-instant"));
        // The confirmation says "apps" whatever the count.
        QTRY_COMPARE(console.lines(),
                     QStringList{QStringLiteral("📬 Notification sent: %1 new apps").arg(count)});
    }

    void twoPosts_areTwoNotifications_withFreshIdentifiers() {
        FakeNotificationServer server;
        QVERIFY(server.start());
        ConsoleCapture console;
        NotificationService::sendNewAppsNotification(3);
        NotificationService::sendNewAppsNotification(4);
        QTRY_COMPARE(server.notifications().size(), 2);
        // Both confirmations, so that none arrives during the next test.
        QTRY_COMPARE(console.lines().size(), 2);
        const auto first = server.notifications()[0];
        const auto second = server.notifications()[1];
        QCOMPARE(first.replacesId, 0u);
        QCOMPARE(second.replacesId, 0u);
        const QString firstId = first.hints.value(QStringLiteral("x-caldrin-id")).toString();
        QCOMPARE(firstId.size(), 36);
        QVERIFY(firstId != second.hints.value(QStringLiteral("x-caldrin-id")).toString());
    }

    void permission_followsWhetherAServerAnswers() {
        ConsoleCapture console;
        {
            FakeNotificationServer server;
            QVERIFY(server.start());
            QCOMPARE(waitForPermission(NotificationService::requestPermission()), std::optional<bool>(true));
            QCOMPARE(server.permissionQueries(), 1);
        }
        QCOMPARE(waitForPermission(NotificationService::requestPermission()), std::optional<bool>(false));
        QCOMPARE(console.lines(), (QStringList{QStringLiteral("✅ Notification permission granted"),
                                               QStringLiteral("⚠️ Notification permission denied")}));
    }

    void noSessionBus_isReported_notFatal() {
        QDBusConnection none = QDBusConnection::connectToBus(
            QStringLiteral("unix:path=/nonexistent/caldrin-bus"), QStringLiteral("none"));
        QVERIFY(!none.isConnected());
        ConsoleCapture console;
        QCOMPARE(waitForPermission(NotificationService::requestPermission(none)), std::optional<bool>(false));
        NotificationService::sendNewAppsNotification(2, none);
        QTRY_COMPARE(console.lines().size(), 2);
        QVERIFY(
            console.lines()[0].startsWith(QStringLiteral("❌ Error requesting notification permission: ")));
        QVERIFY(console.lines()[1].startsWith(QStringLiteral("❌ Error sending notification: ")));
    }

    void serverThatVanishes_makesTheNextPostAnError() {
        auto server = std::make_unique<FakeNotificationServer>();
        QVERIFY(server->start());
        ConsoleCapture console;
        NotificationService::sendNewAppsNotification(1);
        QTRY_COMPARE(console.lines().size(), 1);
        server.reset();
        NotificationService::sendNewAppsNotification(1);
        QTRY_COMPARE(console.lines().size(), 2);
        QCOMPARE(console.lines()[0], QStringLiteral("📬 Notification sent: 1 new apps"));
        QVERIFY(console.lines()[1].startsWith(QStringLiteral("❌ Error sending notification: ")));
    }
};

int main(int argc, char* argv[]) {
    PrivateSessionBus bus;
    QCoreApplication application(argc, argv);
    TestNotifications test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_notifications.moc"
