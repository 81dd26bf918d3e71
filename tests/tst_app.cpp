// The real executable, started as a person would start it.
#include "AppModel.h"
#include "ModelContainer.h"
#include "ModelContext.h"
#include "SampleApps.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// The unprivileged user the permission cases run as: root ignores permissions.
constexpr uid_t kNobody = 65534;

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool giveToNobody(const QString& root) {
    bool ok = ::chown(QFile::encodeName(root).constData(), kNobody, kNobody) == 0;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        ok = ::chown(QFile::encodeName(it.next()).constData(), kNobody, kNobody) == 0 && ok;
    return ok;
}

} // namespace

class TestApp : public QObject {
    Q_OBJECT

private:
    static QProcessEnvironment environmentFor(const QTemporaryDir& home) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"HOME"_s, home.path());
        environment.insert(u"XDG_DATA_HOME"_s, home.filePath(u"data"_s));
        environment.insert(u"XDG_CONFIG_HOME"_s, home.filePath(u"config"_s));
        environment.insert(u"XDG_CACHE_HOME"_s, home.filePath(u"cache"_s));
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        // No store is reachable from a test: keep the collector off the network.
        environment.insert(u"CALDRIN_STORE_ORIGIN"_s, u"http://127.0.0.1:9"_s);
        return environment;
    }

private slots:
    // Every way a start can meet the store: a good store opens, a damaged one is
    // replaced after a copy is kept, and one that cannot be opened for a cause
    // outside the file stops the program with status 1 and is left as it was.
    void start_opensTheStoreOrStopsLeavingItAlone_data() {
        QTest::addColumn<QByteArray>("store");
        QTest::addColumn<QByteArray>("folder");
        QTest::addColumn<bool>("unprivileged");
        QTest::addColumn<QByteArray>("outcome");
        QTest::newRow("first start") << QByteArray("none") << QByteArray("writable") << false
                                     << QByteArray("created");
        QTest::newRow("damaged store")
            << QByteArray("garbage") << QByteArray("writable") << false << QByteArray("reset");
        QTest::newRow("a directory in its place")
            << QByteArray("directory") << QByteArray("writable") << false << QByteArray("fatal");
        QTest::newRow("store of mode 000")
            << QByteArray("mode000") << QByteArray("writable") << true << QByteArray("fatal");
        QTest::newRow("store in a read-only folder")
            << QByteArray("good") << QByteArray("read-only") << true << QByteArray("fatal");
        QTest::newRow("damaged store in a read-only folder")
            << QByteArray("garbage") << QByteArray("read-only") << true << QByteArray("fatal");
        QTest::newRow("data folder that cannot be created")
            << QByteArray("none") << QByteArray("uncreatable") << true << QByteArray("fatal");
    }
    void start_opensTheStoreOrStopsLeavingItAlone() {
        QFETCH(QByteArray, store);
        QFETCH(QByteArray, folder);
        QFETCH(bool, unprivileged);
        QFETCH(QByteArray, outcome);
        const bool root = ::geteuid() == 0;
        const QString setpriv = QStandardPaths::findExecutable(u"setpriv"_s);
        if (unprivileged && root && setpriv.isEmpty())
            QSKIP("running as root without setpriv: root ignores the permissions this case is about");

        QTemporaryDir home;
        const QString data = home.filePath(u"data/Caldrin"_s);
        const QString path = data + u"/caldrin.sqlite"_s;
        QVERIFY(QDir().mkpath(folder == "uncreatable" ? home.filePath(u"data"_s) : data));
        if (store == "good" || store == "mode000") {
            auto container = ModelContainer::open(path);
            container->mainContext().insert(SampleApps::make(u"1"_s, {u"Kept"_s}));
            container->mainContext().save();
        } else if (store == "garbage") {
            QVERIFY(writeFile(path, QByteArray(8192, '\x5a')));
        } else if (store == "directory") {
            QVERIFY(QDir().mkpath(path));
            QVERIFY(writeFile(path + u"/inside"_s, "keep me"));
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
        if (store == "mode000")
            QVERIFY(QFile::setPermissions(path, {}));
        if (folder == "read-only")
            QVERIFY(QFile::setPermissions(data, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther |
                                                    QFile::ExeOther));
        if (folder == "uncreatable")
            QVERIFY(QFile::setPermissions(home.filePath(u"data"_s), QFile::ReadOwner | QFile::ExeOwner));

        QProcess caldrin;
        caldrin.setProcessEnvironment(environment);
        caldrin.start(program, arguments);
        QVERIFY(caldrin.waitForStarted());
        QByteArray output;
        if (outcome == "fatal") {
            QVERIFY(caldrin.waitForFinished(20000));
            output = caldrin.readAllStandardOutput();
        } else {
            // Running: the store opened; the first lines tell how.
            const QByteArray last = outcome == "created" ? "✅ ModelContainer created successfully"
                                                         : "✅ Created new ModelContainer after reset";
            QTRY_VERIFY_WITH_TIMEOUT((output += caldrin.readAllStandardOutput()).contains(last) ||
                                         caldrin.state() == QProcess::NotRunning,
                                     20000);
            QVERIFY2(caldrin.state() == QProcess::Running, caldrin.readAllStandardError().constData());
            caldrin.terminate();
            QVERIFY(caldrin.waitForFinished(10000));
        }
        QFile::setPermissions(data, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(home.filePath(u"data"_s),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QList<QByteArray> lines = output.trimmed().split('\n');
        const QStringList copies = QDir(data).entryList({u"caldrin.sqlite.*.broken"_s}, QDir::Files);

        if (outcome == "created") {
            QCOMPARE(lines.first(), QByteArray("✅ ModelContainer created successfully"));
            QVERIFY(QFile::exists(path));
            return;
        }
        if (outcome == "reset") {
            QCOMPARE(lines.size(), 4);
            QVERIFY(lines[0].startsWith(
                "⚠️ Migration failed, attempting to reset database: file is not a database"));
            QCOMPARE(copies.size(), 1);
            QCOMPARE(lines[1], "📦 Kept a copy of the damaged database at: " +
                                   QFile::encodeName(data + u'/' + copies[0]));
            QCOMPARE(readFile(data + u'/' + copies[0]), before);
            QVERIFY(lines[2].startsWith("🗑️ Removed old database at: file://"));
            return;
        }
        const QByteArray errors = caldrin.readAllStandardError();
        QCOMPARE(caldrin.exitStatus(), QProcess::NormalExit);
        QVERIFY2(caldrin.exitCode() == 1, errors.constData());
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines[0].startsWith("⚠️ Migration failed, attempting to reset database: "),
                 output.constData());
        QVERIFY2(errors.contains("Could not create ModelContainer even after reset: "), errors.constData());
        QVERIFY2(copies.isEmpty(), qPrintable(copies.join(u' ')));
        if (store == "directory")
            QCOMPARE(readFile(path + u"/inside"_s), QByteArray("keep me"));
        else
            QCOMPARE(readFile(path), before);
        if (store == "mode000")
            QCOMPARE(int(QFileInfo(path).permissions()) & 0x7077, 0); // owner, group, other
    }
};

QTEST_GUILESS_MAIN(TestApp)
#include "tst_app.moc"
