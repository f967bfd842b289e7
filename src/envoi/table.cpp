#include "envoi/module.h"

#include <curl/curl.h>

extern "C" const corvane::TableEnvoi* corvane_table_envoi()
{
    using namespace corvane;
    // Once, when the module is loaded (under the loader's once): libcurl's global set-up reads
    // OpenSSL's configuration and starts libssh2.
    static const TableEnvoi table = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        return TableEnvoi{kVersionTableEnvoi,
                          curl::construitUrlFtp,
                          curl::transfere,
                          dns::module::messageMiseAJour,
                          dns::module::messageQuestion,
                          dns::module::repondA,
                          dns::module::lisReponseMiseAJour,
                          dns::module::lisReponseQuestion};
    }();
    return &table;
}
