#include "support/fakehttp.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace corvane::test {

namespace {

constexpr qint64 kChunk = 16 * 1024;
constexpr qint64 kMaxQueued = 64 * 1024; // what a flood keeps waiting in the socket at most
constexpr qsizetype kMaxHead = 64 * 1024;

QByteArray reasonPhrase(int code)
{
    switch (code) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

QByteArray statusHead(int code, qint64 contentLength)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(code) + ' ' + reasonPhrase(code) +
                      "\r\nContent-Type: text/plain\r\nConnection: close\r\n";
    if (contentLength >= 0) {
        head += "Content-Length: " + QByteArray::number(contentLength) + "\r\n";
    }
    return head + "\r\n";
}

} // namespace

struct FakeHttp::Client {
    QTcpSocket* socket = nullptr;
    QByteArray head;
    bool answered = false;
    Response response;
    qsizetype trickled = 0;
    qint64 flooded = 0;
    QTimer* timer = nullptr;
};

FakeHttp::Response FakeHttp::Response::status(int code, const QByteArray& body)
{
    Response r;
    r.code = code;
    r.body = body;
    return r;
}

FakeHttp::Response FakeHttp::Response::raw(const QByteArray& bytes)
{
    Response r;
    r.kind = Kind::Raw;
    r.body = bytes;
    return r;
}

FakeHttp::Response FakeHttp::Response::silent()
{
    Response r;
    r.kind = Kind::Silent;
    return r;
}

FakeHttp::Response FakeHttp::Response::close()
{
    Response r;
    r.kind = Kind::Close;
    return r;
}

FakeHttp::Response FakeHttp::Response::trickle(const QByteArray& body, int intervalMs, int code)
{
    Response r;
    r.kind = Kind::Trickle;
    r.code = code;
    r.body = body;
    r.intervalMs = intervalMs;
    return r;
}

FakeHttp::Response FakeHttp::Response::flood(qint64 size, const QByteArray& prefix, char fill,
                                             int code)
{
    Response r;
    r.kind = Kind::Flood;
    r.code = code;
    r.body = prefix;
    r.size = size;
    r.fill = fill;
    return r;
}

QByteArray FakeHttp::Request::header(const QByteArray& name) const
{
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) {
            return value;
        }
    }
    return {};
}

int FakeHttp::Request::count(const QByteArray& name) const
{
    int n = 0;
    for (const auto& h : headers) {
        n += h.first.compare(name, Qt::CaseInsensitive) == 0 ? 1 : 0;
    }
    return n;
}

FakeHttp::FakeHttp(QObject* parent) : QObject(parent), server_(new QTcpServer(this))
{
    connect(server_, &QTcpServer::newConnection, this, &FakeHttp::accept);
    server_->listen(QHostAddress::LocalHost, 0);
}

FakeHttp::~FakeHttp()
{
    server_->close();
    for (Client* c : std::as_const(clients_)) {
        c->socket->disconnect(this);
        c->socket->abort();
        delete c;
    }
}

bool FakeHttp::isListening() const
{
    return server_->isListening();
}

quint16 FakeHttp::port() const
{
    return server_->serverPort();
}

QString FakeHttp::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
}

void FakeHttp::setResponse(const Response& r)
{
    standing_ = r;
}

void FakeHttp::enqueue(const Response& r)
{
    queue_.enqueue(r);
}

FakeHttp::Response FakeHttp::next()
{
    return queue_.isEmpty() ? standing_ : queue_.dequeue();
}

void FakeHttp::accept()
{
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        ++connections_;
        const Response upcoming = queue_.isEmpty() ? standing_ : queue_.head();
        if (upcoming.kind == Response::Kind::Close) {
            next();
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto* c = new Client;
        c->socket = socket;
        socket->setParent(this);
        clients_.append(c);
        connect(socket, &QTcpSocket::readyRead, this, [this, c] { readFrom(c); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, c] { pump(c); });
        connect(socket, &QTcpSocket::disconnected, this, [this, c] { drop(c); });
        readFrom(c);
    }
}

void FakeHttp::readFrom(Client* c)
{
    if (c->answered) {
        c->socket->readAll(); // a request body or anything after it is of no interest
        return;
    }
    c->head += c->socket->readAll();
    const qsizetype end = c->head.indexOf("\r\n\r\n");
    if (end < 0) {
        if (c->head.size() > kMaxHead) {
            c->socket->abort();
        }
        return;
    }
    const QList<QByteArray> lines = c->head.left(end).split('\n');
    Request request;
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    request.path = first.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0) {
            request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
        }
    }
    requests_.append(request);
    c->answered = true;
    c->response = next();
    emit requestReceived();
    answer(c);
}

void FakeHttp::answer(Client* c)
{
    const Response& r = c->response;
    switch (r.kind) {
    case Response::Kind::Close:
        // Chosen by an earlier request's turn; still a close without a word.
        c->socket->abort();
        return;
    case Response::Kind::Silent:
        return;
    case Response::Kind::Raw:
        c->socket->write(r.body);
        c->socket->disconnectFromHost();
        return;
    case Response::Kind::Complete:
        c->socket->write(statusHead(r.code, r.body.size()) + r.body);
        bodyBytesSent_ += r.body.size();
        c->socket->disconnectFromHost();
        return;
    case Response::Kind::Trickle:
        c->socket->write(statusHead(r.code, r.body.size()));
        c->timer = new QTimer(c->socket);
        connect(c->timer, &QTimer::timeout, this, [this, c] {
            if (c->trickled >= c->response.body.size()) {
                c->timer->stop();
                c->socket->disconnectFromHost();
                return;
            }
            c->socket->write(c->response.body.mid(c->trickled++, 1));
            ++bodyBytesSent_;
        });
        c->timer->start(r.intervalMs);
        return;
    case Response::Kind::Flood:
        c->socket->write(statusHead(r.code, -1));
        pump(c);
        return;
    }
}

void FakeHttp::pump(Client* c)
{
    if (c->response.kind != Response::Kind::Flood || !c->answered) {
        return;
    }
    const Response& r = c->response;
    while (c->flooded < r.size && c->socket->bytesToWrite() < kMaxQueued &&
           c->socket->state() == QAbstractSocket::ConnectedState) {
        QByteArray chunk;
        if (c->flooded < r.body.size()) {
            chunk = r.body.mid(c->flooded, qMin<qint64>(kChunk, r.size - c->flooded));
        } else {
            chunk.fill(r.fill, qMin<qint64>(kChunk, r.size - c->flooded));
        }
        c->socket->write(chunk);
        c->flooded += chunk.size();
        bodyBytesSent_ += chunk.size();
    }
    if (c->flooded >= r.size && c->socket->state() == QAbstractSocket::ConnectedState) {
        c->response.kind = Response::Kind::Complete; // done: no more pumping
        c->socket->disconnectFromHost();
    }
}

void FakeHttp::drop(Client* c)
{
    if (!clients_.removeOne(c)) {
        return;
    }
    if (c->timer) {
        c->timer->stop();
    }
    c->socket->disconnect(this);
    c->socket->deleteLater();
    delete c;
}

} // namespace corvane::test
