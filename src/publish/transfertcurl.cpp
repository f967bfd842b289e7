#include "publish/transfertcurl.h"

#include "platform/saferead.h"
#include "platform/textcodec.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

// The upload itself, by libcurl; part of the delivery module, loaded with the first upload.

namespace corvane {
namespace {

struct HotePort {
    QByteArray hote;
    QByteArray port; // empty: the protocol's own
    QString erreur;
};

HotePort decoupeHebergeur(const QString& texte)
{
    HotePort r;
    const QString h = texte.trimmed();
    QString hote = h;
    QString port;
    bool portDonne = false;
    if (h.startsWith(QLatin1Char('['))) {
        const qsizetype fin = h.indexOf(QLatin1Char(']'));
        if (fin < 0) {
            r.erreur = QStringLiteral("hébergeur ftp invalide");
            return r;
        }
        hote = h.left(fin + 1);
        const QString reste = h.mid(fin + 1);
        if (!reste.isEmpty()) {
            if (!reste.startsWith(QLatin1Char(':'))) {
                r.erreur = QStringLiteral("hébergeur ftp invalide");
                return r;
            }
            port = reste.mid(1);
            portDonne = true;
        }
    } else if (h.count(QLatin1Char(':')) == 1) {
        const qsizetype deuxPoints = h.indexOf(QLatin1Char(':'));
        hote = h.left(deuxPoints);
        port = h.mid(deuxPoints + 1);
        portDonne = true;
    } else if (h.count(QLatin1Char(':')) > 1) {
        hote = QLatin1Char('[') + h + QLatin1Char(']'); // a bare IPv6 address
    }
    if (hote.isEmpty() || hote == QStringLiteral("[]")) {
        r.erreur = QStringLiteral("hébergeur ftp vide");
        return r;
    }
    if (portDonne) {
        bool nombre = false;
        const int n = port.toInt(&nombre, 10);
        const bool chiffres =
            !port.isEmpty() &&
            std::all_of(port.cbegin(), port.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
        if (!nombre || !chiffres || n < 1 || n > 65535) {
            r.erreur = QStringLiteral("port ftp invalide : %1").arg(port);
            return r;
        }
        r.port = QByteArray::number(n);
    }
    r.hote = hote.toUtf8();
    return r;
}

struct CurlUrl {
    CURLU* h = curl_url();
    ~CurlUrl() { curl_url_cleanup(h); }
};

bool contientFinDeLigne(const QString& texte)
{
    return std::any_of(texte.cbegin(), texte.cend(),
                       [](QChar c) { return c == u'\0' || c == u'\r' || c == u'\n'; });
}

// The fingerprint ssh-keygen -l shows for a key, from the key as the server sends it.
QString empreinteSsh(QByteArrayView cle)
{
    return QStringLiteral("SHA256:") +
           QString::fromLatin1(QCryptographicHash::hash(cle, QCryptographicHash::Sha256)
                                   .toBase64(QByteArray::OmitTrailingEquals));
}

// "SHA256:" and its 43 characters of base64, taken from whatever the user pasted around
// them (a whole ssh-keygen line, a trailing "="). Empty when there is none.
QString empreinteLue(const QString& texte)
{
    const qsizetype debut = texte.indexOf(QStringLiteral("SHA256:"));
    if (debut < 0) {
        return {};
    }
    QString base;
    for (qsizetype i = debut + 7; i < texte.size(); ++i) {
        const QChar c = texte[i];
        const bool b64 = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
                         (c >= u'0' && c <= u'9') || c == u'+' || c == u'/';
        if (!b64) {
            break;
        }
        base += c;
    }
    return base.size() == 43 ? QStringLiteral("SHA256:") + base : QString();
}

// A failure's reason as shown: the password taken out wherever it could appear (as sent,
// Windows-1252 for FTP and UTF-8 for SSH, and as decoded back), control characters blanked,
// and cut short only then, so that no piece of the password is left at the cut.
class Masque {
public:
    explicit Masque(const QString& motDePasse)
    {
        if (motDePasse.isEmpty()) {
            return;
        }
        octets_ = {toAnsi(motDePasse), motDePasse.toUtf8()};
        textes_ = {motDePasse, fromAnsi(octets_[0])};
    }

    QString texte(QByteArray brut) const
    {
        for (const QByteArray& o : octets_) {
            brut.replace(o, "****");
        }
        QString t = brut.isValidUtf8() ? QString::fromUtf8(brut) : fromAnsi(brut);
        for (const QString& m : textes_) {
            t.replace(m, QStringLiteral("****"));
        }
        for (QChar& c : t) {
            if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
                c = u' ';
            }
        }
        return t.trimmed().left(300);
    }

private:
    QList<QByteArray> octets_;
    QList<QString> textes_;
};

// Shared by the curl callbacks of one transfer (worker thread only).
struct Contexte {
    TransfertFtp* transfert = nullptr;
    const std::atomic<bool>* arret = nullptr;
    QByteArray donnees;
    qsizetype lu = 0;
    int dernier = EtatAucun;
    bool identifie = false;    // the login went through: what fails next concerns the file
    QByteArray reponse;        // the server's last reply line (FTP), kept for a failure's reason
    QString empreinteAttendue; // sftp, from the settings
    QString refusHote;         // why the SSH host key was refused

    // Stages only move forward; a stage that curl gives no hook for is reported when a later
    // one shows it has passed.
    void avance(int etat)
    {
        while (dernier < etat) {
            ++dernier;
            emit transfert->etape(dernier);
        }
    }
};

size_t lecture(char* buffer, size_t taille, size_t nombre, void* userdata)
{
    auto* c = static_cast<Contexte*>(userdata);
    c->avance(EtatRequete);
    const auto reste = static_cast<size_t>(c->donnees.size() - c->lu);
    const size_t n = std::min(reste, taille * nombre);
    if (n == 0) {
        c->avance(EtatRequeteEnvoyee);
        return 0;
    }
    std::memcpy(buffer, c->donnees.constData() + c->lu, n);
    c->lu += static_cast<qsizetype>(n);
    return n;
}

int optionsSocket(void* userdata, curl_socket_t, curlsocktype)
{
    static_cast<Contexte*>(userdata)->avance(EtatConnexion);
    return CURL_SOCKOPT_OK;
}

// Called once the connection is set up and the login accepted (FTP's USER/PASS, SSH's
// authentication), before the file is asked for.
int connecte(void* userdata, char*, char*, int, int)
{
    auto* c = static_cast<Contexte*>(userdata);
    c->identifie = true;
    c->avance(EtatConnecte);
    return CURL_PREREQFUNC_OK;
}

// Watches the control connection's lines to follow the dialogue. Only the server's lines are
// kept: one of ours carries the password.
int trace(CURL*, curl_infotype type, char* data, size_t taille, void* userdata)
{
    auto* c = static_cast<Contexte*>(userdata);
    const auto commence = [&](const char* debut) {
        const size_t n = std::strlen(debut);
        return taille >= n && std::memcmp(data, debut, n) == 0;
    };
    if (type == CURLINFO_HEADER_IN) {
        c->avance(EtatConnecte);
        c->reponse = QByteArray(data, qsizetype(taille));
        if (c->dernier >= EtatRequeteEnvoyee) {
            c->avance(EtatReceptionReponse);
        }
    } else if (type == CURLINFO_HEADER_OUT && (commence("STOR ") || commence("APPE "))) {
        c->avance(EtatRequete);
    }
    return 0;
}

int progression(void* userdata, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<Contexte*>(userdata)->arret->load() ? 1 : 0;
}

// sftp with a fingerprint in the settings: that key and no other.
int cleHoteAttendue(void* userdata, int, const char* cle, size_t taille)
{
    auto* c = static_cast<Contexte*>(userdata);
    c->avance(EtatConnecte);
    const QString vue = empreinteSsh(QByteArrayView(cle, qsizetype(taille)));
    if (vue == c->empreinteAttendue) {
        return CURLKHMATCH_OK;
    }
    c->refusHote = QStringLiteral("clé d'hôte différente de l'empreinte attendue : %1").arg(vue);
    return CURLKHMATCH_MISMATCH;
}

// sftp without one: libssh2 has looked the key up in known_hosts; only a match goes on, and
// known_hosts is never written.
int cleHoteConnue(CURL*, const curl_khkey*, const curl_khkey* vue, curl_khmatch resultat,
                  void* userdata)
{
    auto* c = static_cast<Contexte*>(userdata);
    c->avance(EtatConnecte);
    if (resultat == CURLKHMATCH_OK) {
        return CURLKHSTAT_FINE;
    }
    const QByteArray cle = vue->len > 0 ? QByteArray(vue->key, qsizetype(vue->len))
                                        : QByteArray::fromBase64(QByteArray(vue->key));
    const QString empreinte = empreinteSsh(cle);
    c->refusHote =
        resultat == CURLKHMATCH_MISMATCH
            ? QStringLiteral("clé d'hôte différente de celle de known_hosts : %1").arg(empreinte)
            : QStringLiteral("clé d'hôte inconnue : %1").arg(empreinte);
    return CURLKHSTAT_REJECT;
}

struct Echec {
    int etat = EtatAucun;
    QString raison;
};

Echec echecDe(CURLcode rc, const Contexte& c, const char* erreurCurl, const Masque& masque)
{
    // EtatAucun: nothing of the file was tried yet.
    const int selonEtape = c.identifie ? EtatErreur : EtatAucun;
    Echec e{selonEtape, {}};
    bool parReponse = false; // the server's reply says more than curl's summary of it
    switch (rc) {
    case CURLE_COULDNT_RESOLVE_HOST:
        e = {EtatAucun, QStringLiteral("hôte introuvable")};
        break;
    case CURLE_COULDNT_CONNECT:
        e = {EtatAucun, QStringLiteral("connexion impossible")};
        break;
    case CURLE_OPERATION_TIMEDOUT:
        e.raison = QStringLiteral("délai dépassé");
        break;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
        e.raison = QStringLiteral("connexion coupée");
        break;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_WEIRD_227_FORMAT:
        e.raison = QStringLiteral("réponse du serveur invalide");
        break;
    case CURLE_LOGIN_DENIED:
        e = {EtatAucun, QStringLiteral("identifiant ou mot de passe refusé")};
        parReponse = true;
        break;
    case CURLE_USE_SSL_FAILED:
        e = {EtatAucun, QStringLiteral("le serveur refuse TLS")};
        parReponse = true;
        break;
    case CURLE_PEER_FAILED_VERIFICATION:
        if (!c.refusHote.isEmpty()) {
            return {EtatAucun, c.refusHote};
        }
        e = {EtatAucun, QStringLiteral("certificat du serveur non reconnu")};
        break;
    case CURLE_SSL_CONNECT_ERROR:
        e = {EtatAucun, QStringLiteral("échec de la négociation TLS")};
        break;
    case CURLE_SSL_CACERT_BADFILE:
        e = {EtatAucun, QStringLiteral("certificats d'autorité illisibles")};
        break;
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_UPLOAD_FAILED:
    case CURLE_REMOTE_DISK_FULL:
    case CURLE_QUOTE_ERROR:
        e = {EtatErreur, QStringLiteral("fichier refusé par le serveur")};
        parReponse = true;
        break;
    default:
        break;
    }
    const bool reponseErreur = c.reponse.startsWith('4') || c.reponse.startsWith('5');
    const QString detail = parReponse && reponseErreur
                               ? masque.texte(c.reponse)
                               : masque.texte(erreurCurl[0] ? QByteArray(erreurCurl)
                                                            : QByteArray(curl_easy_strerror(rc)));
    if (e.raison.isEmpty()) {
        e.raison = detail;
    } else if (!detail.isEmpty()) {
        e.raison += QStringLiteral(" : ") + detail;
    }
    return e;
}

struct ProtocoleLu {
    bool ok = false;
    ProtocoleFtp protocole = ProtocoleFtp::Ftp;
};

ProtocoleLu litProtocole(const QString& texte)
{
    const QString t = texte.trimmed().toLower();
    if (t.isEmpty() || t == QStringLiteral("ftp")) {
        return {true, ProtocoleFtp::Ftp};
    }
    if (t == QStringLiteral("ftps")) {
        return {true, ProtocoleFtp::Ftps};
    }
    if (t == QStringLiteral("sftp")) {
        return {true, ProtocoleFtp::Sftp};
    }
    return {};
}

// The authorities a TLS server may be signed by besides the system's, as libcurl takes them
// in place of its own bundle. Its certificate folder (Debian's /etc/ssl/certs) stays in use
// beside them and holds the system's; a libcurl without one gets its bundle prepended. The
// folder is the cheaper of the two: the bundle is parsed whole for every TLS connection,
// which FTPS opens two of.
ReadResult autorites(CURL* h, const QString& fichier)
{
    ReadResult r = readWholeFile(fichier, qint64(1) << 20);
    if (!r.ok) {
        r.raison = QStringLiteral("certificat ftp %1 illisible : %2").arg(fichier, r.raison);
        return r;
    }
    if (!r.data.contains("-----BEGIN CERTIFICATE-----")) {
        ReadResult refus;
        refus.raison = QStringLiteral("certificat ftp %1 sans certificat PEM").arg(fichier);
        return refus;
    }
    char* dossier = nullptr;
    if (curl_easy_getinfo(h, CURLINFO_CAPATH, &dossier) == CURLE_OK && dossier &&
        QFileInfo(QFile::decodeName(dossier)).isDir()) {
        return r;
    }
    char* paquet = nullptr;
    if (curl_easy_getinfo(h, CURLINFO_CAINFO, &paquet) == CURLE_OK && paquet) {
        const ReadResult s = readWholeFile(QFile::decodeName(paquet), qint64(8) << 20);
        if (s.ok) {
            r.data = s.data + '\n' + r.data;
        }
    }
    return r;
}

// The command that removes the uploaded file, run by libcurl after the upload. FTP has
// changed into the file's folder by then (libcurl's default, one CWD per folder); an SFTP
// path is taken whole, quoted as libcurl's SFTP commands read it. A quoted path gets no "/~/"
// from libcurl, and needs none: the SFTP server reads a relative one from the login folder.
QByteArray commandeSuppression(const QString& cheminDistant, bool sftp)
{
    if (!sftp) {
        return "DELE " + toAnsi(cheminDistant.section(QLatin1Char('/'), -1));
    }
    QByteArray chemin = cheminDistant.toUtf8();
    chemin.replace('\\', "\\\\").replace('"', "\\\"");
    return "rm \"" + chemin + '"';
}

UrlFtp construitUrl(const QString& hebergeur, const QString& cheminDistant, ProtocoleFtp protocole)
{
    UrlFtp r;
    const HotePort hp = decoupeHebergeur(hebergeur);
    if (!hp.erreur.isEmpty()) {
        r.erreur = hp.erreur;
        return r;
    }
    if (cheminDistant.isEmpty() || cheminDistant.endsWith(QLatin1Char('/'))) {
        r.erreur = QStringLiteral("emplacement ftp sans nom de fichier");
        return r;
    }
    if (contientFinDeLigne(cheminDistant)) {
        r.erreur = QStringLiteral("emplacement ftp invalide");
        return r;
    }
    QByteArray chemin;
    if (protocole == ProtocoleFtp::Sftp) {
        // An SFTP URL's path starts at the server's root; "/~/" starts it at the login folder.
        chemin = cheminDistant.startsWith(QLatin1Char('/')) ? cheminDistant.toUtf8()
                                                            : "/~/" + cheminDistant.toUtf8();
    } else {
        // In an FTP URL the first "/" only separates the host; a path that starts at the
        // account's root keeps its own slash after it.
        chemin = '/' + toAnsi(cheminDistant);
    }
    CurlUrl u;
    if (!u.h) {
        r.erreur = QStringLiteral("mémoire insuffisante");
        return r;
    }
    CURLUcode rc =
        curl_url_set(u.h, CURLUPART_SCHEME, protocole == ProtocoleFtp::Sftp ? "sftp" : "ftp", 0);
    if (rc == CURLUE_OK) {
        rc = curl_url_set(u.h, CURLUPART_HOST, hp.hote.constData(), 0);
    }
    if (rc == CURLUE_OK && !hp.port.isEmpty()) {
        rc = curl_url_set(u.h, CURLUPART_PORT, hp.port.constData(), 0);
    }
    if (rc == CURLUE_OK) {
        rc = curl_url_set(u.h, CURLUPART_PATH, chemin.constData(), CURLU_URLENCODE);
    }
    char* texte = nullptr;
    if (rc == CURLUE_OK) {
        rc = curl_url_get(u.h, CURLUPART_URL, &texte, 0);
    }
    if (rc != CURLUE_OK) {
        r.erreur = QStringLiteral("adresse ftp invalide : %1")
                       .arg(QString::fromUtf8(curl_url_strerror(rc)));
        return r;
    }
    r.url = texte;
    curl_free(texte);
    r.ok = true;
    return r;
}

void transfere(TransfertFtp& t, const DemandeFtp& demande_, const ReadResult& fichier_,
               const std::atomic<bool>* arret_)
{
    const auto refuse = [&t](int etat, const QString& raison) { emit t.etape(etat, raison); };

    // What the settings say is checked before anything is read or connected.
    const ProtocoleLu protocole = litProtocole(demande_.protocole);
    if (!protocole.ok) {
        refuse(EtatAucun, QStringLiteral("protocole inconnu : « %1 » (ftp, ftps ou sftp)")
                              .arg(demande_.protocole));
        return;
    }
    const bool sftp = protocole.protocole == ProtocoleFtp::Sftp;
    // A line break would end the command it is sent in and start another one of its own.
    if (contientFinDeLigne(demande_.utilisateur)) {
        refuse(
            EtatAucun,
            QStringLiteral("nom d'utilisateur ftp invalide (retour à la ligne ou caractère nul)"));
        return;
    }
    if (contientFinDeLigne(demande_.motDePasse)) {
        refuse(EtatAucun,
               QStringLiteral("mot de passe ftp invalide (retour à la ligne ou caractère nul)"));
        return;
    }
    const UrlFtp url =
        construitUrl(demande_.hebergeur, demande_.cheminDistant, protocole.protocole);
    if (!url.ok) {
        refuse(EtatAucun, url.erreur);
        return;
    }
    QString empreinte;
    QByteArray hotesConnus;
    if (sftp && !demande_.empreinteHote.trimmed().isEmpty()) {
        empreinte = empreinteLue(demande_.empreinteHote);
        if (empreinte.isEmpty()) {
            refuse(EtatAucun, QStringLiteral("empreinte d'hôte invalide : « %1 » (SHA256:...)")
                                  .arg(demande_.empreinteHote.trimmed()));
            return;
        }
    } else if (sftp) {
        const QString chemin = QDir::homePath() + QStringLiteral("/.ssh/known_hosts");
        hotesConnus = QFile::encodeName(chemin);
        // libssh2 would read a FIFO there without end.
        if (const QFileInfo f(chemin); f.exists() && !f.isFile()) {
            refuse(EtatAucun, QStringLiteral("%1 : pas un fichier ordinaire").arg(chemin));
            return;
        }
    }

    if (!fichier_.ok) {
        refuse(EtatErreur, fichier_.raison);
        return;
    }

    Contexte c;
    c.transfert = &t;
    c.arret = arret_;
    c.donnees = fichier_.data;
    c.empreinteAttendue = empreinte;

    CURL* h = curl_easy_init();
    if (!h) {
        refuse(EtatAucun, QStringLiteral("curl indisponible"));
        return;
    }
    QByteArray ca;
    if (protocole.protocole == ProtocoleFtp::Ftps && !demande_.certificat.trimmed().isEmpty()) {
        const ReadResult a = autorites(h, demande_.certificat.trimmed());
        if (!a.ok) {
            curl_easy_cleanup(h);
            refuse(EtatAucun, a.raison);
            return;
        }
        ca = a.data;
    }
    // SSH sends passwords as UTF-8; the FTP servers the program was made for read
    // Windows-1252.
    const QByteArray utilisateur =
        sftp ? demande_.utilisateur.toUtf8() : toAnsi(demande_.utilisateur);
    const QByteArray motDePasse = sftp ? demande_.motDePasse.toUtf8() : toAnsi(demande_.motDePasse);
    const Masque masque(demande_.motDePasse);
    char erreur[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(h, CURLOPT_URL, url.url.constData());
    curl_easy_setopt(h, CURLOPT_PATH_AS_IS, 1L); // the remote path exactly as configured
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, sftp ? "sftp" : "ftp");
    curl_easy_setopt(h, CURLOPT_USERNAME, utilisateur.constData());
    curl_easy_setopt(h, CURLOPT_PASSWORD, motDePasse.constData());
    curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(c.donnees.size()));
    curl_easy_setopt(h, CURLOPT_READFUNCTION, lecture);
    curl_easy_setopt(h, CURLOPT_READDATA, &c);
    curl_easy_setopt(h, CURLOPT_FTPPORT, nullptr); // passive mode
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, static_cast<long>(demande_.delaiConnexionSec));
    curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT,
                     static_cast<long>(demande_.delaiBlocageSec));
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, static_cast<long>(demande_.delaiBlocageSec));
    curl_easy_setopt(h, CURLOPT_SOCKOPTFUNCTION, optionsSocket);
    curl_easy_setopt(h, CURLOPT_SOCKOPTDATA, &c);
    curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, static_cast<curl_prereq_callback>(connecte));
    curl_easy_setopt(h, CURLOPT_PREREQDATA, &c);
    curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, trace);
    curl_easy_setopt(h, CURLOPT_DEBUGDATA, &c);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, progression);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &c);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, erreur);
    if (protocole.protocole == ProtocoleFtp::Ftps) {
        // TLS before the login and on every data connection, or no transfer at all.
        curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
        curl_easy_setopt(h, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!ca.isEmpty()) {
            curl_blob blob{ca.data(), size_t(ca.size()), CURL_BLOB_COPY};
            curl_easy_setopt(h, CURLOPT_CAINFO_BLOB, &blob);
        }
    }
    if (sftp) {
        // The password is all the program has: no key file of the user's is tried.
        curl_easy_setopt(h, CURLOPT_SSH_AUTH_TYPES,
                         static_cast<long>(CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD));
        if (!empreinte.isEmpty()) {
            curl_easy_setopt(h, CURLOPT_SSH_HOSTKEYFUNCTION,
                             static_cast<curl_sshhostkeycallback>(cleHoteAttendue));
            curl_easy_setopt(h, CURLOPT_SSH_HOSTKEYDATA, &c);
        } else {
            // Read even when absent: every key is then unknown, and refused.
            curl_easy_setopt(h, CURLOPT_SSH_KNOWNHOSTS, hotesConnus.constData());
            curl_easy_setopt(h, CURLOPT_SSH_KEYFUNCTION,
                             static_cast<curl_sshkeycallback>(cleHoteConnue));
            curl_easy_setopt(h, CURLOPT_SSH_KEYDATA, &c);
        }
    }

    // Freed at the end of this scope, after every curl_easy_cleanup below.
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> apres(nullptr, curl_slist_free_all);
    if (demande_.supprimeApres) {
        apres.reset(curl_slist_append(
            nullptr, commandeSuppression(demande_.cheminDistant, sftp).constData()));
        curl_easy_setopt(h, CURLOPT_POSTQUOTE, apres.get());
    }

    c.avance(EtatResolution);
    const CURLcode rc = curl_easy_perform(h);
    if (arret_->load()) {
        curl_easy_cleanup(h); // the owner is going away: nobody to report to
        return;
    }
    if (rc == CURLE_OK) {
        c.avance(EtatDeconnexion);
        curl_easy_cleanup(h); // says QUIT and closes
        c.avance(EtatDeconnecte);
        emit t.etape(EtatTermine);
        return;
    }
    const Echec e = echecDe(rc, c, erreur, masque);
    curl_easy_cleanup(h);
    emit t.etape(e.etat, e.raison);
}

} // namespace
} // namespace corvane

extern "C" const corvane::TableCurl* corvane_table_curl()
{
    using namespace corvane;
    // Once, with the module: libcurl's global set-up reads OpenSSL's configuration and starts
    // libssh2.
    static const TableCurl table = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        return TableCurl{kVersionTableCurl, construitUrl, transfere};
    }();
    return &table;
}
