#pragma once
// The history's SQLite database through Qt SQL, in a module of its own
// (libcorvane_historique.so) that the history loads with its first record or read: a run without
// a change or a failed check never maps Qt SQL.

#include "history/historique.h"

namespace corvane {

struct TableHistorique {
    int version;
    StockHistorique* (*cree)(const QString& chemin); // opens nothing yet
};

// Changed with every change of the table: a module of another build is refused.
inline constexpr int kVersionTableHistorique = 1;

} // namespace corvane

extern "C" __attribute__((visibility("default"))) const corvane::TableHistorique*
corvane_table_historique();
