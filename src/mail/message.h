#pragma once
// The notification mail: its body, the bytes sent after DATA, and the small rules of the
// SMTP lines (addresses, server setting, socket error numbers).

#include <QAbstractSocket>
#include <QByteArray>
#include <QString>

namespace corvane {

inline constexpr quint16 kPortSmtp = 25;

// CorpsMail: the body of every mail of one mailing, without a line break after its last line.
QString CorpsMail(const QString& message, const QString& ipActuelle, const QString& texteUTC);

// The message as sent between the server's 354 and the end of data, that end included: the
// header lines, one empty line, the body dot-stuffed with every line break made CR LF, then
// CR LF "." CR LF. Windows-1252 bytes.
QByteArray contenuMessage(const QString& destinataire, const QString& expediteur,
                          const QString& sujet, const QString& corps);

// The address as MAIL FROM and RCPT TO need it: in angle brackets unless it already is.
QString entreChevrons(const QString& adresse);

// Line breaks inside a value would end the command early and let the rest pass as a command
// of its own; they are dropped from everything that goes on one protocol line.
QString surUneLigne(QString texte);

// The setting "Serveur smtp": "host", "host:port", "[v6 address]:port" or a bare v6 address.
struct ServeurSmtp {
    QString hote;
    quint16 port = kPortSmtp;
    QString erreur; // why the setting cannot be used; empty when it can
};
ServeurSmtp lisServeurSmtp(const QString& valeur);

// The number shown in the socket error box, in the Winsock numbering the program's users know
// (10061 refused, 10060 timed out, 11001 host not found, ...).
int numeroErreurSocket(QAbstractSocket::SocketError erreur);

} // namespace corvane
