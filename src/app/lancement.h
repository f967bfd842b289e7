#pragma once
// What every way of starting the program shares, with or without a window.

#include "config/emplacements.h"

namespace corvane {

class Moteur;

// Where the settings, the log and the pages are, and the current folder moved there. "" when
// done, else why not: the program then ends with status 2.
QString placeLeProgramme(const QString& configNommee, Emplacements& lieux);

// On the start that wrote the settings file, an entry says where: the owner looks for it in
// the log, not in a folder he may not know of. Its text, or "" when there was none.
QString annonceReglagesCrees(Moteur& moteur, const Emplacements& lieux);

} // namespace corvane
