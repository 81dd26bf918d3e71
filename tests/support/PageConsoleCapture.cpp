#include "PageConsoleCapture.h"

#include <QLoggingCategory>

#include <cstring>

namespace {
// The handler is a plain function; it finds the active capture here.
PageConsoleCapture* g_activePageCapture = nullptr;
} // namespace

PageConsoleCapture::PageConsoleCapture() {
    g_activePageCapture = this;
    QLoggingCategory::setFilterRules(QStringLiteral("caldrin.page.info=true"));
    m_previous = qInstallMessageHandler(&PageConsoleCapture::handler);
}

PageConsoleCapture::~PageConsoleCapture() {
    qInstallMessageHandler(m_previous);
    QLoggingCategory::setFilterRules(QString());
    g_activePageCapture = nullptr;
}

void PageConsoleCapture::handler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    PageConsoleCapture* capture = g_activePageCapture;
    if (capture && context.category && std::strcmp(context.category, "caldrin.page") == 0) {
        capture->m_lines.append(message);
        return;
    }
    if (capture && capture->m_previous)
        capture->m_previous(type, context, message);
}

QStringList PageConsoleCapture::lines() const {
    return m_lines;
}
