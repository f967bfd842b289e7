#include "support/fakesmtp.h"

#include <QTcpSocket>
#include <QTimer>

#include <memory>

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
    struct Etat {
        Script script;
        qsizetype pas = 0;
        QByteArray tampon; // the line not ended yet
        bool enDonnees = false;
    };
    while (QTcpSocket* socket = serveur_.nextPendingConnection()) {
        const qsizetype i = connexions.size();
        connexions.append(Connexion{});
        auto etat = std::make_shared<Etat>();
        etat->script = scripts_.isEmpty() ? Script{} : scripts_.value(i, scripts_.last());
        const auto repond = [socket, etat] {
            const QByteArray reponse = etat->script.value(etat->pas++);
            etat->enDonnees = reponse.startsWith("354");
            if (reponse == kFerme) {
                socket->disconnectFromHost();
                return;
            }
            const QList<QByteArray> morceaux = reponse.split('|');
            for (qsizetype k = 0; k < morceaux.size(); ++k) {
                QTimer::singleShot(50 * int(k), socket,
                                   [socket, m = morceaux[k]] { socket->write(m); });
            }
        };
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, etat, i, repond] {
            const QByteArray octets = socket->readAll();
            connexions[i].recu += octets;
            etat->tampon += octets;
            for (qsizetype fin; (fin = etat->tampon.indexOf('\n')) >= 0;) {
                const bool finDonnees = etat->tampon.startsWith(".\r\n");
                etat->tampon.remove(0, fin + 1);
                if (!etat->enDonnees || finDonnees) {
                    repond();
                }
            }
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket, i] {
            connexions[i].fermee = true;
            socket->deleteLater();
        });
        repond();
    }
}

} // namespace corvane::test
