#pragma once
// Inside the delivery module: what its table points to.

#include "envoi/moduleenvoi.h"

namespace corvane {
namespace curl {
UrlFtp construitUrlFtp(const QString& hebergeur, const QString& cheminDistant,
                       ProtocoleFtp protocole);
void transfere(TransfertFtp& rapport, const DemandeFtp& demande, const ReadResult& fichier,
               const std::atomic<bool>* arret);
} // namespace curl

namespace dns::module {
Message messageMiseAJour(const QString& zone, const QString& nom, const QHostAddress& adresse,
                         quint32 ttl, const CleTsig& cle);
Message messageQuestion(const QString& nom, QAbstractSocket::NetworkLayerProtocol famille,
                        const CleTsig& cle);
bool repondA(const QByteArray& octets, const Message& requete);
Reponse lisReponseMiseAJour(const QByteArray& octets, const Message& requete, const CleTsig& cle);
Reponse lisReponseQuestion(const QByteArray& octets, const Message& requete, const CleTsig& cle);
} // namespace dns::module

} // namespace corvane

// The module's one entry point, looked up by name.
extern "C" __attribute__((visibility("default"))) const corvane::TableEnvoi* corvane_table_envoi();
