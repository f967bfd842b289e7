#pragma once
// The DNS messages are built, signed and read by ldns in the delivery module
// (libcorvane_envoi.so), which the core loads with the first DNS update: a watcher whose
// address has not changed never maps ldns. messagedns.cpp forwards to this table.

#include "dns/messagedns.h"

namespace corvane::dns {

struct TableLdns {
    int version;
    Message (*messageMiseAJour)(const QString& zone, const QString& nom,
                                const QHostAddress& adresse, quint32 ttl, const CleTsig& cle);
    Message (*messageQuestion)(const QString& nom, QAbstractSocket::NetworkLayerProtocol famille,
                               const CleTsig& cle);
    bool (*repondA)(const QByteArray& octets, const Message& requete);
    Reponse (*lisReponseMiseAJour)(const QByteArray& octets, const Message& requete,
                                   const CleTsig& cle);
    Reponse (*lisReponseQuestion)(const QByteArray& octets, const Message& requete,
                                  const CleTsig& cle);
};

// Changed with every change of the table: a module of another build is refused.
inline constexpr int kVersionTableLdns = 1;

} // namespace corvane::dns

extern "C" __attribute__((visibility("default"))) const corvane::dns::TableLdns*
corvane_table_ldns();
