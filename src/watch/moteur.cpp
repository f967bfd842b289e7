#include "watch/moteur.h"

#include "config/fichierini.h"
#include "platform/textcodec.h"
#include "publish/publication.h"
#include "reseau/differe.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

namespace corvane {

Q_LOGGING_CATEGORY(lcWatch, "corvane.watch")

namespace {

// Marked for the windows, which show the question in the user's language; nothing stores it.
const QString kQuestionQuitter =
    QStringLiteral(QT_TRANSLATE_NOOP("corvane::Moteur", "Etes-vous sûr(e) de vouloir quitter ?"));

void avertit(MessageBoxes& boxes, const QString& texte)
{
    boxes.notify(QStringLiteral("config"), kTitreApplication, texte, MessageBoxes::Icon::Warning);
}

} // namespace

Moteur::Moteur(Platform platform, QString cheminConfig, Detecteur& detecteur, ServiceMail& mail,
               ServicePublication& publication, ServiceDns* dns, QObject* parent)
    : QObject(parent), platform_(platform), cheminConfig_(std::move(cheminConfig)),
      detect_(detecteur), mail_(mail), publication_(publication),
      dns_(dns ? dns : new MiseAJourDnsDifferee(platform.clock, this)), Timer1(new QTimer(this)),
      delaiBilan_(new QTimer(this))
{
    delaiBilan_->setSingleShot(true);
    delaiBilan_->setInterval(90 * 1000);
    connect(delaiBilan_, &QTimer::timeout, this, [this] { emetBilan(true); });
    connect(&publication_, &ServicePublication::envoiTermine, this, &Moteur::envoiTermine);
    connect(dns_, &ServiceDns::termine, this, &Moteur::dnsTermine);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &Moteur::Timer1_Timer);
    connect(&detect_, &Detecteur::termine, this, &Moteur::detectionTerminee);
    connect(&mail_, &ServiceMail::termine, this, &Moteur::mailingTermine);
    connect(&mail_, &ServiceMail::mailEnvoye, this, [this] {
        if (reglages_.bipChangement) {
            platform_.sound->play(SoundPlayer::Sound::Mail);
        }
    });
    connect(&mail_, &ServiceMail::erreurSocket, this, [this](int numero, const QString& texte) {
        platform_.boxes->notify(QStringLiteral("smtp"), kTitreApplication,
                                QString::number(numero) + QStringLiteral(" : ") + texte,
                                MessageBoxes::Icon::Critical);
    });
    connect(&publication_, &ServicePublication::entree, this, &Moteur::journal);
    connect(&publication_, &ServicePublication::texte, this, &Moteur::ajouteTexte);
}

Moteur::~Moteur() = default;

// ---------------------------------------------------------------------------------------------
// Start-up and exit

void Moteur::Form_Load()
{
    // The second-instance test is made by the program's entry before the engine exists.
    const FichierJournal::Ouverture ancien = fichierLog_.ouvre();
    log_.setTexte(ancien.texte);
    log_.ajouteNote(ancien.note);
    emit journalCharge(log_.texte());

    QString illisible;
    Parametres_ = ChargeConfig(cheminConfig_, &illisible);
    if (!illisible.isEmpty()) {
        avertit(*platform_.boxes,
                QStringLiteral("Les r\u00e9glages de %1 ne peuvent pas \u00eatre lus : %2.\nLe "
                               "programme part de r\u00e9glages vides et ne r\u00e9\u00e9crira pas "
                               "ce fichier.")
                    .arg(QDir::toNativeSeparators(cheminConfig_), illisible));
    }
    chargeOptions(Parametres_);
    // Display mode, place and stay-on-top come from this first load only.
    emit optionsChangees(reglages_);
    emit positionChargee(QPoint(reglages_.positionH, reglages_.positionV));

    if (!QFileInfo::exists(cheminConfig_)) {
        const WriteResult w = ini_par_defaut(Parametres_, cheminConfig_);
        if (!w.ok) {
            avertit(*platform_.boxes, QStringLiteral("Impossible d'\u00e9crire %1 : %2")
                                          .arg(QDir::toNativeSeparators(cheminConfig_), w.raison));
        }
        emit aideDemandee();
    }

    Parametres_ = ChargeConfig(cheminConfig_);
    lu_ = Parametres_;
    chargeOptions(Parametres_);
    applique_couleur(); // writes the scheme's number back, as every start always has
    if (reglages_.mailAuto) {
        mail_.InitSmtp(mailDe(Parametres_));
    }
}

void Moteur::chargeOptions(const Parametres& p)
{
    const bool mail = reglages_.mailAuto;
    reglages_ = lisReglages(p);
    if (reglages_.mailAuto && !mail) { // the box's own action when the settings tick it
        mail_.InitSmtp(mailDe(p));
    }
}

void Moteur::utiliseSecrets(const QString& smtp, const QString& ftp)
{
    secretSmtp_ = smtp;
    secretFtp_ = ftp;
    if (reglages_.mailAuto) {
        mail_.InitSmtp(mailDe(Parametres_));
    }
}

Resultat Moteur::appliqueParametres(const Parametres& nouveaux)
{
    // The interval button is the engine's (setIntervalle) until the exit saves it.
    const int intervalle = reglages_.intervalle;
    Parametres avant = std::exchange(Parametres_, nouveaux); // champ() takes writable ones
    reglages_ = lisReglages(Parametres_);
    reglages_.intervalle = intervalle;
    mail_.InitSmtp(mailDe(Parametres_));
    options();
    const WriteResult w = SauveChangements(avant, Parametres_, cheminConfig_);
    if (!w.ok) {
        return Resultat::echec(w.raison); // the exit tries these keys again: lu_ still differs
    }
    // What the file now holds; the exit writes only what changes after this.
    for (const ConfigKey& k : clesConfig()) {
        if (champ(Parametres_, k) != champ(avant, k)) {
            champ(lu_, k) = champ(Parametres_, k);
        }
    }
    return Resultat::succes();
}

// The keyring's passwords stay out of the settings record, so the exit never saves them.
ReglagesMail Moteur::mailDe(const Parametres& p) const
{
    ReglagesMail r = reglagesMail(p);
    if (r.motDePasse.isEmpty()) {
        r.motDePasse = secretSmtp_;
    }
    return r;
}

DemandeFtp Moteur::ftpDe(const Parametres& p) const
{
    DemandeFtp d = demandeFtp(p);
    if (d.motDePasse.isEmpty()) {
        d.motDePasse = secretFtp_;
    }
    return d;
}

bool Moteur::Form_QueryUnload(QPoint coinTwips)
{
    if (fini_) {
        return true;
    }
    Parametres_.ValeurBoutonTempo = QString::number(reglages_.intervalle);
    if (!platform_.boxes->ask(kTitreApplication, kQuestionQuitter)) {
        return false;
    }
    Parametres_.PositionH = QString::number(coinTwips.x());
    Parametres_.PositionV = QString::number(coinTwips.y());
    enregistreEtFinit();
    return true;
}

void Moteur::quitteSansQuestion()
{
    if (!fini_) {
        Parametres_.ValeurBoutonTempo = QString::number(reglages_.intervalle);
        enregistreEtFinit();
    }
}

void Moteur::enregistreEtFinit()
{
    const WriteResult w = SauveChangements(lu_, Parametres_, cheminConfig_);
    if (!w.ok) {
        platform_.boxes->inform(kTitreApplication,
                                QStringLiteral("Les r\u00e9glages n'ont pas pu \u00eatre "
                                               "enregistr\u00e9s dans %1 : %2")
                                    .arg(QDir::toNativeSeparators(cheminConfig_), w.raison),
                                MessageBoxes::Icon::Warning);
    }
    fini_ = true;
    Timer1->stop();
    cycle_.prendAttente();
    // The error boxes belong to no window: one left open would keep the application alive,
    // unseen, still checking and holding the instance lock.
    platform_.boxes->closeAll();
    if (QCoreApplication* app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
    }
}

// ---------------------------------------------------------------------------------------------
// Console log

void Moteur::affiche()
{
    // Before the first good detection there is no address to show: the last known one stays.
    if (!IpActuelle.isEmpty()) {
        adresse_ = IpActuelle;
        emit adresseAffichee(adresse_);
    }
    emit texteAjoute(log_.ajouteEntree(libelle, platform_.clock->now(), IpActuelle));
    if (reglages_.sauveLog) {
        ecritLog();
    }
}

void Moteur::ecritLog()
{
    // What was not written yet, entries made while logging was off and the upload's dots
    // included; kept for the next entry when the write fails.
    const WriteResult w = fichierLog_.ajoute(toAnsi(log_.enAttente()));
    if (w.ok) {
        log_.marqueEcrit();
        logEnEchec_ = false;
        return;
    }
    if (!logEnEchec_) { // said once, until a write succeeds again; in the window, not the file
        logEnEchec_ = true;
        qCWarning(lcWatch) << kNomLog << w.raison;
        const QString note =
            QStringLiteral("\r\n(%1 : \u00e9criture impossible, %2)\r\n").arg(kNomLog, w.raison);
        log_.ajouteNote(note);
        emit texteAjoute(note);
    }
}

void Moteur::journal(const QString& texte)
{
    libelle = texte;
    affiche();
}

void Moteur::ajouteTexte(const QString& texte)
{
    log_.ajouteTexte(texte);
    emit texteAjoute(texte);
}

void Moteur::applique_couleur()
{
    Parametres_.CouleurConsole = QString::number(reglages_.couleur);
    options();
}

void Moteur::text1_Click()
{
    reglages_.couleur = schemaSuivant(reglages_.couleur);
    applique_couleur();
}

// ---------------------------------------------------------------------------------------------
// Check cycle

void Moteur::CommandStart_Click()
{
    if (!enMarche_) {
        enMarche_ = true;
        emit marcheChangee(true);
        emit voyant(vif_ = true);
        arme();
        Timer1->start();
        adresse_ = Parametres_.DerniereIP;
        emit adresseAffichee(adresse_);
        // InitSmtp and the "Start : " entry follow the first check, stamped with its answer.
        ++startsEnAttente_;
        lanceVerification();
        return;
    }
    enMarche_ = false;
    emit marcheChangee(false);
    emit voyant(vif_ = false);
    Timer1->stop();
    // The check under way ends as it would have; none may follow it, with its mails and page.
    if (cycle_.prendAttente()) {
        qCInfo(lcWatch) << "Stop: the check waiting behind the one under way is dropped";
    }
    acquitteAlarme();
    journal(QStringLiteral("Stop : "));
}

void Moteur::demarrageAuto()
{
    if (reglages_.demarrageAuto && !enMarche_) {
        CommandStart_Click();
    }
}

void Moteur::verifieUneFois()
{
    if (enMarche_ || cycle_.occupe()) {
        return; // the cycle's own checks already tell
    }
    adresse_ = Parametres_.DerniereIP;
    emit adresseAffichee(adresse_);
    lanceVerification();
}

void Moteur::Timer1_Timer()
{
    if (alarme_) {
        emit phaseAlarme(rouge_ = !rouge_);
    }
    const CheckCycle::Tick t = cycle_.tick(reglages_.intervalle, pas_);
    emit voyant(vif_ = !vif_);
    arme();
    if (t == CheckCycle::Tick::Verifier) {
        lanceVerification();
    } else if (t == CheckCycle::Tick::Differe) {
        qCDebug(lcWatch) << "a check came due during another one: it follows it";
    }
}

void Moteur::setSansFenetre(bool on)
{
    sansFenetre_ = on;
    pas_ = 1;
    Timer1->setInterval(1000);
}

// A window's indicator blinks each second; a run without one wakes when a check is due.
void Moteur::arme()
{
    if (sansFenetre_) {
        pas_ = cycle_.restantes(reglages_.intervalle);
        Timer1->setInterval(pas_ * 1000); // restarts it when it runs
    }
}

void Moteur::lanceVerification()
{
    if (cycle_.occupe()) {
        cycle_.differe(); // runs as soon as the one under way has ended
        return;
    }
    cycle_.setOccupe(true);
    detect_.demarre(RequeteDetection{Parametres_.AdresseDetect, Parametres_.AdresseSecours,
                                     Parametres_.Famille, Parametres_.CertificatHttp});
}

void Moteur::detectionTerminee(const ResultatDetection& r)
{
    if (fini_ || !cycle_.occupe()) {
        return;
    }
    emit heureVerification(formatDateHeure(platform_.clock->now()));
    if (!r.ok) {
        // A failed detection is no change: the last good address stays, nothing is acted on.
        // A page that stays down fails at every check: its reason is logged once per run of
        // the same failure, and the box never piles up.
        qCInfo(lcWatch) << "detection failed:" << r.raison;
        emit detectionEchouee(r.raison);
        if (!enEchec_) {
            enEchec_ = true;
            emit detectionEnEchec(r.raison);
        }
        if (r.raison != raisonEchec_) {
            raisonEchec_ = r.raison;
            journal(QStringLiteral("Erreur d\u00e9tection : ") + r.raison);
        }
        platform_.boxes->notify(QStringLiteral("detection"), kTitreApplication,
                                kErreurDetection + QStringLiteral("\r\n\r\n") + r.raison,
                                MessageBoxes::Icon::Critical);
        issue_ = IssueVerification::Echec;
        finVerification();
        return;
    }
    raisonEchec_.clear();
    if (std::exchange(enEchec_, false)) {
        emit detectionRetablie();
    }
    urlRepondu_ = r.url;
    if (r.secours != secoursActif_) {
        // Said when the answering page changes, not at every check.
        secoursActif_ = r.secours;
        journal(r.secours ? QStringLiteral("D\u00e9tection : adresse de secours")
                          : QStringLiteral("D\u00e9tection : adresse principale"));
    }
    IpActuelle = r.texte;
    Parametres_.DerniereIP = IpActuelle;
    verifie_changement();
}

void Moteur::finVerification()
{
    cycle_.setOccupe(false);
    const bool suivante = cycle_.prendAttente();
    // A Start's last steps follow its first check. One whose check a Stop dropped has no check
    // of its own left: it ends with this one.
    while (startsEnAttente_ > 0) {
        --startsEnAttente_;
        mail_.InitSmtp(mailDe(Parametres_));
        journal(QStringLiteral("Start : "));
        if (suivante) {
            break;
        }
    }
    emit verificationFinie(issue_);
    if (suivante) {
        lanceVerification();
    }
}

// ---------------------------------------------------------------------------------------------
// Change alarm and actions

void Moteur::verifie_changement()
{
    if (adresse_ == IpActuelle) {
        issue_ = IssueVerification::Inchangee;
        finVerification();
        return;
    }
    issue_ = IssueVerification::Changee;
    if (!alarme_) {
        alarme_ = true;
        emit alarmeChangee(true);
    }
    // An outcome still waiting goes out before this change's: one per change, in order.
    emetBilan(true);
    bilan_.emplace();
    bilan_->heure = platform_.clock->now();
    bilan_->ancienne = adresse_;
    bilan_->nouvelle = IpActuelle;
    bilan_->urlDetection = urlRepondu_;
    bilan_->secours = secoursActif_;
    libelle = QStringLiteral("Changement IP");
    if (reglages_.bipChangement) {
        platform_.sound->play(SoundPlayer::Sound::Change);
    }
    affiche();
    fragmentEcrit_ = publication_.ecrit_ip_actu(IpActuelle);
    if (reglages_.mailAuto) {
        // The page and its upload follow the mailing's report.
        attendMailing_ = true;
        mail_.BoucleSend(Parametres_.Message, IpActuelle);
        return;
    }
    suiteChangement();
}

void Moteur::mailingTermine(const QString& rapport, int refuses, const QList<IssueMail>& parAdresse)
{
    journal(rapport);
    if (attendMailing_) {
        attendMailing_ = false;
        if (bilan_) {
            bilan_->mails =
                refuses > 0 ? BilanChangement::Issue::Echec : BilanChangement::Issue::Ok;
            bilan_->mailsRefuses = refuses;
            bilan_->parAdresse = parAdresse;
        }
        suiteChangement();
    }
}

void Moteur::suiteChangement()
{
    if (fini_) {
        return;
    }
    using Issue = BilanChangement::Issue; // bilan_ was set by verifie_changement
    if (reglages_.uploadFichier) {
        // A fragment or page that could not be written is never uploaded (already reported).
        if (fragmentEcrit_ && publication_.prepare_page(IpActuelle)) {
            uploads_.demande();
            bilan_->upload = Issue::EnCours;
            publication_.envoi_ftp(ftpDe(Parametres_));
        } else {
            bilan_->upload = Issue::Echec;
            bilan_->raisonUpload = QStringLiteral("page non construite");
        }
    }
    // The update reports later and holds nothing up: the next checks run meanwhile.
    if (reglages_.miseAJourDns) {
        majDns_.demande();
        bilan_->dns = Issue::EnCours;
        dns_->miseAJour(reglagesDns(Parametres_), IpActuelle);
    }
    Parametres_.DerniereIP = IpActuelle;
    delaiBilan_->start();
    emetBilan(false);
    finVerification();
}

void Moteur::envoiTermine(bool ok, const QString& raison)
{
    if (!uploads_.rapportDuDernier() || !bilan_ ||
        bilan_->upload != BilanChangement::Issue::EnCours) {
        return; // an older change's upload, whose outcome went out already
    }
    bilan_->upload = ok ? BilanChangement::Issue::Ok : BilanChangement::Issue::Echec;
    bilan_->raisonUpload = raison;
    emetBilan(false);
}

void Moteur::dnsTermine(bool ok, const QString& raison)
{
    journal(ok ? QStringLiteral("DNS : OK") : QStringLiteral("Erreur DNS : ") + raison);
    if (!majDns_.rapportDuDernier() || !bilan_ || bilan_->dns != BilanChangement::Issue::EnCours) {
        return;
    }
    bilan_->dns = ok ? BilanChangement::Issue::Ok : BilanChangement::Issue::Echec;
    bilan_->raisonDns = raison;
    emetBilan(false);
}

void Moteur::emetBilan(bool echu)
{
    if (!bilan_ || fini_) {
        return;
    }
    using Issue = BilanChangement::Issue;
    if (!echu && (bilan_->upload == Issue::EnCours || bilan_->dns == Issue::EnCours)) {
        return;
    }
    delaiBilan_->stop();
    const BilanChangement bilan = *std::exchange(bilan_, std::nullopt);
    emit changementTermine(bilan);
}

void Moteur::acquitteAlarme()
{
    alarme_ = false;
    rouge_ = false;
    emit alarmeChangee(false);
}

// ---------------------------------------------------------------------------------------------
// Options

void Moteur::options()
{
    emit optionsChangees(reglages_);
}

void Moteur::setMail(bool on)
{
    if (on == reglages_.mailAuto) {
        return;
    }
    reglages_.mailAuto = on;
    Parametres_.MailAuto = texteOption(on);
    if (on) {
        mail_.InitSmtp(mailDe(Parametres_));
    } // off: a mailing under way goes on
    options();
}

void Moteur::setUpload(bool on)
{
    if (on == reglages_.uploadFichier) {
        return;
    }
    reglages_.uploadFichier = on;
    Parametres_.UploadFichier = texteOption(on);
    options();
}

void Moteur::setDns(bool on)
{
    reglages_.miseAJourDns = on;
    Parametres_.MiseAJourDns = texteOption(on);
    options();
}

void Moteur::setFermerVersIcone(bool on)
{
    reglages_.fermerVersIcone = on;
    Parametres_.FermerVersIcone = texteOption(on);
    options();
}

void Moteur::setDelaiBilan(int ms)
{
    delaiBilan_->setInterval(ms);
}

void Moteur::setDemarrageAuto(bool on)
{
    reglages_.demarrageAuto = on;
    Parametres_.DemarrageAuto = texteOption(on);
    options();
}

void Moteur::setAudio(bool on)
{
    reglages_.bipChangement = on;
    Parametres_.BipChangement = texteOption(on);
    options();
}

void Moteur::setLog(bool on)
{
    reglages_.sauveLog = on;
    Parametres_.SauveLog = texteOption(on);
    options();
}

void Moteur::setDebug(bool on)
{
    reglages_.modeDebug = on;
    Parametres_.ModeDebug = texteOption(on);
    options();
}

void Moteur::setDessus(bool on)
{
    reglages_.toujoursVisible = on;
    Parametres_.ToujoursVisible = texteVisible(on);
    options();
}

void Moteur::setTaille(Taille taille)
{
    reglages_.taille = taille;
    Parametres_.TailleFenetre = texteTaille(taille);
    options();
}

void Moteur::setIntervalle(int choix)
{
    if (choix >= 0 && choix <= 2) {
        reglages_.intervalle = choix;
        if (enMarche_) {
            arme();
        }
        options();
    }
}

} // namespace corvane
