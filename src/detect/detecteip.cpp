#include "detect/detecteip.h"

#include "platform/autorites.h"

#include "platform/textcodec.h"

#include <QHostInfo>
#include <QLoggingCategory>
#include <QMetaEnum>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslConfiguration>
#include <QTimer>

#include <arpa/inet.h>

namespace corvane {

namespace {

Q_LOGGING_CATEGORY(lcDetect, "corvane.detect")

// Qt reads at most this much from the socket ahead of us, so a flood is never buffered whole.
constexpr qint64 kTamponLecture = 16 * 1024;
// A CA file bigger than this is no CA file; the system's whole store is a few hundred KiB.
// Enough for http -> https and a move of the page; a loop ends here.
constexpr int kRedirectionsMax = 5;
// How much of a wrong answer the reason quotes.
constexpr qsizetype kExtrait = 40;

bool estBlanc(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// Four decimal numbers from 0 to 255, without the leading zeros that some parsers read as
// octal, nor the short forms ("10.1") that inet_aton would take.
bool estIPv4(QStringView t)
{
    int parties = 0;
    qsizetype i = 0;
    while (true) {
        const qsizetype debut = i;
        int valeur = 0;
        while (i < t.size() && i - debut < 4 && t[i] >= u'0' && t[i] <= u'9') {
            valeur = valeur * 10 + (t[i].unicode() - u'0');
            ++i;
        }
        const qsizetype chiffres = i - debut;
        if (chiffres == 0 || chiffres > 3 || valeur > 255 || (chiffres > 1 && t[debut] == u'0')) {
            return false;
        }
        ++parties;
        if (i == t.size()) {
            return parties == 4;
        }
        if (t[i] != u'.' || parties == 4) {
            return false;
        }
        ++i;
    }
}

// Hex digits, colons and the dots of an embedded IPv4 part: no zone, bracket, port or blank.
bool caracteresIPv6(QStringView t)
{
    if (t.size() > 45 || !t.contains(u':')) {
        return false;
    }
    for (const QChar c : t) {
        const char16_t u = c.unicode();
        const bool hex =
            (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
        if (!hex && u != u':' && u != u'.') {
            return false;
        }
    }
    return true;
}

// The start of a wrong answer as the user may read it: blanks and line ends become one space,
// other control characters are dropped.
QString extrait(QStringView t)
{
    QString out;
    bool blanc = false;
    for (const QChar c : t) {
        if (out.size() >= kExtrait) {
            break;
        }
        if (estBlanc(c)) {
            blanc = true;
        } else if (c.isPrint()) {
            if (blanc && !out.isEmpty()) {
                out += u' ';
            }
            blanc = false;
            out += c;
        }
    }
    return out;
}

// Control characters of a reason (from a server, a file name, Qt) never reach a log line.
QString propre(QString texte)
{
    for (QChar& c : texte) {
        if (!c.isPrint() && !c.isSurrogate()) {
            c = u' ';
        }
    }
    return texte;
}

QString delaiDepasse(int ms)
{
    return ms % 1000 == 0 ? QStringLiteral("d\u00e9lai d\u00e9pass\u00e9 (%1 s)").arg(ms / 1000)
                          : QStringLiteral("d\u00e9lai d\u00e9pass\u00e9 (%1 ms)").arg(ms);
}

QString nomErreur(QNetworkReply::NetworkError code)
{
    // The enum's name only: Qt's own error texts can quote the URL, password included.
    const char* key = QMetaEnum::fromType<QNetworkReply::NetworkError>().valueToKey(code);
    return key ? QString::fromLatin1(key) : QString::number(int(code));
}

bool estHttp(const QUrl& url)
{
    const QString schema = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (schema == QLatin1String("http") || schema == QLatin1String("https"));
}

bool estHttps(const QUrl& url)
{
    return url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
}

// Through a proxy, the proxy connects to the page: the address family is its business.
bool passeParProxy(const QUrl& url)
{
    const QList<QNetworkProxy> proxies =
        QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(url));
    return !proxies.isEmpty() && proxies.first().type() != QNetworkProxy::NoProxy &&
           proxies.first().type() != QNetworkProxy::DefaultProxy;
}

} // namespace

LectureReponse lisReponse(QStringView corps)
{
    qsizetype debut = 0;
    qsizetype fin = corps.size();
    while (debut < fin && estBlanc(corps[debut])) {
        ++debut;
    }
    while (fin > debut && estBlanc(corps[fin - 1])) {
        --fin;
    }
    const QStringView t = corps.sliced(debut, fin - debut);
    if (t.isEmpty()) {
        return {{}, QStringLiteral("r\u00e9ponse vide")};
    }
    if (estIPv4(t)) {
        if (t == u"0.0.0.0") {
            return {{}, QStringLiteral("adresse non sp\u00e9cifi\u00e9e (0.0.0.0)")};
        }
        return {t.toString(), {}};
    }
    // The C library's reader, not QHostAddress's: Qt takes nine groups ended by "::" and drops
    // the last one, so a garbled answer would become another machine's address.
    Q_IPV6ADDR octets;
    QHostAddress v6;
    if (caracteresIPv6(t) && inet_pton(AF_INET6, t.toLatin1().constData(), octets.c) == 1) {
        v6.setAddress(octets);
        if (v6 == QHostAddress(QHostAddress::AnyIPv6)) {
            return {{}, QStringLiteral("adresse non sp\u00e9cifi\u00e9e (::)")};
        }
        return {v6.toString(), {}};
    }
    return {{},
            QStringLiteral("r\u00e9ponse qui n'est pas une adresse IP : \u00ab%1\u00bb")
                .arg(extrait(t))};
}

DetecteIP::DetecteIP(QObject* parent) : Detecteur(parent)
{
    // The owner's machine may sit behind a proxy; its desktop settings say which.
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    chrono_ = new QTimer(this);
    chrono_->setSingleShot(true);
    connect(chrono_, &QTimer::timeout, this, [this] { echoue(delaiDepasse(delaiMs_)); });
}

DetecteIP::~DetecteIP()
{
    arreteEssai();
}

void DetecteIP::setDelai(int ms)
{
    delaiMs_ = ms > 0 ? ms : 1;
}

void DetecteIP::setTailleMax(qint64 bytes)
{
    tailleMax_ = bytes >= 0 ? bytes : 0;
}

bool DetecteIP::enCours() const
{
    return actif_ || refusEnAttente_ > 0;
}

void DetecteIP::demarre(const RequeteDetection& requete)
{
    if (actif_) {
        // The running detection keeps going; this call gets its own failure, later, as promised.
        refuse(QStringLiteral("une d\u00e9tection est d\u00e9j\u00e0 en cours"));
        return;
    }
    const QString famille = requete.famille.trimmed().toLower();
    if (famille.isEmpty() || famille == QLatin1String("auto")) {
        famille_ = Famille::Toutes;
    } else if (famille == QLatin1String("ipv4")) {
        famille_ = Famille::V4;
    } else if (famille == QLatin1String("ipv6")) {
        famille_ = Famille::V6;
    } else {
        refuse(QStringLiteral("famille inconnue : \u00ab%1\u00bb (auto, ipv4 ou ipv6)")
                   .arg(extrait(famille)));
        return;
    }
    // A wrong CA file is a setting to fix, whichever page would be asked: it fails at once.
    autorites_.clear();
    if (!requete.certificat.isEmpty()) {
        Autorites a = chargeAutorites(requete.certificat);
        if (!a) {
            refuse(a.raison);
            return;
        }
        autorites_ = std::move(a.liste);
    }
    requete_ = requete;
    secours_ = false;
    raisonPremiere_.clear();
    actif_ = true;
    // From the event loop, so that even a URL refused at once is reported after demarre.
    QTimer::singleShot(0, this, [this] { essaie(requete_.url); });
}

void DetecteIP::refuse(const QString& raison)
{
    ++refusEnAttente_;
    QTimer::singleShot(0, this, [this, raison] {
        --refusEnAttente_;
        ResultatDetection r;
        r.raison = propre(raison);
        qCInfo(lcDetect) << "refused:" << r.raison;
        emit termine(r);
    });
}

void DetecteIP::essaie(const QString& url)
{
    const QUrl cible(url.trimmed(), QUrl::StrictMode);
    // A URL that does not parse is never shown: it may hold a password in a form Qt missed.
    urlAffichee_ = cible.isValid() ? cible.toString(QUrl::RemoveUserInfo) : QString();
    redirections_ = 0;
    chrono_->start(delaiMs_);
    if (url.trimmed().isEmpty()) {
        echoue(QStringLiteral("aucune adresse de page de d\u00e9tection"));
    } else if (!estHttp(cible)) {
        echoue(QStringLiteral("adresse de page invalide (http:// ou https:// attendu)"));
    } else {
        va(cible);
    }
}

void DetecteIP::va(const QUrl& cible)
{
    cible_ = cible;
    hote_ = cible.host();
    if (famille_ == Famille::Toutes || passeParProxy(cible)) {
        envoie(cible, {});
        return;
    }
    const auto voulue =
        famille_ == Famille::V4 ? QAbstractSocket::IPv4Protocol : QAbstractSocket::IPv6Protocol;
    const QString aucune =
        QStringLiteral("aucune adresse %1 pour %2")
            .arg(famille_ == Famille::V4 ? QLatin1String("IPv4") : QLatin1String("IPv6"), hote_);
    QHostAddress litterale;
    if (litterale.setAddress(hote_)) {
        if (litterale.protocol() == voulue) {
            envoie(cible, {});
        } else {
            echoue(aucune);
        }
        return;
    }
    // Qt's own connection tries every address of the name; to hold to one family, the name is
    // resolved here and the request goes to the chosen address (see envoie).
    recherche_ =
        QHostInfo::lookupHost(hote_, this, [this, cible, voulue, aucune](const QHostInfo& info) {
            recherche_ = -1;
            if (info.error() != QHostInfo::NoError) {
                echoue(QStringLiteral("h\u00f4te introuvable : ") + hote_);
                return;
            }
            for (const QHostAddress& a : info.addresses()) {
                if (a.protocol() == voulue) {
                    envoie(cible, a);
                    return;
                }
            }
            echoue(aucune);
        });
}

void DetecteIP::envoie(const QUrl& cible, const QHostAddress& adresse)
{
    QNetworkRequest requete;
    QUrl vers = cible;
    if (!adresse.isNull()) {
        // Connect to the chosen address while the server still sees, and TLS still checks, the
        // name: Qt sends a Host header given here instead of its own, and uses the verify name
        // both for the certificate check and for the name it announces (SNI).
        vers.setHost(adresse.toString());
        QByteArray hote = cible.host(QUrl::FullyEncoded).toLatin1();
        if (cible.port() != -1) {
            hote += ':' + QByteArray::number(cible.port());
        }
        requete.setRawHeader(QByteArrayLiteral("Host"), hote);
        requete.setPeerVerifyName(cible.host());
        // HTTP/2 names the site in the URL's authority, not in a Host header.
        requete.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    }
    requete.setUrl(vers);
    requete.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("toto"));
    requete.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    requete.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // Said on the wire as well, so that a caching proxy on the way fetches afresh too.
    requete.setRawHeader(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-cache"));
    requete.setRawHeader(QByteArrayLiteral("Pragma"), QByteArrayLiteral("no-cache"));
    // Redirects are followed by acheve, so that each hop gets the same family and checks.
    requete.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    // Counts from the last progress only; chrono_ bounds the page as a whole.
    requete.setTransferTimeout(delaiMs_);
    if (!autorites_.isEmpty() && estHttps(cible)) {
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        ssl.setCaCertificates(autorites_);
        requete.setSslConfiguration(ssl);
    }

    if (!nam_) {
        // Made with the first check, not at start: nothing is asked before a Start.
        nam_ = new QNetworkAccessManager(this);
        // The address must come from the page, never from a disk cache.
        nam_->setCache(nullptr);
    }
    // A connection kept from an earlier check may predate an address change, or have been
    // opened for another name at the same address: every check opens its own.
    nam_->clearConnectionCache();
    corps_.clear();
    erreursSsl_.clear();
    reply_ = nam_->get(requete);
    reply_->setReadBufferSize(kTamponLecture);
    connect(reply_, &QNetworkReply::sslErrors, this,
            [this](const QList<QSslError>& erreurs) { erreursSsl_ = erreurs; });
    connect(reply_, &QNetworkReply::metaDataChanged, this, &DetecteIP::enTetes);
    connect(reply_, &QNetworkReply::readyRead, this, &DetecteIP::lit);
    connect(reply_, &QNetworkReply::finished, this, &DetecteIP::acheve);
}

void DetecteIP::enTetes()
{
    if (!reply_) {
        return;
    }
    // An error page or an oversized answer is known from its head: no need to read its body.
    QString raison;
    const QVariant statut = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QVariant longueur = reply_->header(QNetworkRequest::ContentLengthHeader);
    if (statut.isValid() && statut.toInt() >= 400) {
        raison = QStringLiteral("HTTP %1").arg(statut.toInt());
    } else if (longueur.isValid() && longueur.toLongLong() > tailleMax_) {
        raison = QStringLiteral("r\u00e9ponse trop longue");
    } else {
        return;
    }
    // Qt does not take an abort from inside this signal well: end on the next turn of the
    // loop, unless the request has ended some other way by then.
    QPointer<QNetworkReply> celleCi = reply_;
    reply_->disconnect(this);
    QTimer::singleShot(0, this, [this, celleCi, raison] {
        if (celleCi && reply_ == celleCi) {
            echoue(raison);
        }
    });
}

void DetecteIP::lit()
{
    if (!reply_) {
        return;
    }
    while (reply_->bytesAvailable() > 0) {
        // Never take more than one byte past the limit: that byte is enough to refuse.
        const qint64 place = tailleMax_ + 1 - corps_.size();
        corps_.append(reply_->read(qMin(place, reply_->bytesAvailable())));
        if (corps_.size() > tailleMax_) {
            echoue(QStringLiteral("r\u00e9ponse trop longue"));
            return;
        }
    }
}

QString DetecteIP::raisonReseau() const
{
    if (!erreursSsl_.isEmpty()) {
        QStringList textes;
        for (const QSslError& e : erreursSsl_) {
            if (!textes.contains(e.errorString())) {
                textes += e.errorString();
            }
        }
        return QStringLiteral("certificat non reconnu : ") + textes.join(QStringLiteral(", "));
    }
    switch (reply_->error()) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("connexion refus\u00e9e");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("h\u00f4te introuvable : ") + hote_;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError: // how Qt ends a transfer that stalled
        return delaiDepasse(delaiMs_);
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("connexion ferm\u00e9e par le serveur");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("\u00e9chec de la n\u00e9gociation TLS");
    default:
        return QStringLiteral("erreur r\u00e9seau (%1)").arg(nomErreur(reply_->error()));
    }
}

void DetecteIP::acheve()
{
    if (!reply_) {
        return;
    }
    lit();
    if (!reply_) {
        return;
    }
    const QVariant statut = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const int code = statut.isValid() ? statut.toInt() : 0;
    if (code >= 300 && code <= 399) {
        suitRedirection(code);
        return;
    }
    if (statut.isValid() && (code < 200 || code > 299)) {
        echoue(QStringLiteral("HTTP %1").arg(code));
        return;
    }
    if (reply_->error() != QNetworkReply::NoError) {
        echoue(raisonReseau());
        return;
    }
    if (!statut.isValid()) {
        echoue(QStringLiteral("r\u00e9ponse qui n'est pas du HTTP"));
        return;
    }
    const LectureReponse lu = lisReponse(fromAnsi(corps_));
    if (lu.adresse.isEmpty()) {
        echoue(lu.raison);
        return;
    }
    reussit(lu.adresse);
}

void DetecteIP::suitRedirection(int code)
{
    const QUrl lieu = reply_->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
    if (lieu.isEmpty()) {
        echoue(QStringLiteral("HTTP %1").arg(code));
        return;
    }
    const QUrl suivante = cible_.resolved(lieu);
    if (++redirections_ > kRedirectionsMax) {
        echoue(QStringLiteral("trop de redirections"));
    } else if (!estHttp(suivante)) {
        echoue(QStringLiteral("redirection vers une adresse qui n'est pas http:// ou https://"));
    } else if (estHttps(cible_) && !estHttps(suivante)) {
        echoue(QStringLiteral("redirection de https vers http refus\u00e9e"));
    } else {
        lacheReponse();
        va(suivante);
    }
}

void DetecteIP::echoue(const QString& raison)
{
    arreteEssai();
    if (!secours_ && !requete_.secours.trimmed().isEmpty()) {
        raisonPremiere_ = raison;
        secours_ = true;
        essaie(requete_.secours);
        return;
    }
    ResultatDetection r;
    r.raison = secours_ ? raisonPremiere_ + QStringLiteral(" ; secours : ") + raison : raison;
    r.secours = secours_;
    r.url = urlAffichee_;
    fin(std::move(r));
}

void DetecteIP::reussit(const QString& adresse)
{
    ResultatDetection r;
    r.ok = true;
    r.texte = adresse;
    r.secours = secours_;
    r.url = urlAffichee_;
    fin(std::move(r));
}

void DetecteIP::lacheReponse()
{
    corps_.clear();
    erreursSsl_.clear();
    if (reply_) {
        QNetworkReply* reply = reply_;
        reply_ = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void DetecteIP::arreteEssai()
{
    chrono_->stop();
    if (recherche_ >= 0) {
        QHostInfo::abortHostLookup(recherche_);
        recherche_ = -1;
    }
    lacheReponse();
}

void DetecteIP::fin(ResultatDetection r)
{
    // Everything is put away before the signal, so a receiver may start the next detection
    // (or delete this object) from its slot.
    arreteEssai();
    actif_ = false;
    r.raison = propre(r.raison);
    if (r.ok) {
        qCDebug(lcDetect) << r.url << "answered" << r.texte;
    } else {
        qCInfo(lcDetect) << r.url << "failed:" << r.raison;
    }
    emit termine(r);
}

} // namespace corvane
