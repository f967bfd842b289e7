#pragma once
// Starting with the desktop session: an entry in the user's autostart folder
// ($XDG_CONFIG_HOME/autostart), which desktop sessions read at login.

#include "platform/resultat.h"

#include <QString>

namespace corvane {

// $XDG_CONFIG_HOME/autostart/corvane.desktop, else ~/.config/autostart/corvane.desktop; ""
// when no home folder is known.
QString cheminAutostart();

// on: writes the entry that starts this executable (an absolute path to an existing program)
// at login, in its own folder as the launcher does. Off: removes the entry (already absent is
// no failure). A path the entry cannot carry (control characters) is refused with the reason.
Resultat activeAutostart(bool on, const QString& executable);

// True when the entry is there and not turned off by the desktop's own settings (Hidden=true
// or X-GNOME-Autostart-enabled=false, which session managers write instead of removing it).
bool autostartActif();

} // namespace corvane
