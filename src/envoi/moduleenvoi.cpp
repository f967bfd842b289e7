#include "envoi/moduleenvoi.h"

#include "platform/modules.h"

#include <QLoggingCategory>

namespace corvane {
namespace {

Q_LOGGING_CATEGORY(lcEnvoi, "corvane.envoi")

struct Chargement {
    const TableEnvoi* table = nullptr;
    QString erreur;
};

Chargement charge()
{
    Chargement c;
    const EntreeModule m = chargeModule("libcorvane_envoi.so", "corvane_table_envoi");
    if (!m.fonction) {
        c.erreur = QStringLiteral("module d'envoi introuvable : %1").arg(m.erreur);
        return c;
    }
    using Entree = const TableEnvoi* (*)();
    const TableEnvoi* table = reinterpret_cast<Entree>(m.fonction)();
    if (!table || table->version != kVersionTableEnvoi) {
        c.erreur = QStringLiteral("module d'envoi d'une autre version");
        return c;
    }
    qCDebug(lcEnvoi) << "delivery module loaded";
    c.table = table;
    return c;
}

const Chargement& chargement()
{
    static const Chargement c = charge(); // thread-safe: the first caller loads, others wait
    return c;
}

} // namespace

const TableEnvoi* moduleEnvoi()
{
    return chargement().table;
}

QString erreurModuleEnvoi()
{
    return chargement().erreur;
}

namespace dns {
namespace {

// Without the module a message cannot be built, so no update is ever sent.
Message messageSansModule()
{
    Message r;
    r.erreur = erreurModuleEnvoi();
    return r;
}

Reponse reponseSansModule()
{
    Reponse r;
    r.raison = erreurModuleEnvoi();
    return r;
}

} // namespace

Message messageMiseAJour(const QString& zone, const QString& nom, const QHostAddress& adresse,
                         quint32 ttl, const CleTsig& cle)
{
    const TableEnvoi* m = moduleEnvoi();
    return m ? m->messageMiseAJour(zone, nom, adresse, ttl, cle) : messageSansModule();
}

Message messageQuestion(const QString& nom, QAbstractSocket::NetworkLayerProtocol famille,
                        const CleTsig& cle)
{
    const TableEnvoi* m = moduleEnvoi();
    return m ? m->messageQuestion(nom, famille, cle) : messageSansModule();
}

bool repondA(const QByteArray& octets, const Message& requete)
{
    const TableEnvoi* m = moduleEnvoi();
    return m && m->repondA(octets, requete);
}

Reponse lisReponseMiseAJour(const QByteArray& octets, const Message& requete, const CleTsig& cle)
{
    const TableEnvoi* m = moduleEnvoi();
    return m ? m->lisReponseMiseAJour(octets, requete, cle) : reponseSansModule();
}

Reponse lisReponseQuestion(const QByteArray& octets, const Message& requete, const CleTsig& cle)
{
    const TableEnvoi* m = moduleEnvoi();
    return m ? m->lisReponseQuestion(octets, requete, cle) : reponseSansModule();
}

} // namespace dns
} // namespace corvane
