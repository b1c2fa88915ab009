#include "tests/support/small_file_system.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>

namespace {

/// Moves the calling thread into a mount namespace of its own, once per process, whose mounts
/// do not travel back to the machine's; false where that is not allowed (the mount then goes
/// into the machine's namespace and is taken down by the destructor).
bool privateMounts()
{
    static const bool done = ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return done;
}

} // namespace

SmallFileSystem::SmallFileSystem(int kilobytes)
{
    if (!m_dir.isValid()) {
        m_error = m_dir.errorString();
        return;
    }
    privateMounts();
    const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k";
    if (::mount("tabel-test", QFile::encodeName(m_dir.path()).constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) != 0) {
        m_error = QStringLiteral("cannot mount a tmpfs on %1: %2 (it takes root)").arg(m_dir.path(), QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    m_mounted = true;
}

SmallFileSystem::~SmallFileSystem()
{
    if (m_mounted) ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
}

QString SmallFileSystem::filePath(const QString& name) const { return m_dir.filePath(name); }

bool SmallFileSystem::fill()
{
    QFile filler(filePath(QStringLiteral("filler")));
    if (!filler.open(QIODevice::Append | QIODevice::Unbuffered)) return false;
    const QByteArray block(512, 'x');
    while (filler.write(block) == block.size()) {
    }
    // Whatever a block did not fit, a byte may.
    while (filler.write("x", 1) == 1) {
    }
    return filler.error() != QFileDevice::NoError;
}

void SmallFileSystem::release() { QFile::remove(filePath(QStringLiteral("filler"))); }
