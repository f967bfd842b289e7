#include "platform/trousseau.h"

#include "platform/modules.h"
#include "platform/trousseaukeychain.h"
#include "watch/moteur.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QFileInfo>
#include <QTimer>

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

// The keyring's client, loaded with the first job; null with the reason in erreur.
const TableTrousseau* client(QString& erreur)
{
    static const auto module = chargeTable<TableTrousseau>(
        kModuleTrousseau, "corvane_table_trousseau", kVersionTableTrousseau, "trousseau");
    if (!module.table) {
        erreur = module.erreur;
    }
    return module.table;
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

void Trousseau::lis(Secret secret)
{
    lance(secret, std::nullopt);
}

void Trousseau::ecris(Secret secret, const QString& valeur)
{
    lance(secret, valeur);
}

void Trousseau::lance(Secret secret, const std::optional<QString>& valeur)
{
    const auto fin = [this, secret, lecture = !valeur](const IssueTrousseau& r) {
        using Etat = IssueTrousseau::Etat;
        // Removing what is not there leaves the keyring as asked.
        if (r.etat != Etat::Erreur && lecture) {
            emit lu(secret, r.valeur);
        } else if (r.etat != Etat::Erreur) {
            emit ecrit(secret);
        } else {
            qCWarning(lcTrousseau).noquote()
                << (lecture ? "read failed:" : "write failed:") << r.detail;
            emit echec(secret, r.raison);
        }
    };
    QString erreur;
    if (const TableTrousseau* t = client(erreur)) {
        if (valeur) {
            t->ecris(kService, cle(secret), *valeur, this, fin);
        } else {
            t->lis(kService, cle(secret), this, fin);
        }
        return;
    }
    QTimer::singleShot(0, this, [fin, erreur] {
        fin(IssueTrousseau{IssueTrousseau::Etat::Erreur, {}, erreur, erreur});
    });
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
