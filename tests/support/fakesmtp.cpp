#include "support/fakesmtp.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

namespace corvane::test {

FakeSmtp::FakeSmtp(QObject* parent) : QObject(parent)
{
    connect(&serveur_, &QTcpServer::newConnection, this, &FakeSmtp::nouvelleConnexion);
}

FakeSmtp::~FakeSmtp()
{
    for (QTcpSocket* s : etats_.keys()) {
        s->disconnect(this);
        s->abort();
    }
}

bool FakeSmtp::ecoute()
{
    return serveur_.listen(QHostAddress::LocalHost, 0);
}

QString FakeSmtp::echecs() const
{
    QStringList tous;
    for (int i = 0; i < connexions.size(); ++i) {
        if (!connexions[i].echec.isEmpty()) {
            tous << QStringLiteral("connection %1: %2").arg(i).arg(connexions[i].echec);
        }
    }
    return tous.join(QLatin1Char('\n'));
}

FakeSmtp::Script FakeSmtp::scriptPour(const QByteArray& attendu,
                                      const QHash<QByteArray, Pas>& ecrase)
{
    Script script{{QByteArray(), "220 fake.test ESMTP\r\n"}};
    QList<QByteArray> lignes = attendu.split('\n');
    if (!lignes.isEmpty() && lignes.last().isEmpty()) {
        lignes.removeLast();
    }
    bool enDonnees = false;
    for (QByteArray ligne : lignes) {
        ligne.chop(1); // the CR; a line without it then fails to match, as it should
        Pas pas{ligne.startsWith("Message-ID: ") ? QByteArray("Message-ID: *") : ligne, {}};
        if (enDonnees) {
            if (ligne == ".") {
                pas.reponse = "250 2.0.0 queued\r\n";
                enDonnees = false;
            }
        } else if (ligne.startsWith("HELO ") || ligne.startsWith("MAIL FROM:") ||
                   ligne.startsWith("RCPT TO:")) {
            pas.reponse = "250 ok\r\n";
        } else if (ligne == "DATA") {
            pas.reponse = "354 end with .\r\n";
        } else if (ligne == "QUIT") {
            pas.reponse = "221 bye\r\n";
            pas.ferme = true;
        }
        if (ecrase.contains(ligne)) {
            pas = ecrase.value(ligne);
            pas.attendu = ligne;
        }
        if (ligne == "DATA" && !enDonnees) {
            // Only a DATA the server accepts opens the message lines.
            enDonnees = pas.reponse.startsWith("354");
        }
        script.append(pas);
    }
    return script;
}

void FakeSmtp::nouvelleConnexion()
{
    while (QTcpSocket* socket = serveur_.nextPendingConnection()) {
        Etat etat;
        etat.index = static_cast<int>(connexions.size());
        connexions.append(Connexion{});
        etats_.insert(socket, etat);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { lis(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (etats_.contains(socket)) {
                connexions[etats_[socket].index].fermee = true;
                etats_.remove(socket);
            }
            socket->deleteLater();
        });
        if (scripts_.isEmpty()) {
            continue; // silent
        }
        const Script& script = scripts_[std::min<qsizetype>(etat.index, scripts_.size() - 1)];
        if (!script.isEmpty() && script.first().attendu.isNull()) {
            etats_[socket].pas = 1;
            joue(socket, script.first());
        }
    }
}

void FakeSmtp::lis(QTcpSocket* socket)
{
    if (!etats_.contains(socket)) {
        return;
    }
    const QByteArray bloc = socket->readAll();
    connexions[etats_[socket].index].recu += bloc;
    etats_[socket].tampon += bloc;
    while (etats_.contains(socket)) {
        Etat& etat = etats_[socket];
        const qsizetype fin = etat.tampon.indexOf("\r\n");
        if (fin < 0) {
            break;
        }
        const QByteArray ligne = etat.tampon.left(fin);
        etat.tampon.remove(0, fin + 2);
        if (!scripts_.isEmpty()) {
            ligneScript(socket, etat, ligne);
        }
    }
}

void FakeSmtp::ligneScript(QTcpSocket* socket, Etat& etat, const QByteArray& ligne)
{
    const Script& script = scripts_[std::min<qsizetype>(etat.index, scripts_.size() - 1)];
    if (etat.pas >= script.size()) {
        echoue(socket, etat,
               QStringLiteral("line after the end of the script: \"%1\"")
                   .arg(QString::fromLatin1(ligne)));
        return;
    }
    const Pas& pas = script[etat.pas];
    const bool prefixe = pas.attendu.endsWith('*');
    if (prefixe ? !ligne.startsWith(pas.attendu.chopped(1)) : ligne != pas.attendu) {
        echoue(socket, etat,
               QStringLiteral("step %1: expected \"%2\", got \"%3\"")
                   .arg(etat.pas)
                   .arg(QString::fromLatin1(pas.attendu), QString::fromLatin1(ligne)));
        return;
    }
    ++etat.pas;
    joue(socket, pas);
}

void FakeSmtp::joue(QTcpSocket* socket, const Pas& pas)
{
    if (!pas.reponse.isEmpty()) {
        socket->write(pas.reponse);
    }
    if (!pas.suite.isEmpty()) {
        socket->flush();
        QPointer<QTcpSocket> garde(socket);
        const QByteArray suite = pas.suite;
        const bool ferme = pas.ferme;
        QTimer::singleShot(50, this, [garde, suite, ferme] {
            if (garde) {
                garde->write(suite);
                if (ferme) {
                    garde->disconnectFromHost();
                }
            }
        });
        return;
    }
    if (pas.ferme) {
        socket->disconnectFromHost();
    }
}

void FakeSmtp::echoue(QTcpSocket* socket, Etat& etat, const QString& raison)
{
    Connexion& c = connexions[etat.index];
    if (c.echec.isEmpty()) {
        c.echec = raison;
    }
    // Fail fast: the client sees a refusal and the line that went wrong is on record.
    socket->write("500 unexpected\r\n");
    socket->disconnectFromHost();
}

} // namespace corvane::test
