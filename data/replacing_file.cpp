#include "data/replacing_file.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSysInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <signal.h>
#include <unistd.h>

namespace {

/// ".<target's name>.tabel-<host>-<pid>-<six letters>": hidden beside the target, and naming
/// the process that writes it, so that a later run can tell a live writer's file from one that
/// a killed run left behind.
const QRegularExpression& temporaryPattern()
{
    static const QRegularExpression name(QStringLiteral(R"(^\..+\.tabel-([A-Za-z0-9_.-]*)-(\d+)-[A-Za-z0-9]{6}$)"));
    return name;
}

QString hostName()
{
    QString host = QSysInfo::machineHostName();
    host.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]")), QStringLiteral("_"));
    return host;
}

QString randomLetters()
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString s;
    for (int i = 0; i < 6; ++i) s += QLatin1Char(letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))]);
    return s;
}

QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

} // namespace

/// A file that remembers the first write it could not take whole: the file device forgets a
/// failed write at the next one, and a full disk often fails only the last, buffered one.
class ReplacingFile::CheckedFile : public QFile {
public:
    using QFile::QFile;
    qint64 written = 0;
    QString failure;
    bool throughDevice = false;

protected:
    qint64 writeData(const char* data, qint64 len) override
    {
        // A short write says nothing of why: the rest is written again, and the write that then
        // takes nothing says why (a full disk, say), where "Unknown error" would be all there is.
        qint64 done = 0, last = 0;
        while (done < len && (last = QFile::writeData(data + done, len - done)) > 0) done += last;
        if (done != len && failure.isEmpty()) failure = errorString();
        written += done;
        return done > 0 || len == 0 ? done : last;
    }
};

ReplacingFile::ReplacingFile(const QString& target)
{
    // A link keeps pointing at the report: the file it names is the one replaced.
    const QFileInfo info(target);
    m_target = info.isSymLink() ? info.symLinkTarget() : info.absoluteFilePath();
}

ReplacingFile::~ReplacingFile() { discard(); }

bool ReplacingFile::open()
{
    const QFileInfo target(m_target);
    removeStaleTemporaries(target.absolutePath());
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto file = std::make_unique<CheckedFile>(target.absoluteDir().filePath(temporaryName(target.fileName(), ::getpid())));
        // NewOnly: a name that happens to exist is never taken over. Unbuffered: every write
        // reaches the system at once, which says why it failed.
        if (file->open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            m_file = std::move(file);
            return true;
        }
        if (!file->exists()) return fail(file->errorString());
    }
    return fail(QStringLiteral("нет свободного имени для временного файла"));
}

QIODevice& ReplacingFile::device()
{
    m_file->throughDevice = true;
    return *m_file;
}

QString ReplacingFile::temporaryPath() const { return m_file ? m_file->fileName() : QString(); }

bool ReplacingFile::commit()
{
    if (!m_file) return fail(QStringLiteral("файл не создан"));
    CheckedFile& file = *m_file;
    if (file.throughDevice) {
        if (!file.failure.isEmpty()) return fail(file.failure);
        if (!file.flush()) return fail(file.errorString());
        if (::fsync(file.handle()) != 0) return fail(systemError());
        file.close();
        if (file.error() != QFileDevice::NoError) return fail(file.errorString());
        const qint64 size = QFileInfo(file.fileName()).size();
        if (size != file.written)
            return fail(QStringLiteral("записано %1 байт из %2").arg(size).arg(file.written));
    } else {
        // The writer has written and closed the file by its name; what it wrote reaches the disk
        // before the file takes the target's place.
        file.close();
        QFile written(file.fileName());
        if (!written.open(QIODevice::ReadOnly)) return fail(written.errorString());
        if (::fsync(written.handle()) != 0) return fail(systemError());
    }
    const QFileInfo target(m_target);
    file.setPermissions(target.exists() ? target.permissions()
                                        : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    if (std::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(m_target).constData()) != 0)
        return fail(systemError());
    m_file.reset();
    return true;
}

void ReplacingFile::discard()
{
    if (!m_file) return;
    m_file->close();
    m_file->remove();
    m_file.reset();
}

bool ReplacingFile::fail(const QString& reason)
{
    m_error = reason;
    discard();
    return false;
}

QString ReplacingFile::temporaryName(const QString& targetName, qint64 pid)
{
    return QLatin1Char('.') + targetName + QStringLiteral(".tabel-") + hostName() + QLatin1Char('-') + QString::number(pid)
           + QLatin1Char('-') + randomLetters();
}

void ReplacingFile::removeStaleTemporaries(const QString& folder)
{
    const QDir dir(folder);
    const QString host = hostName();
    const QStringList names = dir.entryList({QStringLiteral(".*.tabel-*")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        const QRegularExpressionMatch m = temporaryPattern().match(name);
        // Another machine's processes cannot be asked: its files stay.
        if (!m.hasMatch() || m.captured(1) != host) continue;
        bool ok = false;
        const pid_t pid = pid_t(m.captured(2).toLongLong(&ok));
        if (!ok || pid <= 0 || pid == ::getpid()) continue;
        // ESRCH: no such process. EPERM means it runs under another user: still alive.
        if (::kill(pid, 0) != 0 && errno == ESRCH) QFile::remove(dir.filePath(name));
    }
}
