#pragma once
// What the watch engine asks of the outside world on a change, and of the detection page at
// each check. Each is a QObject that reports through signals; the real ones live in detect/,
// mail/ and publish/, the engine's tests pass recording fakes.

#include "publish/ftpenvoi.h"

#include <QList>
#include <QObject>
#include <QString>

#include <array>

namespace corvane {

struct Parametres;

// The detection settings, as the settings file gives them. Beside the interface rather than in
// detect/, whose DetecteIP implements it.
struct RequeteDetection {
    QString url;        // "adresse de IP detect.php"
    QString secours;    // "adresse de secours": asked only when url fails; empty: none
    QString famille;    // "Famille": "", "auto", "ipv4" or "ipv6"; moot through a proxy, which
                        // makes the connection itself
    QString certificat; // "Certificat": PEM file of CAs trusted on top of the system's; empty: none
};

struct ResultatDetection {
    bool ok = false;
    QString texte;        // the validated, trimmed address, when ok
    QString raison;       // short French reason when not ok; never a password nor a control char
    bool secours = false; // the answer (or the last failure) came from the second page
    QString url;          // the page that answered or failed last, without user and password
};

// Text of the error box shown when a detection fails (three lines, CR LF between them).
inline const QString kErreurDetection =
    QStringLiteral("         Erreur internet\r\nou configuration fichier 'Corvane.cfg'!\r\n"
                   " Page et/ou script php non trouv\u00e9");

// One request to the detection page; termine() follows every demarre(), exactly once, later.
class Detecteur : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void demarre(const RequeteDetection& requete) = 0;
    virtual bool enCours() const = 0;

signals:
    void termine(const corvane::ResultatDetection& resultat);
};

// The mail settings as values, taken from the settings record at InitSmtp.
struct ReglagesMail {
    QString serveur;           // "Serveur smtp"
    QString securite;          // "Securite"
    QString utilisateur;       // "Utilisateur"
    QString motDePasse;        // "Mot de passe" of [SMTP]
    QString adresseExpediteur; // "Adresse expediteur"
    QString certificat;        // "Certificat" of [SMTP]
    QString messageDe;         // "Message de"
    QString sujet;             // "Sujet"
    std::array<QString, 10> adresses;
};
ReglagesMail reglagesMail(const Parametres& p);

// How the mail to one address of a mailing went; raison is the dialogue's, masked.
struct IssueMail {
    QString adresse;
    bool ok = false;
    QString raison;
};

// The notification mailings: a queue of mailings, one dialogue per address.
class ServiceMail : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Takes the address list, server, login, sender and subject for the mailings to come.
    virtual void InitSmtp(const ReglagesMail& reglages) = 0;
    // One mailing for the change to ipActuelle; the body starts with message. Stamp and body
    // are made now; the mailing runs after any mailing under way. termine() follows every
    // call, exactly once, later, in the order of the calls.
    virtual void BoucleSend(const QString& message, const QString& ipActuelle) = 0;

signals:
    void mailEnvoye(); // after each dialogue: the mail sound's moment
    // The mailing's report, for the console log, how many of its addresses got no mail, and
    // each address's outcome in the order of the list.
    void termine(const QString& rapport, int refuses,
                 const QList<corvane::IssueMail>& parAdresse = {});
    void erreurSocket(int numero, const QString& description); // for the error box
};

// The [DNS] settings as values, plus the CA file to trust for the HTTPS of dyndns2.
struct ReglagesDns {
    QString protocole;   // "aucun" or empty: nothing; "rfc2136"; "dyndns2"
    QString nom;         // the name kept up to date, e.g. maison.example.org
    QString serveur;     // rfc2136: host, host:port, [v6]:port (53 by default); dyndns2: URL
    QString zone;        // rfc2136; empty: the name without its first label
    QString cle;         // TSIG key name
    QString algorithme;  // hmac-sha256 (empty), hmac-sha512, hmac-sha1
    QString secret;      // TSIG secret, base64
    QString utilisateur; // dyndns2
    QString motDePasse;  // dyndns2
    QString ttl;         // seconds; empty: 300
    QString certificat;  // PEM file of CAs trusted beside the system's; empty: none

    bool operator==(const ReglagesDns&) const = default;
};
ReglagesDns reglagesDns(const Parametres& p);
bool miseAJourDnsDemandee(const Parametres& p);

// The update of the name to the new address after a change: the real one is in dns/, the
// engine's tests record the calls instead.
class ServiceDns : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void miseAJour(const ReglagesDns& reglages, const QString& adresse) = 0;

signals:
    // Once per update that ran; raison is a short French sentence when !ok, never a secret.
    void termine(bool ok, const QString& raison);
};

// The page: fragment, assembly and upload.
class ServicePublication : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Writes "ip_actu" for ip; false after an entry() that names the file and the reason.
    virtual bool ecrit_ip_actu(const QString& ip) = 0;
    // Builds "date.php" from "date1.php" and the fragment last written for ip; false after an
    // entry() when it could not be built whole (then nothing is uploaded until a page is).
    virtual bool prepare_page(const QString& ip) = 0;
    // Uploads the bytes of demande.fichierLocal as they are now, or queues them behind the
    // upload under way (only the newest waits). Never after a failed prepare_page.
    virtual void envoi_ftp(const DemandeFtp& demande) = 0;

signals:
    void entree(const QString& libelle); // a full console entry (affiche)
    void texte(const QString& texte);    // text appended to the log without an entry (dots)
    // The end of each upload that ran, whole or failed; raison says why when !ok.
    void envoiTermine(bool ok, const QString& raison);
};

} // namespace corvane
