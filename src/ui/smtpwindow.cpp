// PLACEHOLDER until the SMTP client lands: replaced whole by the mail work.
#include "ui/smtpwindow.h"

#include "console/consolelink.h"

namespace corvane {

SmtpWindow::SmtpWindow(ConsoleLink&, Platform, QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("smtp"));
}
SmtpWindow::~SmtpWindow() = default;
void SmtpWindow::InitSmtp() {}
void SmtpWindow::BoucleSend(std::function<void()> termine)
{
    termine();
}
void SmtpWindow::setDelais(int, int) {}

} // namespace corvane
