#pragma once
// Real network peers, started as processes on a free port of 127.0.0.1.

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
    ~Peer(); // stops the peer

    // Starts program ("{port}" in args: the chosen port) and waits until the port answers.
    bool start(const QString& program, QStringList args, int timeoutMs = 15000);
    quint16 port() const { return port_; }
    QString error() const { return error_; }

private:
    std::unique_ptr<QProcess> process_;
    quint16 port_ = 0;
    QString error_;
};

// PEM files in dir: ca signed cert (127.0.0.1, ::1, localhost) and its key cle; autreCa signed
// nothing. Empty erreur when made.
struct Certificats {
    QString ca, cert, cle, autreCa, erreur;
};
Certificats fabriqueCertificats(const QString& dir);

// The requests tests/support/https_peer.py noted in dir/journal for one page, in order.
QList<QJsonObject> journalHttps(const QString& dir, const QString& page);

// Path of a file in the source tree, e.g. sourcePath("resources/ip_check.php").
QString sourcePath(const QString& relative);

} // namespace corvane::test
