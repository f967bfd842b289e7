#pragma once
// The hidden window "smtp": the program's own SMTP client, shown in debug mode.

#include "platform/platform.h"

#include <QWidget>

#include <functional>

namespace corvane {

class ConsoleLink;

class SmtpWindow : public QWidget {
    Q_OBJECT
public:
    SmtpWindow(ConsoleLink& console, Platform platform, QWidget* parent = nullptr);
    ~SmtpWindow() override;

    // Takes the address list, server, sender and subject from console.parametres().
    void InitSmtp();
    // One mailing of the current change. When "Mail auto" is not ticked: nothing is sent and
    // termine runs at once. Otherwise the body and stamp are built now, the mailing runs after
    // any mailing still under way, and termine runs after its report was logged.
    void BoucleSend(std::function<void()> termine);

    // Bounds of each wait (connection, each reply), 30 000 ms unless set.
    void setDelais(int connexionMs, int reponseMs);
};

} // namespace corvane
