#include "platform/trousseaukeychain.h"

#include <qt6keychain/keychain.h>

namespace corvane {
namespace {

QString raisonDe(const QKeychain::Job& job)
{
    switch (job.error()) {
    case QKeychain::NoBackendAvailable:
        return QStringLiteral("aucun trousseau disponible");
    case QKeychain::AccessDeniedByUser:
    case QKeychain::AccessDenied:
        return QStringLiteral("acc\u00e8s au trousseau refus\u00e9");
    case QKeychain::CouldNotDeleteEntry:
        return QStringLiteral("entr\u00e9e du trousseau impossible \u00e0 supprimer");
    default:
        break;
    }
    return job.errorString().isEmpty() ? QStringLiteral("erreur du trousseau") : job.errorString();
}

IssueTrousseau issue(const QKeychain::Job& job)
{
    IssueTrousseau r;
    switch (job.error()) {
    case QKeychain::NoError:
        r.etat = IssueTrousseau::Etat::Ok;
        break;
    case QKeychain::EntryNotFound:
        r.etat = IssueTrousseau::Etat::Absente;
        break;
    default:
        r.raison = raisonDe(job);
        r.detail = QString::number(job.error()) + QLatin1Char(' ') + job.errorString();
        break;
    }
    return r;
}

// The jobs have no parent: one deleted while the keyring still works on it would be called back
// after its end. They delete themselves when done; with contexte gone their answer is dropped.
void lance(QKeychain::Job* job, const QString& cle, QObject* contexte, FinTrousseau fin)
{
    job->setKey(cle);
    QObject::connect(job, &QKeychain::Job::finished, contexte,
                     [fin = std::move(fin)](QKeychain::Job* j) {
                         IssueTrousseau r = issue(*j);
                         if (const auto* lecture = qobject_cast<QKeychain::ReadPasswordJob*>(j)) {
                             r.valeur = lecture->textData();
                         }
                         fin(r);
                     });
    job->start();
}

void lis(const QString& service, const QString& cle, QObject* contexte, FinTrousseau fin)
{
    lance(new QKeychain::ReadPasswordJob(service), cle, contexte, std::move(fin));
}

void ecris(const QString& service, const QString& cle, const QString& valeur, QObject* contexte,
           FinTrousseau fin)
{
    if (valeur.isEmpty()) {
        lance(new QKeychain::DeletePasswordJob(service), cle, contexte, std::move(fin));
        return;
    }
    auto* ecriture = new QKeychain::WritePasswordJob(service);
    ecriture->setTextData(valeur);
    lance(ecriture, cle, contexte, std::move(fin));
}

const TableTrousseau kTable{kVersionTableTrousseau, &lis, &ecris};

} // namespace
} // namespace corvane

const corvane::TableTrousseau* corvane_table_trousseau()
{
    return &corvane::kTable;
}
