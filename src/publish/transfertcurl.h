#pragma once
// The upload itself is libcurl's, in the delivery module (libcorvane_envoi.so), which the core
// loads with the first upload: a watcher whose address has not changed never maps libcurl nor
// the libraries it pulls in. ftpenvoi.cpp forwards to this table.

#include "publish/ftpenvoi.h"

namespace corvane {

struct TableCurl {
    int version;
    UrlFtp (*construitUrlFtp)(const QString& hebergeur, const QString& cheminDistant,
                              ProtocoleFtp protocole);
    // Runs one upload on the calling thread, its stages emitted through rapport.etape.
    void (*transfere)(TransfertFtp& rapport, const DemandeFtp& demande, const ReadResult& fichier,
                      const std::atomic<bool>* arret);
};

// Changed with every change of the table: a module of another build is refused.
inline constexpr int kVersionTableCurl = 1;

} // namespace corvane

extern "C" __attribute__((visibility("default"))) const corvane::TableCurl* corvane_table_curl();
