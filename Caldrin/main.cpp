#include "CaldrinApp.h"
#include "Console.h"
#include "WebEngineEnvironment.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    WebEngineEnvironment::prepare();
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
