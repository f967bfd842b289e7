#pragma once
// The DNS messages of an RFC 2136 update, built, signed (TSIG), read and checked with NLnet
// Labs' ldns. Only bytes go in and out: the sockets are the caller's (Qt's, asynchronous), so
// nothing here blocks.

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>

namespace corvane::dns {

// A TSIG key as ldns takes it: absolute names, the secret in base64.
struct CleTsig {
    QByteArray nom;        // "cle.example.org."
    QByteArray algorithme; // "hmac-sha256."
    QByteArray secret;     // base64
};

struct Message {
    QByteArray octets; // wire form, TSIG record included
    quint16 id = 0;
    QByteArray mac; // the request's MAC as its wire rdata (length first): the reply's
                    // signature covers it
    QString erreur; // why nothing could be built; empty otherwise
};

// One update of zone, with no prerequisite, that deletes the RRset of nom of the address's
// type (A or AAAA) and adds adresse with ttl. nom and zone are absolute or not: a final dot is
// added.
Message messageMiseAJour(const QString& zone, const QString& nom, const QHostAddress& adresse,
                         quint32 ttl, const CleTsig& cle);
// A signed question for nom's records of the type of family (IPv4: A, IPv6: AAAA).
Message messageQuestion(const QString& nom, QAbstractSocket::NetworkLayerProtocol famille,
                        const CleTsig& cle);

// The two bytes of an answer that tell whether it answers requete at all: a datagram from
// elsewhere, or late, is dropped without a word.
bool repondA(const QByteArray& octets, const Message& requete);

struct Reponse {
    bool tronquee = false; // TC: to be asked again over TCP
    bool ok = false;
    QString raison;               // when !ok and !tronquee: a short French reason
    QList<QHostAddress> adresses; // a question's answers of the asked type
};

// An update's answer: NOERROR with a valid signature is success; every other outcome is named.
Reponse lisReponseMiseAJour(const QByteArray& octets, const Message& requete, const CleTsig& cle);
// A question's answer: its records, when NOERROR (or NXDOMAIN: none) with a valid signature.
Reponse lisReponseQuestion(const QByteArray& octets, const Message& requete, const CleTsig& cle);

} // namespace corvane::dns
