#pragma once
// The upload of the page: libcurl on a worker thread, one upload at a time, by plain FTP,
// explicit FTPS (TLS on the control and the data connections) or SFTP. Its stages reach the
// owner's thread only through queued signals, numbered like the states of the Internet
// Transfer control that the console report is written for.

#include "platform/saferead.h"

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

enum class ProtocoleFtp { Ftp, Ftps, Sftp };

// The largest page sent; a bigger file is refused before anything is read.
inline constexpr qint64 kTailleMaxEnvoi = qint64(16) * 1024 * 1024;

struct DemandeFtp {
    QString utilisateur;
    QString motDePasse;
    QString hebergeur;     // "host", "host:port", "[v6]" or "[v6]:port"; port 21, or 22 for sftp
    QString fichierLocal;  // a regular file, read whole (kTailleMaxEnvoi at most) when the
                           // upload is asked for, not when it starts
    QString cheminDistant; // "/dir/name" from the account's root (for sftp: the server's
                           // root), or "dir/name" from the login folder
    QString protocole;     // "ftp" or empty, "ftps", "sftp"; anything else is refused
    // sftp: the server key's "SHA256:..." fingerprint, as ssh-keygen -l prints it; empty: the
    // key must be in $HOME/.ssh/known_hosts. A key that matches neither is refused.
    QString empreinteHote;
    QString certificat; // ftps: a PEM file of authorities trusted besides the system's
    // The settings window's trial: the file is removed again once stored, so that it proves
    // the account may write there and leaves nothing behind. A refused removal is a failure.
    bool supprimeApres = false;
    int delaiConnexionSec = 30;
    int delaiBlocageSec = 60;
};

struct UrlFtp {
    bool ok = false;
    QByteArray url; // never holds a user name or a password
    QString erreur;
};

// The transfer URL from its parts, each taken whole: the remote path may hold spaces, "#",
// "?" or "%", and is encoded, never parsed. FTPS goes by an ftp:// URL: its TLS is asked for
// on the connection (AUTH TLS), not by the scheme.
UrlFtp construitUrlFtp(const QString& hebergeur, const QString& cheminDistant,
                       ProtocoleFtp protocole = ProtocoleFtp::Ftp);

class TransfertFtp;

class EnvoiFtp : public QObject {
    Q_OBJECT
public:
    explicit EnvoiFtp(QObject* parent = nullptr);
    // Aborts the running transfer and joins its thread.
    ~EnvoiFtp() override;

    // Reads demande.fichierLocal now, then starts its upload, or, while one runs, makes it the
    // one that runs next (replacing any upload already waiting: only the newest page matters).
    // A file that cannot be read is reported by that upload, in its turn.
    void envoie(const DemandeFtp& demande);
    bool occupe() const { return thread_ != nullptr; }
    bool enAttente() const { return attente_.has_value(); }
    // The reason of the last failure, set before its state is emitted; never holds the
    // password.
    QString derniereErreur() const { return derniereErreur_; }

signals:
    // Each stage of the running upload, in order; ends with EtatTermine, or with EtatAucun
    // (connection, TLS, host key or login failed; nothing was sent) or EtatErreur (the file
    // could not be read or stored), which alone come with a reason.
    void etat(int etat, const QString& raison);

private:
    struct Envoi {
        DemandeFtp demande;
        ReadResult fichier; // fichierLocal as it was when the upload was asked for
    };
    void demarre(const Envoi& envoi);
    void transfertFini();

    QThread* thread_ = nullptr;
    TransfertFtp* transfert_ = nullptr;
    std::optional<Envoi> attente_;
    std::atomic<bool> arret_{false};
    QString derniereErreur_;
};

// One upload, run on the worker thread by EnvoiFtp. Emits from that thread. It sends the bytes
// it is given (fichier, read from demande.fichierLocal earlier) and reads no file of its own
// but the authorities' and known_hosts.
class TransfertFtp : public QObject {
    Q_OBJECT
public:
    TransfertFtp(DemandeFtp demande, ReadResult fichier, const std::atomic<bool>* arret);
    void execute();

signals:
    void etape(int etat, const QString& raison = QString());

private:
    DemandeFtp demande_;
    ReadResult fichier_;
    const std::atomic<bool>* arret_;
};

} // namespace corvane
