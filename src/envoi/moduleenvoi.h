#pragma once
// The delivery module, libcorvane_envoi.so: the page's upload (libcurl) and the DNS update's
// messages (ldns). It is loaded with the first upload or DNS update, not at start, so a watcher
// whose address has not changed yet maps neither library nor the dozen they pull in.

#include "dns/messagedns.h"
#include "publish/ftpenvoi.h"

#include <atomic>

namespace corvane {

struct TableEnvoi {
    int version;
    UrlFtp (*construitUrlFtp)(const QString& hebergeur, const QString& cheminDistant,
                              ProtocoleFtp protocole);
    // Runs one upload on the calling thread, its stages emitted through rapport.etape.
    void (*transfere)(TransfertFtp& rapport, const DemandeFtp& demande, const ReadResult& fichier,
                      const std::atomic<bool>* arret);
    dns::Message (*messageMiseAJour)(const QString& zone, const QString& nom,
                                     const QHostAddress& adresse, quint32 ttl,
                                     const dns::CleTsig& cle);
    dns::Message (*messageQuestion)(const QString& nom,
                                    QAbstractSocket::NetworkLayerProtocol famille,
                                    const dns::CleTsig& cle);
    bool (*repondA)(const QByteArray& octets, const dns::Message& requete);
    dns::Reponse (*lisReponseMiseAJour)(const QByteArray& octets, const dns::Message& requete,
                                        const dns::CleTsig& cle);
    dns::Reponse (*lisReponseQuestion)(const QByteArray& octets, const dns::Message& requete,
                                       const dns::CleTsig& cle);
};

// Changed with every change of the table above: a module of another build is refused.
inline constexpr int kVersionTableEnvoi = 1;

// The module's table, loaded by the first call from any thread, from the folder of the core
// library; nullptr when it cannot be loaded, with the reason in erreurModuleEnvoi().
const TableEnvoi* moduleEnvoi();
QString erreurModuleEnvoi();

} // namespace corvane
