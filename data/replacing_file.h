#pragma once
#include <QFile>
#include <QString>

#include <memory>

/// A file that takes the place of its target only once it is written whole: it is written
/// beside the target under a temporary name of this process, checked (every write, the flush,
/// the sync to disk, the close, and its size against what was written) and then renamed over
/// the target. The target holds either what it held before or the whole new file; a temporary
/// that is not committed is removed.
class ReplacingFile {
public:
    explicit ReplacingFile(const QString& target);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    /// Creates the temporary, first removing the ones that runs no longer alive left in the
    /// target's folder; false with errorString() when it cannot be created.
    bool open();
    /// The temporary, for writers that write through a device; valid after a successful open().
    QIODevice& device();
    /// The temporary's name, for writers that open the file themselves (and report their own
    /// failures); they must have closed it before commit().
    QString temporaryPath() const;

    /// Checks the written file and renames it over the target, which keeps its permissions
    /// (a new file gets a document's usual ones). False with errorString() when anything
    /// failed: the temporary is removed and the target is as it was.
    bool commit();
    /// Removes the temporary; the target stays as it was.
    void discard();
    /// Why open() or commit() failed.
    QString errorString() const { return m_error; }

    /// A name for the temporary that the process pid writes for a target of that name: hidden
    /// beside it, naming the host and the process, ending in six random letters.
    static QString temporaryName(const QString& targetName, qint64 pid);
    /// Removes from the folder the temporaries of runs that are no longer running (killed or
    /// crashed while writing); those of running processes stay.
    static void removeStaleTemporaries(const QString& folder);

private:
    class CheckedFile;
    bool fail(const QString& reason);

    QString m_target;
    std::unique_ptr<CheckedFile> m_file;
    QString m_error;
};
