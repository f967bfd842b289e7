#include "platform/singleinstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace corvane {

SingleInstance::SingleInstance(const QString& programFolder)
{
    const QString canonical = QFileInfo(programFolder).canonicalFilePath();
    const QByteArray id =
        QCryptographicHash::hash((canonical.isEmpty() ? programFolder : canonical).toUtf8(),
                                 QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QFileInfo(dir).isDir()) {
        dir = QDir::tempPath();
    }
    path_ = dir + QStringLiteral("/corvane-") + QString::fromLatin1(id) + QStringLiteral(".lock");
}

SingleInstance::~SingleInstance()
{
    if (fd_ >= 0) {
        ::close(fd_); // releases the lock; the file stays for the next run to reuse
    }
}

bool SingleInstance::acquire()
{
    if (fd_ >= 0) {
        return true;
    }
    const QByteArray name = QFile::encodeName(path_);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        // No place for a lock: better to run than to refuse to start at all.
        return true;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

} // namespace corvane
