#include "platform/singleinstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

namespace corvane {

SingleInstance::SingleInstance(const QString& programFolder)
{
    const QString canonical = QFileInfo(programFolder).canonicalFilePath();
    const QByteArray id =
        QCryptographicHash::hash((canonical.isEmpty() ? programFolder : canonical).toUtf8(),
                                 QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) {
        dir = QDir::tempPath();
    }
    path_ = dir + QStringLiteral("/corvane-") + QString::fromLatin1(id) + QStringLiteral(".lock");
    lock_ = std::make_unique<QLockFile>(path_);
    lock_->setStaleLockTime(0); // only a dead owner makes a lock stale, never its age
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::acquire()
{
    if (lock_->tryLock(0)) {
        return true;
    }
    // A lock whose owner died is removed by tryLock itself; this covers a lock file that was
    // left half written.
    if (lock_->error() == QLockFile::LockFailedError && lock_->removeStaleLockFile()) {
        return lock_->tryLock(0);
    }
    return false;
}

} // namespace corvane
