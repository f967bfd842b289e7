#include "dns/messageldns.h"

#include <QRandomGenerator>
#include <QUrl>

#include <ldns/ldns.h>

#include <cstdlib>
#include <memory>

namespace corvane::dns {
namespace {

// RFC 8945's recommendation: clocks five minutes apart still agree.
constexpr uint16_t kFudge = 300;
// TSIG error codes (RFC 8945, 5.2.3) that come with an unsigned NOTAUTH.
constexpr uint16_t kBadSig = 16;
constexpr uint16_t kBadKey = 17;
constexpr uint16_t kBadTime = 18;

struct LibereRdf {
    void operator()(ldns_rdf* r) const { ldns_rdf_deep_free(r); }
};
struct LiberePkt {
    void operator()(ldns_pkt* p) const { ldns_pkt_free(p); }
};
struct LibereListe {
    void operator()(ldns_rr_list* l) const { ldns_rr_list_deep_free(l); }
};
using Rdf = std::unique_ptr<ldns_rdf, LibereRdf>;
using Pkt = std::unique_ptr<ldns_pkt, LiberePkt>;
using Liste = std::unique_ptr<ldns_rr_list, LibereListe>;

// An absolute name in its ASCII (punycode) form; null when it is no DNS name.
Rdf nomDns(const QString& nom)
{
    QString t = nom.trimmed();
    if (t.endsWith(u'.')) {
        t.chop(1);
    }
    const QByteArray ace = QUrl::toAce(t);
    if (ace.isEmpty()) {
        return nullptr;
    }
    return Rdf(ldns_dname_new_frm_str((ace + '.').constData()));
}

ldns_rr_type typeDe(QAbstractSocket::NetworkLayerProtocol famille)
{
    return famille == QAbstractSocket::IPv6Protocol ? LDNS_RR_TYPE_AAAA : LDNS_RR_TYPE_A;
}

void signe(ldns_pkt* pkt, const CleTsig& cle, Message& m)
{
    m.id = static_cast<quint16>(QRandomGenerator::system()->bounded(65536));
    ldns_pkt_set_id(pkt, m.id);
    const ldns_status s = ldns_pkt_tsig_sign(pkt, cle.nom.constData(), cle.secret.constData(),
                                             kFudge, cle.algorithme.constData(), nullptr);
    const ldns_rr* tsig = ldns_pkt_tsig(pkt);
    if (s != LDNS_STATUS_OK || !tsig) {
        m.erreur = QStringLiteral("signature TSIG impossible (%1)")
                       .arg(QString::fromUtf8(ldns_get_errorstr_by_id(s)));
        return;
    }
    const ldns_rdf* mac = ldns_rr_rdf(tsig, 3);
    m.mac = QByteArray(reinterpret_cast<const char*>(ldns_rdf_data(mac)),
                       qsizetype(ldns_rdf_size(mac)));
    uint8_t* octets = nullptr;
    size_t taille = 0;
    if (ldns_pkt2wire(&octets, pkt, &taille) != LDNS_STATUS_OK) {
        m.erreur = QStringLiteral("message DNS impossible à construire");
    } else {
        m.octets = QByteArray(reinterpret_cast<const char*>(octets), qsizetype(taille));
    }
    std::free(octets);
}

QString raisonCode(int rcode)
{
    switch (rcode) {
    case LDNS_RCODE_FORMERR:
        return QStringLiteral("message refusé comme mal formé (FORMERR)");
    case LDNS_RCODE_SERVFAIL:
        return QStringLiteral("échec du serveur (SERVFAIL)");
    case LDNS_RCODE_NOTIMPL:
        return QStringLiteral("mise à jour non prise en charge (NOTIMP)");
    case LDNS_RCODE_REFUSED:
        return QStringLiteral("refusé par le serveur (REFUSED)");
    case LDNS_RCODE_NOTAUTH:
        // Signed and valid: the key was fine, the server holds no such zone.
        return QStringLiteral("serveur sans autorité sur la zone (NOTAUTH)");
    case LDNS_RCODE_NOTZONE:
        return QStringLiteral("nom hors de la zone (NOTZONE)");
    default:
        return QStringLiteral("réponse du serveur en erreur (code %1)").arg(rcode);
    }
}

struct Lecture {
    Pkt pkt;
    Reponse reponse;
    int rcode = -1;
};

// What every answer goes through: parsed, not truncated, the key accepted, the signature valid.
Lecture lit(const QByteArray& octets, const Message& requete, const CleTsig& cle)
{
    Lecture l;
    const auto* donnees = reinterpret_cast<const uint8_t*>(octets.constData());
    ldns_pkt* p = nullptr;
    if (ldns_wire2pkt(&p, donnees, size_t(octets.size())) != LDNS_STATUS_OK || !p) {
        l.reponse.raison = QStringLiteral("réponse illisible du serveur");
        return l;
    }
    l.pkt.reset(p);
    if (ldns_pkt_tc(p)) {
        l.reponse.tronquee = true;
        return l;
    }
    l.rcode = ldns_pkt_get_rcode(p);
    const ldns_rr* tsig = ldns_pkt_tsig(p);
    const uint16_t erreurTsig =
        tsig && ldns_rr_rd_count(tsig) > 5 ? ldns_rdf2native_int16(ldns_rr_rdf(tsig, 5)) : 0;
    // The server could not check our signature, so it cannot sign its answer with the key.
    if (l.rcode == LDNS_RCODE_NOTAUTH && (erreurTsig == kBadSig || erreurTsig == kBadKey)) {
        l.reponse.raison = QStringLiteral("clé TSIG refusée (NOTAUTH)");
        return l;
    }
    if (l.rcode == LDNS_RCODE_NOTAUTH && erreurTsig == kBadTime) {
        l.reponse.raison =
            QStringLiteral("heure de la machine refusée par le serveur (NOTAUTH, BADTIME)");
        return l;
    }
    const Rdf mac(ldns_rdf_new_frm_data(LDNS_RDF_TYPE_INT16_DATA, size_t(requete.mac.size()),
                                        requete.mac.constData()));
    if (!tsig || !mac ||
        !ldns_pkt_tsig_verify(p, donnees, size_t(octets.size()), cle.nom.constData(),
                              cle.secret.constData(), mac.get())) {
        // Anyone on the way could have sent it: a success is not believed. A failure is one
        // either way, and its code may say why (a server that cannot read us does not sign).
        l.reponse.raison = l.rcode == LDNS_RCODE_NOERROR || l.rcode == LDNS_RCODE_NXDOMAIN
                               ? QStringLiteral("signature de la réponse invalide")
                               : raisonCode(l.rcode) + QStringLiteral(", réponse non signée");
        return l;
    }
    if (l.rcode != LDNS_RCODE_NOERROR && l.rcode != LDNS_RCODE_NXDOMAIN) {
        l.reponse.raison = raisonCode(l.rcode);
    }
    return l;
}

Message ldnsMiseAJour(const QString& zone, const QString& nom, const QHostAddress& adresse,
                      quint32 ttl, const CleTsig& cle)
{
    Message m;
    Rdf zoneRdf = nomDns(zone);
    const Rdf nomRdf = nomDns(nom);
    if (!nomRdf) {
        m.erreur = QStringLiteral("nom DNS invalide : %1").arg(nom);
        return m;
    }
    if (!zoneRdf) {
        m.erreur = QStringLiteral("zone DNS invalide : %1").arg(zone);
        return m;
    }
    if (ldns_dname_compare(nomRdf.get(), zoneRdf.get()) != 0 &&
        !ldns_dname_is_subdomain(nomRdf.get(), zoneRdf.get())) {
        m.erreur = QStringLiteral("le nom %1 n'est pas dans la zone %2").arg(nom, zone);
        return m;
    }
    const ldns_rr_type type = typeDe(adresse.protocol());
    const Liste maj(ldns_rr_list_new());
    // Class ANY with no data deletes the whole RRset (RFC 2136, 2.5.2).
    ldns_rr* suppression = ldns_rr_new();
    ldns_rr_set_owner(suppression, ldns_rdf_clone(nomRdf.get()));
    ldns_rr_set_type(suppression, type);
    ldns_rr_set_class(suppression, LDNS_RR_CLASS_ANY);
    ldns_rr_set_ttl(suppression, 0);
    ldns_rr_list_push_rr(maj.get(), suppression);
    ldns_rr* ajout = ldns_rr_new();
    ldns_rr_set_owner(ajout, ldns_rdf_clone(nomRdf.get()));
    ldns_rr_set_type(ajout, type);
    ldns_rr_set_class(ajout, LDNS_RR_CLASS_IN);
    ldns_rr_set_ttl(ajout, ttl);
    ldns_rr_push_rdf(
        ajout, ldns_rdf_new_frm_str(type == LDNS_RR_TYPE_A ? LDNS_RDF_TYPE_A : LDNS_RDF_TYPE_AAAA,
                                    adresse.toString().toLatin1().constData()));
    ldns_rr_list_push_rr(maj.get(), ajout);
    // The packet takes the zone's name and copies the list.
    const Pkt pkt(
        ldns_update_pkt_new(zoneRdf.release(), LDNS_RR_CLASS_IN, nullptr, maj.get(), nullptr));
    if (!pkt || !ldns_rr_rdf(ajout, 0)) {
        m.erreur = QStringLiteral("message DNS impossible à construire");
        return m;
    }
    // ldns marks the update "recursion desired"; RFC 2136 wants that bit zero.
    ldns_pkt_set_rd(pkt.get(), false);
    signe(pkt.get(), cle, m);
    return m;
}

Message ldnsQuestion(const QString& nom, QAbstractSocket::NetworkLayerProtocol famille,
                     const CleTsig& cle)
{
    Message m;
    Rdf nomRdf = nomDns(nom);
    if (!nomRdf) {
        m.erreur = QStringLiteral("nom DNS invalide : %1").arg(nom);
        return m;
    }
    const Pkt pkt(ldns_pkt_query_new(nomRdf.release(), typeDe(famille), LDNS_RR_CLASS_IN, 0));
    if (!pkt) {
        m.erreur = QStringLiteral("message DNS impossible à construire");
        return m;
    }
    signe(pkt.get(), cle, m);
    return m;
}

bool ldnsRepondA(const QByteArray& octets, const Message& requete)
{
    return octets.size() >= 12 && quint8(octets[0]) == requete.id >> 8 &&
           quint8(octets[1]) == (requete.id & 0xff) && (quint8(octets[2]) & 0x80) != 0;
}

Reponse ldnsReponseMiseAJour(const QByteArray& octets, const Message& requete, const CleTsig& cle)
{
    Lecture l = lit(octets, requete, cle);
    if (!l.reponse.tronquee && l.reponse.raison.isEmpty()) {
        if (l.rcode == LDNS_RCODE_NOERROR) {
            l.reponse.ok = true;
        } else {
            l.reponse.raison = raisonCode(l.rcode);
        }
    }
    return l.reponse;
}

Reponse ldnsReponseQuestion(const QByteArray& octets, const Message& requete, const CleTsig& cle)
{
    Lecture l = lit(octets, requete, cle);
    if (l.reponse.tronquee || !l.reponse.raison.isEmpty()) {
        return l.reponse;
    }
    l.reponse.ok = true;
    const ldns_rr_list* question = ldns_pkt_question(l.pkt.get());
    const ldns_rdf* nom = ldns_rr_list_rr_count(question) == 1
                              ? ldns_rr_owner(ldns_rr_list_rr(question, 0))
                              : nullptr;
    const ldns_rr_list* reponses = ldns_pkt_answer(l.pkt.get());
    for (size_t i = 0; nom && i < ldns_rr_list_rr_count(reponses); ++i) {
        const ldns_rr* rr = ldns_rr_list_rr(reponses, i);
        const ldns_rdf* donnee = ldns_rr_rd_count(rr) == 1 ? ldns_rr_rdf(rr, 0) : nullptr;
        // A CNAME's target holds other names' addresses, not the name's own.
        if (!donnee || ldns_dname_compare(ldns_rr_owner(rr), nom) != 0) {
            continue;
        }
        const auto* d = ldns_rdf_data(donnee);
        if (ldns_rr_get_type(rr) == LDNS_RR_TYPE_A && ldns_rdf_size(donnee) == 4) {
            l.reponse.adresses += QHostAddress(quint32(d[0]) << 24 | quint32(d[1]) << 16 |
                                               quint32(d[2]) << 8 | quint32(d[3]));
        } else if (ldns_rr_get_type(rr) == LDNS_RR_TYPE_AAAA && ldns_rdf_size(donnee) == 16) {
            l.reponse.adresses += QHostAddress(d);
        }
    }
    return l.reponse;
}

} // namespace
} // namespace corvane::dns

extern "C" const corvane::dns::TableLdns* corvane_table_ldns()
{
    using namespace corvane::dns;
    static const TableLdns table{kVersionTableLdns, ldnsMiseAJour,        ldnsQuestion,
                                 ldnsRepondA,       ldnsReponseMiseAJour, ldnsReponseQuestion};
    return &table;
}
