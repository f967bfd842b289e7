#pragma once
// SIGTERM and SIGINT as a Qt signal on the main thread. The handler itself only writes the
// signal's number into a pipe, which is all a handler may safely do; the event loop reads it.

#include <QObject>

class QSocketNotifier;

namespace corvane {

class StopSignals : public QObject {
    Q_OBJECT
public:
    // One at a time in a process: the handler has no other way to find its pipe.
    explicit StopSignals(QObject* parent = nullptr);
    // The default actions come back: a signal after this ends the process as usual.
    ~StopSignals() override;
    // False when the pipe or the handlers could not be set up; error() says why.
    bool ok() const { return error_.isEmpty(); }
    QString error() const { return error_; }

signals:
    void received(int signo);

private:
    void read();
    QSocketNotifier* notifier_ = nullptr;
    QString error_;
};

} // namespace corvane
