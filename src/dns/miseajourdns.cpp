#include "dns/miseajourdns.h"

#include "platform/autorites.h"

#include "config/parametres.h"
#include "platform/platform.h"

#include <QHostInfo>
#include <QLoggingCategory>
#include <QMetaEnum>
#include <QNetworkAccessManager>
#include <QNetworkDatagram>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QSslConfiguration>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>
#include <QUrlQuery>

namespace corvane {
namespace {

Q_LOGGING_CATEGORY(lcDns, "corvane.dns")

// Past this a UDP message may be cut or dropped by servers that do not speak EDNS (RFC 1035).
constexpr qsizetype kMaxUdp = 512;
// A dyndns2 answer is one short line; anything longer is not one.
constexpr qsizetype kMaxCorps = 4096;
// A CA file bigger than this is no CA file; the system's whole store is a few hundred KiB.
// What a provider in trouble (911, dnserr) asks of its clients at the least.
constexpr qint64 kPauseSec = 10 * 60;

QString enSecondes(int ms)
{
    return ms % 1000 == 0 ? QString::number(ms / 1000) : QString::number(ms / 1000.0, 'f', 1);
}

// "host", "host:port", "[v6]", "[v6]:port" or a bare IPv6 literal.
bool lisServeur(const QString& texte, QString& hote, quint16& port)
{
    const QString s = texte.trimmed();
    QString reste;
    if (s.startsWith(u'[')) {
        const qsizetype fin = s.indexOf(u']');
        if (fin < 0) {
            return false;
        }
        hote = s.mid(1, fin - 1);
        reste = s.mid(fin + 1);
        if (!reste.isEmpty() && !reste.startsWith(u':')) {
            return false;
        }
        reste = reste.mid(1);
    } else if (s.count(u':') == 1) {
        hote = s.section(u':', 0, 0);
        reste = s.section(u':', 1);
    } else {
        hote = s;
    }
    port = 53;
    if (!reste.isEmpty() || s.endsWith(u':')) {
        bool ok = false;
        const uint p = reste.toUInt(&ok);
        if (!ok || p == 0 || p > 65535) {
            return false;
        }
        port = quint16(p);
    }
    return !hote.isEmpty();
}

QString nomEnum(QNetworkReply::NetworkError code)
{
    // The enum's name only: Qt's own texts can quote the URL.
    const char* cle = QMetaEnum::fromType<QNetworkReply::NetworkError>().valueToKey(code);
    return cle ? QString::fromLatin1(cle) : QString::number(int(code));
}

// Control characters of a server's text never reach a log line or an entry.
QString propre(QStringView texte, qsizetype max = 40)
{
    QString out;
    for (const QChar c : texte.left(max)) {
        out += c.isPrint() ? c : u' ';
    }
    return out.simplified();
}

struct VerdictDyndns {
    enum Suite { Succes, Echec, Blocage, Pause } suite = Echec;
    QString raison;
};

// The dyndns2 return codes. A refusal of the account, the name or the client is held: the
// providers block clients that keep sending what they refused.
VerdictDyndns lisReponseDyndns(int statut, const QByteArray& corps)
{
    const QString texte = QString::fromUtf8(corps).trimmed();
    const QString code = texte.section(QRegularExpression(QStringLiteral("\\s+")), 0, 0);
    struct Code {
        const char* code;
        VerdictDyndns::Suite suite;
        const char* raison;
    };
    static const Code codes[] = {
        {"good", VerdictDyndns::Succes, ""},
        {"nochg", VerdictDyndns::Succes, ""},
        {"badauth", VerdictDyndns::Blocage, "identifiants refusés (badauth)"},
        {"nohost", VerdictDyndns::Blocage, "nom inconnu du fournisseur (nohost)"},
        {"notfqdn", VerdictDyndns::Blocage, "nom incomplet (notfqdn)"},
        {"numhost", VerdictDyndns::Blocage, "trop de noms dans la demande (numhost)"},
        {"abuse", VerdictDyndns::Blocage, "nom bloqué pour abus (abuse)"},
        {"badagent", VerdictDyndns::Blocage, "client refusé par le fournisseur (badagent)"},
        {"!donator", VerdictDyndns::Blocage, "option réservée aux comptes payants (!donator)"},
        {"911", VerdictDyndns::Pause, "panne chez le fournisseur (911)"},
        {"dnserr", VerdictDyndns::Pause, "erreur DNS chez le fournisseur (dnserr)"},
    };
    for (const Code& c : codes) {
        if (code == QLatin1String(c.code)) {
            return {c.suite, QString::fromUtf8(c.raison)};
        }
    }
    if (statut == 401 || statut == 403) {
        return {VerdictDyndns::Blocage,
                QStringLiteral("identifiants refusés (HTTP %1)").arg(statut)};
    }
    if (statut < 200 || statut > 299) {
        return {VerdictDyndns::Echec, QStringLiteral("erreur HTTP %1").arg(statut)};
    }
    return {VerdictDyndns::Echec,
            QStringLiteral("réponse inattendue du fournisseur : «%1»").arg(propre(texte))};
}

// Called from the socket's own signals too: it goes once control is back in the event loop.
template <typename Socket> void ferme(Socket*& socket, QObject* proprietaire)
{
    if (socket) {
        socket->disconnect(proprietaire);
        socket->abort();
        socket->deleteLater();
        socket = nullptr;
    }
}

} // namespace

MiseAJourDns::MiseAJourDns(Clock* horloge, QObject* parent)
    : ServiceDns(parent), horloge_(horloge), chrono_(new QTimer(this)),
      nam_(new QNetworkAccessManager(this))
{
    chrono_->setSingleShot(true);
    connect(chrono_, &QTimer::timeout, this, &MiseAJourDns::expire);
    nam_->setCache(nullptr);
}

MiseAJourDns::~MiseAJourDns()
{
    arrete();
}

void MiseAJourDns::setDelai(int ms)
{
    delaiMs_ = ms > 0 ? ms : 1;
}

void MiseAJourDns::miseAJour(const ReglagesDns& reglages, const QString& adresse)
{
    if (actif_) {
        attente_ = Demande{reglages, adresse};
        return;
    }
    lance({reglages, adresse});
}

void MiseAJourDns::lance(const Demande& d)
{
    actif_ = true;
    const QString protocole = d.reglages.protocole.trimmed().toLower();
    if (protocole == QLatin1String("rfc2136")) {
        demarreRfc2136(d);
    } else if (protocole == QLatin1String("dyndns2")) {
        demarreDyndns2(d);
    } else if (protocole.isEmpty() || protocole == QLatin1String("aucun")) {
        refuse(QStringLiteral("aucun protocole de mise à jour DNS choisi"));
    } else {
        refuse(QStringLiteral("protocole DNS inconnu : «%1» (rfc2136 ou dyndns2)")
                   .arg(propre(protocole)));
    }
}

void MiseAJourDns::refuse(const QString& raison)
{
    // From the event loop, as every other outcome: never from inside miseAJour().
    etape_ = Etape::Aucune;
    QTimer::singleShot(0, this, [this, raison] { fin(false, raison); });
}

void MiseAJourDns::expire()
{
    const QString raison =
        QStringLiteral("pas de réponse du serveur en %1 s").arg(enSecondes(delaiMs_));
    fin(false, etape_ == Etape::Verification ? QStringLiteral("vérification : ") + raison : raison);
}

void MiseAJourDns::arrete()
{
    chrono_->stop();
    if (recherche_ != -1) {
        QHostInfo::abortHostLookup(recherche_);
        recherche_ = -1;
    }
    ferme(udp_, this);
    ferme(tcp_, this);
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
        reply_->deleteLater();
        reply_ = nullptr;
    }
    etape_ = Etape::Aucune;
}

void MiseAJourDns::fin(bool ok, const QString& raison)
{
    arrete();
    actif_ = false;
    if (ok) {
        qCInfo(lcDns) << "done";
    } else {
        qCInfo(lcDns) << "failed:" << raison;
    }
    std::optional<Demande> suivante = std::exchange(attente_, std::nullopt);
    emit termine(ok, raison);
    // A call made from a slot of termine() is newer than the one that waited.
    if (suivante && !actif_) {
        lance(*suivante);
    }
}

// --- RFC 2136 -------------------------------------------------------------------------------

void MiseAJourDns::demarreRfc2136(const Demande& d)
{
    const ReglagesDns& r = d.reglages;
    adresse_ = QHostAddress(d.adresse.trimmed());
    nom_ = r.nom.trimmed();
    QString hote;
    if (adresse_.isNull() || (adresse_.protocol() != QAbstractSocket::IPv4Protocol &&
                              adresse_.protocol() != QAbstractSocket::IPv6Protocol)) {
        return refuse(QStringLiteral("adresse invalide : «%1»").arg(propre(d.adresse)));
    }
    if (nom_.isEmpty()) {
        return refuse(QStringLiteral("aucun nom à mettre à jour ([DNS] Nom)"));
    }
    if (!lisServeur(r.serveur, hote, port_)) {
        return refuse(QStringLiteral("serveur DNS invalide : «%1» (hôte ou hôte:port)")
                          .arg(propre(r.serveur)));
    }
    zone_ = r.zone.trimmed();
    if (zone_.isEmpty()) {
        zone_ = nom_.section(u'.', 1);
        if (zone_.isEmpty() || zone_ == QLatin1String(".")) {
            return refuse(QStringLiteral("zone à préciser pour %1 ([DNS] Zone)").arg(nom_));
        }
    }
    bool ok = r.ttl.trimmed().isEmpty();
    ttl_ = ok ? 300 : r.ttl.trimmed().toUInt(&ok);
    if (!ok || ttl_ > 0x7fffffff) {
        return refuse(QStringLiteral("TTL invalide : «%1» (secondes)").arg(propre(r.ttl)));
    }
    const QString algorithme = r.algorithme.trimmed().toLower();
    if (!algorithme.isEmpty() && algorithme != QLatin1String("hmac-sha256") &&
        algorithme != QLatin1String("hmac-sha512") && algorithme != QLatin1String("hmac-sha1")) {
        return refuse(QStringLiteral("algorithme TSIG inconnu : «%1» (hmac-sha256, hmac-sha512 "
                                     "ou hmac-sha1)")
                          .arg(propre(algorithme)));
    }
    QString cle = r.cle.trimmed();
    if (cle.isEmpty()) {
        return refuse(QStringLiteral("aucune clé TSIG ([DNS] Cle)"));
    }
    const QByteArray secret = r.secret.trimmed().toLatin1();
    if (secret.isEmpty() ||
        !QByteArray::fromBase64Encoding(secret, QByteArray::AbortOnBase64DecodingErrors)) {
        // The secret itself is never quoted.
        return refuse(QStringLiteral("secret TSIG invalide (base64 attendu)"));
    }
    if (!cle.endsWith(u'.')) {
        cle += u'.';
    }
    cle_ = {cle.toLatin1(),
            (algorithme.isEmpty() ? QByteArrayLiteral("hmac-sha256") : algorithme.toLatin1()) + '.',
            secret};
    requete_ = dns::messageMiseAJour(zone_, nom_, adresse_, ttl_, cle_);
    if (!requete_.erreur.isEmpty()) {
        return refuse(requete_.erreur);
    }
    qCInfo(lcDns) << "rfc2136:" << nom_ << "->" << adresse_.toString() << "zone" << zone_
                  << "server" << hote << port_ << "key" << cle;
    chrono_->start(delaiMs_);
    if (serveur_.setAddress(hote)) {
        etape_ = Etape::MiseAJour;
        // A socket can fail at once (no route): its report must still come after miseAJour().
        QTimer::singleShot(0, this, [this] { envoieDns(requete_.octets.size() > kMaxUdp); });
        return;
    }
    etape_ = Etape::Resolution;
    recherche_ = QHostInfo::lookupHost(hote, this, [this, hote](const QHostInfo& info) {
        recherche_ = -1;
        if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
            fin(false, QStringLiteral("serveur DNS introuvable : ") + hote);
            return;
        }
        serveur_ = info.addresses().constFirst();
        etape_ = Etape::MiseAJour;
        envoieDns(requete_.octets.size() > kMaxUdp);
    });
}

void MiseAJourDns::envoieDns(bool tcp)
{
    chrono_->start(delaiMs_);
    if (!tcp) {
        if (!udp_) {
            udp_ = new QUdpSocket(this);
            connect(udp_, &QUdpSocket::readyRead, this, &MiseAJourDns::lisDatagrammes);
            connect(udp_, &QUdpSocket::errorOccurred, this,
                    [this](QAbstractSocket::SocketError e) { fin(false, raisonSocket(e)); });
            // Connected, so that only the server's datagrams come in, and a closed port is
            // told at once instead of waited for.
            udp_->connectToHost(serveur_, port_);
        }
        udp_->write(requete_.octets);
        return;
    }
    // Once over TCP, a late datagram of the same id must not be read as the TCP answer.
    ferme(udp_, this);
    ferme(tcp_, this);
    tamponTcp_.clear();
    tcp_ = new QTcpSocket(this);
    connect(tcp_, &QTcpSocket::readyRead, this, &MiseAJourDns::lisTcp);
    connect(tcp_, &QTcpSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError e) { fin(false, raisonSocket(e)); });
    connect(tcp_, &QTcpSocket::connected, this, [this] {
        const auto n = quint16(requete_.octets.size());
        const char longueur[2] = {char(n >> 8), char(n & 0xff)};
        tcp_->write(QByteArray(longueur, 2) + requete_.octets);
    });
    tcp_->connectToHost(serveur_, port_);
}

QString MiseAJourDns::raisonSocket(int erreur) const
{
    const QString serveur = QStringLiteral("%1 port %2").arg(serveur_.toString()).arg(port_);
    const QString prefixe =
        etape_ == Etape::Verification ? QStringLiteral("vérification : ") : QString();
    switch (erreur) {
    case QAbstractSocket::ConnectionRefusedError:
        return prefixe +
               QStringLiteral("aucun serveur DNS sur %1 (connexion refusée)").arg(serveur);
    case QAbstractSocket::RemoteHostClosedError:
        return prefixe + QStringLiteral("connexion fermée par le serveur avant sa réponse");
    default:
        return prefixe +
               QStringLiteral("échange impossible avec %1 (%2)")
                   .arg(serveur, QString::fromLatin1(
                                     QMetaEnum::fromType<QAbstractSocket::SocketError>().valueToKey(
                                         erreur)));
    }
}

void MiseAJourDns::lisDatagrammes()
{
    while (udp_ && udp_->hasPendingDatagrams()) {
        const QByteArray octets = udp_->receiveDatagram().data();
        if (dns::repondA(octets, requete_)) {
            traiteDns(octets);
        }
    }
}

void MiseAJourDns::lisTcp()
{
    tamponTcp_ += tcp_->readAll();
    if (tamponTcp_.size() < 2) {
        return;
    }
    const qsizetype longueur = quint8(tamponTcp_[0]) << 8 | quint8(tamponTcp_[1]);
    if (tamponTcp_.size() < 2 + longueur) {
        return;
    }
    const QByteArray octets = tamponTcp_.mid(2, longueur);
    if (!dns::repondA(octets, requete_)) {
        fin(false, QStringLiteral("réponse illisible du serveur"));
        return;
    }
    traiteDns(octets);
}

void MiseAJourDns::traiteDns(const QByteArray& octets)
{
    const bool parTcp = tcp_ != nullptr;
    if (etape_ == Etape::MiseAJour) {
        const dns::Reponse r = dns::lisReponseMiseAJour(octets, requete_, cle_);
        if (r.tronquee && !parTcp) {
            envoieDns(true);
        } else if (!r.ok) {
            fin(false, r.tronquee ? QStringLiteral("réponse tronquée même par TCP") : r.raison);
        } else {
            etape_ = Etape::Verification;
            requete_ = dns::messageQuestion(nom_, adresse_.protocol(), cle_);
            if (!requete_.erreur.isEmpty()) {
                fin(false, requete_.erreur);
                return;
            }
            envoieDns(parTcp || requete_.octets.size() > kMaxUdp);
        }
        return;
    }
    if (etape_ != Etape::Verification) {
        return;
    }
    const dns::Reponse r = dns::lisReponseQuestion(octets, requete_, cle_);
    if (r.tronquee && !parTcp) {
        envoieDns(true);
        return;
    }
    if (!r.ok) {
        fin(false, QStringLiteral("vérification : ") +
                       (r.tronquee ? QStringLiteral("réponse tronquée même par TCP") : r.raison));
        return;
    }
    QStringList autres;
    for (const QHostAddress& a : r.adresses) {
        if (!a.isEqual(adresse_)) {
            autres += a.toString();
        }
    }
    if (!autres.isEmpty()) {
        fin(false, QStringLiteral("le serveur publie encore ") + autres.join(QStringLiteral(", ")));
    } else if (r.adresses.isEmpty()) {
        fin(false, QStringLiteral("le serveur ne publie aucune adresse pour ") + nom_);
    } else {
        fin(true, {});
    }
}

// --- dyndns2 --------------------------------------------------------------------------------

void MiseAJourDns::demarreDyndns2(const Demande& d)
{
    const ReglagesDns& r = d.reglages;
    if (bloque_ && *bloque_ == r) {
        return refuse(raisonBlocage_);
    }
    bloque_.reset();
    const QDateTime maintenant = horloge_ ? horloge_->now() : QDateTime::currentDateTime();
    if (reprise_.isValid() && maintenant < reprise_) {
        return refuse(raisonPause_);
    }
    const QHostAddress adresse(d.adresse.trimmed());
    if (adresse.isNull()) {
        return refuse(QStringLiteral("adresse invalide : «%1»").arg(propre(d.adresse)));
    }
    QUrl url(r.serveur.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() ||
        url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0) {
        // The password goes with the request: never in clear.
        return refuse(QStringLiteral("adresse de mise à jour invalide (https:// attendu)"));
    }
    if (r.nom.trimmed().isEmpty()) {
        return refuse(QStringLiteral("aucun nom à mettre à jour ([DNS] Nom)"));
    }
    if (r.utilisateur.isEmpty() || r.utilisateur.contains(u':')) {
        return refuse(QStringLiteral("utilisateur absent ou invalide ([DNS] Utilisateur)"));
    }
    QList<QSslCertificate> autorites;
    if (!r.certificat.isEmpty()) {
        Autorites a = chargeAutorites(r.certificat);
        if (!a) {
            return refuse(a.raison);
        }
        autorites = std::move(a.liste);
    }
    url.setUserInfo({});
    QUrlQuery requete(url);
    requete.addQueryItem(QStringLiteral("hostname"), r.nom.trimmed());
    requete.addQueryItem(QStringLiteral("myip"), adresse.toString());
    url.setQuery(requete);

    QNetworkRequest demande(url);
    // Built here, in memory, so that the password is in no URL that could be shown.
    demande.setRawHeader(QByteArrayLiteral("Authorization"),
                         "Basic " + (r.utilisateur + u':' + r.motDePasse).toUtf8().toBase64());
    demande.setHeader(QNetworkRequest::UserAgentHeader, kAgentDns);
    // A redirect could carry the password elsewhere: it is a failure, not a hop.
    demande.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    demande.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    demande.setTransferTimeout(delaiMs_);
    if (!autorites.isEmpty()) {
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        ssl.setCaCertificates(autorites);
        demande.setSslConfiguration(ssl);
    }
    qCInfo(lcDns) << "dyndns2:" << r.nom.trimmed() << "->" << adresse.toString() << "via"
                  << url.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery);
    etape_ = Etape::Http;
    reglagesHttp_ = r;
    corps_.clear();
    chrono_->start(delaiMs_);
    nam_->clearConnectionCache();
    reply_ = nam_->get(demande);
    erreursSsl_.clear();
    connect(reply_, &QNetworkReply::sslErrors, this,
            [this](const QList<QSslError>& erreurs) { erreursSsl_ = erreurs; });
    connect(reply_, &QNetworkReply::readyRead, this, &MiseAJourDns::lisHttp);
    connect(reply_, &QNetworkReply::finished, this, &MiseAJourDns::acheveHttp);
}

void MiseAJourDns::lisHttp()
{
    corps_ += reply_->read(kMaxCorps + 1 - corps_.size());
    if (corps_.size() > kMaxCorps) {
        fin(false, QStringLiteral("réponse trop longue du fournisseur"));
    }
}

void MiseAJourDns::acheveHttp()
{
    QNetworkReply* reply = reply_;
    corps_ += reply->read(kMaxCorps + 1 - corps_.size());
    const int statut = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError && statut == 0) {
        QString raison;
        if (!erreursSsl_.isEmpty()) {
            QStringList textes;
            for (const QSslError& e : std::as_const(erreursSsl_)) {
                if (!textes.contains(e.errorString())) {
                    textes += e.errorString();
                }
            }
            raison = QStringLiteral("certificat du serveur refusé : ") +
                     textes.join(QStringLiteral(", "));
        } else if (reply->error() == QNetworkReply::SslHandshakeFailedError) {
            raison = QStringLiteral("échec de la négociation TLS avec le fournisseur");
        } else if (reply->error() == QNetworkReply::OperationCanceledError) {
            raison = QStringLiteral("pas de réponse du serveur en %1 s").arg(enSecondes(delaiMs_));
        } else {
            raison = QStringLiteral("échange impossible avec le fournisseur (%1)")
                         .arg(nomEnum(reply->error()));
        }
        fin(false, raison);
        return;
    }
    if (statut >= 300 && statut <= 399) {
        fin(false, QStringLiteral("redirection refusée (HTTP %1)").arg(statut));
        return;
    }
    const VerdictDyndns v = lisReponseDyndns(statut, corps_);
    switch (v.suite) {
    case VerdictDyndns::Succes:
        fin(true, {});
        return;
    case VerdictDyndns::Blocage:
        raisonBlocage_ = v.raison + QStringLiteral(" ; plus aucun envoi avant un changement des "
                                                   "réglages DNS");
        bloque_ = reglagesHttp_;
        fin(false, raisonBlocage_);
        return;
    case VerdictDyndns::Pause: {
        const QDateTime maintenant = horloge_ ? horloge_->now() : QDateTime::currentDateTime();
        reprise_ = maintenant.addSecs(kPauseSec);
        raisonPause_ =
            v.raison + QStringLiteral(" ; pas de nouvel essai avant le %1")
                           .arg(reprise_.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")));
        fin(false, raisonPause_);
        return;
    }
    case VerdictDyndns::Echec:
        fin(false, v.raison);
        return;
    }
}

} // namespace corvane
