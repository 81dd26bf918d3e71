#pragma once

#include "WebEngineEnvironment.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

// What a test program that runs the web engine needs before its application
// exists: headless, sandbox off as root, host names resolved to nothing (only
// 127.0.0.1 is reachable) and its own XDG directories under `home`.
inline void prepareWebEngineTestEnvironment(const QTemporaryDir& home) {
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(name, QFile::encodeName(home.filePath(QString::fromLatin1(name))));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
                "--host-resolver-rules=\"MAP * ~NOTFOUND, EXCLUDE 127.0.0.1, EXCLUDE localhost\"");
    WebEngineEnvironment::prepare();
}

// main() for a test program that runs the web engine, with the widgets
// application the engine needs; `prelude` comes first (a private bus, say).
#define CALDRIN_WEBENGINE_TEST_MAIN_AFTER(TestClass, prelude)                                                \
    int main(int argc, char* argv[]) {                                                                       \
        prelude;                                                                                             \
        QTemporaryDir home;                                                                                  \
        prepareWebEngineTestEnvironment(home);                                                               \
        QApplication application(argc, argv);                                                                \
        QApplication::setApplicationName(QStringLiteral("Caldrin"));                                         \
        TestClass test;                                                                                      \
        return QTest::qExec(&test, argc, argv);                                                              \
    }
#define CALDRIN_WEBENGINE_TEST_MAIN(TestClass) CALDRIN_WEBENGINE_TEST_MAIN_AFTER(TestClass, (void)0)
