#include "platform/atomicfile.h"

#include <QSaveFile>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace corvane {
namespace {

QString reason(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

} // namespace

WriteResult writeFileAtomically(const QString& path, const QByteArray& data, FileAccess access)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return {false, file.errorString()};
    }
    const auto abandon = [&file](const QString& why) {
        file.cancelWriting();
        return WriteResult{false, why};
    };
    // On the open descriptor, before any byte is written: QSaveFile may write through an
    // unnamed temporary file, whose mode QFileDevice::setPermissions does not reach.
    if (access == FileAccess::OwnerOnly && ::fchmod(file.handle(), S_IRUSR | S_IWUSR) != 0) {
        return abandon(reason(errno));
    }
    if (file.write(data) != data.size()) {
        return abandon(file.errorString());
    }
    // QSaveFile buffers small writes and, when the buffer fails to reach the disk at commit
    // (a full disk, a file size limit), still puts the empty file in place and reports
    // success. So the buffer is emptied here and the data forced to the disk, each result
    // checked, before commit is allowed to rename anything.
    if (!file.flush()) {
        return abandon(file.errorString());
    }
    if (::fsync(file.handle()) != 0 && errno != EINVAL && errno != EROFS) {
        return abandon(reason(errno));
    }
    if (!file.commit()) {
        return {false, file.errorString()};
    }
    return {true, {}};
}

} // namespace corvane
