#pragma once
// The mail's time stamp in universal time, read from the injected clock.

#include <QDateTime>
#include <QString>

namespace corvane {

class Clock;

// The stamp of a UTC instant: "dd/MM/yyyy", a space, the hour without a leading zero, "h",
// two-digit minutes, "'", two-digit seconds and " UTC", e.g. "05/12/2026 6h05'09 UTC".
// Fractions of a second are dropped, never rounded.
QString FormateUTC(const QDateTime& instant);

// A fresh stamp (TexteUTC) for the clock's local time now, converted with the rules of the
// clock's zone in force at that instant, daylight saving included.
QString HeureUTC(const Clock& clock);

} // namespace corvane
