#pragma once
// The keyring's client (QtKeychain), in a module of its own (libcorvane_trousseau.so) that
// platform/trousseau.cpp loads with the first password read or written: a desktop without a
// keyring, or a window whose passwords stay in the file, never maps it.

#include <QObject>
#include <QString>

#include <functional>

namespace corvane {

struct IssueTrousseau {
    enum class Etat { Ok, Absente, Erreur } etat = Etat::Erreur; // Absente: no such entry
    QString valeur;                                              // what was read
    QString raison; // a short French sentence, when Erreur
    QString detail; // QtKeychain's own code and text, for the diagnostics
};

using FinTrousseau = std::function<void(const IssueTrousseau&)>;

struct TableTrousseau {
    int version;
    // One job each, on the keyring entry cle of service; fin follows from the event loop,
    // unless contexte is gone by then. An empty valeur removes the entry.
    void (*lis)(const QString& service, const QString& cle, QObject* contexte, FinTrousseau fin);
    void (*ecris)(const QString& service, const QString& cle, const QString& valeur,
                  QObject* contexte, FinTrousseau fin);
};

// Changed with every change of the table: a module of another build is refused.
inline constexpr int kVersionTableTrousseau = 1;

} // namespace corvane

extern "C" __attribute__((visibility("default"))) const corvane::TableTrousseau*
corvane_table_trousseau();
