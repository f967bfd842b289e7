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

#include "mail/dialoguemail.h"
#include "mail/message.h"

#include <QAbstractSocket>
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

// The number shown in the socket error box, in the Winsock numbering the program's users know
// (10061 refused, 10060 timed out, 11001 host not found, ...).
int numeroErreurSocket(QAbstractSocket::SocketError erreur);

class SmtpDialogue : public DialogueMail {
    Q_OBJECT
public:
    static constexpr int kDelaiParDefautMs = 30000;

    explicit SmtpDialogue(QObject* parent = nullptr);
    ~SmtpDialogue() override;

    void setDelais(int connexionMs, int reponseMs) override;
    bool envoie(const EnvoiMail& envoi) override;
    bool enCours() const override { return etape_ != Etape::Repos; }

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
