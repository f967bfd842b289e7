#pragma once
// The authorities a TLS peer is checked against: the system's store plus those of a
// "Certificat" file the user names. The file goes through the safe reader, so a FIFO or a
// device given as the file is refused at once instead of freezing the program.

#include "platform/resultat.h"

#include <QList>
#include <QSslCertificate>

namespace corvane {

struct Autorites : Resultat {
    QList<QSslCertificate> liste; // the system's and the file's, when ok
};

// Reasons: "certificat illisible : <chemin> (<pourquoi>)", "certificat invalide : <chemin>
// (aucun certificat PEM)".
Autorites chargeAutorites(const QString& chemin);

// Read once per process: listing the system's store reads every file of it.
const QList<QSslCertificate>& autoritesSysteme();

} // namespace corvane
