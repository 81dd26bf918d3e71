#pragma once

#include <QString>

// Writes a whole text file so that readers see either the old file or the new
// one. The text goes to a fresh file created exclusively beside the target,
// which is then renamed over the target: whatever sits at the target path,
// a symbolic link included, is replaced rather than followed, so the write
// never lands anywhere but at that path.
class AtomicTextFile {
public:
    // Returns an empty text on success, otherwise why the write failed
    // (the target is then left as it was).
    static QString write(const QString& path, const QString& text);
};
