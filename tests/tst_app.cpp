// The real executable, started as a person would start it.
#include "AppModel.h"
#include "InstanceGuard.h"
#include "ModelContainer.h"
#include "ModelContext.h"
#include "SampleApps.h"
#include "TestFiles.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <signal.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

using TestFiles::kNobody;
using TestFiles::readFile;
using TestFiles::writeFile;

bool giveToNobody(const QString& root) {
    bool ok = ::chown(QFile::encodeName(root).constData(), kNobody, kNobody) == 0;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        ok = ::chown(QFile::encodeName(it.next()).constData(), kNobody, kNobody) == 0 && ok;
    return ok;
}
const QByteArray kStoreOpened = "✅ ModelContainer created successfully";
const QByteArray kForwarded = "🪟 Caldrin is already running: brought its window forward";
const QByteArray kRaised = "🪟 Another start of Caldrin: bringing the window forward";

// One started caldrin with everything it printed so far.
struct Run {
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    QByteArray output, errors;

    void read() {
        output += process->readAllStandardOutput();
        errors += process->readAllStandardError();
    }
    bool waitForLine(const QByteArray& line, int timeoutMs = 30000) {
        const auto shown = [&] { return output.split('\n').contains(line); };
        return QTest::qWaitFor([&] { return read(), shown() || process->state() == QProcess::NotRunning; },
                               timeoutMs) &&
               shown();
    }
    // Waits for its end: the exit code, or -1 when it crashed or went on.
    int exitCode() {
        const bool ended = process->waitForFinished(20000);
        finish();
        return ended && process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
    }
    void finish() {
        if (process->state() != QProcess::NotRunning) {
            process->terminate();
            process->waitForFinished(10000);
        }
        read();
    }
    ~Run() { finish(); }
};

} // namespace

class TestApp : public QObject {
    Q_OBJECT

private:
    static QProcessEnvironment environmentFor(const QTemporaryDir& home) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"HOME"_s, home.path());
        for (const QString kind : {"data", "config", "cache"})
            environment.insert(u"XDG_%1_HOME"_s.arg(kind.toUpper()), home.filePath(kind));
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        // No store is reachable from a test: keep the collector off the network.
        environment.insert(u"CALDRIN_STORE_ORIGIN"_s, u"http://127.0.0.1:9"_s);
        return environment;
    }

    static std::unique_ptr<Run> start(const QProcessEnvironment& environment,
                                      const QStringList& arguments = {},
                                      const QString& program = QStringLiteral(CALDRIN_EXECUTABLE)) {
        auto run = std::make_unique<Run>();
        run->process->setProcessEnvironment(environment);
        run->process->start(program, arguments);
        return run;
    }

private slots:
    // A good store opens; one that cannot be opened for a cause outside the
    // file stops the program with status 1 and is left as it was (a damaged
    // one is tst_store's).
    void start_opensTheStoreOrStopsLeavingItAlone_data() {
        QTest::addColumn<QString>("store");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("unprivileged");
        QTest::newRow("first start") << u"none"_s << u"writable"_s << false;
        QTest::newRow("a directory in its place") << u"directory"_s << u"writable"_s << false;
        QTest::newRow("store of mode 000") << u"mode000"_s << u"writable"_s << true;
        QTest::newRow("store in a read-only folder") << u"good"_s << u"read-only"_s << true;
        QTest::newRow("damaged store in a read-only folder") << u"garbage"_s << u"read-only"_s << true;
        QTest::newRow("data folder that cannot be created") << u"none"_s << u"uncreatable"_s << true;
    }
    void start_opensTheStoreOrStopsLeavingItAlone() {
        QFETCH(QString, store);
        QFETCH(QString, folder);
        QFETCH(bool, unprivileged);
        const bool fatal = QTest::currentDataTag() != QByteArray("first start");
        const bool root = ::geteuid() == 0;
        const QString setpriv = QStandardPaths::findExecutable(u"setpriv"_s);
        if (unprivileged && root && setpriv.isEmpty())
            QSKIP("running as root without setpriv: root ignores the permissions this case is about");

        QTemporaryDir home;
        const QString data = home.filePath(u"data/Caldrin"_s), path = data + u"/caldrin.sqlite"_s;
        QVERIFY(QDir().mkpath(folder == u"uncreatable" ? home.filePath(u"data"_s) : data));
        if (store == u"good" || store == u"mode000") {
            auto container = ModelContainer::open(path);
            container->mainContext().insert(SampleApps::make(u"1"_s, {u"Kept"_s}));
            container->mainContext().save();
        } else if (store == u"garbage") {
            QVERIFY(writeFile(path, QByteArray(8192, '\x5a')));
        } else if (store == u"directory") {
            QVERIFY(QDir().mkpath(path) && writeFile(path + u"/inside"_s, "keep me"));
        }
        const QByteArray before = readFile(path);

        QProcessEnvironment environment = environmentFor(home);
        QString program = QStringLiteral(CALDRIN_EXECUTABLE);
        QStringList arguments;
        if (unprivileged && root) {
            QVERIFY(giveToNobody(home.path()));
            environment.remove(u"DBUS_SESSION_BUS_ADDRESS"_s);
            environment.remove(u"XDG_RUNTIME_DIR"_s);
            arguments = {u"--reuid=%1"_s.arg(kNobody), u"--regid=%1"_s.arg(kNobody), u"--clear-groups"_s,
                         program};
            program = setpriv;
        }
        if (store == u"mode000")
            QVERIFY(QFile::setPermissions(path, {}));
        if (folder == u"read-only")
            QVERIFY(QFile::setPermissions(data, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther |
                                                    QFile::ExeOther));
        if (folder == u"uncreatable")
            QVERIFY(QFile::setPermissions(home.filePath(u"data"_s), QFile::ReadOwner | QFile::ExeOwner));

        auto caldrin = start(environment, arguments, program);
        if (!fatal) { // running: the store opened
            QVERIFY2(caldrin->waitForLine(kStoreOpened, 20000), caldrin->errors.constData());
            QVERIFY(caldrin->process->state() == QProcess::Running && QFile::exists(path));
            QVERIFY(caldrin->output.startsWith(kStoreOpened + '\n'));
            return;
        }
        const int exitCode = caldrin->exitCode();
        QFile::setPermissions(data, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(home.filePath(u"data"_s),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QByteArray& errors = caldrin->errors;
        QVERIFY2(exitCode == 1, errors.constData());
        QVERIFY2(caldrin->output.startsWith("⚠️ Migration failed, attempting to reset database: ") &&
                     !caldrin->output.trimmed().contains('\n'),
                 caldrin->output.constData());
        QVERIFY2(errors.contains("Could not create ModelContainer even after reset: "), errors.constData());
        QVERIFY(QDir(data).entryList({u"caldrin.sqlite.*.broken"_s}, QDir::Files).isEmpty());
        if (store == u"directory")
            QCOMPARE(readFile(path + u"/inside"_s), QByteArray("keep me"));
        else
            QCOMPARE(readFile(path), before);
        if (store == u"mode000")
            QCOMPARE(int(QFileInfo(path).permissions()) & 0x7077, 0); // owner, group, other
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

        QTemporaryDir home, otherHome, runtime;
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
        const QString name = InstanceGuard::serviceName(dataFolder), socket = runtime.filePath(name);

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
            QCOMPARE(second->exitCode(), 0);
            // The one line, and nothing of a second collector: the store stays untouched.
            QCOMPARE(second->output, kForwarded + '\n');
            QVERIFY2(first->waitForLine(kRaised), first->output.constData());
            QVERIFY(first->output.count(kStoreOpened) == 1 && first->process->state() == QProcess::Running);
            return;
        }
        QVERIFY2(second->waitForLine(kStoreOpened), second->errors.constData());
        QCOMPARE(second->process->state(), QProcess::Running);
        if (!firstKilled) {
            QVERIFY(first->process->state() == QProcess::Running && !first->output.contains(kRaised));
            return;
        }
        // The second took the name over: a third start is sent to it.
        auto third = start(environment(home));
        QVERIFY(third->exitCode() == 0 && third->output == kForwarded + '\n');
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
        QCOMPARE(caldrin->exitCode(), exitCode);
        QVERIFY2(caldrin->output.contains(output), caldrin->output.constData());
        QVERIFY2(caldrin->errors.contains(errors), caldrin->errors.constData());
        if (argument == u"--help"_s)
            QVERIFY(caldrin->output.startsWith("Usage: "));
        QVERIFY(!QFile::exists(home.filePath(u"data/Caldrin/caldrin.sqlite"_s)));
    }
};

QTEST_GUILESS_MAIN(TestApp)
#include "tst_app.moc"
