#include "AtomicTextFile.h"

#include "AtomicFile.h"

QString AtomicTextFile::write(const QString& path, const QString& text) {
    AtomicFile file(path);
    if (!file.open() || !file.write(text.toUtf8()) || !file.commit())
        return file.errorString();
    return QString();
}
