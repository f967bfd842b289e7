#include "platform/atomicfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace corvane {

WriteResult writeFileAtomically(const QString& path, const QByteArray& data, FileAccess access)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return {false, file.errorString()};
    }
    // On the open descriptor, before any byte is written: QSaveFile may write through an
    // unnamed temporary file, whose mode QFileDevice::setPermissions does not reach.
    if (access == FileAccess::OwnerOnly && ::fchmod(file.handle(), S_IRUSR | S_IWUSR) != 0) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        file.cancelWriting();
        return {false, why};
    }
    if (file.write(data) != data.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return {false, why};
    }
    if (!file.commit()) {
        return {false, file.errorString()};
    }
    return {true, {}};
}

ReadResult readWholeFile(const QString& path, qint64 maxBytes)
{
    ReadResult r;
    QFile file(path);
    if (!file.exists()) {
        r.missing = true;
        r.error = QStringLiteral("fichier absent");
        return r;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        r.error = file.errorString();
        return r;
    }
    if (file.size() > maxBytes) {
        r.error = QStringLiteral("fichier trop grand");
        return r;
    }
    r.data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        r.error = file.errorString();
        r.data.clear();
        return r;
    }
    r.ok = true;
    return r;
}

} // namespace corvane
