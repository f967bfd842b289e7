#pragma once
// The program's own modules that are loaded when first needed (the windows, the delivery
// module, the sound player): they sit beside the core library, wherever that was installed, and
// are of its build.

#include <QString>

namespace corvane {

// The network library (Qt Network), the delivery module (libcurl, ldns), the sound module
// (Qt Multimedia), the keyring's client (QtKeychain) and the history's database (Qt SQL).
inline constexpr char kModuleReseau[] = "libcorvane_reseau.so";
inline constexpr char kModuleEnvoi[] = "libcorvane_envoi.so";
inline constexpr char kModuleSon[] = "libcorvane_son.so";
inline constexpr char kModuleTrousseau[] = "libcorvane_trousseau.so";
inline constexpr char kModuleHistorique[] = "libcorvane_historique.so";

struct EntreeModule {
    void* fonction = nullptr; // the entry point; null when the module could not be loaded
    QString erreur;           // why, then
};

// Loads nomFichier from the core library's folder (once per process: dlopen counts) and finds
// its entry point. A module found is never unloaded: code of it may still run on a thread.
EntreeModule chargeModule(const char* nomFichier, const char* entree);

// A table of entry points that a module gives through its entry (a function returning a
// const Table*), checked against the version this build expects.
template <typename Table> struct TableModule {
    const Table* table = nullptr;
    QString erreur; // why there is none: "module <quel> indisponible : <the loader's reason>"
};

// quel names the module in that reason, as the step that needs it reports it ("réseau").
template <typename Table>
TableModule<Table> chargeTable(const char* nomFichier, const char* entree, int version,
                               const char* quel)
{
    TableModule<Table> r;
    const EntreeModule m = chargeModule(nomFichier, entree);
    const Table* table = m.fonction ? reinterpret_cast<const Table* (*)()>(m.fonction)() : nullptr;
    if (table && table->version == version) {
        r.table = table;
        return r;
    }
    const QString raison =
        !m.fonction ? m.erreur
                    : QStringLiteral("%1 d'une autre version").arg(QLatin1String(nomFichier));
    r.erreur = QStringLiteral("module %1 indisponible : %2").arg(QString::fromUtf8(quel), raison);
    return r;
}

} // namespace corvane
