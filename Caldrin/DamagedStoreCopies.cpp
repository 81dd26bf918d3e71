#include "DamagedStoreCopies.h"

#include "StoreError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <utility>

namespace {

const QString kStampFormat = QStringLiteral("yyyy-MM-ddTHH-mm-ssZ");

// Renames without ever replacing what is at `to`: a plain rename would
// silently overwrite an older copy of the same second.
bool renameNoReplace(const QString& from, const QString& to, QString* reason) {
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    int rc = ::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE);
    if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {
        // A file system without the flag: check, then rename.
        if (QFileInfo::exists(to)) {
            errno = EEXIST;
        } else {
            rc = std::rename(source.constData(), target.constData());
        }
    }
    if (rc != 0)
        *reason = QString::fromLocal8Bit(std::strerror(errno));
    return rc == 0;
}

// The name pattern of the copies of one store, capturing the stamp and the
// optional sequence number of copies made within the same second.
QRegularExpression copyPattern(const QString& storeName) {
    return QRegularExpression(
        QStringLiteral("^%1\\.(\\d{4}-\\d\\d-\\d\\dT\\d\\d-\\d\\d-\\d\\dZ)(?:-(\\d+))?\\.broken$")
            .arg(QRegularExpression::escape(storeName)));
}

bool isFileOrLink(const QFileInfo& info) {
    return info.isSymLink() || info.isFile();
}

} // namespace

QStringList DamagedStoreCopies::companionSuffixes() {
    return {QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")};
}

QString DamagedStoreCopies::keep(const QString& storePath, const QDateTime& now) {
    const QFileInfo store(storePath);
    QStringList suffixes = companionSuffixes();
    suffixes.prepend(QString());
    QStringList present;
    for (const QString& suffix : std::as_const(suffixes)) {
        const QFileInfo info(storePath + suffix);
        if (!info.exists() && !info.isSymLink())
            continue;
        if (!isFileOrLink(info))
            throw StoreError(QStringLiteral("%1 is not a file; it was left in place")
                                 .arg(QDir::toNativeSeparators(info.filePath())),
                             SQLITE_CANTOPEN);
        present.append(suffix);
    }
    if (present.isEmpty())
        return QString();

    const QString stem = store.absoluteFilePath() + QLatin1Char('.') + now.toUTC().toString(kStampFormat);
    QString copy;
    for (int sequence = 1; copy.isEmpty(); ++sequence) {
        const QString candidate = stem + (sequence > 1 ? QStringLiteral("-%1").arg(sequence) : QString()) +
                                  QStringLiteral(".broken");
        const bool taken = std::any_of(suffixes.cbegin(), suffixes.cend(), [&](const QString& suffix) {
            const QFileInfo info(candidate + suffix);
            return info.exists() || info.isSymLink();
        });
        if (!taken)
            copy = candidate;
    }

    // The file first: until it has moved, nothing else is touched.
    QStringList moved;
    for (const QString& suffix : std::as_const(present)) {
        QString reason;
        if (renameNoReplace(storePath + suffix, copy + suffix, &reason)) {
            moved.append(suffix);
            continue;
        }
        // Put back what was moved: a store beside a foreign log is worse than
        // a store left whole.
        for (const QString& back : std::as_const(moved)) {
            QString ignored;
            renameNoReplace(copy + back, storePath + back, &ignored);
        }
        throw StoreError(QStringLiteral("Could not move %1 aside: %2; the damaged database was left in place")
                             .arg(QDir::toNativeSeparators(storePath + suffix), reason),
                         SQLITE_CANTOPEN);
    }
    return copy;
}

QStringList DamagedStoreCopies::copiesOf(const QString& storePath) {
    const QFileInfo store(storePath);
    const QRegularExpression pattern = copyPattern(store.fileName());
    struct Copy {
        QString key;
        QString path;
    };
    QList<Copy> copies;
    const QStringList names = store.dir().entryList(QDir::Files | QDir::System | QDir::Hidden);
    for (const QString& name : names) {
        const QRegularExpressionMatch match = pattern.match(name);
        if (!match.hasMatch())
            continue;
        const int sequence = match.captured(2).isEmpty() ? 1 : match.captured(2).toInt();
        copies.append({match.captured(1) + QStringLiteral("#%1").arg(sequence, 9, 10, QLatin1Char('0')),
                       store.dir().absoluteFilePath(name)});
    }
    std::sort(copies.begin(), copies.end(), [](const Copy& a, const Copy& b) { return a.key > b.key; });
    QStringList paths;
    for (const Copy& copy : std::as_const(copies))
        paths.append(copy.path);
    return paths;
}

void DamagedStoreCopies::prune(const QString& storePath, int kept) {
    const QStringList copies = copiesOf(storePath);
    for (qsizetype i = kept; i < copies.size(); ++i) {
        QFile::remove(copies[i]);
        for (const QString& suffix : companionSuffixes()) {
            if (isFileOrLink(QFileInfo(copies[i] + suffix)))
                QFile::remove(copies[i] + suffix);
        }
    }
}
