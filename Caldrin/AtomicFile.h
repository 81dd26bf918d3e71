#pragma once

#include <QByteArrayView>
#include <QString>
#include <QTemporaryFile>

// A file written in pieces that readers see either as it was or whole, never
// half written. The bytes go to a fresh file created exclusively beside the
// target, which commit() renames over the target: whatever sits at the target
// path, a symbolic link included, is replaced rather than followed. Until then
// the target is untouched, and a file never committed is removed.
class AtomicFile {
public:
    enum class Permissions {
        Private,    // readable by the owner only
        AsUmaskSays // as a newly created file would be, or as the file it replaces
    };

    explicit AtomicFile(QString path, Permissions permissions = Permissions::Private);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    const QString& path() const { return m_path; }
    // Creates the file beside the target. Fails at once when the target is a
    // folder or an existing file that may not be written.
    bool open();
    bool write(QByteArrayView bytes);
    // Flushes to disk and puts the file in the target's place.
    bool commit();
    // Why the last step failed.
    const QString& errorString() const { return m_error; }

private:
    bool fail(const QString& error);
    bool failWithErrno();

    QString m_path;
    Permissions m_permissions;
    QTemporaryFile m_file;
    QString m_error;
};
