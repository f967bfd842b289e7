#include "support/peers.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QHostAddress>
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

Peer::~Peer()
{
    stop();
}

bool Peer::start(const QString& program, QStringList args, const QString& workDir, int timeoutMs)
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
    if (!workDir.isEmpty()) {
        process_->setWorkingDirectory(workDir);
    }
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

bool startPhp(Peer& peer, const QString& docRoot)
{
    return peer.start(
        QStringLiteral("php"),
        {QStringLiteral("-S"), QStringLiteral("127.0.0.1:{port}"), QStringLiteral("-t"), docRoot});
}

namespace {

bool openssl(const QStringList& args, const QString& dir, QString& erreur)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("openssl"), args);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        erreur = QStringLiteral("openssl ") + args.join(u' ') + QStringLiteral(": ") +
                 QString::fromLocal8Bit(p.readAll());
        return false;
    }
    return true;
}

bool autorite(const QString& dir, const QString& nom, QString& erreur)
{
    return openssl({QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                    QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                    QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=") + nom,
                    QStringLiteral("-keyout"), nom + QStringLiteral(".key"),
                    QStringLiteral("-out"), nom + QStringLiteral(".pem")},
                   dir, erreur);
}

} // namespace

Certificats fabriqueCertificats(const QString& dir)
{
    Certificats c;
    QString& e = c.erreur;
    QFile ext(dir + QStringLiteral("/ext.cnf"));
    if (!ext.open(QIODevice::WriteOnly) ||
        ext.write("subjectAltName=IP:127.0.0.1,IP:::1,DNS:localhost\n"
                  "basicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\n"
                  "extendedKeyUsage=serverAuth\n") < 0) {
        c.erreur = QStringLiteral("cannot write ext.cnf");
        return c;
    }
    ext.close();
    if (!autorite(dir, QStringLiteral("ca-test"), e) ||
        !autorite(dir, QStringLiteral("autre-ca"), e) ||
        !openssl({QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                  QStringLiteral("-nodes"), QStringLiteral("-subj"), QStringLiteral("/CN=localhost"),
                  QStringLiteral("-keyout"), QStringLiteral("serveur.key"), QStringLiteral("-out"),
                  QStringLiteral("serveur.csr")},
                 dir, e) ||
        !openssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                  QStringLiteral("serveur.csr"), QStringLiteral("-CA"), QStringLiteral("ca-test.pem"),
                  QStringLiteral("-CAkey"), QStringLiteral("ca-test.key"),
                  QStringLiteral("-CAcreateserial"), QStringLiteral("-days"), QStringLiteral("2"),
                  QStringLiteral("-extfile"), QStringLiteral("ext.cnf"), QStringLiteral("-out"),
                  QStringLiteral("serveur.pem")},
                 dir, e)) {
        return c;
    }
    c.ca = dir + QStringLiteral("/ca-test.pem");
    c.autreCa = dir + QStringLiteral("/autre-ca.pem");
    c.cert = dir + QStringLiteral("/serveur.pem");
    c.cle = dir + QStringLiteral("/serveur.key");
    return c;
}

QString sourcePath(const QString& relative)
{
    return QStringLiteral(CORVANE_SOURCE_DIR "/") + relative;
}

QString corvaneBinary()
{
    return QStringLiteral(CORVANE_BINARY);
}

} // namespace corvane::test
