#include "platform/atomicfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace corvane {

WriteResult writeFileAtomically(const QString& path, const QByteArray& data, FileAccess access)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return {false, file.errorString()};
    }
    if (access == FileAccess::OwnerOnly &&
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        file.cancelWriting();
        return {false, file.errorString()};
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
