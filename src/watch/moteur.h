#pragma once
// The watch engine: the program without its window. It owns the settings, the console log and
// its file, the check cycle with its one-second timer, the last address and the change alarm,
// and runs the change sequence through the services it is given. Boxes and sounds go through
// the platform layers; everything a window shows comes out as a signal.

#include "config/parametres.h"
#include "config/reglages.h"
#include "console/checkcycle.h"
#include "console/consolelog.h"
#include "platform/platform.h"
#include "watch/services.h"

#include <QDateTime>
#include <QLoggingCategory>
#include <QObject>
#include <QPoint>

#include <optional>

class QTimer;

namespace corvane {

Q_DECLARE_LOGGING_CATEGORY(lcWatch)

// How a check ended: the address as last known, another one, or no answer.
enum class IssueVerification { Inchangee, Changee, Echec };

// What the actions of one change came to. EnCours: the action had not reported when the
// outcome was due (its bound, or the next change).
struct BilanChangement {
    enum class Issue { Desactive, Ok, Echec, EnCours };
    QDateTime heure;  // when the change was seen
    QString ancienne; // the address before the change
    QString nouvelle;
    QString urlDetection; // the page that gave the new address
    bool secours = false; // that page was the fallback one
    Issue mails = Issue::Desactive;
    int mailsRefuses = 0;        // Echec: the addresses that got no mail
    QList<IssueMail> parAdresse; // each address's mail, when the mailing reported
    Issue upload = Issue::Desactive;
    QString raisonUpload;
    Issue dns = Issue::Desactive;
    QString raisonDns;
};

// Of a service that runs one request at a time and keeps only the newest one waiting (a
// replaced one never runs nor reports): whether a report answers the newest request.
class FileUnique {
public:
    void demande() { enVol_ = enVol_ < 2 ? enVol_ + 1 : 2; }
    bool rapportDuDernier()
    {
        enVol_ = enVol_ > 0 ? enVol_ - 1 : 0;
        return enVol_ == 0;
    }

private:
    int enVol_ = 0;
};

class Moteur : public QObject {
    Q_OBJECT
public:
    // dns null: the engine makes its own.
    Moteur(Platform platform, QString cheminConfig, Detecteur& detecteur, ServiceMail& mail,
           ServicePublication& publication, ServiceDns* dns = nullptr, QObject* parent = nullptr);
    ~Moteur() override;

    // Start-up: the old log, the settings (the defaults and the help on a first start), the
    // options, the mail settings. Nothing is checked until a Start.
    void Form_Load();
    // The exit question. On Yes the interval and coinTwips (the window's normal place) go into
    // the settings, the changed values are saved, every box is closed and the application is
    // told to quit; after that it answers true without asking and nothing more runs.
    bool Form_QueryUnload(QPoint coinTwips);
    // At launch, after Form_Load: Start pressed by itself when "Demarrage auto" is on.
    void demarrageAuto();
    // The exit's save and end without the question, for a run with nobody to ask it: the
    // window's place is kept as it was loaded.
    void quitteSansQuestion();
    // The passwords kept in the desktop's keyring, each used where the settings file leaves its
    // key empty (a password in the file wins). Never written to the file, never logged.
    void utiliseSecrets(const QString& smtp, const QString& ftp);
    const QString& secretSmtp() const { return secretSmtp_; } // for the settings window
    const QString& secretFtp() const { return secretFtp_; }
    const QString& cheminConfig() const { return cheminConfig_; }
    // The settings window's OK: nouveaux becomes the settings, the options and the mail service
    // follow at once, and the keys the window changed are written over the file as it is on
    // disk now (the others keep what is there); a failed write says why.
    Resultat appliqueParametres(const Parametres& nouveaux);

    // The report channel: a caller sets libelle and at once calls affiche().
    QString libelle;
    void affiche();
    void journal(const QString& texte); // libelle, then affiche
    void ajouteTexte(const QString& texte);

    // Check cycle and change alarm.
    void CommandStart_Click();
    void Timer1_Timer();
    void verifie_changement();
    void acquitteAlarme();
    // One check outside the cycle: no Start, no timer; verificationFinie tells how it went.
    void verifieUneFois();
    // No window shows the indicator nor the alarm's blink: the timer then sleeps until the
    // next check is due instead of waking each second. Set before the Start; nothing steers
    // the cycle in such a run, so a Stop or another interval in the middle of a sleep drops
    // the seconds slept.
    void setSansFenetre(bool on);

    // The options; each one also writes its text into the settings record.
    void setMail(bool on);
    void setUpload(bool on);
    void setDns(bool on);
    void setFermerVersIcone(bool on);
    // Past this after its change's sequence, an outcome goes out with what is known: 90 s
    // unless set, past the upload's and the DNS update's own bounds in the common case.
    void setDelaiBilan(int ms);
    void setAudio(bool on);
    void setLog(bool on);
    void setDebug(bool on);
    void setDemarrageAuto(bool on);
    void setDessus(bool on);
    void setTaille(Taille taille);
    void setIntervalle(int choix); // 0, 1 or 2
    void text1_Click();            // the next colour scheme
    void applique_couleur();

    const Reglages& reglages() const { return reglages_; }
    Parametres& parametres() { return Parametres_; } // the help window keeps its language here
    const ConsoleLog& log() const { return log_; }
    QString IpActuelle;
    QString adresse() const { return adresse_; } // the address shown, the one compared
    bool alarme() const { return alarme_; }
    bool enMarche() const { return enMarche_; }
    bool enCours() const { return cycle_.occupe(); } // a check or its change actions under way
    // Also the change's upload and DNS update, until they reported or their bound passed.
    bool actionEnCours() const { return cycle_.occupe() || bilan_.has_value(); }
    qint32 compteur() const { return cycle_.compteur(); }

signals:
    void journalCharge(const QString& texte); // at start-up: the old log, shown from its top
    void texteAjoute(const QString& texte);   // the end of the log grew by texte
    void adresseAffichee(const QString& ip);  // LabelIp
    void heureVerification(const QString& h); // LabelHeure
    void alarmeChangee(bool on);
    void phaseAlarme(bool rouge); // each blink of the alarm
    void voyant(bool vif);        // Led1: bright or dark red
    void marcheChangee(bool enMarche);
    void optionsChangees(const corvane::Reglages& reglages);
    void positionChargee(QPoint twips); // at start-up only: where the window goes
    void aideDemandee();                // a first start shows the help
    void detectionEchouee(const QString& raison);
    void verificationFinie(corvane::IssueVerification issue); // with its change's sequence run
    void detectionEnEchec(const QString& raison); // the first failure since a good answer
    void detectionRetablie();                     // the first good answer after failures
    // Once per change, when its mailing, upload and DNS update have reported or the bound
    // has passed.
    void changementTermine(const corvane::BilanChangement& bilan);

private:
    void chargeOptions(const Parametres& p);
    ReglagesMail mailDe(const Parametres& p) const;
    DemandeFtp ftpDe(const Parametres& p) const;
    void lanceVerification();
    void detectionTerminee(const ResultatDetection& r);
    void mailingTermine(const QString& rapport, int refuses, const QList<IssueMail>& parAdresse);
    void suiteChangement();
    void envoiTermine(bool ok, const QString& raison);
    void dnsTermine(bool ok, const QString& raison);
    void emetBilan(bool echu);
    void finVerification();
    void arme();
    void ecritLog();
    void enregistreEtFinit();
    void options();

    Platform platform_;
    QString cheminConfig_;
    Detecteur& detect_;
    ServiceMail& mail_;
    ServicePublication& publication_;
    ServiceDns* dns_;
    QTimer* Timer1 = nullptr;

    Parametres Parametres_;
    Parametres lu_;      // as loaded or last written: the exit writes only what differs from it
    QString secretSmtp_; // from the keyring
    QString secretFtp_;
    Reglages reglages_;
    ConsoleLog log_;
    FichierJournal fichierLog_;
    CheckCycle cycle_;
    bool sansFenetre_ = false;
    int pas_ = 1; // seconds of running time the timer stands for
    QString adresse_;
    bool alarme_ = false;
    bool rouge_ = false; // the alarm's blink phase
    bool vif_ = false;   // Led1's
    bool enMarche_ = false;
    bool fini_ = false;       // the exit was confirmed
    int startsEnAttente_ = 0; // Starts whose last steps wait for the end of a check
    bool fragmentEcrit_ = false;
    bool attendMailing_ = false; // the change sequence waits for its mailing's report
    QString raisonEchec_;        // the failure last logged, until a detection succeeds
    bool secoursActif_ = false;  // the fallback page gave the last good answer
    QString urlRepondu_;         // the page that gave the last good answer
    bool logEnEchec_ = false;    // the log file could not be written; said once
    IssueVerification issue_ = IssueVerification::Echec; // of the check under way
    bool enEchec_ = false; // detections fail since the last good answer
    QTimer* delaiBilan_ = nullptr;
    std::optional<BilanChangement> bilan_; // the last change's, until it goes out
    FileUnique uploads_;
    FileUnique majDns_;
};

} // namespace corvane
