#include "app/lancement.h"

#include "watch/moteur.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace corvane {

QString placeLeProgramme(const QString& configNommee, Emplacements& lieux)
{
    lieux = emplacements(QCoreApplication::applicationDirPath(), configNommee);
    if (!lieux.ok) {
        return lieux.raison;
    }
    if (!QDir::setCurrent(lieux.dossierTravail)) {
        return QStringLiteral("impossible d'aller dans le dossier %1").arg(lieux.dossierTravail);
    }
    return {};
}

QString annonceReglagesCrees(Moteur& moteur, const Emplacements& lieux)
{
    // Not written (a box said why): nothing to announce.
    if (!lieux.configNouvelle || !QFileInfo::exists(lieux.config)) {
        return {};
    }
    const QString texte = QStringLiteral("R\u00e9glages cr\u00e9\u00e9s : %1")
                              .arg(QDir::toNativeSeparators(lieux.config));
    moteur.journal(texte);
    return texte;
}

} // namespace corvane
