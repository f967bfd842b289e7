#include "support/peers.h"

#include <QDeadlineTimer>
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

QString sourcePath(const QString& relative)
{
    return QStringLiteral(CORVANE_SOURCE_DIR "/") + relative;
}

QString corvaneBinary()
{
    return QStringLiteral(CORVANE_BINARY);
}

} // namespace corvane::test
