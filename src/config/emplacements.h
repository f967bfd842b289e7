#pragma once
// Where the settings file, the log and the page files live. A program folder the user can
// write to keeps them as they always were: "Corvane.cfg" beside the program, the log and the
// pages in the current folder. An installed program (under /usr) cannot write there, so the
// settings go to the user's configuration folder and the log and pages to his state folder,
// where desktops expect them ($XDG_CONFIG_HOME, $XDG_STATE_HOME).

#include "platform/resultat.h"

#include <QString>

#include <functional>

namespace corvane {

struct Emplacements : Resultat {
    QString config;         // absolute path of "Corvane.cfg"
    QString dossierTravail; // absolute; the log and the page files: the program's current folder
    bool configNouvelle = false;      // no file there yet: the first start writes one and says so
    bool dossiersUtilisateur = false; // the XDG folders were chosen (and made, mode 0700)
};

// Whether the program may keep its files in this folder.
using TestInscriptible = std::function<bool(const QString& dossier)>;

// True when a file can be made and removed in the folder: the only test that holds for every
// reason a write can fail (read-only mount, ACL, ownership), which permission bits do not show.
// A folder under /usr is never written, even by root, who could: that tree belongs to the
// package manager (Filesystem Hierarchy Standard), which would leave such files behind.
bool dossierInscriptible(const QString& dossier);

// dossierProgramme: the executable's folder. configExplicite: the file named by --config, or
// "" when none was given; a relative name is taken from the current folder, and the log and
// pages then stay in the current folder. Fails with the reason when an explicitly named file
// cannot be used (its folder missing, or it is a folder) or when the XDG folders cannot be
// found (no HOME) or made.
Emplacements emplacements(const QString& dossierProgramme, const QString& configExplicite,
                          const TestInscriptible& inscriptible = dossierInscriptible);

} // namespace corvane
