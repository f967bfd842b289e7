#include "platform/trousseau.h"

#include "watch/moteur.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QFileInfo>
#include <QTimer>

#include <qt6keychain/keychain.h>

#include <memory>
#include <optional>

namespace corvane {

Q_LOGGING_CATEGORY(lcTrousseau, "corvane.keyring")

namespace {

const QString kService = QStringLiteral("Corvane");
const QString kSecretService = QStringLiteral("org.freedesktop.secrets");
// Each of the two questions to the bus; a bus that does not answer in that time is as good as
// none for a program that must start.
constexpr int kDelaiBusMs = 500;

// One bounded question to the bus daemon about the Secret Service's name, without waiting:
// repond gets the answer (none when the bus did not give one) from the event loop.
void demandeAuBus(const QDBusConnection& bus, QObject* contexte, const QString& methode,
                  const QVariantList& arguments,
                  std::function<void(std::optional<QVariant>)> repond)
{
    QDBusMessage m = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), methode);
    m.setArguments(arguments);
    auto* attente = new QDBusPendingCallWatcher(bus.asyncCall(m, kDelaiBusMs), contexte);
    QObject::connect(attente, &QDBusPendingCallWatcher::finished, contexte,
                     [methode, repond = std::move(repond)](QDBusPendingCallWatcher* w) {
                         w->deleteLater();
                         const QDBusMessage r = w->reply();
                         if (r.type() != QDBusMessage::ReplyMessage || r.arguments().isEmpty()) {
                             qCInfo(lcTrousseau) << methode << "unanswered:" << r.errorMessage();
                             repond(std::nullopt);
                         } else {
                             repond(r.arguments().constFirst());
                         }
                     });
}

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

} // namespace

Trousseau::Trousseau(QString cheminConfig, QObject* parent)
    : QObject(parent), cheminConfig_(QFileInfo(cheminConfig).absoluteFilePath())
{}

Trousseau::~Trousseau() = default;

void Trousseau::disponible(QObject* contexte, std::function<void(bool)> reponse)
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCInfo(lcTrousseau) << "no session bus:" << bus.lastError().message();
        QTimer::singleShot(0, contexte, [reponse = std::move(reponse)] { reponse(false); });
        return;
    }
    demandeAuBus(bus, contexte, QStringLiteral("NameHasOwner"), {kSecretService},
                 [bus, contexte, reponse = std::move(reponse)](std::optional<QVariant> present) {
                     if (!present || present->toBool()) {
                         reponse(present.has_value());
                         return;
                     }
                     demandeAuBus(bus, contexte, QStringLiteral("ListActivatableNames"), {},
                                  [reponse](std::optional<QVariant> activables) {
                                      reponse(activables &&
                                              activables->toStringList().contains(kSecretService));
                                  });
                 });
}

QString Trousseau::cle(Secret secret) const
{
    return (secret == Secret::Smtp ? QStringLiteral("smtp@") : QStringLiteral("ftp@")) +
           cheminConfig_;
}

// The jobs have no parent: one deleted while the keyring still works on it would be called back
// after its end. They delete themselves when done; with this object gone their answer is dropped.
void Trousseau::lis(Secret secret)
{
    auto* job = new QKeychain::ReadPasswordJob(kService);
    job->setKey(cle(secret));
    connect(job, &QKeychain::Job::finished, this, [this, secret](QKeychain::Job* j) {
        const auto* lecture = static_cast<QKeychain::ReadPasswordJob*>(j);
        if (j->error() == QKeychain::NoError) {
            emit lu(secret, lecture->textData());
        } else if (j->error() == QKeychain::EntryNotFound) {
            emit lu(secret, QString());
        } else {
            qCWarning(lcTrousseau) << "read failed:" << j->error() << j->errorString();
            emit echec(secret, raisonDe(*j));
        }
    });
    job->start();
}

void Trousseau::ecris(Secret secret, const QString& valeur)
{
    QKeychain::Job* job = nullptr;
    if (valeur.isEmpty()) {
        job = new QKeychain::DeletePasswordJob(kService);
    } else {
        auto* ecriture = new QKeychain::WritePasswordJob(kService);
        ecriture->setTextData(valeur);
        job = ecriture;
    }
    job->setKey(cle(secret));
    const bool retrait = valeur.isEmpty();
    connect(job, &QKeychain::Job::finished, this, [this, secret, retrait](QKeychain::Job* j) {
        // Removing what is not there leaves the keyring as asked.
        if (j->error() == QKeychain::NoError ||
            (retrait && j->error() == QKeychain::EntryNotFound)) {
            emit ecrit(secret);
        } else {
            qCWarning(lcTrousseau) << "write failed:" << j->error() << j->errorString();
            emit echec(secret, raisonDe(*j));
        }
    });
    job->start();
}

void chargeSecrets(Trousseau& trousseau, Moteur& moteur, std::function<void()> ensuite)
{
    struct Attente {
        QString smtp;
        QString ftp;
        int restants = 2;
        QMetaObject::Connection lu;
        QMetaObject::Connection echec;
        std::function<void()> ensuite; // run once: with both answers, or at the bound
        void suite()
        {
            if (ensuite) {
                const auto f = std::move(ensuite);
                ensuite = nullptr;
                f();
            }
        }
    };
    auto attente = std::make_shared<Attente>();
    attente->ensuite = std::move(ensuite);
    // A locked keyring may wait on the user's unlock prompt: what follows does not wait past
    // this, and passwords that come later are still taken.
    QTimer::singleShot(kAttenteSecrets, &moteur, [attente] { attente->suite(); });
    const auto recu = [attente, &moteur](Secret secret, const QString& valeur) {
        (secret == Secret::Smtp ? attente->smtp : attente->ftp) = valeur;
        if (--attente->restants == 0) {
            QObject::disconnect(attente->lu);
            QObject::disconnect(attente->echec);
            moteur.utiliseSecrets(attente->smtp, attente->ftp);
            attente->suite();
        }
    };
    attente->lu = QObject::connect(&trousseau, &Trousseau::lu, &moteur, recu);
    attente->echec =
        QObject::connect(&trousseau, &Trousseau::echec, &moteur,
                         [recu, &moteur](Secret secret, const QString& raison) {
                             moteur.journal(QStringLiteral("Erreur trousseau : ") + raison);
                             recu(secret, QString());
                         });
    trousseau.lis(Secret::Smtp);
    trousseau.lis(Secret::Ftp);
}

} // namespace corvane
