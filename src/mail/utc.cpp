#include "mail/utc.h"

#include "platform/platform.h"

namespace corvane {

QString FormateUTC(const QDateTime& instant)
{
    const QDateTime utc = instant.toUTC();
    const QTime t = utc.time();
    // Fixed patterns, never the locale's: the stamp must read the same on every machine.
    return utc.date().toString(QStringLiteral("dd/MM/yyyy")) + QLatin1Char(' ') +
           QString::number(t.hour()) + QLatin1Char('h') +
           QStringLiteral("%1").arg(t.minute(), 2, 10, QLatin1Char('0')) + QLatin1Char('\'') +
           QStringLiteral("%1").arg(t.second(), 2, 10, QLatin1Char('0')) + QStringLiteral(" UTC");
}

QString HeureUTC(const Clock& clock)
{
    return FormateUTC(clock.now());
}

} // namespace corvane
