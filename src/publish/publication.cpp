#include "publish/publication.h"

#include "config/parametres.h"
#include "publish/fragment.h"

namespace corvane {

Q_LOGGING_CATEGORY(lcPublication, "corvane.publish")

DemandeFtp demandeFtp(const Parametres& p)
{
    DemandeFtp d;
    d.utilisateur = p.NomDomaine;
    d.motDePasse = p.MotDePasseFtp;
    d.hebergeur = p.FtpHebergeur;
    d.fichierLocal = p.FichierATransferer;
    d.cheminDistant = p.EmplacementFichier;
    d.protocole = p.ProtocoleFtp;
    d.empreinteHote = p.EmpreinteHote;
    d.certificat = p.CertificatFtp;
    return d;
}

Publication::Publication(QObject* parent) : ServicePublication(parent)
{
    connect(&envoi_, &EnvoiFtp::etat, this, &Publication::Inet1_StateChanged);
}

Publication::~Publication() = default; // envoi_ goes first and joins its worker

void Publication::signale(const QString& libelle)
{
    qCWarning(lcPublication).noquote() << libelle;
    emit entree(libelle);
}

bool Publication::ecrit_ip_actu(const QString& ip)
{
    const WriteResult w = ecritFragment(kFichierIpActu, ip);
    if (!w.ok) {
        ipActuEcrite_.reset();
        signale(QStringLiteral("Fichier %1 non écrit : %2").arg(kFichierIpActu, w.raison));
        return false;
    }
    ipActuEcrite_ = ip;
    return true;
}

bool Publication::prepare_page(const QString& ip)
{
    // "ip_actu" left over from an earlier address would publish that address.
    if (ipActuEcrite_ != ip) {
        pageEnEchec_ = true;
        signale(QStringLiteral("Page non publiée : %1 non écrit pour l'adresse actuelle")
                    .arg(kFichierIpActu));
        return false;
    }
    derniere_ = assemblePage(kFichierGabarit, kFichierIpActu, kFichierPage);
    pageEnEchec_ = !derniere_.ok;
    emit pageAssemblee();
    if (!derniere_.ok) {
        signale(derniere_.erreur);
    }
    return derniere_.ok;
}

void Publication::envoi_ftp(const DemandeFtp& demande)
{
    // The file on disk is still an older address's page.
    if (pageEnEchec_) {
        qCInfo(lcPublication) << "upload skipped: the last page could not be built";
        return;
    }
    envoi_.envoie(demande);
}

void Publication::Inet1_StateChanged(int state, const QString& raison)
{
    const QString libelle = state == EtatConnexion ? QStringLiteral("Transfert ftp .") : QString();
    if (state < EtatTermine) {
        emit texte(libelle + QLatin1Char('.'));
    }
    const auto echec = [&](const QString& debut) {
        const QString texte = raison.isEmpty() ? debut : debut + QStringLiteral(" : ") + raison;
        signale(texte);
        emit envoiTermine(false, texte);
    };
    if (state == EtatAucun) {
        echec(QStringLiteral("Erreur de connexion"));
    }
    if (state == EtatErreur) {
        echec(QStringLiteral("Erreur fichier ftp!"));
    }
    if (state == EtatTermine) {
        qCInfo(lcPublication) << "upload done";
        emit entree(QStringLiteral("Transfert : OK"));
        emit envoiTermine(true, {});
    }
}

} // namespace corvane
