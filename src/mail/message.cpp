#include "mail/message.h"

#include "platform/textcodec.h"

#include <QRegularExpression>

namespace corvane {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

} // namespace

QString CorpsMail(const QString& message, const QString& ipActuelle, const QString& texteUTC)
{
    return message + QLatin1Char(' ') + ipActuelle + QStringLiteral(" at ") + texteUTC + kCrLf +
           QStringLiteral("  - Bye -") + kCrLf + kCrLf + QString(56, QLatin1Char('-')) + kCrLf +
           QStringLiteral("This mail sent by a robot.") + kCrLf +
           QStringLiteral("Don't reply at this automatic message.");
}

QString surUneLigne(QString texte)
{
    texte.remove(QLatin1Char('\r'));
    texte.remove(QLatin1Char('\n'));
    return texte;
}

QByteArray contenuMessage(const QString& destinataire, const QString& expediteur,
                          const QString& sujet, const QString& corps)
{
    QString texte = QStringLiteral("To:") + surUneLigne(destinataire) + kCrLf +
                    QStringLiteral("From: ") + surUneLigne(expediteur) + QStringLiteral(" <>") +
                    kCrLf + QStringLiteral("Subject:") + surUneLigne(sujet) + kCrLf + kCrLf;
    static const QRegularExpression finDeLigne(QStringLiteral("\r\n|\r|\n"));
    const QStringList lignes = corps.split(finDeLigne);
    for (const QString& ligne : lignes) {
        // A line that starts with "." would otherwise be taken for (or lose a dot to) the
        // end of data; the server removes the added dot.
        if (ligne.startsWith(QLatin1Char('.'))) {
            texte += QLatin1Char('.');
        }
        texte += ligne + kCrLf;
    }
    texte += kCrLf + QStringLiteral(".") + kCrLf;
    return toAnsi(texte);
}

QString entreChevrons(const QString& adresse)
{
    const QString a = surUneLigne(adresse);
    if (a.startsWith(QLatin1Char('<')) && a.endsWith(QLatin1Char('>')) && a.size() >= 2) {
        return a;
    }
    return QLatin1Char('<') + a + QLatin1Char('>');
}

ServeurSmtp lisServeurSmtp(const QString& valeur)
{
    ServeurSmtp s;
    const QString v = valeur.trimmed();
    QString portTexte;
    if (v.isEmpty()) {
        s.erreur = QStringLiteral("serveur smtp non renseigné");
        return s;
    }
    if (v.startsWith(QLatin1Char('['))) {
        const qsizetype fin = v.indexOf(QLatin1Char(']'));
        if (fin < 0) {
            s.erreur = QStringLiteral("serveur smtp mal formé : ") + v;
            return s;
        }
        s.hote = v.mid(1, fin - 1);
        const QString reste = v.mid(fin + 1);
        if (!reste.isEmpty()) {
            if (!reste.startsWith(QLatin1Char(':'))) {
                s.erreur = QStringLiteral("serveur smtp mal formé : ") + v;
                return s;
            }
            portTexte = reste.mid(1);
        }
    } else if (v.count(QLatin1Char(':')) == 1) {
        const qsizetype deuxPoints = v.indexOf(QLatin1Char(':'));
        s.hote = v.left(deuxPoints);
        portTexte = v.mid(deuxPoints + 1);
    } else {
        // No colon, or several: a host name or a bare v6 address, on the standard port.
        s.hote = v;
    }
    if (s.hote.isEmpty()) {
        s.erreur = QStringLiteral("serveur smtp mal formé : ") + v;
        return s;
    }
    if (!portTexte.isNull()) {
        bool ok = false;
        const uint port = portTexte.toUInt(&ok, 10);
        if (!ok || port == 0 || port > 65535) {
            s.erreur = QStringLiteral("port smtp invalide : ") + v;
            return s;
        }
        s.port = static_cast<quint16>(port);
    }
    return s;
}

int numeroErreurSocket(QAbstractSocket::SocketError erreur)
{
    switch (erreur) {
    case QAbstractSocket::ConnectionRefusedError:
        return 10061;
    case QAbstractSocket::RemoteHostClosedError:
        return 10054;
    case QAbstractSocket::HostNotFoundError:
        return 11001;
    case QAbstractSocket::SocketAccessError:
        return 10013;
    case QAbstractSocket::SocketResourceError:
        return 10055;
    case QAbstractSocket::SocketTimeoutError:
        return 10060;
    case QAbstractSocket::DatagramTooLargeError:
        return 10040;
    case QAbstractSocket::NetworkError:
        return 10050;
    case QAbstractSocket::AddressInUseError:
        return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return 10049;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return 10045;
    case QAbstractSocket::OperationError:
        return 10022;
    default:
        // No Winsock counterpart (proxy, TLS, ...): 20000 + Qt's own number keeps it apart.
        return 20000 + static_cast<int>(erreur);
    }
}

} // namespace corvane
