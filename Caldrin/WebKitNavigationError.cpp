#include "WebKitNavigationError.h"

namespace {

QString describe(const QString& errorText, int code) {
    if (!errorText.isEmpty())
        return errorText;
    return QStringLiteral("The page failed to load (error %1)").arg(code);
}

} // namespace

WebKitNavigationError::WebKitNavigationError(const QString& errorText, int domain, int code)
    : std::runtime_error(describe(errorText, code).toStdString())
    , m_description(describe(errorText, code))
    , m_domain(domain)
    , m_code(code) {}
