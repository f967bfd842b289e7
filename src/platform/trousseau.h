#pragma once
// The SMTP and FTP passwords in the desktop's keyring (the Secret Service, through QtKeychain).
// Every call is asynchronous and reports through a signal; nothing here ever logs a password.
// Entries are made per settings file, so two installations on one account keep their own.

#include <QLoggingCategory>
#include <QObject>

#include <QString>

#include <functional>
#include <optional>

namespace corvane {

Q_DECLARE_LOGGING_CATEGORY(lcTrousseau)

class Moteur;

enum class Secret { Smtp, Ftp };

class Trousseau : public QObject {
    Q_OBJECT
public:
    explicit Trousseau(QString cheminConfig, QObject* parent = nullptr);
    ~Trousseau() override;

    // Whether a Secret Service answers (or can be started) on the session bus; without one the
    // passwords stay in the settings file. reponse is called once, from the event loop, within
    // about a second, unless contexte is gone by then. Only connecting to the bus, when not yet
    // done, waits.
    static void disponible(QObject* contexte, std::function<void(bool)> reponse);

    // The entry's name in the keyring: the secret and the settings file's absolute path.
    QString cle(Secret secret) const;

    void lis(Secret secret);                          // -> lu (empty when there is no entry)
    void ecris(Secret secret, const QString& valeur); // -> ecrit; an empty value removes it

signals:
    void lu(corvane::Secret secret, const QString& valeur);
    void ecrit(corvane::Secret secret);
    void echec(corvane::Secret secret, const QString& raison);

private:
    void lance(Secret secret, const std::optional<QString>& valeur); // nullopt: a read

    QString cheminConfig_;
};

// At a windowed launch, after the settings are loaded: both passwords read from the keyring and
// handed to the engine once both have answered. A read that fails is logged with its reason and
// counts as no entry.
// ensuite runs once both passwords are in the engine, or after kAttenteSecrets at most.
inline constexpr int kAttenteSecrets = 10000; // ms
void chargeSecrets(Trousseau& trousseau, Moteur& moteur, std::function<void()> ensuite = {});

} // namespace corvane
