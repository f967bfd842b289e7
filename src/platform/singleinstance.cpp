#include "platform/singleinstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {
namespace {

QString reason(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// A folder of the user's own that nobody else may write to.
bool isPrivateFolder(const QString& folder)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(folder).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// $XDG_CACHE_HOME/corvane or ~/.cache/corvane, made (mode 0700) when missing; "" when it
// cannot be made private.
QString privateCacheFolder()
{
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (!QDir::isAbsolutePath(base)) {
        const QString home = qEnvironmentVariable("HOME");
        if (!QDir::isAbsolutePath(home)) {
            return {};
        }
        base = home + QStringLiteral("/.cache");
    }
    const QString folder = base + QStringLiteral("/corvane");
    QDir().mkpath(base);
    const QByteArray name = QFile::encodeName(folder);
    if (::mkdir(name.constData(), S_IRWXU) != 0 && errno != EEXIST) {
        return {};
    }
    return isPrivateFolder(folder) ? folder : QString();
}

} // namespace

SingleInstance::SingleInstance(const QString& programFolder) : programFolder_(programFolder)
{
    const QString canonical = QFileInfo(programFolder).canonicalFilePath();
    if (!canonical.isEmpty()) {
        programFolder_ = canonical;
    }
    const QByteArray id =
        QCryptographicHash::hash(programFolder_.toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    name_ = QStringLiteral("corvane-") + QString::fromLatin1(id) + QStringLiteral(".lock");
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    path_ = (QDir::isAbsolutePath(runtime) ? runtime : programFolder_) + u'/' + name_;
}

SingleInstance::~SingleInstance()
{
    if (fd_ >= 0) {
        ::close(fd_); // releases the lock; the file stays for the next run to reuse
    }
}

// Opens and locks the lock file in folder. "" on success or when another instance holds it
// (fd_ tells which), the reason the place was passed over otherwise.
QString SingleInstance::lockIn(const QString& folder)
{
    const QString path = folder + u'/' + name_;
    const QByteArray name = QFile::encodeName(path);
    // O_NOFOLLOW: a link planted under the lock's name is refused, never followed to create
    // or lock a file somewhere else.
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        return errno == ELOOP ? QStringLiteral("c'est un lien") : reason(errno);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(fd);
        return QStringLiteral("il n'appartient pas \u00e0 l'utilisateur ou n'est pas un fichier");
    }
    fd_ = fd;
    return {};
}

bool SingleInstance::acquire()
{
    if (fd_ >= 0) {
        return true;
    }
    notes_.clear();
    bool refused = false;
    // True when the folder settled it: this process holds the lock, or another one does.
    const auto settles = [&](const QString& folder) {
        if (const QString why = lockIn(folder); !why.isEmpty()) {
            notes_ << QStringLiteral("Corvane : verrou %1/%2 ignor\u00e9 (%3)")
                          .arg(folder, name_, why);
            return false;
        }
        path_ = folder + u'/' + name_;
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
            return true;
        }
        const int err = errno;
        ::close(fd_);
        fd_ = -1;
        refused = err == EWOULDBLOCK;
        if (!refused) {
            notes_ << QStringLiteral("Corvane : verrou %1 impossible (%2)").arg(path_, reason(err));
        }
        return refused;
    };
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime) && isPrivateFolder(runtime) && settles(runtime)) {
        return !refused;
    }
    // Made only when needed: a start with a runtime folder leaves nothing in the cache.
    if (const QString cache = privateCacheFolder(); !cache.isEmpty() && settles(cache)) {
        return !refused;
    }
    if (settles(programFolder_)) {
        return !refused;
    }
    // No place for a lock: better to run unprotected, and say so, than to refuse to start.
    notes_ << QStringLiteral("Corvane : aucun verrou possible, une seconde instance ne serait "
                             "pas d\u00e9tect\u00e9e");
    return true;
}

QString SingleInstance::refusal() const
{
    return QStringLiteral(
               "Corvane est d\u00e9j\u00e0 lanc\u00e9 depuis le dossier %1 (verrou %2) : "
               "ce second d\u00e9marrage s'arr\u00eate.")
        .arg(QDir::toNativeSeparators(programFolder_), path_);
}

} // namespace corvane
