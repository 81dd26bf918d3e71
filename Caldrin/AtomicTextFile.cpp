#include "AtomicTextFile.h"

#include <QFile>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

QString AtomicTextFile::write(const QString& path, const QString& text) {
    // QSaveFile would resolve a link planted at the path and write to its
    // target; a file made with O_EXCL and renamed over the path cannot.
    QTemporaryFile file(path + QStringLiteral(".XXXXXX"));
    if (!file.open())
        return file.errorString();
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.flush())
        return file.errorString();
    if (::fsync(file.handle()) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    const QByteArray from = QFile::encodeName(file.fileName());
    const QByteArray to = QFile::encodeName(path);
    if (std::rename(from.constData(), to.constData()) != 0)
        return QString::fromLocal8Bit(std::strerror(errno)); // the temporary file removes itself
    file.setAutoRemove(false);
    return QString();
}
