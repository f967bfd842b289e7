#include "reseau/differe.h"

#include "platform/modules.h"
#include "reseau/tablereseau.h"

#include <QTimer>
#include <QUrl>

namespace corvane {

const TableReseau* tableReseau(QString* erreur)
{
    static const auto module = chargeTable<TableReseau>(kModuleReseau, "corvane_table_reseau",
                                                        kVersionTableReseau, "réseau");
    if (!module.table && erreur) {
        *erreur = module.erreur;
    }
    return module.table;
}

void DetecteurDiffere::demarre(const RequeteDetection& requete)
{
    QString erreur;
    if (!reel_) {
        if (const TableReseau* t = tableReseau(&erreur)) {
            reel_ = t->creeDetecteur(delaiMs_, this);
            connect(reel_, &Detecteur::termine, this, &Detecteur::termine);
        }
    }
    if (reel_) {
        reel_->demarre(requete);
        return;
    }
    ResultatDetection r;
    r.raison = erreur;
    r.url = QUrl(requete.url).toString(QUrl::RemoveUserInfo);
    echec_ = true;
    QTimer::singleShot(0, this, [this, r] {
        echec_ = false;
        emit termine(r);
    });
}

bool DetecteurDiffere::enCours() const
{
    return reel_ ? reel_->enCours() : echec_;
}

void DialogueSmtpDiffere::setDelais(int connexionMs, int reponseMs)
{
    delais_ = {connexionMs, reponseMs};
    if (reel_) {
        reel_->setDelais(connexionMs, reponseMs);
    }
}

bool DialogueSmtpDiffere::envoie(const EnvoiMail& envoi)
{
    if (enCours()) {
        return false;
    }
    QString erreur;
    if (!reel_) {
        if (const TableReseau* t = tableReseau(&erreur)) {
            reel_ = t->creeDialogueSmtp(this);
            if (delais_) {
                reel_->setDelais(delais_->first, delais_->second);
            }
            connect(reel_, &DialogueMail::journal, this, &DialogueMail::journal);
            connect(reel_, &DialogueMail::activite, this, &DialogueMail::activite);
            connect(reel_, &DialogueMail::erreurSocket, this, &DialogueMail::erreurSocket);
            connect(reel_, &DialogueMail::termine, this, &DialogueMail::termine);
        }
    }
    if (reel_) {
        return reel_->envoie(envoi);
    }
    // The mailing's other addresses would meet the same failure: it is the connection's.
    echec_ = true;
    QTimer::singleShot(0, this, [this, erreur] {
        echec_ = false;
        emit termine(ResultatEnvoi{false, erreur, true});
    });
    return true;
}

bool DialogueSmtpDiffere::enCours() const
{
    return reel_ ? reel_->enCours() : echec_;
}

void MiseAJourDnsDifferee::miseAJour(const ReglagesDns& reglages, const QString& adresse)
{
    QString erreur;
    if (!reel_) {
        if (const TableReseau* t = tableReseau(&erreur)) {
            reel_ = t->creeMiseAJourDns(horloge_, this);
            connect(reel_, &ServiceDns::termine, this, &ServiceDns::termine);
        }
    }
    if (reel_) {
        reel_->miseAJour(reglages, adresse);
        return;
    }
    QTimer::singleShot(0, this, [this, erreur] { emit termine(false, erreur); });
}

} // namespace corvane
