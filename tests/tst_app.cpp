// The real executable, started as a person would start it.
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestApp : public QObject {
    Q_OBJECT

private:
    static QProcessEnvironment environmentFor(const QTemporaryDir& home) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // No store is reachable from a test: keep the collector off the network.
        environment.insert(QStringLiteral("CALDRIN_STORE_ORIGIN"), QStringLiteral("http://127.0.0.1:9"));
        return environment;
    }

private slots:
    void firstStart_createsTheStoreAndRuns() {
        QTemporaryDir home;
        QProcess caldrin;
        caldrin.setProcessEnvironment(environmentFor(home));
        caldrin.start(QStringLiteral(CALDRIN_EXECUTABLE), {});
        QVERIFY(caldrin.waitForStarted());
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += caldrin.readAllStandardOutput()).contains("\n") ||
                                     caldrin.state() == QProcess::NotRunning,
                                 20000);
        QVERIFY2(caldrin.state() == QProcess::Running, caldrin.readAllStandardError().constData());
        QCOMPARE(output.split('\n').first(), QByteArray("✅ ModelContainer created successfully"));
        QVERIFY(QFile::exists(home.filePath(QStringLiteral("data/Caldrin/caldrin.sqlite"))));
        caldrin.terminate();
        QVERIFY(caldrin.waitForFinished(10000));
    }

    void storeThatCannotBeOpenedTwice_stopsWithoutWindow() {
        QTemporaryDir home;
        // A directory where the database file belongs: it can be neither opened nor deleted.
        QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("data/Caldrin/caldrin.sqlite/inside"))));
        QProcess caldrin;
        caldrin.setProcessEnvironment(environmentFor(home));
        caldrin.start(QStringLiteral(CALDRIN_EXECUTABLE), {});
        QVERIFY(caldrin.waitForFinished(20000));
        QCOMPARE(caldrin.exitStatus(), QProcess::NormalExit);
        QCOMPARE(caldrin.exitCode(), 1);
        const QList<QByteArray> lines = caldrin.readAllStandardOutput().trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].startsWith("⚠️ Migration failed, attempting to reset database: "));
        QVERIFY(lines[1].startsWith("🗑️ Removed old database at: file://"));
        QVERIFY(
            caldrin.readAllStandardError().contains("Could not create ModelContainer even after reset: "));
    }
};

QTEST_GUILESS_MAIN(TestApp)
#include "tst_app.moc"
