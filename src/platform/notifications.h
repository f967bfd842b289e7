#pragma once
// Desktop notifications through the freedesktop notification service
// (org.freedesktop.Notifications on the session bus). Every call is asynchronous and bounded;
// without a session bus or a service nothing shows, and that is said once in the log.

#include "platform/platform.h"

#include <QHash>
#include <QList>
#include <QObject>

namespace corvane {

class DBusNotifier : public QObject, public Notifier {
    Q_OBJECT
public:
    // desktopEntry: the name of the program's .desktop file, without ".desktop"; the service
    // takes the program's name and icon from it.
    DBusNotifier(QString appName, QString desktopEntry, QObject* parent = nullptr);

    void notify(const QString& title, const QString& text, std::function<void()> onClick) override;

    // Bound on each call to the service.
    static constexpr int kTimeoutMs = 5000;

private slots:
    // QtDBus delivers bus signals only to slots named by their signature.
    void actionInvoked(uint id, const QString& actionKey);
    void notificationClosed(uint id, uint reason);

private:
    struct Notification {
        QString title;
        QString text;
        std::function<void()> onClick;
    };
    void send(const Notification& n);
    void unavailable(const QString& why);

    QString appName_;
    QString desktopEntry_;
    // The service's capabilities are asked once, before the first notification: whether the
    // body is read as markup (then the text is escaped) or shown as it is.
    enum class Capabilities { Unknown, Asked, Known } capabilities_ = Capabilities::Unknown;
    bool markup_ = false;
    bool unavailableSaid_ = false;
    QList<Notification> waiting_; // while the capabilities are asked
    QHash<uint, std::function<void()>> onClick_;
};

} // namespace corvane
