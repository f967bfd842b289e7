#pragma once
// One SMTP dialogue: one message to one recipient over one connection. A small state machine
// driven by the socket's signals; every wait (the connection, each reply) is bounded.

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <optional>

class QTcpSocket;

namespace corvane {

struct EnvoiMail {
    QString serveur;      // "Serveur smtp": host, host:port or [v6]:port
    QString expediteur;   // "Message de"
    QString destinataire; // one address of the list
    QString sujet;        // "Sujet"
    QString corps;        // CorpsMail
};

// One complete server reply.
struct RepliqueSmtp {
    int code = 0;  // 0 when the reply does not start with three digits
    QString ligne; // its last line, without the line end
};

// Takes one complete reply off the front of tampon, if it holds one: multi-line replies
// ("250-...") arrive whole or in pieces, and several replies may share one packet.
std::optional<RepliqueSmtp> extraisReponseSmtp(QByteArray& tampon);
// What a refused mail's report says: the server's reply line, or why there is none.
QString raisonRefus(const RepliqueSmtp& reponse);

struct ResultatEnvoi {
    bool envoye = false; // the server took the message (250 to the end of data)
    QString raison;      // when not sent: the server's reply line or what went wrong
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
    // A line for the dialogue log: the connection, each block of server data as it came, the
    // server's disconnection, an expired wait.
    void journal(const QString& entree);
    // Every arrival of server data, whatever happens to it.
    void activite();
    // The socket failed; the number is in Winsock's numbering.
    void erreurSocket(int numero, const QString& description);
    void termine(const corvane::ResultatEnvoi& resultat);

private:
    enum class Etape { Repos, Connexion, Accueil, Helo, MailFrom, RcptTo, Data, FinDonnees, Quit };
    using Reponse = RepliqueSmtp;

    void connecte();
    void donneesArrivees();
    void deconnecte();
    void erreur();
    void delaiExpire();

    void traite(const Reponse& reponse);
    void commande(const QString& texte, Etape suivante);
    void refuse(const Reponse& reponse);
    void echoue(const QString& raison);
    void fin();
    void lacheSocket();

    QPointer<QTcpSocket> socket_;
    QTimer delai_;
    int delaiConnexionMs_ = kDelaiParDefautMs;
    int delaiReponseMs_ = kDelaiParDefautMs;
    Etape etape_ = Etape::Repos;
    EnvoiMail envoi_;
    QByteArray tampon_;
    std::optional<ResultatEnvoi> resultat_;
    quint64 generation_ = 0;
};

} // namespace corvane

Q_DECLARE_METATYPE(corvane::ResultatEnvoi)
