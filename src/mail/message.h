#pragma once
// The notification mail: its body, its header, the bytes sent after DATA, and the small rules
// of the SMTP settings and lines (security mode, sender address, addresses, server setting,
// socket error numbers).

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace corvane {

inline constexpr quint16 kPortSmtp = 25;
inline constexpr quint16 kPortSoumission = 587; // STARTTLS
inline constexpr quint16 kPortSmtps = 465;      // implicit TLS

// CorpsMail: the body of every mail of one mailing, without a line break after its last line.
QString CorpsMail(const QString& message, const QString& ipActuelle, const QString& texteUTC);

// The values of the header lines of one mail.
struct EnteteMail {
    QDateTime date;            // the clock's local time: "Date" keeps its offset
    QString messageId;         // "<...@...>", from nouveauMessageId
    QString nomExpediteur;     // "Message de": the From display name
    QString adresseExpediteur; // empty: "From: name <>" as in the first release
    QString destinataire;
    QString sujet;
};

// The message as sent between the server's 354 and the end of data, that end included: the
// header lines (Date, Message-ID, From, To, Subject, MIME-Version, Content-Type,
// Content-Transfer-Encoding), one empty line, the body dot-stuffed with every line break made
// CR LF, then CR LF "." CR LF. The body is Windows-1252 bytes, the header ASCII apart from the
// addresses.
QByteArray contenuMessage(const EnteteMail& entete, const QString& corps);

// RFC 5322 date in English whatever the locale, with the instant's own offset:
// "Sat, 05 Dec 2026 06:45:00 +0100".
QString dateRfc5322(const QDateTime& instant);
// "<yyyyMMddhhmmss.random@domain>": the domain of the sender's address, "localhost" without one.
QString nouveauMessageId(const QString& adresseExpediteur, const QDateTime& instant);
// A header line "Nom: valeur", the value an RFC 2047 encoded-word sequence (UTF-8, base64) when
// it is not plain printable ASCII or the line would be too long; encoded words are folded onto
// continuation lines so that no line exceeds 78 characters. No CR LF at the end.
QString ligneEntete(const QString& nom, const QString& valeur);
// The From display name as an RFC 5322 phrase: as is when made of plain atoms, quoted when it
// holds specials, encoded words when not ASCII.
QString phraseAffichee(const QString& nom);

// The setting "Securite".
enum class Securite { Aucune, StartTls, Ssl };
// "aucune" or empty, "starttls", "ssl" (case and spaces ignored); anything else: nullopt.
std::optional<Securite> lisSecurite(const QString& valeur);
quint16 portParDefaut(Securite securite);

// The sender address for MAIL FROM and From: "Adresse expediteur"; when empty, "Utilisateur"
// when it holds an "@"; else "Message de" when it is itself an address (a release-one file
// whose "Message de" is an address keeps its envelope); else empty (the null sender "<>").
QString adresseEnvoi(const QString& adresseExpediteur, const QString& utilisateur,
                     const QString& messageDe);

// The address as MAIL FROM and RCPT TO need it: in angle brackets unless it already is.
QString entreChevrons(const QString& adresse);

// Line breaks inside a value would end the command early and let the rest pass as a command
// of its own; they are dropped from everything that goes on one protocol line.
QString surUneLigne(QString texte);

// The setting "Serveur smtp": "host", "host:port", "[v6 address]:port" or a bare v6 address;
// without a port, portDefaut.
struct ServeurSmtp {
    QString hote;
    quint16 port = kPortSmtp;
    QString erreur; // why the setting cannot be used; empty when it can
};
ServeurSmtp lisServeurSmtp(const QString& valeur, quint16 portDefaut = kPortSmtp);

} // namespace corvane
