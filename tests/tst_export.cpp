// Exporting the listed apps: the file's bytes in both formats, the window's
// filters, cancelling, unwritable targets, and the window's button and shortcut.
#include "AppExporter.h"
#include "AppIndex.h"
#include "AppListModel.h"
#include "AppModel.h"
#include "ConsoleCapture.h"
#include "ContentView.h"
#include "ExportController.h"
#include "ExportEncoder.h"
#include "ModelContainer.h"
#include "ModelContext.h"
#include "SampleApps.h"
#include "SymbolTable.h"
#include "TestFiles.h"
#include "WebEngineTestMain.h"
#include "WindowTestKit.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <thread>

using AppRef = QSharedPointer<AppModel>;
using Traits = SampleApps::Traits;
using Outcome = AppExporter::Result::Outcome;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(ExportFormat)

namespace {

using TestFiles::kNobody;
using TestFiles::readFile;
using TestFiles::writeFile;

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

// The first field of each data row of a CSV export whose rows hold no quoted
// line breaks.
QStringList csvAppleIDs(const QByteArray& csv) {
    QStringList ids;
    const QList<QByteArray> lines = csv.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i)
        if (!lines.at(i).isEmpty())
            ids.append(QString::fromUtf8(lines.at(i).left(lines.at(i).indexOf(','))));
    return ids;
}

const QByteArray kHeader = "appleID,name,developerName,category,priceLabel,releaseDate,rating,ratingCount,"
                           "appStoreURL,screenshotCount,hasInAppPurchases\r\n";

AppExporter::Result exportApps(const QString& database, const QString& path,
                               ExportFormat format = ExportFormat::Csv, const QString& category = u"All"_s,
                               const QString& search = {}) {
    AppExporter::Control control;
    return AppExporter::run({database, path, format, category, search}, control);
}

class Store {
public:
    Store() { container = ModelContainer::open(dir.filePath(u"caldrin.sqlite"_s)); }
    ModelContext& context() { return container->mainContext(); }
    QString databasePath() const { return dir.filePath(u"caldrin.sqlite"_s); }
    AppRef add(const QString& appleID, const Traits& traits) {
        return context().insert(SampleApps::make(appleID, traits));
    }
    AppExporter::Result exportTo(const QString& path, ExportFormat format, const QString& category = u"All"_s,
                                 const QString& search = {}) {
        return exportApps(databasePath(), path, format, category, search);
    }

    QTemporaryDir dir;
    std::unique_ptr<ModelContainer> container;
};

} // namespace

class TestExport : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        SymbolTable::installIconTheme();
        // The window's collector runs against a port where nothing listens.
        qputenv("CALDRIN_STORE_ORIGIN", "http://127.0.0.1:9");
    }

    void fields_areEscapedForEachFormat_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QByteArray>("json");
        for (const auto& [tag, name, csv, json] :
             {std::tuple{"plain", u"Moon"_s, "Moon"_ba, "\"Moon\""_ba},
              {"comma", u"Sun, Moon"_s, "\"Sun, Moon\""_ba, "\"Sun, Moon\""_ba},
              {"quotes", u"Say \"Hi\""_s, "\"Say \"\"Hi\"\"\""_ba, "\"Say \\\"Hi\\\"\""_ba},
              {"line feed", u"Line\nTwo"_s, "\"Line\nTwo\""_ba, "\"Line\\nTwo\""_ba},
              {"CR LF", u"A\r\nB"_s, "\"A\r\nB\""_ba, "\"A\\r\\nB\""_ba},
              {"lone CR", u"A\rB"_s, "\"A\rB\""_ba, "\"A\\rB\""_ba},
              {"emoji, accents, CJK", u"Café 🌙 月"_s, u"Café 🌙 月"_s.toUtf8(), u"\"Café 🌙 月\""_s.toUtf8()},
              {"backslash, tab, control", u"C:\\Apps\t\x01"_s, "C:\\Apps\t\x01"_ba,
               "\"C:\\\\Apps\\t\\u0001\""_ba},
              {"empty", QString(), QByteArray(), "\"\""_ba}})
            QTest::newRow(tag) << name << csv << json;
    }
    // Each text goes into the name field through the store and comes back in
    // both files; the JSON one also reads back to the same text.
    void fields_areEscapedForEachFormat() {
        QFETCH(QString, name);
        QFETCH(QByteArray, csv);
        QFETCH(QByteArray, json);
        Store store;
        store.add(u"1000"_s, {name});
        store.context().save();
        const QString csvPath = store.dir.filePath(u"apps.csv"_s);
        const QString jsonPath = store.dir.filePath(u"apps.json"_s);
        QCOMPARE(store.exportTo(csvPath, ExportFormat::Csv).outcome, Outcome::Written);
        QCOMPARE(store.exportTo(jsonPath, ExportFormat::Json).outcome, Outcome::Written);

        QCOMPARE(readFile(csvPath), kHeader + "1000," + csv +
                                        ",Example Developer,Games,Get,2024-01-01T07:00:00Z,,,"
                                        "https://apps.example/id1000,,unknown\r\n");
        const QByteArray written = readFile(jsonPath);
        QVERIFY2(written.contains("\"name\":" + json + ','), written.constData());
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(written, &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(document.array().at(0).toObject().value(u"name"_s).toString(), name);
    }

    // Every field of the row, present and absent, in both formats.
    void rows_carryTheRecordsFieldsInListOrder() {
        Store store;
        const AppRef full = store.add(u"1000"_s, {u"Full"_s, u"Harbor Apps"_s, u"Music"_s, 3});
        full->setPriceLabel(u"0,99 €"_s);
        full->setRating(4.5);
        full->setRatingCount(1234);
        full->setScreenshotURLs(QStringList{u"a"_s, u"b"_s, u"c"_s});
        full->setHasInAppPurchases(true);
        full->setReleaseDate(QDateTime(QDate(2026, 3, 9), QTime(23, 59, 58, 999), Qt::UTC));
        const AppRef some = store.add(u"1001"_s, {u"Some"_s, u"Dev"_s, u"Games"_s, 2});
        some->setRating(3);
        some->setScreenshotURLs(QStringList());
        some->setHasInAppPurchases(false);
        store.add(u"1002"_s, {u"None"_s, u"Dev"_s, u"Games"_s, 1});
        store.context().save();

        // A new file is made as the umask says; a replaced one keeps its mode.
        const QString csvPath = store.dir.filePath(u"apps.csv"_s);
        const mode_t umaskBefore = umask(027);
        QCOMPARE(store.exportTo(csvPath, ExportFormat::Csv).exported, 3);
        umask(umaskBefore);
        struct stat written {};
        QCOMPARE(stat(QFile::encodeName(csvPath).constData(), &written), 0);
        QCOMPARE(written.st_mode & 07777, 0640u);
        QCOMPARE(chmod(QFile::encodeName(csvPath).constData(), 0604), 0);
        QCOMPARE(store.exportTo(csvPath, ExportFormat::Csv).exported, 3);
        QCOMPARE(stat(QFile::encodeName(csvPath).constData(), &written), 0);
        QCOMPARE(written.st_mode & 07777, 0604u);
        QCOMPARE(
            readFile(csvPath),
            kHeader +
                "1000,Full,Harbor Apps,Music,\"0,99 €\",2026-03-09T23:59:58Z,4.5,1234,"
                "https://apps.example/id1000,3,yes\r\n"
                "1001,Some,Dev,Games,Get,2024-01-03T07:00:00Z,3,,https://apps.example/id1001,0,no\r\n"
                "1002,None,Dev,Games,Get,2024-01-02T07:00:00Z,,,https://apps.example/id1002,,unknown\r\n");

        const QString jsonPath = store.dir.filePath(u"apps.json"_s);
        QCOMPARE(store.exportTo(jsonPath, ExportFormat::Json).exported, 3);
        const QByteArray json = readFile(jsonPath);
        const QJsonArray array = QJsonDocument::fromJson(json).array();
        QCOMPARE(array.size(), 3);
        // One object per line, keys in the CSV's order.
        const QList<QByteArray> lines = json.split('\n');
        QCOMPARE(lines.size(), 6); // "[", three objects, "]", ""
        QCOMPARE(lines.at(1),
                 R"({"appleID":"1000","name":"Full","developerName":"Harbor Apps","category":"Music",)"
                 R"("priceLabel":"0,99 €","releaseDate":"2026-03-09T23:59:58Z","rating":4.5,)"
                 R"("ratingCount":1234,"appStoreURL":"https://apps.example/id1000","screenshotCount":3,)"
                 R"("hasInAppPurchases":true},)"_ba);
        const QJsonObject none = array.at(2).toObject();
        QCOMPARE(none.keys().size(), ExportEncoder::fieldNames().size());
        for (const char* key : {"rating", "ratingCount", "screenshotCount", "hasInAppPurchases"})
            QVERIFY2(none.value(QLatin1String(key)).isNull(), key);
        QCOMPARE(array.at(1).toObject().value(u"hasInAppPurchases"_s), QJsonValue(false));

        // Nothing matches: a header alone, an empty array.
        QVERIFY(store.exportTo(csvPath, ExportFormat::Csv, u"Books"_s).exported == 0 &&
                store.exportTo(jsonPath, ExportFormat::Json, u"Books"_s).exported == 0);
        QCOMPARE(readFile(csvPath) + readFile(jsonPath), kHeader + "[]\n"_ba);
    }

    void filters_exportExactlyWhatTheListMatches_data() {
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("everything, newest first, ties in store order")
            << u"All"_s << QString()
            << QStringList{u"1003"_s, u"1001"_s, u"1000"_s, u"1004"_s, u"1002"_s, u"1005"_s};
        QTest::newRow("category") << u"Games"_s << QString()
                                  << QStringList{u"1000"_s, u"1004"_s, u"1002"_s, u"1005"_s};
        QTest::newRow("name or developer, any case")
            << u"All"_s << u"mOOn"_s << QStringList{u"1001"_s, u"1000"_s};
        QTest::newRow("category and search") << u"Games"_s << u"MOON"_s << QStringList{u"1000"_s};
        QTest::newRow("accented capital") << u"All"_s << u"ère"_s << QStringList{u"1003"_s};
        QTest::newRow("untrimmed") << u"All"_s << u"n t"_s << QStringList{u"1001"_s};
        QTest::newRow("sharp s folds to itself") << u"All"_s << u"STRAẞE"_s << QStringList{u"1005"_s};
        QTest::newRow("but not to SS") << u"All"_s << u"STRASSE"_s << QStringList();
        QTest::newRow("a category nobody has") << u"Music"_s << QString() << QStringList();
    }
    // The same records as the window's list shows, all of them, in its order.
    void filters_exportExactlyWhatTheListMatches() {
        QFETCH(QString, category);
        QFETCH(QString, search);
        QFETCH(QStringList, expected);
        Store store;
        store.add(u"1000"_s, {u"Moonlight"_s, u"Harbor Apps"_s, u"Games"_s, 5});
        store.add(u"1001"_s, {u"Sun Tracker"_s, u"MOONBEAM Labs"_s, u"Weather"_s, 7});
        store.add(u"1002"_s, {u"Chess"_s, u"Harbor Apps"_s, u"Games"_s, 3});
        store.add(u"1003"_s, {u"Ère Nouvelle"_s, u"Ateliers"_s, u"Books"_s, 9});
        store.add(u"1004"_s, {u"Tie"_s, u"Other"_s, u"Games"_s, 5});
        store.add(u"1005"_s, {u"Straße"_s, u"Other"_s, u"Games"_s, 1});
        store.context().save();

        const QString path = store.dir.filePath(u"apps.csv"_s);
        const AppExporter::Result result = store.exportTo(path, ExportFormat::Csv, category, search);
        QVERIFY(result.outcome == Outcome::Written && result.exported == expected.size());
        QCOMPARE(csvAppleIDs(readFile(path)), expected);

        AppIndex index(store.context(), AppIndex::Loading::Immediately);
        AppListModel list(index);
        list.setSelectedCategory(category);
        list.setSearchText(search);
        list.setDisplayLimit(1000);
        QStringList listed;
        for (int row = 0; row < list.rowCount(); ++row)
            listed.append(list.recordAt(row)->appleID());
        QCOMPARE(listed, expected);
    }

    void cancel_leavesTheTargetAsItWas_data() {
        QTest::addColumn<QByteArray>("existing"); // null: no file there
        QTest::addColumn<ExportFormat>("format");
        QTest::newRow("no file, CSV") << QByteArray() << ExportFormat::Csv;
        QTest::newRow("an older export, JSON") << "old contents\n"_ba << ExportFormat::Json;
    }
    // Cancelled after its first batch, with more batches to go: nothing new
    // appears, an existing file keeps its bytes.
    void cancel_leavesTheTargetAsItWas() {
        QFETCH(QByteArray, existing);
        QFETCH(ExportFormat, format);
        Store store;
        for (int i = 0; i < 3 * AppExporter::kBatchRows; ++i)
            store.add(QString::number(10000 + i), {u"App %1"_s.arg(i), u"Dev"_s, u"Games"_s, i % 50});
        store.context().save();
        QTemporaryDir target;
        const QString path = target.filePath(u"apps.out"_s);
        if (!existing.isNull())
            QVERIFY(writeFile(path, existing));
        const QStringList before = entries(target.path());

        AppExporter::Control control;
        qint64 batches = 0;
        control.batchDone = [&](qint64) { ++batches, control.cancelled.store(true); };
        const AppExporter::Result result =
            AppExporter::run({store.databasePath(), path, format, u"All"_s, {}}, control);
        QVERIFY(result.outcome == Outcome::Cancelled && batches == 1 &&
                control.rowsToRead.load() == 3 * AppExporter::kBatchRows);
        QCOMPARE(entries(target.path()), before);
        if (!existing.isNull())
            QCOMPARE(readFile(path), existing);
    }

    void unwritableTarget_failsClearlyAndKeepsWhatIsThere_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("error");
        QTest::newRow("a read-only folder") << u"read-only folder"_s << EACCES;
        QTest::newRow("a read-only file") << u"read-only file"_s << EACCES;
        QTest::newRow("a folder at the path") << u"folder"_s << EISDIR;
    }
    // Root may write anywhere, so the export runs on a thread whose file
    // system user and group are nobody's (setfsuid and setfsgid act on the
    // calling thread only, and the former drops root's right to override
    // permissions): the folder's and the file's modes count.
    void unwritableTarget_failsClearlyAndKeepsWhatIsThere() {
        QFETCH(QString, setup);
        QFETCH(int, error);
        Store store;
        store.add(u"1000"_s, {u"Moonlight"_s});
        store.context().save();
        QTemporaryDir base;
        QVERIFY(QFile::setPermissions(base.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                       QFile::ReadOther | QFile::ExeOther));
        const QString folder = base.filePath(u"target"_s);
        QVERIFY(QDir().mkdir(folder));
        const QString path = folder + u"/apps.csv"_s;
        const auto readable = QFile::ReadOwner | QFile::ReadOther | QFile::ExeOwner | QFile::ExeOther;
        if (setup == u"read-only folder"_s) {
            QVERIFY(QFile::setPermissions(folder, readable));
        } else if (setup == u"read-only file"_s) {
            QVERIFY(QFile::setPermissions(folder, readable | QFile::WriteOwner | QFile::WriteOther));
            QVERIFY(writeFile(path, "kept\n"));
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadOther));
        } else {
            QVERIFY(QDir().mkdir(path));
        }
        const QStringList before = entries(folder);

        AppExporter::Result result;
        std::thread nobody([&] {
            setfsgid(kNobody);
            setfsuid(kNobody);
            result = exportApps(store.databasePath(), path);
        });
        nobody.join();
        QCOMPARE(result.outcome, Outcome::Failed);
        QCOMPARE(result.error,
                 u"cannot write %1: %2"_s.arg(path, QString::fromLocal8Bit(std::strerror(error))));
        QCOMPARE(entries(folder), before);
        if (setup == u"read-only file"_s)
            QCOMPARE(readFile(path), "kept\n"_ba);
        QFile::setPermissions(folder, readable | QFile::WriteOwner);
    }

    // A store that cannot be read fails the export and leaves no file.
    void unreadableStore_failsAndWritesNothing() {
        QTemporaryDir target;
        const auto result = exportApps(target.filePath(u"missing.sqlite"_s), target.filePath(u"apps.csv"_s));
        QCOMPARE(result.outcome, Outcome::Failed);
        QVERIFY2(result.error.startsWith(u"cannot read the store: "_s), qPrintable(result.error));
        QCOMPARE(entries(target.path()), QStringList());
    }

    // The toolbar's button and Ctrl+E export the window's list as filtered,
    // unsaved changes included; a failure is told on the console.
    void window_buttonAndShortcutExportTheFilteredList() {
        Store store;
        const auto complete = [](const AppRef& app) {
            app->setDetailsFetched(true);
            app->setScreenshotURLs(QStringList{u"https://apps.example/shot.png"_s});
            app->setAppDescription(u"An app."_s);
        };
        complete(store.add(u"1000"_s, {u"Moonlight"_s, u"Harbor Apps"_s, u"Games"_s, 5}));
        complete(store.add(u"1001"_s, {u"Moon Chess"_s, u"Other"_s, u"Games"_s, 3}));
        complete(store.add(u"1002"_s, {u"Moon Weather"_s, u"Other"_s, u"Weather"_s, 7}));
        complete(store.add(u"1003"_s, {u"Sun"_s, u"Other"_s, u"Games"_s, 8}));
        store.context().save();

        QTemporaryDir target;
        QList<ExportController::Choice> choices{{target.filePath(u"apps"_s), u"JSON (*.json)"_s},
                                                {target.filePath(u"apps.csv"_s), u"JSON (*.json)"_s},
                                                {target.filePath(u"missing/apps.csv"_s), {}}};
        ExportController::Options options;
        options.messageBoxes = false;
        options.saveDialog = [&](QWidget*, const QString& suggested) {
            [&] { QVERIFY(suggested.endsWith(u"caldrin-apps.csv"_s)); }();
            return choices.takeFirst();
        };
        ContentView window(store.context());
        auto* controller = new ExportController(window, options);
        QSignalSpy finished(controller, &ExportController::finished);
        window.resize(1200, 800);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTRY_VERIFY(window.appIndex().isReady());
        window.appList().setSelectedCategory(u"Games"_s);
        window.appList().setSearchText(u"moon"_s);
        // Shown in the list, not saved yet.
        complete(store.add(u"1004"_s, {u"Moon Unsaved"_s, u"Other"_s, u"Games"_s, 1}));
        QVERIFY(store.context().hasChanges());

        // The progress dialog may have taken the focus on its way.
        const auto pressCtrlE = [&window] {
            window.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&window));
            QTest::keyClick(&window, Qt::Key_E, Qt::ControlModifier);
        };
        ConsoleCapture console;
        QTest::mouseClick(window.exportButton(), Qt::LeftButton);
        QVERIFY(controller->isRunning() && controller->progressDialog() && finished.wait(10000));
        const QString json = target.filePath(u"apps.json"_s);
        QCOMPARE(finished.at(0).at(2).toString(), json);
        QVERIFY(console.contains(u"📤 Exported 3 apps to "_s + json) && !store.context().hasChanges());
        QStringList ids;
        for (const QJsonValue& app : QJsonDocument::fromJson(readFile(json)).array())
            ids.append(app.toObject().value(u"appleID"_s).toString());
        QCOMPARE(ids, (QStringList{u"1000"_s, u"1001"_s, u"1004"_s}));
        QTRY_VERIFY(!controller->progressDialog());

        // The typed suffix wins over the chosen filter.
        window.appList().setSearchText(QString());
        pressCtrlE();
        QVERIFY(finished.wait(10000));
        QCOMPARE(csvAppleIDs(readFile(target.filePath(u"apps.csv"_s))),
                 (QStringList{u"1003"_s, u"1000"_s, u"1001"_s, u"1004"_s}));

        pressCtrlE();
        QVERIFY(finished.wait(10000) && finished.at(2).at(0).value<Outcome>() == Outcome::Failed);
        QVERIFY(console.contains(u"❌ Export failed: cannot write %1: %2"_s.arg(
            target.filePath(u"missing/apps.csv"_s), QString::fromLocal8Bit(std::strerror(ENOENT)))));
        QVERIFY(choices.isEmpty());
    }
};

CALDRIN_WEBENGINE_TEST_MAIN(TestExport)
#include "tst_export.moc"
