// The real executable, started as a person would start it.
#include "FakeStore.h"
#include "InstanceGuard.h"
#include "StoreDocuments.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <signal.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray kStoreOpened = "✅ ModelContainer created successfully";
const QByteArray kForwarded = "🪟 Caldrin is already running: brought its window forward";
const QByteArray kRaised = "🪟 Another start of Caldrin: bringing the window forward";

// One started caldrin with everything it printed so far.
struct Run {
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    QByteArray output;
    QByteArray errors;

    bool waitForLine(const QByteArray& line, int timeoutMs = 30000) {
        return QTest::qWaitFor(
                   [&] {
                       output += process->readAllStandardOutput();
                       errors += process->readAllStandardError();
                       return output.split('\n').contains(line) || process->state() == QProcess::NotRunning;
                   },
                   timeoutMs) &&
               output.split('\n').contains(line);
    }
    void finish() {
        if (process->state() != QProcess::NotRunning) {
            process->terminate();
            process->waitForFinished(10000);
        }
        output += process->readAllStandardOutput();
        errors += process->readAllStandardError();
    }
    ~Run() { finish(); }
};

} // namespace

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

    static std::unique_ptr<Run> start(const QProcessEnvironment& environment,
                                      const QStringList& arguments = {}) {
        auto run = std::make_unique<Run>();
        run->process->setProcessEnvironment(environment);
        run->process->start(QStringLiteral(CALDRIN_EXECUTABLE), arguments);
        return run;
    }

private slots:
    void firstStart_createsTheStoreAndRuns() {
        QTemporaryDir home;
        const auto caldrin = start(environmentFor(home));
        QVERIFY2(caldrin->waitForLine(kStoreOpened, 20000), caldrin->errors.constData());
        QCOMPARE(caldrin->output.split('\n').first(), kStoreOpened);
        QVERIFY(QFile::exists(home.filePath(QStringLiteral("data/Caldrin/caldrin.sqlite"))));
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

    // One Caldrin per data folder: on the session bus, or on a local socket in
    // the runtime folder when there is no bus.
    void secondStart_oneCaldrinPerDataFolder_data() {
        QTest::addColumn<bool>("sessionBus");
        QTest::addColumn<bool>("sameFolder");
        QTest::addColumn<bool>("firstKilled");
        QTest::newRow("bus, same folder: raises the first") << true << true << false;
        QTest::newRow("bus, other folder: both run") << true << false << false;
        QTest::newRow("bus, first killed: second runs") << true << true << true;
        QTest::newRow("socket, same folder: raises the first") << false << true << false;
        QTest::newRow("socket, other folder: both run") << false << false << false;
        QTest::newRow("socket, first killed: stale socket taken over") << false << true << true;
    }
    void secondStart_oneCaldrinPerDataFolder() {
        QFETCH(bool, sessionBus);
        QFETCH(bool, sameFolder);
        QFETCH(bool, firstKilled);
        if (sessionBus && !QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus (scripts/test gives the tests one)");

        QTemporaryDir home;
        QTemporaryDir otherHome;
        QTemporaryDir runtime;
        QFile::setPermissions(runtime.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        auto environment = [&](const QTemporaryDir& folder) {
            QProcessEnvironment result = environmentFor(folder);
            result.insert(u"XDG_RUNTIME_DIR"_s, runtime.path());
            if (!sessionBus)
                result.remove(u"DBUS_SESSION_BUS_ADDRESS"_s);
            return result;
        };
        const QString dataFolder = home.filePath(u"data/Caldrin"_s);
        const QString name = InstanceGuard::serviceName(dataFolder);
        const QString socket = runtime.filePath(name);

        auto first = start(environment(home));
        QVERIFY2(first->waitForLine(kStoreOpened), first->errors.constData());
        // The name is held on the road the row is about, and on that road only.
        if (QDBusConnection::sessionBus().isConnected())
            QCOMPARE(QDBusConnection::sessionBus().interface()->isServiceRegistered(name).value(),
                     sessionBus);
        QCOMPARE(QFile::exists(socket), !sessionBus);

        if (firstKilled) {
            ::kill(static_cast<pid_t>(first->process->processId()), SIGKILL);
            QVERIFY(first->process->waitForFinished(10000));
            // What a crash leaves behind must not keep the next start out.
            QCOMPARE(QFile::exists(socket), !sessionBus);
        }

        auto second = start(environment(sameFolder ? home : otherHome));
        if (sameFolder && !firstKilled) {
            QVERIFY(second->process->waitForFinished(20000));
            second->finish();
            QCOMPARE(second->process->exitStatus(), QProcess::NormalExit);
            QCOMPARE(second->process->exitCode(), 0);
            // The one line, and nothing of a second collector: the store stays untouched.
            QCOMPARE(second->output, kForwarded + '\n');
            QVERIFY2(first->waitForLine(kRaised), first->output.constData());
            QCOMPARE(first->output.count(kStoreOpened), 1);
            QCOMPARE(first->process->state(), QProcess::Running);
            return;
        }
        QVERIFY2(second->waitForLine(kStoreOpened), second->errors.constData());
        QCOMPARE(second->process->state(), QProcess::Running);
        if (!firstKilled) {
            QCOMPARE(first->process->state(), QProcess::Running);
            QVERIFY(!first->output.contains(kRaised));
            return;
        }
        // The second took the name over: a third start is sent to it.
        auto third = start(environment(home));
        QVERIFY(third->process->waitForFinished(20000));
        third->finish();
        QCOMPARE(third->process->exitCode(), 0);
        QCOMPARE(third->output, kForwarded + '\n');
        QVERIFY2(second->waitForLine(kRaised), second->output.constData());
    }

    // The only options, answered as Qt programs answer them; --help and
    // --version need no display.
    void commandLine_data() {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<bool>("withDisplay");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QByteArray>("errors");
        QTest::newRow("--version") << u"--version"_s << false << 0 << QByteArray("Caldrin 1.0.0\n")
                                   << QByteArray();
        QTest::newRow("-v") << u"-v"_s << false << 0 << QByteArray("Caldrin 1.0.0\n") << QByteArray();
        QTest::newRow("--help") << u"--help"_s << false << 0 << QByteArray("  -v, --version") << QByteArray();
        QTest::newRow("unknown option")
            << u"--fetch"_s << true << 1 << QByteArray() << QByteArray("Unknown option 'fetch'.");
    }
    void commandLine() {
        QFETCH(QString, argument);
        QFETCH(bool, withDisplay);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, output);
        QFETCH(QByteArray, errors);
        QTemporaryDir home;
        QProcessEnvironment environment = environmentFor(home);
        if (!withDisplay)
            for (const QString& variable : {u"QT_QPA_PLATFORM"_s, u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s})
                environment.remove(variable);
        auto caldrin = start(environment, {argument});
        QVERIFY(caldrin->process->waitForFinished(20000));
        caldrin->finish();
        QCOMPARE(caldrin->process->exitCode(), exitCode);
        QVERIFY2(caldrin->output.contains(output), caldrin->output.constData());
        QVERIFY2(caldrin->errors.contains(errors), caldrin->errors.constData());
        if (argument == u"--help"_s)
            QVERIFY(caldrin->output.startsWith("Usage: "));
        QVERIFY(!QFile::exists(home.filePath(u"data/Caldrin/caldrin.sqlite"_s)));
    }

    // The web engine describes its set-up when the first page is scraped; that
    // stays off standard error unless QT_LOGGING_RULES asks for it.
    void webEngineStartUp_quietUnlessAskedFor_data() {
        QTest::addColumn<QString>("loggingRules");
        QTest::addColumn<bool>("dumped");
        QTest::newRow("no rules") << QString() << false;
        QTest::newRow("asked for") << u"qt.webenginecontext.debug=true;qt.webenginecontext.info=true"_s
                                   << true;
    }
    void webEngineStartUp_quietUnlessAskedFor() {
        QFETCH(QString, loggingRules);
        QFETCH(bool, dumped);
        FakeStore store;
        QVERIFY(store.listen());
        // One new app the lookup does not know: its page is scraped at once.
        store.setJson(u"/us/rss/newapplications/limit=100/json"_s,
                      StoreDocuments::feedDocument(
                          QJsonArray{StoreDocuments::feedEntry(u"42"_s, u"Quiet"_s, store.origin())}));
        store.setJson(u"/lookup?id=42"_s, StoreDocuments::lookupDocument(0, {}));
        FakeStore::Response page;
        page.contentType = "text/html";
        page.body = "<html><head><title>Quiet</title></head><body>Quiet</body></html>";
        store.setResponse(u"/us/app/x/id42"_s, page);

        QTemporaryDir home;
        QProcessEnvironment environment = environmentFor(home);
        environment.insert(u"CALDRIN_STORE_ORIGIN"_s, store.origin());
        environment.insert(
            u"QTWEBENGINE_CHROMIUM_FLAGS"_s,
            u"--host-resolver-rules=\"MAP * ~NOTFOUND, EXCLUDE 127.0.0.1, EXCLUDE localhost\""_s);
        environment.remove(u"QT_LOGGING_RULES"_s);
        if (!loggingRules.isEmpty())
            environment.insert(u"QT_LOGGING_RULES"_s, loggingRules);
        auto caldrin = start(environment);
        QVERIFY2(caldrin->waitForLine("✅ WebKit page loaded", 60000),
                 (caldrin->output + caldrin->errors).constData());
        caldrin->finish();
        QCOMPARE(caldrin->errors.contains("qt.webenginecontext"), dumped);
    }
};

QTEST_GUILESS_MAIN(TestApp)
#include "tst_app.moc"
