#pragma once
// The interface's language: French, the program's own, or English. The user's choice (menu
// Options > Langue, kept as "[REGLAGE] Langue") wins; without one the system's locale decides.
// What stored files and peers read (the log, the mail, the page, the settings) never changes
// with it.

#include <QString>

class QLocale;

namespace corvane {

// The values of "[REGLAGE] Langue"; an absent or unknown value counts as automatic.
inline const QString kLangueAuto = QStringLiteral("auto");
inline const QString kLangueFrancais = QStringLiteral("fr");
inline const QString kLangueAnglais = QStringLiteral("en");

// "fr" or "en" for the setting choix: the one it names, else French for a French or a C/POSIX
// locale, English for any other language (the broader fallback of the two).
QString langueEffective(const QString& choix, const QLocale& systeme);

// Puts the program's catalogue and Qt's own (the buttons of the message boxes) for langue
// ("fr" or "en") in place of those before; every widget then receives QEvent::LanguageChange.
// Needs the application object; a catalogue that cannot be found leaves the source texts.
void appliqueLangue(const QString& langue);

// Start-up, before the first window is built: the language the settings file names, else the
// system's.
void installeLangue(const QString& cheminConfig);

} // namespace corvane
