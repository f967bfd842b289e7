#pragma once
// An SMTP server for what smtp_peer.py will not do: it plays one reply on connection, then one
// per line received (the message after a 354 as one line), and records what it was sent.

#include <QTcpServer>

namespace corvane::test {

class FakeSmtp : public QObject {
    Q_OBJECT
public:
    // Each piece of a reply after a "|" goes 50 ms later, as a packet of its own; kFerme hangs up.
    using Script = QList<QByteArray>;
    static inline const QByteArray kFerme = QByteArrayLiteral("<ferme>");
    // Takes the mail: greeting, HELO, MAIL FROM, RCPT TO, DATA, end of data, QUIT.
    static inline const Script kAccepte{"220 fake\r\n", "250 ok\r\n", "250 ok\r\n", "250 ok\r\n",
                                        "354 go\r\n",   "250 ok\r\n", "221 bye\r\n"};

    struct Connexion {
        QByteArray recu;     // every byte received, in order
        bool fermee = false; // the connection has ended, on either side
        Script script;       // what it plays, from reply pas on
        qsizetype pas = 0;
        QByteArray tampon; // the line not ended yet
        bool enDonnees = false;
    };

    FakeSmtp()
    {
        connect(&serveur_, &QTcpServer::newConnection, this, &FakeSmtp::nouvelleConnexion);
    }
    ~FakeSmtp() override;

    // Connection i plays script i; later connections play the last one.
    void ajouteScript(const Script& script) { scripts_.append(script); }
    bool ecoute() { return serveur_.listen(QHostAddress::LocalHost, 0); }
    QString adresse() const { return QStringLiteral("127.0.0.1:%1").arg(serveur_.serverPort()); }

    QList<Connexion> connexions;

private:
    void nouvelleConnexion();
    void repond(QTcpSocket* socket, qsizetype i);

    QTcpServer serveur_;
    QList<Script> scripts_;
};

} // namespace corvane::test
