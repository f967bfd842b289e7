#pragma once
// A scripted HTTP server inside the test process, on 127.0.0.1 and an OS-chosen port.
//
//   FakeHttp http;                       // listens at once; check http.isListening()
//   http.setResponse(FakeHttp::Response::ok("203.0.113.7"));   // every request from now on
//   http.enqueue(FakeHttp::Response::status(404, "1"));        // the next request only
//   detect.demarre(http.url());
//   ... http.requests().first().header("User-Agent") == "toto"
//
// Each answer closes its connection, so every request is one connection.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QQueue>
#include <QString>

class QTcpServer;
class QTcpSocket;

namespace corvane::test {

class FakeHttp : public QObject {
    Q_OBJECT
public:
    struct Response {
        enum class Kind {
            Complete, // status line, Content-Length, body, close
            Raw,      // these bytes exactly, then close
            Silent,   // read the request, then never answer
            Close,    // close the connection as soon as it is accepted
            Trickle,  // status and headers, then the body one byte every intervalMs
            Flood,    // status, no length, then prefix and fill bytes until `size`, close
        };
        Kind kind = Kind::Complete;
        int code = 200;
        QByteArray body; // Complete, Trickle; the prefix for Flood; the bytes for Raw
        int intervalMs = 0;
        qint64 size = 0;
        char fill = 'x';

        static Response ok(const QByteArray& body) { return status(200, body); }
        static Response status(int code, const QByteArray& body);
        static Response raw(const QByteArray& bytes);
        static Response silent();
        static Response close();
        static Response trickle(const QByteArray& body, int intervalMs, int code = 200);
        // A body of `size` bytes sent as fast as the client reads it, never held whole.
        static Response flood(qint64 size, const QByteArray& prefix = {}, char fill = 'x',
                              int code = 200);
    };

    struct Request {
        QByteArray method;
        QByteArray path;
        QList<QPair<QByteArray, QByteArray>> headers; // in order, names as sent
        // The value of the first header of that name (any letter case), or a null array.
        QByteArray header(const QByteArray& name) const;
        int count(const QByteArray& name) const;
    };

    explicit FakeHttp(QObject* parent = nullptr);
    ~FakeHttp() override;

    bool isListening() const;
    quint16 port() const;
    // http://127.0.0.1:PORT + path
    QString url(const QString& path = QStringLiteral("/ip_check.php")) const;

    void setResponse(const Response& r); // the standing answer (200 "127.0.0.1" at first)
    void enqueue(const Response& r);     // one-shot answers, used in order before the standing one

    QList<Request> requests() const { return requests_; }
    int connections() const { return connections_; }
    // Body bytes written to clients so far (Complete, Trickle and Flood answers).
    qint64 bodyBytesSent() const { return bodyBytesSent_; }

signals:
    void requestReceived();

private:
    struct Client;
    void accept();
    void readFrom(Client* c);
    void answer(Client* c);
    void pump(Client* c);
    void drop(Client* c);
    Response next();

    QTcpServer* server_ = nullptr;
    Response standing_ = Response::ok(QByteArrayLiteral("127.0.0.1"));
    QQueue<Response> queue_;
    QList<Request> requests_;
    QList<Client*> clients_;
    int connections_ = 0;
    qint64 bodyBytesSent_ = 0;
};

} // namespace corvane::test
