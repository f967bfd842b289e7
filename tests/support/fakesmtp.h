#pragma once
// A scripted SMTP server inside the test process, for what a real server (tests/support/
// smtp_peer.py) cannot show: the exact bytes of the plain dialogue, and replies framed or
// timed oddly. It listens on an OS-chosen port of 127.0.0.1, plays a script of expected lines
// and replies for each connection, stops at the first line it did not expect, and records
// every byte it receives. Without a script it accepts connections and never says a word.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTcpServer>

class QTcpSocket;

namespace corvane::test {

class FakeSmtp : public QObject {
    Q_OBJECT
public:
    struct Pas {
        QByteArray attendu;    // the exact line expected, without CR LF; null: on connection;
                               // ending in "*": any line that starts with what precedes it
        QByteArray reponse;    // sent back as is: nothing, one reply, or several at once
        bool ferme = false;    // hang up after the reply
        QByteArray suite = {}; // sent a moment after reponse: a reply split over two packets
    };
    using Script = QList<Pas>;

    struct Connexion {
        QByteArray recu;     // every byte received, in order
        QString echec;       // the first unexpected thing, empty when none
        bool fermee = false; // the connection has ended, on either side
    };

    explicit FakeSmtp(QObject* parent = nullptr);
    ~FakeSmtp() override;

    bool ecoute();
    quint16 port() const { return serveur_.serverPort(); }
    QString adresse() const { return QStringLiteral("127.0.0.1:") + QString::number(port()); }

    // Connection i plays script i; later connections play the last one.
    void ajouteScript(const Script& script) { scripts_.append(script); }

    // A script that expects exactly these bytes (CR LF lines; "Message-ID: *" matches any
    // Message-ID line) and answers every command with success, like a server that takes the
    // mail. Lines in ecrase get their own reply.
    static Script scriptPour(const QByteArray& attendu, const QHash<QByteArray, Pas>& ecrase = {});

    QList<Connexion> connexions;
    // Every failure of every connection, for one QVERIFY2.
    QString echecs() const;

private:
    struct Etat {
        int index = 0;
        int pas = 0;
        QByteArray tampon;
        bool enDonnees = false;
    };

    void nouvelleConnexion();
    void lis(QTcpSocket* socket);
    void ligneScript(QTcpSocket* socket, Etat& etat, const QByteArray& ligne);
    void joue(QTcpSocket* socket, const Pas& pas);
    void echoue(QTcpSocket* socket, Etat& etat, const QString& raison);

    QTcpServer serveur_;
    QList<Script> scripts_;
    QHash<QTcpSocket*, Etat> etats_;
};

} // namespace corvane::test
