#include "platform/notifications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QLoggingCategory>
#include <QStringList>

namespace corvane {
namespace {

Q_LOGGING_CATEGORY(lcNotify, "corvane.notifications")

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// A service that keeps its notifications forever and never says they closed would otherwise
// grow the table of click actions for the whole run.
constexpr qsizetype kMaxOnClick = 64;
constexpr qsizetype kMaxWaiting = 16;

QDBusMessage call(const QString& method)
{
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

} // namespace

DBusNotifier::DBusNotifier(QString appName, QString desktopEntry, QObject* parent)
    : QObject(parent), appName_(std::move(appName)), desktopEntry_(std::move(desktopEntry))
{}

void DBusNotifier::notify(const QString& title, const QString& text, std::function<void()> onClick)
{
    // The bus is reached on the first notification, not at start-up: a run without changes
    // never pays for it.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        unavailable(QStringLiteral("no session bus"));
        return;
    }
    Notification n{title, text, std::move(onClick)};
    if (capabilities_ == Capabilities::Known) {
        send(n);
        return;
    }
    if (waiting_.size() < kMaxWaiting) {
        waiting_.append(std::move(n));
    }
    if (capabilities_ == Capabilities::Asked) {
        return;
    }
    capabilities_ = Capabilities::Asked;
    bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                SLOT(actionInvoked(uint, QString)));
    bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                SLOT(notificationClosed(uint, uint)));
    auto* watcher = new QDBusPendingCallWatcher(
        bus.asyncCall(call(QStringLiteral("GetCapabilities")), kTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QStringList> reply = *w;
        // A service that does not answer this is asked to notify all the same.
        markup_ = !reply.isError() && reply.value().contains(QStringLiteral("body-markup"));
        capabilities_ = Capabilities::Known;
        for (const Notification& n : std::exchange(waiting_, {})) {
            send(n);
        }
    });
}

void DBusNotifier::send(const Notification& n)
{
    QDBusMessage m = call(QStringLiteral("Notify"));
    const QString body = markup_ ? n.text.toHtmlEscaped() : n.text;
    // The "default" action is the click on the notification itself.
    const QStringList actions =
        n.onClick ? QStringList{QStringLiteral("default"), tr("Afficher")} : QStringList();
    const QVariantMap hints{{QStringLiteral("desktop-entry"), desktopEntry_}};
    m << appName_ << uint(0) << desktopEntry_ << n.title << body << actions << hints
      << int(-1); // -1: the service's own display time
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(m, kTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, onClick = n.onClick](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusPendingReply<uint> reply = *w;
                if (reply.isError()) {
                    unavailable(reply.error().name());
                    return;
                }
                unavailableSaid_ = false;
                if (onClick) {
                    if (onClick_.size() >= kMaxOnClick) {
                        onClick_.erase(onClick_.begin());
                    }
                    onClick_.insert(reply.value(), onClick);
                }
            });
}

void DBusNotifier::actionInvoked(uint id, const QString& actionKey)
{
    // The signal goes to every client of the service: only this program's ids are here.
    const auto it = onClick_.constFind(id);
    if (it != onClick_.cend() && actionKey == QLatin1String("default")) {
        const std::function<void()> onClick = it.value();
        onClick();
    }
}

void DBusNotifier::notificationClosed(uint id, uint reason)
{
    Q_UNUSED(reason);
    onClick_.remove(id);
}

void DBusNotifier::unavailable(const QString& why)
{
    if (!unavailableSaid_) {
        unavailableSaid_ = true;
        qCInfo(lcNotify).noquote() << "desktop notifications unavailable:" << why;
    }
}

} // namespace corvane
