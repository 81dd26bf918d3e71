#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <sys/types.h>

// Whole-file reads and writes for the cases about stored files, and the
// unprivileged user their permission cases run as (root ignores permissions).
namespace TestFiles {

constexpr uid_t kNobody = 65534;

// The file's bytes; empty when it cannot be read.
inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// False unless every byte was written.
inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace TestFiles
