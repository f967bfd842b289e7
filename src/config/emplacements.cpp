#include "config/emplacements.h"

#include "config/fichierini.h"
#include "platform/xdg.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

namespace corvane {
namespace {

Emplacements echec(QString raison)
{
    Emplacements e;
    e.raison = std::move(raison);
    return e;
}

Emplacements reussite(const QString& config, const QString& dossierTravail, bool utilisateur)
{
    Emplacements e;
    e.ok = true;
    e.config = config;
    e.dossierTravail = dossierTravail;
    e.configNouvelle = !QFileInfo::exists(config);
    e.dossiersUtilisateur = utilisateur;
    return e;
}

Emplacements configNommee(const QString& nom)
{
    const QFileInfo fichier(QDir::current(), nom);
    const QString chemin = QDir::cleanPath(fichier.absoluteFilePath());
    if (fichier.isDir()) {
        return echec(QStringLiteral("--config %1 : c'est un dossier, pas un fichier").arg(nom));
    }
    if (!QFileInfo(fichier.absolutePath()).isDir()) {
        return echec(QStringLiteral("--config %1 : le dossier %2 n'existe pas")
                         .arg(nom, fichier.absolutePath()));
    }
    return reussite(chemin, QDir::currentPath(), false);
}

} // namespace

bool dossierInscriptible(const QString& dossier)
{
    const QString reel = QFileInfo(dossier).canonicalFilePath();
    if (reel.isEmpty() || reel == QLatin1String("/usr") ||
        reel.startsWith(QLatin1String("/usr/"))) {
        return false;
    }
    QTemporaryFile essai(reel + QStringLiteral("/.corvane-essai-XXXXXX"));
    return essai.open(); // removed again when it goes out of scope
}

Emplacements emplacements(const QString& dossierProgramme, const QString& configExplicite,
                          const TestInscriptible& inscriptible)
{
    if (!configExplicite.isEmpty()) {
        return configNommee(configExplicite);
    }
    if (inscriptible(dossierProgramme)) {
        return reussite(QDir(dossierProgramme).absoluteFilePath(kNomConfig), QDir::currentPath(),
                        false);
    }
    const QString config = xdgConfigHome();
    const QString etat = xdgStateHome();
    if (config.isEmpty() || etat.isEmpty()) {
        return echec(QStringLiteral("le dossier %1 est en lecture seule et aucun dossier personnel "
                                    "n'est connu (HOME absent) : indiquez le fichier avec "
                                    "--config")
                         .arg(dossierProgramme));
    }
    const QString dossierConfig = config + QStringLiteral("/corvane");
    const QString dossierEtat = etat + QStringLiteral("/corvane");
    for (const QString& dossier : {dossierConfig, dossierEtat}) {
        if (const Resultat fait = makePrivateFolder(dossier); !fait) {
            return echec(fait.raison);
        }
    }
    return reussite(dossierConfig + QLatin1Char('/') + kNomConfig, dossierEtat, true);
}

} // namespace corvane
