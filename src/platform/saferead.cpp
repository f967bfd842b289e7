#include "platform/saferead.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {
namespace {

QString reason(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

QString notRegular(mode_t mode)
{
    const char* kind = S_ISDIR(mode)                      ? "c'est un dossier"
                       : S_ISFIFO(mode)                   ? "c'est un tube nommé"
                       : S_ISSOCK(mode)                   ? "c'est une socket"
                       : (S_ISCHR(mode) || S_ISBLK(mode)) ? "c'est un périphérique"
                                                          : "type de fichier inconnu";
    return QStringLiteral("pas un fichier ordinaire (%1)").arg(QString::fromUtf8(kind));
}

struct Opened {
    int fd = -1;
    qint64 size = 0;
    bool missing = false;
    QString error;
};

Opened openRegular(const QString& path)
{
    Opened o;
    const QByteArray name = QFile::encodeName(path);
    // Looked at before opening: opening a device can itself do something (a tape rewinds).
    struct stat st {};
    if (::stat(name.constData(), &st) != 0) {
        o.missing = errno == ENOENT;
        o.error = o.missing ? QStringLiteral("fichier absent") : reason(errno);
        return o;
    }
    if (!S_ISREG(st.st_mode)) {
        o.error = notRegular(st.st_mode);
        return o;
    }
    // O_NONBLOCK: should a FIFO take the file's place in between, opening it does not wait
    // for a writer; fstat below then refuses it. It changes nothing for a regular file.
    int fd = -1;
    do {
        fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        o.missing = errno == ENOENT;
        o.error = o.missing ? QStringLiteral("fichier absent") : reason(errno);
        return o;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        o.error = S_ISREG(st.st_mode) ? reason(errno) : notRegular(st.st_mode);
        ::close(fd);
        return o;
    }
    o.fd = fd;
    o.size = st.st_size;
    return o;
}

// Reads from `offset` until the end of the file or `limit` bytes, whichever comes first;
// `expected` (the size measured at open) only sizes the first buffer.
bool readUpTo(int fd, qint64 offset, qint64 limit, qint64 expected, QByteArray& out, QString& error)
{
    out.resize(std::min(limit, expected + 1)); // one more, to see a file that grew
    qint64 done = 0;
    for (;;) {
        if (done == out.size()) {
            if (out.size() >= limit) {
                break;
            }
            out.resize(std::min(limit, out.size() * 2 + 4096));
        }
        const ssize_t n = ::pread(fd, out.data() + done, static_cast<size_t>(out.size() - done),
                                  static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            error = reason(errno);
            out.clear();
            return false;
        }
        if (n == 0) {
            break;
        }
        done += n;
    }
    out.truncate(done);
    return true;
}

} // namespace

ReadResult readWholeFile(const QString& path, qint64 maxBytes)
{
    ReadResult r;
    const Opened o = openRegular(path);
    if (o.fd < 0) {
        r.missing = o.missing;
        r.raison = o.error;
        return r;
    }
    // One byte past the cap, so that a file that grew since it was measured is caught too.
    const bool read =
        o.size <= maxBytes && readUpTo(o.fd, 0, maxBytes + 1, o.size, r.data, r.raison);
    ::close(o.fd);
    if (o.size > maxBytes || r.data.size() > maxBytes) {
        r.data.clear();
        r.raison = QStringLiteral("fichier trop grand");
        return r;
    }
    r.ok = read;
    return r;
}

TailResult readFileTail(const QString& path, qint64 maxBytes)
{
    TailResult r;
    const Opened o = openRegular(path);
    if (o.fd < 0) {
        r.missing = o.missing;
        r.raison = o.error;
        return r;
    }
    r.size = o.size;
    const qint64 from = std::max<qint64>(0, o.size - maxBytes);
    r.ok = readUpTo(o.fd, from, o.size - from, o.size - from, r.data, r.raison);
    ::close(o.fd);
    return r;
}

} // namespace corvane
