#include "support/fakehttp.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace corvane::test {
namespace {

QByteArray tete(int code, qint64 longueur)
{
    QByteArray t = "HTTP/1.1 " + QByteArray::number(code) + (code == 200 ? " OK" : " Error") +
                   "\r\nContent-Type: text/plain\r\nConnection: close\r\n";
    if (longueur >= 0) {
        t += "Content-Length: " + QByteArray::number(longueur) + "\r\n";
    }
    return t + "\r\n";
}

// One connection: reads the request's head, then answers as told. Lives with its socket.
class Connexion : public QObject {
public:
    Connexion(QTcpSocket* s, FakeHttp::Response r) : QObject(s), s_(s), r_(std::move(r))
    {
        connect(s, &QTcpSocket::readyRead, this, &Connexion::lit);
        connect(s, &QTcpSocket::bytesWritten, this, &Connexion::pompe);
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        lit();
    }

private:
    void lit()
    {
        requete_ += s_->readAll();
        if (repondu_ || !requete_.contains("\r\n\r\n")) {
            return;
        }
        repondu_ = true;
        s_->write(r_.head);
        if (r_.kind == FakeHttp::Response::Kind::Raw) {
            s_->disconnectFromHost();
        } else if (r_.kind == FakeHttp::Response::Kind::Trickle) {
            auto* t = new QTimer(this);
            connect(t, &QTimer::timeout, this, [this, t] {
                if (envoye_ >= r_.body.size()) {
                    t->stop();
                    s_->disconnectFromHost();
                    return;
                }
                s_->write(r_.body.mid(envoye_++, 1));
            });
            t->start(r_.intervalMs);
        } else {
            pompe();
        }
    }

    // A flood keeps at most 64 KiB waiting in the socket.
    void pompe()
    {
        if (r_.kind != FakeHttp::Response::Kind::Flood || !repondu_ ||
            s_->state() != QAbstractSocket::ConnectedState) {
            return;
        }
        while (envoye_ < r_.size && s_->bytesToWrite() < 64 * 1024) {
            const qint64 n = qMin<qint64>(16 * 1024, r_.size - envoye_);
            const QByteArray morceau =
                envoye_ < r_.body.size() ? r_.body.mid(envoye_, n) : QByteArray(n, r_.fill);
            s_->write(morceau);
            envoye_ += morceau.size();
        }
        if (envoye_ >= r_.size) {
            r_.kind = FakeHttp::Response::Kind::Raw; // done
            s_->disconnectFromHost();
        }
    }

    QTcpSocket* s_;
    FakeHttp::Response r_;
    QByteArray requete_;
    bool repondu_ = false;
    qint64 envoye_ = 0;
};

} // namespace

FakeHttp::Response FakeHttp::Response::ok(const QByteArray& body)
{
    return raw(tete(200, body.size()) + body);
}

FakeHttp::Response FakeHttp::Response::raw(const QByteArray& bytes)
{
    Response r;
    r.head = bytes;
    return r;
}

FakeHttp::Response FakeHttp::Response::close()
{
    Response r;
    r.kind = Kind::Close;
    return r;
}

FakeHttp::Response FakeHttp::Response::trickle(const QByteArray& body, int intervalMs)
{
    Response r;
    r.kind = Kind::Trickle;
    r.head = tete(200, body.size());
    r.body = body;
    r.intervalMs = intervalMs;
    return r;
}

FakeHttp::Response FakeHttp::Response::flood(qint64 size, const QByteArray& prefix, char fill,
                                             int code)
{
    Response r;
    r.kind = Kind::Flood;
    r.head = tete(code, -1);
    r.body = prefix;
    r.size = size;
    r.fill = fill;
    return r;
}

FakeHttp::FakeHttp(QObject* parent) : QObject(parent), server_(new QTcpServer(this))
{
    connect(server_, &QTcpServer::newConnection, this, &FakeHttp::accept);
    server_->listen(QHostAddress::LocalHost, 0);
}

bool FakeHttp::isListening() const
{
    return server_->isListening();
}

QString FakeHttp::url() const
{
    return QStringLiteral("http://127.0.0.1:%1/ip_check.php").arg(server_->serverPort());
}

void FakeHttp::accept()
{
    while (QTcpSocket* s = server_->nextPendingConnection()) {
        s->setParent(this);
        if (standing_.kind == Response::Kind::Close) {
            s->abort();
            s->deleteLater();
        } else {
            new Connexion(s, standing_);
        }
    }
}

} // namespace corvane::test
