#include "CaldrinApp.h"
#include "Console.h"
#include "StallProbe.h"
#include "WebEngineEnvironment.h"

#include <QApplication>
#include <QtGlobal>

int main(int argc, char* argv[]) {
    WebEngineEnvironment::prepare();
    QApplication application(argc, argv);
    // No organisation name: the data and settings locations are "Caldrin".
    QApplication::setApplicationName(QStringLiteral("Caldrin"));
    QApplication::setApplicationDisplayName(QStringLiteral("Caldrin"));
    QApplication::setDesktopFileName(QStringLiteral("caldrin"));
    Console::installStandardHandler();

    // By hand: CALDRIN_STALL_PROBE=<ms> reports on standard error every stall of
    // the main thread at or over that many milliseconds (50 when not a number).
    StallProbe stallProbe;
    if (qEnvironmentVariableIsSet("CALDRIN_STALL_PROBE")) {
        bool isNumber = false;
        const int threshold = qEnvironmentVariableIntValue("CALDRIN_STALL_PROBE", &isNumber);
        stallProbe.setReportThreshold(isNumber && threshold > 0 ? threshold : 50);
        QObject::connect(&stallProbe, &StallProbe::stalled,
                         [](double delayMs) { qWarning("main thread stalled for %.1f ms", delayMs); });
        stallProbe.start();
    }

    CaldrinApp caldrin;
    if (!caldrin.isReady())
        return 1;
    caldrin.showWindow();
    return QApplication::exec();
}
