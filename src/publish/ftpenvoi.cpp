#include "publish/ftpenvoi.h"

#include "platform/atomicfile.h"
#include "platform/textcodec.h"

#include <QThread>

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace corvane {
namespace {

struct HotePort {
    QByteArray hote;
    QByteArray port; // empty: FTP's own
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

// Shared by the curl callbacks of one transfer (worker thread only).
struct Contexte {
    TransfertFtp* transfert = nullptr;
    const std::atomic<bool>* arret = nullptr;
    QByteArray donnees;
    qsizetype lu = 0;
    int dernier = EtatAucun;
    bool identifie = false; // the server accepted the login

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

// Watches the control connection's lines to follow the dialogue. The lines are only looked
// at, never kept: one of them carries the password.
int trace(CURL*, curl_infotype type, char* data, size_t taille, void* userdata)
{
    auto* c = static_cast<Contexte*>(userdata);
    const auto commence = [&](const char* debut) {
        const size_t n = std::strlen(debut);
        return taille >= n && std::memcmp(data, debut, n) == 0;
    };
    if (type == CURLINFO_HEADER_IN) {
        c->avance(EtatConnecte);
        if (commence("230")) {
            c->identifie = true;
        }
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

int etatEchec(CURLcode rc, bool identifie)
{
    if (rc == CURLE_LOGIN_DENIED) {
        return EtatAucun;
    }
    // Before the login went through, nothing about the file was tried yet.
    return identifie ? EtatErreur : EtatAucun;
}

void initialiseCurl()
{
    static std::once_flag fait;
    std::call_once(fait, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

} // namespace

UrlFtp construitUrlFtp(const QString& hebergeur, const QString& cheminDistant)
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
    for (const QChar ch : cheminDistant) {
        if (ch == u'\0' || ch == u'\r' || ch == u'\n') {
            r.erreur = QStringLiteral("emplacement ftp invalide");
            return r;
        }
    }
    // In an FTP URL the first "/" only separates the host; a path that starts at the
    // account's root keeps its own slash after it.
    const QByteArray chemin = '/' + toAnsi(cheminDistant);
    CurlUrl u;
    if (!u.h) {
        r.erreur = QStringLiteral("mémoire insuffisante");
        return r;
    }
    CURLUcode rc = curl_url_set(u.h, CURLUPART_SCHEME, "ftp", 0);
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

TransfertFtp::TransfertFtp(DemandeFtp demande, const std::atomic<bool>* arret)
    : demande_(std::move(demande)), arret_(arret)
{}

void TransfertFtp::execute()
{
    const ReadResult fichier = readWholeFile(demande_.fichierLocal);
    if (!fichier.ok) {
        emit echec(QStringLiteral("%1 : %2").arg(demande_.fichierLocal, fichier.error));
        emit etape(EtatErreur);
        return;
    }
    const UrlFtp url = construitUrlFtp(demande_.hebergeur, demande_.cheminDistant);
    if (!url.ok) {
        emit echec(url.erreur);
        emit etape(EtatAucun);
        return;
    }

    Contexte c;
    c.transfert = this;
    c.arret = arret_;
    c.donnees = fichier.data;

    CURL* h = curl_easy_init();
    if (!h) {
        emit echec(QStringLiteral("curl indisponible"));
        emit etape(EtatAucun);
        return;
    }
    const QByteArray utilisateur = toAnsi(demande_.utilisateur);
    const QByteArray motDePasse = toAnsi(demande_.motDePasse);
    char erreur[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(h, CURLOPT_URL, url.url.constData());
    curl_easy_setopt(h, CURLOPT_PATH_AS_IS, 1L); // the remote path exactly as configured
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "ftp");
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
    curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, trace);
    curl_easy_setopt(h, CURLOPT_DEBUGDATA, &c);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, progression);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &c);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, erreur);

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
        emit etape(EtatTermine);
        return;
    }
    const QString raison = QString::fromUtf8(erreur[0] ? erreur : curl_easy_strerror(rc));
    curl_easy_cleanup(h);
    // curl's texts name hosts and replies, never the password; make sure of it all the same.
    QString sure = raison;
    if (!demande_.motDePasse.isEmpty()) {
        sure.replace(demande_.motDePasse, QStringLiteral("****"));
    }
    emit echec(sure);
    emit etape(etatEchec(rc, c.identifie));
}

EnvoiFtp::EnvoiFtp(QObject* parent) : QObject(parent)
{
    initialiseCurl(); // once, on the owner's thread, before any worker uses curl
}

EnvoiFtp::~EnvoiFtp()
{
    arret_ = true;
    if (thread_) {
        thread_->wait();
        delete thread_;
    }
    delete transfert_;
}

void EnvoiFtp::envoie(const DemandeFtp& demande)
{
    if (occupe()) {
        attente_ = demande;
        return;
    }
    demarre(demande);
}

void EnvoiFtp::demarre(const DemandeFtp& demande)
{
    transfert_ = new TransfertFtp(demande, &arret_);
    connect(transfert_, &TransfertFtp::etape, this, &EnvoiFtp::etat, Qt::QueuedConnection);
    connect(
        transfert_, &TransfertFtp::echec, this,
        [this](const QString& raison) { derniereErreur_ = raison; }, Qt::QueuedConnection);
    TransfertFtp* t = transfert_;
    thread_ = QThread::create([t] { t->execute(); });
    // Queued behind the transfer's last stage, which left the thread before it finished.
    connect(thread_, &QThread::finished, this, &EnvoiFtp::transfertFini, Qt::QueuedConnection);
    thread_->start();
}

void EnvoiFtp::transfertFini()
{
    thread_->wait(); // already past its last instruction: a join, not a wait
    delete thread_;
    thread_ = nullptr;
    delete transfert_;
    transfert_ = nullptr;
    if (attente_) {
        const DemandeFtp suivante = *attente_;
        attente_.reset();
        demarre(suivante);
    }
}

} // namespace corvane
