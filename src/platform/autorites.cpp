#include "platform/autorites.h"

#include "platform/saferead.h"

#include <QSslConfiguration>

namespace corvane {

namespace {
constexpr qint64 kTailleMax = 4 * 1024 * 1024; // a bundle of every public CA is ~250 KiB
}

const QList<QSslCertificate>& autoritesSysteme()
{
    // A default configuration given CAs of its own (by the embedding program) is kept.
    static const QList<QSslCertificate> liste = [] {
        QList<QSslCertificate> l = QSslConfiguration::defaultConfiguration().caCertificates();
        return l.isEmpty() ? QSslConfiguration::systemCaCertificates() : l;
    }();
    return liste;
}

Autorites chargeAutorites(const QString& chemin)
{
    Autorites a;
    const ReadResult lu = readWholeFile(chemin, kTailleMax);
    if (!lu) {
        a.raison = QStringLiteral("certificat illisible : %1 (%2)").arg(chemin, lu.raison);
        return a;
    }
    QList<QSslCertificate> fichier = QSslCertificate::fromData(lu.data, QSsl::Pem);
    fichier.removeIf([](const QSslCertificate& c) { return c.isNull(); });
    if (fichier.isEmpty()) {
        a.raison = QStringLiteral("certificat invalide : %1 (aucun certificat PEM)").arg(chemin);
        return a;
    }
    // Giving a configuration its own CAs stops Qt's on-demand use of the system store, so the
    // store is listed in full beside the file's.
    a.ok = true;
    a.liste = autoritesSysteme() + fichier;
    return a;
}

} // namespace corvane
