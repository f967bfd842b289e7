#pragma once
// A scripted SMTP server inside the test process, for what a real server (tests/support/
// smtp_peer.py) will not do: stay silent, answer ahead of the command, hang up mid-dialogue.
// It listens on an OS-chosen port of 127.0.0.1, plays its replies in turn (the first on
// connection, then one per line received; the message lines after a 354 count as one line,
// ended by the lone dot) and records every byte each connection sends.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>

namespace corvane::test {

class FakeSmtp : public QObject {
    Q_OBJECT
public:
    // A reply is sent as is: one reply, several at once, or nothing (empty); each piece after
    // a "|" goes 50 ms after the one before it, as a packet of its own. kFerme hangs up.
    using Script = QList<QByteArray>;
    static inline const QByteArray kFerme = QByteArrayLiteral("<ferme>");
    // What a server that takes the mail answers to the plain dialogue, one reply per step:
    // greeting, HELO, MAIL FROM, RCPT TO, DATA, end of data, QUIT.
    static Script accepte();

    struct Connexion {
        QByteArray recu;     // every byte received, in order
        bool fermee = false; // the connection has ended, on either side
    };

    FakeSmtp();
    ~FakeSmtp() override;

    // Connection i plays script i; later connections play the last one.
    void ajouteScript(const Script& script) { scripts_.append(script); }
    bool ecoute() { return serveur_.listen(QHostAddress::LocalHost, 0); }
    QString adresse() const { return QStringLiteral("127.0.0.1:%1").arg(serveur_.serverPort()); }

    QList<Connexion> connexions;

private:
    void nouvelleConnexion();

    QTcpServer serveur_;
    QList<Script> scripts_;
};

} // namespace corvane::test
