#include "mail/mailing.h"

#include "mail/message.h"
#include "mail/utc.h"
#include "platform/platform.h"
#include "reseau/differe.h"

#include <QTimer>

#include <utility>

Q_LOGGING_CATEGORY(lcMail, "corvane.mail")

namespace corvane {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

} // namespace

Mailing::Mailing(const Clock& clock, QObject* parent) : ServiceMail(parent), clock_(clock)
{
    ws_ = new DialogueSmtpDiffere(this);
    connect(ws_, &DialogueMail::journal, this, &Mailing::ajouteAuLog);
    connect(ws_, &DialogueMail::activite, this, [this] {
        ++activites_;
        emit activite();
    });
    connect(ws_, &DialogueMail::erreurSocket, this, &ServiceMail::erreurSocket);
    connect(ws_, &DialogueMail::termine, this, &Mailing::finEnvoi);
}

Mailing::~Mailing() = default;

void Mailing::InitSmtp(const ReglagesMail& reglages)
{
    static_assert(std::tuple_size_v<decltype(ReglagesMail::adresses)> + 1 == kEntrees);
    reglages_ = reglages;
    for (std::size_t i = 0; i < reglages.adresses.size(); ++i) {
        liste_[i] = reglages.adresses[i];
    }
    // The empty last entry ends the mailing loop after a tenth address.
    liste_.back().clear();
    emit listeChangee();
}

void Mailing::setDelais(int connexionMs, int reponseMs)
{
    ws_->setDelais(connexionMs, reponseMs);
}

void Mailing::BoucleSend(const QString& message, const QString& ipActuelle)
{
    // Stamp and body belong to this change, even when the mailing has to wait its turn.
    texteUTC_ = HeureUTC(clock_);
    attente_.push_back(corvane::CorpsMail(message, ipActuelle, texteUTC_));
    demarreMailingSuivant();
}

void Mailing::demarreMailingSuivant()
{
    if (enCours_ || attente_.empty()) {
        return;
    }
    enCours_ = true;
    corpsMail_ = std::move(attente_.front());
    attente_.pop_front();
    rapport_.clear();
    envoyes_ = 0;
    refuses_ = 0;
    parAdresse_.clear();
    numMail_ = adresseSuivante(-1);
    if (numMail_ < 0) {
        // No address at all: no dialogue, and the empty report, from the event loop like
        // every other end.
        QTimer::singleShot(0, this, &Mailing::finMailing);
        return;
    }
    EnvoiSmtp();
}

int Mailing::adresseSuivante(int apres) const
{
    for (int i = apres + 1; i < kEntrees; ++i) {
        if (!liste_[i].isEmpty()) {
            return i;
        }
    }
    return -1;
}

void Mailing::EnvoiSmtp()
{
    EnvoiMail envoi;
    envoi.serveur = reglages_.serveur;
    envoi.expediteur = reglages_.messageDe;
    destinataire_ = liste_[numMail_];
    envoi.destinataire = destinataire_;
    envoi.sujet = reglages_.sujet;
    envoi.corps = corpsMail_;
    envoi.securite = reglages_.securite;
    envoi.utilisateur = reglages_.utilisateur;
    envoi.motDePasse = reglages_.motDePasse;
    envoi.adresseExpediteur = reglages_.adresseExpediteur;
    envoi.certificat = reglages_.certificat;
    envoi.date = clock_.now();
    // Sequential by construction: the previous dialogue ended before this one is asked for.
    ws_->envoie(envoi);
}

void Mailing::ajouteBloc(int index, const QString& adresse, const ResultatEnvoi& resultat)
{
    rapport_ += QStringLiteral("Mail N°") + QString::number(index + 1) + kCrLf + adresse + kCrLf +
                (resultat.envoye ? QStringLiteral("... expe OK")
                                 : QStringLiteral("... expe ERREUR : ") + resultat.raison) +
                kCrLf;
    refuses_ += resultat.envoye ? 0 : 1;
    parAdresse_.append({adresse, resultat.envoye, resultat.envoye ? QString() : resultat.raison});
}

void Mailing::finEnvoi(const ResultatEnvoi& resultat)
{
    ajouteBloc(numMail_, destinataire_, resultat);
    if (resultat.envoye) {
        ++envoyes_;
    } else {
        // The reason comes masked from the dialogue: no password reaches this line.
        qCWarning(lcMail).noquote() << QStringLiteral("Mail N°%1 à \"%2\" non envoyé : %3")
                                           .arg(numMail_ + 1)
                                           .arg(destinataire_, resultat.raison);
    }
    emit mailEnvoye();
    int suivante = adresseSuivante(numMail_);
    if (resultat.connexion && suivante >= 0) {
        // The next dialogues would meet the same failure (and each its own wait).
        int restantes = 0;
        for (; suivante >= 0; suivante = adresseSuivante(suivante)) {
            ajouteBloc(suivante, liste_[suivante], resultat);
            ++restantes;
        }
        qCWarning(lcMail).noquote()
            << QStringLiteral("mailing arrêté, %1 adresse(s) de plus sans envoi : %2")
                   .arg(QString::number(restantes), resultat.raison);
    }
    if (suivante >= 0) {
        numMail_ = suivante;
        // The next dialogue starts from the event loop, so that the engine's timer and the
        // user are served between two mails.
        QTimer::singleShot(0, this, &Mailing::EnvoiSmtp);
        return;
    }
    finMailing();
}

void Mailing::finMailing()
{
    qCInfo(lcMail).noquote()
        << QStringLiteral("mailing terminé : %1 mail(s) envoyé(s)").arg(envoyes_);
    const QString rapport = rapport_;
    numMail_ = 0;
    rapport_.clear();
    enCours_ = false;
    QTimer::singleShot(0, this, &Mailing::demarreMailingSuivant);
    emit termine(rapport, refuses_, std::exchange(parAdresse_, {}));
}

void Mailing::ajouteAuLog(const QString& entree)
{
    const QString ligne = kCrLf + entree;
    log_ += ligne;
    if (log_.size() > kLogMax) {
        // Cut at a line start, a quarter below the bound, so that the cut is not paid at
        // each line once the log is full.
        const qsizetype garde = kLogMax * 3 / 4;
        const qsizetype debut = log_.indexOf(kCrLf, log_.size() - garde);
        log_.remove(0, debut < 0 ? log_.size() - garde : debut);
    }
    emit dialogue(ligne);
}

} // namespace corvane
