#include "platform/modules.h"

#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

namespace corvane {

EntreeModule chargeModule(const char* nomFichier, const char* entree)
{
    EntreeModule r;
    // Beside the core library (the build folder, lib/corvane once installed): a module of the
    // same build, never one found on a search path.
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&chargeModule), &info) || !info.dli_fname) {
        r.erreur = QStringLiteral("bibliothèque du programme introuvable");
        return r;
    }
    const QString chemin = QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath() +
                           QLatin1Char('/') + QLatin1String(nomFichier);
    void* module = dlopen(QFile::encodeName(chemin).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        r.erreur = QString::fromLocal8Bit(dlerror());
        return r;
    }
    r.fonction = dlsym(module, entree);
    if (!r.fonction) {
        r.erreur = QStringLiteral("%1 : %2 absent").arg(chemin, QLatin1String(entree));
    }
    return r;
}

} // namespace corvane
