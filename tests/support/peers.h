#pragma once
// Real network peers (php -S, aiosmtpd, pyftpdlib, scripted fakes) started as processes on an
// OS-chosen port of 127.0.0.1 and stopped when the Peer object goes away.

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace corvane::test {

// A port of 127.0.0.1 that was free a moment ago.
quint16 freePort();

class Peer {
public:
    Peer() = default;
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;
    ~Peer();

    // Starts program with args ("{port}" in an argument is replaced by the chosen port) and
    // waits until the port accepts connections. On failure, error() says why.
    bool start(const QString& program, QStringList args, int timeoutMs = 15000);
    void stop();
    quint16 port() const { return port_; }
    QString error() const { return error_; }

private:
    std::unique_ptr<QProcess> process_;
    quint16 port_ = 0;
    QString error_;
};

// PEM files made with openssl in dir: an authority (ca, the one the program is told to trust),
// the server certificate it signed for 127.0.0.1, ::1 and localhost with its key, and an
// unrelated authority (autreCa) that signed nothing the servers show. Empty erreur when made.
struct Certificats {
    QString ca, cert, cle, autreCa, erreur;
};
Certificats fabriqueCertificats(const QString& dir);

// The requests tests/support/https_peer.py noted in dir/journal for one page, in order.
QList<QJsonObject> journalHttps(const QString& dir, const QString& page);

// Path of a file in the source tree, e.g. sourcePath("resources/ip_check.php").
QString sourcePath(const QString& relative);

} // namespace corvane::test
