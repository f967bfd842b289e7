#pragma once
// What the network library (libcorvane_reseau.so: Qt Network and the clients built on it)
// gives the rest of the program. The core does not link it: reseau/differe.h loads it with the
// first detection, mail or DNS update, so a window that is not watching yet never maps Qt
// Network nor the Kerberos and proxy libraries it pulls in.

#include "mail/dialoguemail.h"
#include "watch/services.h"

namespace corvane {

class Clock;

struct TableReseau {
    int version;
    // delaiMs bounds each page; 0 keeps the detector's own bound.
    Detecteur* (*creeDetecteur)(int delaiMs, QObject* parent);
    DialogueMail* (*creeDialogueSmtp)(QObject* parent);
    ServiceDns* (*creeMiseAJourDns)(Clock* horloge, QObject* parent);
};

// Changed with every change of the table: a library of another build is refused.
inline constexpr int kVersionTableReseau = 1;

} // namespace corvane

extern "C" __attribute__((visibility("default"))) const corvane::TableReseau*
corvane_table_reseau();
