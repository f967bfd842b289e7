#pragma once
// The per-user XDG folders (configuration, state), for a program installed where
// it cannot write (under /usr) and for the desktop's autostart entries.

#include "platform/resultat.h"

#include <QString>

namespace corvane {

// $XDG_CONFIG_HOME, else $HOME/.config. A variable holding a relative path is ignored: it would
// depend on the folder the program was started from. "" when no absolute folder can be found
// (HOME unset or relative).
QString xdgConfigHome();
// $XDG_STATE_HOME, else $HOME/.local/state; "" as above.
QString xdgStateHome();

// Creates the folder and its missing parents, each with mode 0700 (only the user reads them);
// folders that are already there keep their mode. Fails with the reason when a part of the
// path is not a folder or cannot be created.
Resultat makePrivateFolder(const QString& path);

} // namespace corvane
