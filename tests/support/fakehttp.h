#pragma once
// A scripted HTTP server inside the test process, on 127.0.0.1 and an OS-chosen port, for pages
// that misbehave. Every request gets the standing answer, on a connection of its own.
//
//   FakeHttp http;                                           // check http.isListening()
//   http.setResponse(FakeHttp::Response::flood(10 << 20));
//   detect.demarre(http.url());

#include <QByteArray>
#include <QObject>
#include <QString>

class QTcpServer;

namespace corvane::test {

class FakeHttp : public QObject {
    Q_OBJECT
public:
    struct Response {
        enum class Kind {
            Raw,     // these bytes, then close
            Close,   // close the connection as soon as it is accepted
            Trickle, // status and headers, then the body one byte every intervalMs
            Flood,   // status, no length, then prefix and fill bytes until `size`, close
        };
        Kind kind = Kind::Raw;
        QByteArray head; // sent at once
        QByteArray body; // Trickle; the prefix for Flood
        int intervalMs = 0;
        qint64 size = 0;
        char fill = 'x';

        static Response ok(const QByteArray& body); // 200, Content-Length, body
        static Response raw(const QByteArray& bytes);
        static Response close();
        static Response trickle(const QByteArray& body, int intervalMs);
        // A body of `size` bytes sent as fast as the client reads it, never held whole.
        static Response flood(qint64 size, const QByteArray& prefix = {}, char fill = 'x',
                              int code = 200);
    };

    explicit FakeHttp(QObject* parent = nullptr);
    bool isListening() const;
    QString url() const; // http://127.0.0.1:PORT/ip_check.php
    void setResponse(const Response& r) { standing_ = r; }

private:
    void accept();

    QTcpServer* server_ = nullptr;
    Response standing_ = Response::ok(QByteArrayLiteral("127.0.0.1"));
};

} // namespace corvane::test
