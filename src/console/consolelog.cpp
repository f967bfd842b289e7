#include "console/consolelog.h"

namespace corvane {

QString formatDateHeure(const QDateTime& when)
{
    return when.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}

QString ConsoleLog::entree(const QString& libelle, const QDateTime& when, const QString& ip)
{
    static const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("\n") + libelle + crlf + formatDateHeure(when) + crlf +
           QStringLiteral("IP = ") + ip + crlf;
}

QString ConsoleLog::ajouteEntree(const QString& libelle, const QDateTime& when, const QString& ip)
{
    QString e = entree(libelle, when, ip);
    texte_ += e;
    return e;
}

} // namespace corvane
