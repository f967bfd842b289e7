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

Peer::~Peer()
{
    stop();
}

bool Peer::start(const QString& program, QStringList args, int timeoutMs)
{
    stop();
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

Certificats fabriqueCertificats(const QString& dir)
{
    Certificats c;
    if (QFile ext(dir + QStringLiteral("/ext.cnf")); ext.open(QIODevice::WriteOnly)) {
        ext.write("subjectAltName=IP:127.0.0.1,IP:::1,DNS:localhost\nbasicConstraints=CA:FALSE\n"
                  "keyUsage=digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\n");
    } // else the last openssl command says the file is missing
    const QString ca = QStringLiteral("req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=%1 "
                                      "-keyout %1.key -out %1.pem");
    for (const QString& args :
         {ca.arg(QStringLiteral("ca-test")), ca.arg(QStringLiteral("autre-ca")),
          QStringLiteral("req -newkey rsa:2048 -nodes -subj /CN=localhost -keyout serveur.key "
                         "-out serveur.csr"),
          QStringLiteral("x509 -req -in serveur.csr -CA ca-test.pem -CAkey ca-test.key "
                         "-CAcreateserial -days 2 -extfile ext.cnf -out serveur.pem")}) {
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
    c.cert = dir + QStringLiteral("/serveur.pem");
    c.cle = dir + QStringLiteral("/serveur.key");
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
