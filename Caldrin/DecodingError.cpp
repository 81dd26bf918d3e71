#include "DecodingError.h"

DecodingError::DecodingError(Kind kind, const QString& path, const QString& detail)
    : m_kind(kind)
    , m_path(path)
    , m_detail(detail)
    , m_what(description().toUtf8()) {}

QString DecodingError::description() const {
    const QString where = m_path.isEmpty() ? QStringLiteral("document") : m_path;
    return where + QStringLiteral(": ") + m_detail;
}
