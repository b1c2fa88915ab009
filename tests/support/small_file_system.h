#pragma once
#include <QString>
#include <QTemporaryDir>

/// A real file system of a few kilobytes for a test (a tmpfs, mounted as root on a new folder),
/// to see what the program does when a disk runs full. The mount lives in a mount namespace of
/// the test's own thread where it can have one, so no other process sees it and a test that
/// dies takes it along; it is unmounted when the object goes.
class SmallFileSystem {
public:
    explicit SmallFileSystem(int kilobytes);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    /// Empty when mounted, else why not.
    QString error() const { return m_error; }
    QString filePath(const QString& name) const;
    /// Takes every byte left with a file "filler"; true when the disk is full.
    bool fill();
    /// Gives the filler's space back.
    void release();

private:
    QTemporaryDir m_dir;
    QString m_error;
    bool m_mounted = false;
};
