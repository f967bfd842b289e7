#pragma once
// The FTP upload of the page: libcurl on a worker thread, one upload at a time. Its stages
// reach the owner's thread only through queued signals, numbered like the states of the
// Internet Transfer control that the console report is written for.

#include <QObject>
#include <QString>

#include <atomic>
#include <optional>

class QThread;

namespace corvane {

// The Internet Transfer control's state numbers.
enum EtatFtp : int {
    EtatAucun = 0, // no state: reported when the connection or the login failed
    EtatResolution = 1,
    EtatHoteResolu = 2,
    EtatConnexion = 3,
    EtatConnecte = 4,
    EtatRequete = 5,
    EtatRequeteEnvoyee = 6,
    EtatReceptionReponse = 7,
    EtatReponseRecue = 8,
    EtatDeconnexion = 9,
    EtatDeconnecte = 10,
    EtatErreur = 11,
    EtatTermine = 12,
};

struct DemandeFtp {
    QString utilisateur;
    QString motDePasse;
    QString hebergeur;     // "host", "host:port", "[v6]" or "[v6]:port"
    QString fichierLocal;  // read whole when the upload starts
    QString cheminDistant; // "/dir/name" from the account's root, or "dir/name" from login
    int delaiConnexionSec = 30;
    int delaiBlocageSec = 60;
};

struct UrlFtp {
    bool ok = false;
    QByteArray url; // never holds a user name or a password
    QString erreur;
};

// The transfer URL from its parts, each taken whole: the remote path may hold spaces, "#",
// "?" or "%", and is encoded, never parsed.
UrlFtp construitUrlFtp(const QString& hebergeur, const QString& cheminDistant);

class TransfertFtp;

class EnvoiFtp : public QObject {
    Q_OBJECT
public:
    explicit EnvoiFtp(QObject* parent = nullptr);
    // Aborts the running transfer and joins its thread.
    ~EnvoiFtp() override;

    // Starts the upload, or, while one runs, makes it the one that runs next (replacing any
    // upload already waiting: only the newest page matters).
    void envoie(const DemandeFtp& demande);
    bool occupe() const { return thread_ != nullptr; }
    bool enAttente() const { return attente_.has_value(); }
    // curl's reason for the last failure; for diagnosis only, never holds the password.
    QString derniereErreur() const { return derniereErreur_; }

signals:
    // Each stage of the running upload, in order; ends with EtatTermine, EtatErreur or
    // EtatAucun.
    void etat(int etat);

private:
    void demarre(const DemandeFtp& demande);
    void transfertFini();

    QThread* thread_ = nullptr;
    TransfertFtp* transfert_ = nullptr;
    std::optional<DemandeFtp> attente_;
    std::atomic<bool> arret_{false};
    QString derniereErreur_;
};

// One upload, run on the worker thread by EnvoiFtp. Emits from that thread.
class TransfertFtp : public QObject {
    Q_OBJECT
public:
    TransfertFtp(DemandeFtp demande, const std::atomic<bool>* arret);
    void execute();

signals:
    void etape(int etat);
    void echec(const QString& raison);

private:
    DemandeFtp demande_;
    const std::atomic<bool>* arret_;
};

} // namespace corvane
