#include "ui/pagepublisher.h"

#include "config/parametres.h"
#include "console/consolelink.h"
#include "publish/fragment.h"
#include "publish/ftpenvoi.h"
#include "ui/readfiletxtwindow.h"

namespace corvane {

PagePublisher::PagePublisher(ConsoleLink& console, QWidget* windowParent)
    : QObject(windowParent), console_(console), windowParent_(windowParent),
      envoi_(new EnvoiFtp(this))
{
    connect(envoi_, &EnvoiFtp::etat, this, &PagePublisher::Inet1_StateChanged);
}

PagePublisher::~PagePublisher()
{
    delete envoi_; // joins the worker before anything it reports to goes away
    envoi_ = nullptr;
    delete fenetre_.data();
}

bool PagePublisher::ecrit_ip_actu()
{
    const QString ip = console_.ipActuelle();
    const WriteResult w = ecritFragment(kFichierIpActu, ip);
    if (!w.ok) {
        ipActuEcrite_.reset();
        console_.journal(QStringLiteral("Fichier %1 non écrit : %2").arg(kFichierIpActu, w.raison));
        return false;
    }
    ipActuEcrite_ = ip;
    return true;
}

bool PagePublisher::prepare_page()
{
    if (!console_.uploadOn()) {
        return true;
    }
    if (console_.debugOn()) {
        read_file_txt()->show();
    }
    // "ip_actu" left over from an earlier address would publish that address.
    if (ipActuEcrite_ != console_.ipActuelle()) {
        pageEnEchec_ = true;
        console_.journal(QStringLiteral("Page non publiée : %1 non écrit pour l'adresse actuelle")
                             .arg(kFichierIpActu));
        return false;
    }
    const Assemblage a = read_file_txt()->traiteText();
    pageEnEchec_ = !a.ok;
    if (!a.ok) {
        console_.journal(a.erreur);
    }
    return a.ok;
}

void PagePublisher::envoi_ftp()
{
    if (!console_.uploadOn() || pageEnEchec_) {
        return;
    }
    const Parametres& p = console_.parametres();
    DemandeFtp d;
    d.utilisateur = p.NomDomaine;
    d.motDePasse = p.MotDePasseFtp;
    d.hebergeur = p.FtpHebergeur;
    d.fichierLocal = p.FichierATransferer;
    d.cheminDistant = p.EmplacementFichier;
    d.protocole = p.ProtocoleFtp;
    d.empreinteHote = p.EmpreinteHote;
    d.certificat = p.CertificatFtp;
    d.delaiConnexionSec = delaiConnexion_;
    d.delaiBlocageSec = delaiBlocage_;
    envoi_->envoie(d);
}

ReadFileTxtWindow* PagePublisher::fenetreOuverte() const
{
    return fenetre_;
}

ReadFileTxtWindow* PagePublisher::read_file_txt()
{
    if (!fenetre_) {
        fenetre_ = new ReadFileTxtWindow(windowParent_);
        fenetre_->setAttribute(Qt::WA_DeleteOnClose);
    }
    return fenetre_;
}

void PagePublisher::setDelais(int connexionSec, int blocageSec)
{
    delaiConnexion_ = std::max(1, connexionSec);
    delaiBlocage_ = std::max(1, blocageSec);
}

void PagePublisher::Inet1_StateChanged(int state, const QString& raison)
{
    const QString libelle = state == EtatConnexion ? QStringLiteral("Transfert ftp .") : QString();
    if (state < EtatTermine) {
        console_.ajouteTexte(libelle + QLatin1Char('.'));
    }
    const auto echec = [&](const QString& entree) {
        console_.journal(raison.isEmpty() ? entree : entree + QStringLiteral(" : ") + raison);
    };
    if (state == EtatAucun) {
        echec(QStringLiteral("Erreur de connexion"));
    }
    if (state == EtatErreur) {
        echec(QStringLiteral("Erreur fichier ftp!"));
    }
    if (state == EtatTermine) {
        console_.journal(QStringLiteral("Transfert : OK"));
    }
}

} // namespace corvane
