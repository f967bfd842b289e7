#pragma once
// One SMTP dialogue: one message to one recipient over one connection. A small state machine
// driven by the socket's signals; every wait (the connection, the TLS handshake, each reply) is
// bounded.
// The program keeps its own client over QSslSocket rather than libcurl's SMTP, because the
// debug window shows the server's side of the dialogue and each mail gets its own report.
//
// Security ("Securite"): aucune (plain, HELO, exactly the first release's dialogue), starttls
// (EHLO, STARTTLS, EHLO again over TLS) or ssl (TLS from the first byte). A login is sent only
// over TLS, with AUTH PLAIN or AUTH LOGIN, whichever the server offers (PLAIN preferred). The
// server's certificate is always verified against the system's authorities plus those of the
// optional "Certificat" file, for the host name of "Serveur smtp".

#include "mail/message.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <optional>

class QSslConfiguration;
class QSslSocket;

namespace corvane {

struct EnvoiMail {
    QString serveur;           // "Serveur smtp": host, host:port or [v6]:port
    QString expediteur;        // "Message de": the From display name
    QString destinataire;      // one address of the list
    QString sujet;             // "Sujet"
    QString corps;             // CorpsMail
    QString securite;          // "Securite": aucune (or empty), starttls, ssl
    QString utilisateur;       // "Utilisateur": empty for no login
    QString motDePasse;        // "Mot de passe"
    QString adresseExpediteur; // "Adresse expediteur" (see adresseEnvoi for the fallbacks)
    QString certificat;        // "Certificat": a PEM file of extra trusted authorities, or empty
    QDateTime date;            // the injected clock's now, for the Date header
};

// One complete server reply.
struct RepliqueSmtp {
    int code = 0;       // 0 when the reply does not start with three digits
    QString ligne;      // its last line, without the line end
    QStringList textes; // every line's text after the code and its separator (EHLO keywords)
};

// Takes one complete reply off the front of tampon, if it holds one: multi-line replies
// ("250-...") arrive whole or in pieces, and several replies may share one packet.
std::optional<RepliqueSmtp> extraisReponseSmtp(QByteArray& tampon);
// What a refused mail's report says: the server's reply line, or why there is none.
QString raisonRefus(const RepliqueSmtp& reponse);

struct ResultatEnvoi {
    bool envoye = false; // the server took the message (250 to the end of data)
    QString raison;      // when not sent: the server's reply line or what went wrong
    // The failure is the connection's, not this recipient's (settings, connection, TLS,
    // login, time-out): the mailing's other addresses would meet it too.
    bool connexion = false;
};

class SmtpDialogue : public QObject {
    Q_OBJECT
public:
    static constexpr int kDelaiParDefautMs = 30000;

    explicit SmtpDialogue(QObject* parent = nullptr);
    ~SmtpDialogue() override;

    void setDelais(int connexionMs, int reponseMs);
    // Starts the dialogue and returns at once; termine() tells its end, always exactly once.
    // Starting while a dialogue runs is refused (false).
    bool envoie(const EnvoiMail& envoi);
    bool enCours() const { return etape_ != Etape::Repos; }

signals:
    // A line for the dialogue log: the connection, TLS being up, each block of server data as
    // it came, the server's disconnection, an expired wait, a setting that stops the mail.
    // Nothing the program sends is shown.
    void journal(const QString& entree);
    // Every arrival of server data, whatever happens to it.
    void activite();
    // The socket failed; the number is in Winsock's numbering.
    void erreurSocket(int numero, const QString& description);
    void termine(const corvane::ResultatEnvoi& resultat);

private:
    enum class Etape {
        Repos,
        Connexion,
        Chiffrement, // TLS handshake, at once (ssl) or after STARTTLS
        Accueil,
        Helo,
        Ehlo,
        StartTls,
        Auth,
        MailFrom,
        RcptTo,
        Data,
        FinDonnees,
        Quit
    };
    enum class Mecanisme { Aucun, Plain, Login };
    using Reponse = RepliqueSmtp;

    QString verifieReglages();
    QString configureTls(const QString& chemin, QSslConfiguration& conf);
    void connecte();
    void chiffre();
    void donneesArrivees();
    void deconnecte();
    void erreur();
    void delaiExpire();

    void traite(const Reponse& reponse);
    void apresEhlo(const Reponse& reponse);
    void mailFrom();
    void commande(const QString& texte, Etape suivante);
    void commandeSecrete(const QByteArray& ligne, Etape suivante);
    void refuse(const Reponse& reponse);
    void abandonne(const QString& raison);
    void echoue(const QString& raison, bool connexion = true);
    void fin();
    void lacheSocket();
    QString masque(QString texte) const;

    QPointer<QSslSocket> socket_;
    QTimer delai_;
    int delaiConnexionMs_ = kDelaiParDefautMs;
    int delaiReponseMs_ = kDelaiParDefautMs;
    Etape etape_ = Etape::Repos;
    EnvoiMail envoi_;
    QString hote_;
    quint16 port_ = 0;
    QString adresse_; // the envelope sender, empty for "<>"
    Securite securite_ = Securite::Aucune;
    bool huitBits_ = false; // the server offered 8BITMIME
    Mecanisme mecanisme_ = Mecanisme::Aucun;
    int pasAuth_ = 0;
    QStringList secrets_;                     // what never reaches the log or a report
    QString erreurTls_;                       // the first certificate error of the handshake
    QByteArray contenuCertificat_;            // the "Certificat" file as last read
    QList<QSslCertificate> autoritesFichier_; // its certificates
    QByteArray tampon_;
    std::optional<ResultatEnvoi> resultat_;
    quint64 generation_ = 0;
};

} // namespace corvane

Q_DECLARE_METATYPE(corvane::ResultatEnvoi)
