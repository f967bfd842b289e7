#pragma once
// The program's own modules that are loaded when first needed (the delivery module, the sound
// player): they sit beside the core library, wherever that was installed, and are of its build.

#include <QString>

namespace corvane {

struct EntreeModule {
    void* fonction = nullptr; // the entry point; null when the module could not be loaded
    QString erreur;           // why, then
};

// Loads nomFichier from the core library's folder (once per process: dlopen counts) and finds
// its entry point. A module found is never unloaded: code of it may still run on a thread.
EntreeModule chargeModule(const char* nomFichier, const char* entree);

} // namespace corvane
