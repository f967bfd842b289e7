#pragma once
// One mail to one recipient, as the mailing loop and the settings window's test ask for it.
// The SMTP client itself (mail/smtpdialogue.h) lives in the network library, which is loaded
// with the first mail (reseau/differe.h); this is what the rest of the program sees of it.

#include <QDateTime>
#include <QMetaType>
#include <QObject>
#include <QString>

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

struct ResultatEnvoi {
    bool envoye = false; // the server took the message (250 to the end of data)
    QString raison;      // when not sent: the server's reply line or what went wrong
    // The failure is the connection's, not this recipient's (settings, connection, TLS,
    // login, time-out): the mailing's other addresses would meet it too.
    bool connexion = false;
};

class DialogueMail : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Bounds of the connection and of each reply.
    virtual void setDelais(int connexionMs, int reponseMs) = 0;
    // Starts the dialogue and returns at once; termine() tells its end, always exactly once.
    // Starting while a dialogue runs is refused (false).
    virtual bool envoie(const EnvoiMail& envoi) = 0;
    virtual bool enCours() const = 0;

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
};

} // namespace corvane

Q_DECLARE_METATYPE(corvane::ResultatEnvoi)
