#include "support/peers.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace corvane::test {

quint16 freePort()
{
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}

// A peer that ignores the polite signal is killed by QProcess's own destructor.
Peer::~Peer()
{
    if (process_) {
        process_->terminate();
        process_->waitForFinished(3000);
    }
}

bool Peer::start(const QString& program, QStringList args, int timeoutMs)
{
    port_ = freePort(); // 0 in the unlikely case: the peer then fails to listen
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
    for (QDeadlineTimer deadline(timeoutMs); !deadline.hasExpired(); QThread::msleep(50)) {
        if (process_->state() != QProcess::Running) {
            error_ = program + QStringLiteral(" exited early");
            return false;
        }
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port_);
        if (socket.waitForConnected(200)) {
            return true;
        }
    }
    error_ = program + QStringLiteral(" did not listen on port ") + QString::number(port_);
    return false;
}

Certificats fabriqueCertificats(const QString& dir)
{
    Certificats c;
    const QString req = QStringLiteral("req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=%1 "
                                       "-keyout %1.key -out %1.pem");
    const QString serveur =
        req.arg(QStringLiteral("localhost")) +
        QStringLiteral(" -CA ca-test.pem -CAkey ca-test.key -addext basicConstraints=CA:FALSE"
                       " -addext subjectAltName=IP:127.0.0.1,IP:::1,DNS:localhost"
                       " -addext keyUsage=digitalSignature,keyEncipherment"
                       " -addext extendedKeyUsage=serverAuth");
    for (const QString& args :
         {req.arg(QStringLiteral("ca-test")), req.arg(QStringLiteral("autre-ca")), serveur}) {
        QProcess p;
        p.setWorkingDirectory(dir);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("openssl"), args.split(u' '));
        if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit ||
            p.exitCode() != 0) {
            c.erreur = QStringLiteral("openssl ") + args + QStringLiteral(": ") +
                       QString::fromLocal8Bit(p.readAll());
            return c;
        }
    }
    c.ca = dir + QStringLiteral("/ca-test.pem");
    c.autreCa = dir + QStringLiteral("/autre-ca.pem");
    c.cert = dir + QStringLiteral("/localhost.pem");
    c.cle = dir + QStringLiteral("/localhost.key");
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
