#pragma once
// The program with its window, in a module of its own (libcorvane_fenetre.so) that main loads
// only for that mode: a watch without a display then never maps Qt Widgets, Gui, Multimedia,
// D-Bus nor the keyring, nor relocates them.

#include <QString>

extern "C" {

// argc outlives the application, which keeps a reference to it; configNommee: --config's
// value, "" when not given. The exit status.
Q_DECL_EXPORT int corvane_fenetre(int* argc, char** argv, const QString* configNommee);
using CorvaneFenetre = int (*)(int*, char**, const QString*);
}

// The module's file name and the entry above, as main looks them up.
inline constexpr char kModuleFenetre[] = "libcorvane_fenetre.so";
inline constexpr char kEntreeFenetre[] = "corvane_fenetre";
