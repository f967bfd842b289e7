#include "support/fakesmtp.h"

#include <QTcpSocket>
#include <QTimer>

namespace corvane::test {

FakeSmtp::~FakeSmtp()
{
    for (QTcpSocket* s : serveur_.findChildren<QTcpSocket*>()) {
        s->disconnect(this);
        s->abort();
    }
}

void FakeSmtp::nouvelleConnexion()
{
    while (QTcpSocket* socket = serveur_.nextPendingConnection()) {
        const qsizetype i = connexions.size();
        connexions.append(Connexion{});
        connexions[i].script = scripts_.isEmpty() ? Script{} : scripts_.value(i, scripts_.last());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, i] {
            const QByteArray octets = socket->readAll();
            connexions[i].recu += octets;
            connexions[i].tampon += octets;
            for (qsizetype fin; (fin = connexions[i].tampon.indexOf('\n')) >= 0;) {
                const bool finDonnees = connexions[i].tampon.startsWith(".\r\n");
                connexions[i].tampon.remove(0, fin + 1);
                if (!connexions[i].enDonnees || finDonnees) {
                    repond(socket, i);
                }
            }
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket, i] {
            connexions[i].fermee = true;
            socket->deleteLater();
        });
        repond(socket, i);
    }
}

void FakeSmtp::repond(QTcpSocket* socket, qsizetype i)
{
    Connexion& c = connexions[i];
    const QByteArray reponse = c.script.value(c.pas++);
    c.enDonnees = reponse.startsWith("354");
    if (reponse == kFerme) {
        socket->disconnectFromHost();
        return;
    }
    const QList<QByteArray> morceaux = reponse.split('|');
    for (qsizetype k = 0; k < morceaux.size(); ++k) {
        QTimer::singleShot(50 * int(k), socket, [socket, m = morceaux[k]] { socket->write(m); });
    }
}

} // namespace corvane::test
