#include "envoi/moduleenvoi.h"

#include <QFileInfo>
#include <QLoggingCategory>

#include <mutex>

#include <dlfcn.h>

namespace corvane {
namespace {

Q_LOGGING_CATEGORY(lcEnvoi, "corvane.envoi")

constexpr char kNomModule[] = "libcorvane_envoi.so";

struct Chargement {
    const TableEnvoi* table = nullptr;
    QString erreur;
};

Chargement charge()
{
    Chargement c;
    // Beside the core library, wherever that is (the build folder, lib/corvane once installed):
    // the module is of the same build, and a path of its own is never searched for.
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&moduleEnvoi), &info) || !info.dli_fname) {
        c.erreur =
            QStringLiteral("module d'envoi introuvable : bibliothèque du programme inconnue");
        return c;
    }
    const QString chemin = QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath() +
                           QLatin1Char('/') + QLatin1String(kNomModule);
    void* module = dlopen(QFile::encodeName(chemin).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        c.erreur = QStringLiteral("module d'envoi introuvable : %1")
                       .arg(QString::fromLocal8Bit(dlerror()));
        return c;
    }
    using Entree = const TableEnvoi* (*)();
    const auto entree = reinterpret_cast<Entree>(dlsym(module, "corvane_table_envoi"));
    const TableEnvoi* table = entree ? entree() : nullptr;
    if (!table || table->version != kVersionTableEnvoi) {
        c.erreur = QStringLiteral("module d'envoi d'une autre version : %1").arg(chemin);
        return c; // left loaded: unloading code that may have started threads is not safe
    }
    qCDebug(lcEnvoi) << "delivery module loaded from" << chemin;
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
