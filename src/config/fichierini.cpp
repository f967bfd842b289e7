// PLACEHOLDER until the settings file lands.
#include "config/fichierini.h"

#include <QCoreApplication>

namespace corvane {
IniFile IniFile::fromBytes(const QByteArray&)
{
    return {};
}
QByteArray IniFile::toBytes() const
{
    return {};
}
QString IniFile::value(const QString&, const QString&) const
{
    return {};
}
void IniFile::setValue(const QString&, const QString&, const QString&) {}
QString CheminConfig()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/") + kNomConfig;
}
QString LireINI(const QString&, const QString&, const QString&)
{
    return {};
}
Parametres ChargeConfig(const QString&)
{
    return {};
}
WriteResult SauveConfig(const Parametres&, const QString&)
{
    return {true, {}};
}
WriteResult ini_par_defaut(Parametres& p, const QString& path)
{
    return SauveConfig(p, path);
}
} // namespace corvane
