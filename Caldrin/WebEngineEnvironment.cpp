#include "WebEngineEnvironment.h"

#include <QCoreApplication>

#include <unistd.h>

void WebEngineEnvironment::prepare() {
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}
