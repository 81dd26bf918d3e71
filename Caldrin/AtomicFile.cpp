#include "AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The process's file mode creation mask, read without changing it (umask()
// cannot be read without setting it, which would race with other threads).
mode_t currentUmask() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("Umask:"))
                return static_cast<mode_t>(line.mid(6).trimmed().toUInt(nullptr, 8));
        }
    }
    return 022;
}

} // namespace

AtomicFile::AtomicFile(QString path, Permissions permissions)
    : m_path(std::move(path))
    , m_permissions(permissions)
    , m_file(m_path + QStringLiteral(".XXXXXX")) {}

AtomicFile::~AtomicFile() = default; // an uncommitted file removes itself

bool AtomicFile::open() {
    const QByteArray target = QFile::encodeName(m_path);
    struct stat existing {};
    const bool exists = ::lstat(target.constData(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        return fail(QString::fromLocal8Bit(std::strerror(EISDIR)));
    // Renaming would replace a file its owner made read-only; refuse as an
    // editor would. Asked with the effective ids, which are those that count.
    if (exists && S_ISREG(existing.st_mode) &&
        ::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) != 0)
        return failWithErrno();
    if (!m_file.open())
        return fail(m_file.errorString());
    if (m_permissions == Permissions::AsUmaskSays) {
        const mode_t mode =
            exists && S_ISREG(existing.st_mode) ? (existing.st_mode & 07777) : (0666 & ~currentUmask());
        if (::fchmod(m_file.handle(), mode) != 0)
            return failWithErrno();
    }
    return true;
}

bool AtomicFile::write(QByteArrayView bytes) {
    if (m_file.write(bytes.data(), bytes.size()) != bytes.size())
        return fail(m_file.errorString());
    return true;
}

bool AtomicFile::commit() {
    if (!m_file.flush())
        return fail(m_file.errorString());
    if (::fsync(m_file.handle()) != 0)
        return failWithErrno();
    const QByteArray from = QFile::encodeName(m_file.fileName());
    const QByteArray to = QFile::encodeName(m_path);
    if (std::rename(from.constData(), to.constData()) != 0)
        return failWithErrno(); // the temporary file removes itself
    m_file.setAutoRemove(false);
    return true;
}

bool AtomicFile::fail(const QString& error) {
    m_error = error;
    return false;
}

bool AtomicFile::failWithErrno() {
    return fail(QString::fromLocal8Bit(std::strerror(errno)));
}
