#include "support/peers.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace corvane::test {

quint16 freePort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0)) {
        return 0;
    }
    return server.serverPort();
}

namespace {

// Polls until something accepts TCP connections on 127.0.0.1:port, at most timeoutMs.
bool waitForPort(quint16 port, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (socket.waitForConnected(200)) {
            socket.disconnectFromHost();
            return true;
        }
        QThread::msleep(50);
    }
    return false;
}

} // namespace

Peer::~Peer()
{
    stop();
}

bool Peer::start(const QString& program, QStringList args, int timeoutMs)
{
    stop();
    port_ = freePort();
    if (port_ == 0) {
        error_ = QStringLiteral("no free port");
        return false;
    }
    for (QString& a : args) {
        a.replace(QStringLiteral("{port}"), QString::number(port_));
    }
    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_->setStandardOutputFile(QProcess::nullDevice());
    process_->start(program, args);
    if (!process_->waitForStarted(timeoutMs)) {
        error_ = program + QStringLiteral(": ") + process_->errorString();
        return false;
    }
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (process_->state() != QProcess::Running) {
            error_ = program + QStringLiteral(" exited early");
            return false;
        }
        if (waitForPort(port_, 300)) {
            return true;
        }
    }
    error_ = program + QStringLiteral(" did not listen on port ") + QString::number(port_);
    return false;
}

void Peer::stop()
{
    if (process_ && process_->state() != QProcess::NotRunning) {
        process_->terminate();
        if (!process_->waitForFinished(3000)) {
            process_->kill();
            process_->waitForFinished(3000);
        }
    }
    process_.reset();
}

namespace {

// openssl with its arguments, one string split at spaces, run in dir.
bool openssl(const QString& args, const QString& dir, QString& erreur)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("openssl"), args.split(u' '));
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        erreur = QStringLiteral("openssl ") + args + QStringLiteral(": ") +
                 QString::fromLocal8Bit(p.readAll());
        return false;
    }
    return true;
}

} // namespace

Certificats fabriqueCertificats(const QString& dir)
{
    Certificats c;
    QFile ext(dir + QStringLiteral("/ext.cnf"));
    if (!ext.open(QIODevice::WriteOnly) ||
        ext.write("subjectAltName=IP:127.0.0.1,IP:::1,DNS:localhost\n"
                  "basicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\n"
                  "extendedKeyUsage=serverAuth\n") < 0) {
        c.erreur = QStringLiteral("cannot write ext.cnf");
        return c;
    }
    ext.close();
    const QString ca = QStringLiteral("req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=%1 "
                                      "-keyout %1.key -out %1.pem");
    if (openssl(ca.arg(QStringLiteral("ca-test")), dir, c.erreur) &&
        openssl(ca.arg(QStringLiteral("autre-ca")), dir, c.erreur) &&
        openssl(QStringLiteral("req -newkey rsa:2048 -nodes -subj /CN=localhost -keyout "
                               "serveur.key -out serveur.csr"),
                dir, c.erreur) &&
        openssl(QStringLiteral("x509 -req -in serveur.csr -CA ca-test.pem -CAkey ca-test.key "
                               "-CAcreateserial -days 2 -extfile ext.cnf -out serveur.pem"),
                dir, c.erreur)) {
        c.ca = dir + QStringLiteral("/ca-test.pem");
        c.autreCa = dir + QStringLiteral("/autre-ca.pem");
        c.cert = dir + QStringLiteral("/serveur.pem");
        c.cle = dir + QStringLiteral("/serveur.key");
    }
    return c;
}

QList<QJsonObject> journalHttps(const QString& dir, const QString& page)
{
    QFile f(dir + QStringLiteral("/journal"));
    QList<QJsonObject> vus;
    for (const QByteArray& l :
         f.open(QIODevice::ReadOnly) ? f.readAll().split('\n') : QList<QByteArray>()) {
        const QJsonObject o = QJsonDocument::fromJson(l).object();
        if (o.value(QLatin1String("page")).toString() == page) {
            vus += o;
        }
    }
    return vus;
}

QString sourcePath(const QString& relative)
{
    return QStringLiteral(CORVANE_SOURCE_DIR "/") + relative;
}

} // namespace corvane::test
