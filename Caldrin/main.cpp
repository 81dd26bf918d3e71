#include "CaldrinApp.h"
#include "Console.h"

#include <QApplication>

#include <unistd.h>

int main(int argc, char* argv[]) {
    // Chromium refuses to run as root with its sandbox on; the web engine reads
    // this before it starts.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    // No organisation name: the data and settings locations are "Caldrin".
    QApplication::setApplicationName(QStringLiteral("Caldrin"));
    QApplication::setApplicationDisplayName(QStringLiteral("Caldrin"));
    QApplication::setDesktopFileName(QStringLiteral("caldrin"));
    Console::installStandardHandler();

    CaldrinApp caldrin;
    if (!caldrin.isReady())
        return 1;
    caldrin.showWindow();
    return QApplication::exec();
}
