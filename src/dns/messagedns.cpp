#include "dns/messagedns.h"

#include "dns/messageldns.h"
#include "platform/modules.h"

namespace corvane::dns {
namespace {

const TableModule<TableLdns>& ldns()
{
    static const auto module =
        chargeTable<TableLdns>(kModuleEnvoi, "corvane_table_ldns", kVersionTableLdns, "d'envoi");
    return module;
}

// Without the module a message cannot be built, so no update is ever sent.
Message messageSansModule()
{
    Message r;
    r.erreur = ldns().erreur;
    return r;
}

Reponse reponseSansModule()
{
    Reponse r;
    r.raison = ldns().erreur;
    return r;
}

} // namespace

Message messageMiseAJour(const QString& zone, const QString& nom, const QHostAddress& adresse,
                         quint32 ttl, const CleTsig& cle)
{
    const TableLdns* t = ldns().table;
    return t ? t->messageMiseAJour(zone, nom, adresse, ttl, cle) : messageSansModule();
}

Message messageQuestion(const QString& nom, QAbstractSocket::NetworkLayerProtocol famille,
                        const CleTsig& cle)
{
    const TableLdns* t = ldns().table;
    return t ? t->messageQuestion(nom, famille, cle) : messageSansModule();
}

bool repondA(const QByteArray& octets, const Message& requete)
{
    const TableLdns* t = ldns().table;
    return t && t->repondA(octets, requete);
}

Reponse lisReponseMiseAJour(const QByteArray& octets, const Message& requete, const CleTsig& cle)
{
    const TableLdns* t = ldns().table;
    return t ? t->lisReponseMiseAJour(octets, requete, cle) : reponseSansModule();
}

Reponse lisReponseQuestion(const QByteArray& octets, const Message& requete, const CleTsig& cle)
{
    const TableLdns* t = ldns().table;
    return t ? t->lisReponseQuestion(octets, requete, cle) : reponseSansModule();
}

} // namespace corvane::dns
