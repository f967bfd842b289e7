#include "platform/xdg.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace corvane {
namespace {

QString absoluteFromEnv(const char* name)
{
    const QString value = qEnvironmentVariable(name);
    return QDir::isAbsolutePath(value) ? QDir::cleanPath(value) : QString();
}

QString baseFolder(const char* variable, const char* underHome)
{
    const QString explicitFolder = absoluteFromEnv(variable);
    if (!explicitFolder.isEmpty()) {
        return explicitFolder;
    }
    const QString home = absoluteFromEnv("HOME");
    return home.isEmpty() ? QString() : home + QLatin1Char('/') + QLatin1String(underHome);
}

} // namespace

QString xdgConfigHome()
{
    return baseFolder("XDG_CONFIG_HOME", ".config");
}

QString xdgStateHome()
{
    return baseFolder("XDG_STATE_HOME", ".local/state");
}

Resultat makePrivateFolder(const QString& path)
{
    if (!QDir::isAbsolutePath(path)) {
        return Resultat::echec(QStringLiteral("dossier « %1 » : chemin relatif").arg(path));
    }
    const QString clean = QDir::cleanPath(path);
    // Walks down from the root so that each folder made gets 0700 itself; QDir::mkpath would
    // give the parents the umask's mode.
    qsizetype from = 1;
    while (from <= clean.size()) {
        qsizetype slash = clean.indexOf(QLatin1Char('/'), from);
        if (slash < 0) {
            slash = clean.size();
        }
        const QString part = clean.left(slash);
        from = slash + 1;
        if (part.isEmpty()) {
            continue;
        }
        const QByteArray native = QFile::encodeName(part);
        if (::mkdir(native.constData(), S_IRWXU) == 0) {
            // The umask could have taken bits from 0700; the mode asked for is exact.
            ::chmod(native.constData(), S_IRWXU);
            continue;
        }
        const int err = errno;
        if (err == EEXIST && QFileInfo(part).isDir()) {
            continue;
        }
        const QString why = err == EEXIST ? QStringLiteral("ce n'est pas un dossier")
                                          : QString::fromLocal8Bit(std::strerror(err));
        return Resultat::echec(
            QStringLiteral("dossier « %1 » impossible à créer : %2").arg(part, why));
    }
    return Resultat::succes();
}

} // namespace corvane
