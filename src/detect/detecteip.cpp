#include "detect/detecteip.h"

#include "config/numbers.h"
#include "platform/textcodec.h"

#include <QMetaEnum>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUrl>

namespace corvane {

namespace {

// Qt reads at most this much from the socket ahead of us, so a flood is never buffered whole.
constexpr qint64 kTamponLecture = 16 * 1024;

QString nomErreur(QNetworkReply::NetworkError code)
{
    // The enum's name only: Qt's own error texts can quote the URL, password included.
    const char* key = QMetaEnum::fromType<QNetworkReply::NetworkError>().valueToKey(code);
    return key ? QString::fromLatin1(key) : QString::number(int(code));
}

ResultatDetection echec(const QString& raison)
{
    return {false, {}, raison};
}

} // namespace

DetecteIP::DetecteIP(QObject* parent) : QObject(parent), nam_(new QNetworkAccessManager(this))
{
    // The owner's machine may sit behind a proxy; its desktop settings say which.
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    // The address must come from the page, never from a disk cache.
    nam_->setCache(nullptr);
    chrono_ = new QTimer(this);
    chrono_->setSingleShot(true);
    connect(chrono_, &QTimer::timeout, this, [this] {
        fin(echec(QStringLiteral("no complete answer within %1 ms").arg(delaiMs_)));
    });
}

DetecteIP::~DetecteIP()
{
    abandonne();
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
    return reply_ != nullptr || refusEnAttente_ > 0;
}

void DetecteIP::demarre(const QString& url)
{
    if (reply_) {
        // The running request keeps going; this call gets its own failure, later, as promised.
        refuse(QStringLiteral("a detection is already running"));
        return;
    }
    const QUrl cible(url, QUrl::StrictMode);
    const QString schema = cible.scheme().toLower();
    if (!cible.isValid() || cible.host().isEmpty() ||
        (schema != QLatin1String("http") && schema != QLatin1String("https"))) {
        refuse(QStringLiteral("not an http:// or https:// address"));
        return;
    }

    QNetworkRequest requete(cible);
    requete.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("toto"));
    requete.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    requete.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // Said on the wire as well, so that a caching proxy on the way fetches afresh too.
    requete.setRawHeader(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-cache"));
    requete.setRawHeader(QByteArrayLiteral("Pragma"), QByteArrayLiteral("no-cache"));
    // Counts from the last progress only; chrono_ bounds the request as a whole.
    requete.setTransferTimeout(delaiMs_);

    corps_.clear();
    reply_ = nam_->get(requete);
    reply_->setReadBufferSize(kTamponLecture);
    connect(reply_, &QNetworkReply::metaDataChanged, this, &DetecteIP::enTetes);
    connect(reply_, &QNetworkReply::readyRead, this, &DetecteIP::lit);
    connect(reply_, &QNetworkReply::finished, this, &DetecteIP::acheve);
    chrono_->start(delaiMs_);
}

void DetecteIP::refuse(const QString& raison)
{
    ++refusEnAttente_;
    QTimer::singleShot(0, this, [this, raison] {
        --refusEnAttente_;
        emit termine(echec(raison));
    });
}

void DetecteIP::enTetes()
{
    if (!reply_) {
        return;
    }
    // An error page or an oversized answer is known from its head: no need to read its body.
    ResultatDetection r;
    const QVariant statut = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QVariant longueur = reply_->header(QNetworkRequest::ContentLengthHeader);
    if (statut.isValid() && statut.toInt() >= 400) {
        r = echec(QStringLiteral("HTTP status %1").arg(statut.toInt()));
    } else if (longueur.isValid() && longueur.toLongLong() > tailleMax_) {
        r = echec(QStringLiteral("answer of %1 bytes is over the %2-byte limit")
                      .arg(longueur.toLongLong())
                      .arg(tailleMax_));
    } else {
        return;
    }
    // Qt does not take an abort from inside this signal well: end on the next turn of the
    // loop, unless the request has ended some other way by then.
    QPointer<QNetworkReply> celleCi = reply_;
    reply_->disconnect(this);
    QTimer::singleShot(0, this, [this, celleCi, r] {
        if (celleCi && reply_ == celleCi) {
            fin(r);
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
            fin(echec(QStringLiteral("answer over the %1-byte limit").arg(tailleMax_)));
            return;
        }
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
    if (statut.isValid() && (statut.toInt() < 200 || statut.toInt() > 299)) {
        fin(echec(QStringLiteral("HTTP status %1").arg(statut.toInt())));
        return;
    }
    if (reply_->error() != QNetworkReply::NoError) {
        fin(echec(QStringLiteral("network error ") + nomErreur(reply_->error())));
        return;
    }
    if (!statut.isValid()) {
        fin(echec(QStringLiteral("no HTTP status in the answer")));
        return;
    }
    QString texte = fromAnsi(corps_);
    if (!reponseAcceptable(texte)) {
        fin(echec(QStringLiteral("the answer does not begin with a non-zero number")));
        return;
    }
    fin({true, std::move(texte), {}});
}

bool reponseAcceptable(const QString& texte)
{
    return valeurNumerique(texte) != 0;
}

void DetecteIP::abandonne()
{
    chrono_->stop();
    corps_.clear();
    if (reply_) {
        QNetworkReply* reply = reply_;
        reply_ = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void DetecteIP::fin(ResultatDetection r)
{
    // Everything is put away before the signal, so a receiver may start the next request
    // (or delete this object) from its slot.
    abandonne();
    emit termine(r);
}

} // namespace corvane
