#include "console/consolelog.h"

#include "platform/saferead.h"
#include "platform/textcodec.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {
namespace {

QString raison(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

bool existe(const QString& chemin)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(chemin).constData(), &st) == 0 || errno != ENOENT;
}

// Renames the file (whatever it is: a FIFO, a link, a folder) to the first free name of
// "corvane.log.illisible", "corvane.log.illisible.2", ...; the new name, or "" when it
// could not be moved.
QString metDeCote(const QString& chemin)
{
    for (int n = 1; n < 100; ++n) {
        QString cible = chemin + QStringLiteral(".illisible");
        if (n > 1) {
            cible += u'.' + QString::number(n);
        }
        if (existe(cible)) {
            continue;
        }
        if (std::rename(QFile::encodeName(chemin).constData(),
                        QFile::encodeName(cible).constData()) == 0) {
            return QFileInfo(cible).fileName();
        }
        return {};
    }
    return {};
}

QString megaOctets(qint64 octets)
{
    return QString::number(double(octets) / (1024.0 * 1024.0), 'f', 1).replace(u'.', u',');
}

} // namespace

QString formatDateHeure(const QDateTime& when)
{
    return when.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}

QString ConsoleLog::entree(const QString& libelle, const QDateTime& when, const QString& ip)
{
    static const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("\n") + libelle + crlf + formatDateHeure(when) + crlf +
           QStringLiteral("IP = ") + ip + crlf;
}

QString ConsoleLog::ajouteEntree(const QString& libelle, const QDateTime& when, const QString& ip)
{
    QString e = entree(libelle, when, ip);
    ajouteTexte(e);
    return e;
}

FichierJournal::Ouverture FichierJournal::ouvre()
{
    Ouverture o;
    const QString nom = QFileInfo(chemin_).fileName();
    const TailResult t = readFileTail(chemin_, kPartieAffichee);
    if (t.missing) {
        return o;
    }
    if (!t.ok) {
        const QString garde = metDeCote(chemin_);
        if (garde.isEmpty()) {
            bloque_ = QStringLiteral("%1 illisible : %2 ; laiss\u00e9 tel quel").arg(nom, t.raison);
            o.note =
                QStringLiteral("(%1 ; le journal ne sera pas enregistr\u00e9)\r\n").arg(bloque_);
        } else {
            o.note = QStringLiteral("(%1 illisible : %2 ; gard\u00e9 sous le nom %3, un nouveau "
                                    "journal commence)\r\n")
                         .arg(nom, t.raison, garde);
        }
        return o;
    }

    QByteArray fin = t.data;
    qint64 cache = t.size - fin.size();
    if (cache > 0) {
        // From the first entry that starts in what was read: no entry is shown in half.
        const qsizetype debut = fin.indexOf('\n');
        if (debut > 0) {
            fin.remove(0, debut);
            cache += debut;
        }
    }
    QString ou;
    if (t.size > kSeuilRotation) {
        const QString ancien = chemin_ + QStringLiteral(".1");
        if (std::rename(QFile::encodeName(chemin_).constData(),
                        QFile::encodeName(ancien).constData()) == 0) {
            ou = QStringLiteral(" ; journal entier dans %1").arg(QFileInfo(ancien).fileName());
        } else {
            const int err = errno;
            o.note = QStringLiteral("(%1 n'a pas pu \u00eatre renomm\u00e9 : %2)\r\n")
                         .arg(nom, raison(err));
        }
    }
    if (cache > 0) {
        o.texte = QStringLiteral("\u2026 d\u00e9but du journal non affich\u00e9 (%1 Mo%2) \u2026")
                      .arg(megaOctets(cache), ou);
        if (!fin.startsWith('\n')) {
            o.texte += QStringLiteral("\r\n");
        }
    }
    o.texte += fromAnsi(fin);
    return o;
}

WriteResult FichierJournal::ajoute(const QByteArray& octets)
{
    if (!bloque_.isEmpty()) {
        return {false, bloque_};
    }
    const QByteArray nom = QFile::encodeName(chemin_);
    const QString pasOrdinaire = QStringLiteral("pas un fichier ordinaire");
    struct stat st {};
    // Looked at before opening, so that a FIFO or a device is never opened for writing.
    if (::stat(nom.constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        return {false, pasOrdinaire};
    }
    // A link to an existing log is followed; a new log is only ever made as a plain file, never
    // through a link that points to nothing yet.
    constexpr int kFlags = O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    int fd = -1;
    do {
        fd = ::open(nom.constData(), kFlags);
        if (fd < 0 && errno == ENOENT) {
            fd = ::open(nom.constData(), kFlags | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
        }
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return {false, raison(errno)};
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return {false, pasOrdinaire};
    }
    const off_t avant = st.st_size;
    qsizetype fait = 0;
    int erreur = 0;
    while (fait < octets.size()) {
        const ssize_t n = ::write(fd, octets.constData() + fait, size_t(octets.size() - fait));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            erreur = n < 0 ? errno : EIO;
            break;
        }
        fait += n;
    }
    if (erreur == 0 && ::fsync(fd) != 0 && errno != EINVAL) {
        erreur = errno;
    }
    if (erreur != 0) {
        // Nothing half-written stays: the caller sends the same bytes again next time, so the
        // file still ends up exactly as if it had been written whole.
        QString why = raison(erreur);
        if (::ftruncate(fd, avant) != 0) {
            why += QStringLiteral(", et la fin du fichier n'a pas pu \u00eatre retir\u00e9e");
        }
        ::close(fd);
        return {false, why};
    }
    ::close(fd); // after a good fsync the bytes are on disk, whatever close says
    return {true, {}};
}

} // namespace corvane
