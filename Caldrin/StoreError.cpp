#include "StoreError.h"

#include <sqlite3.h>

StoreError::StoreError(const QString& message, int code)
    : std::runtime_error(message.toStdString())
    , m_message(message)
    , m_code(code) {}

StoreError StoreError::foreignContent(const QString& message) {
    StoreError error(message, SQLITE_OK);
    error.m_foreignContent = true;
    return error;
}

QString StoreError::description() const {
    const char* name = sqlite3_errstr(m_code);
    if (m_code == SQLITE_OK || name == nullptr)
        return m_message;
    const QString codeName = QString::fromUtf8(name);
    if (m_message == codeName)
        return QStringLiteral("%1 (code %2)").arg(m_message).arg(m_code);
    return QStringLiteral("%1 (%2, code %3)").arg(m_message, codeName).arg(m_code);
}

bool StoreError::isDamagedFile() const {
    return m_foreignContent || primaryCode() == SQLITE_NOTADB || primaryCode() == SQLITE_CORRUPT;
}
