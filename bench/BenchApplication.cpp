#include "BenchApplication.h"

#include "BenchSupport.h"
#include "WebEngineEnvironment.h"

BenchApplication::BenchApplication(int& argc, char** argv)
    : m_prepared(prepare(m_home))
    , m_application(argc, argv) {
    QApplication::setApplicationName(QStringLiteral("Caldrin"));
}

bool BenchApplication::prepare(const QTemporaryDir& home) {
    BenchSupport::useTemporaryHome(home);
    BenchSupport::resolveOnlyLocalHost();
    WebEngineEnvironment::prepare();
    return true;
}
