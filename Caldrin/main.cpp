#include "CaldrinApp.h"
#include "Console.h"
#include "InstanceGuard.h"
#include "StallProbe.h"
#include "WebEngineEnvironment.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <QtGlobal>

#include <memory>

namespace {

void nameApplication() {
    // No organisation name: the data and settings locations are "Caldrin".
    QCoreApplication::setApplicationName(QStringLiteral("Caldrin"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CALDRIN_VERSION));
}

// Caldrin takes no options but these two. They are answered without a display,
// so `caldrin --version` works on a bare terminal too; every other start makes
// the QApplication first, so that Qt's own options (-platform, -style, ...) are
// taken out before the parser sees the rest.
bool asksOnlyForText(int argc, char* argv[]) {
    for (int index = 1; index < argc; ++index) {
        const QByteArray argument(argv[index]);
        if (argument == "-h" || argument == "--help" || argument == "--help-all" || argument == "-?" ||
            argument == "-v" || argument == "--version")
            return true;
    }
    return false;
}

void processCommandLine(const QCoreApplication& application) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Keeps track of newly published iOS apps: collects the App Store's new "
                       "applications every hour and lets you browse them and keep favourites."));
    parser.addHelpOption();
    parser.addVersionOption();
    // Prints help, version or the error and exits, as Qt programs do.
    parser.process(application);
}

} // namespace

int main(int argc, char* argv[]) {
    if (asksOnlyForText(argc, argv)) {
        QCoreApplication application(argc, argv);
        nameApplication();
        processCommandLine(application);
        return 0;
    }

    WebEngineEnvironment::prepare();
    // The web engine describes its set-up on standard error when it starts; that
    // is for whoever asks with QT_LOGGING_RULES, which still takes precedence.
    QLoggingCategory::setFilterRules(
        QStringLiteral("qt.webenginecontext.debug=false\nqt.webenginecontext.info=false"));
    QApplication application(argc, argv);
    nameApplication();
    QApplication::setApplicationDisplayName(QStringLiteral("Caldrin"));
    QApplication::setDesktopFileName(QStringLiteral("org.caldrin.Caldrin"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/caldrin/org.caldrin.Caldrin.svg")));
    processCommandLine(application);
    Console::installStandardHandler();

    // One Caldrin per data folder, decided before the store is touched.
    InstanceGuard instanceGuard(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    switch (instanceGuard.claim()) {
    case InstanceGuard::Claim::Owner:
        break;
    case InstanceGuard::Claim::ForwardedToOwner:
        Console::print(QStringLiteral("🪟 Caldrin is already running: brought its window forward"));
        return 0;
    case InstanceGuard::Claim::OwnerSilent:
        Console::fatal(QStringLiteral("Caldrin is already running but does not answer: ") +
                       instanceGuard.errorText());
        return 1;
    }

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
    QObject::connect(&instanceGuard, &InstanceGuard::activationRequested, &caldrin, [&caldrin] {
        Console::print(QStringLiteral("🪟 Another start of Caldrin: bringing the window forward"));
        caldrin.raiseWindow();
    });
    caldrin.showWindow();
    return QApplication::exec();
}
