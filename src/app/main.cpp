// Corvane: watches the machine's public address and reports its changes.

#include "app/fenetre.h"
#include "app/headless.h"
#include "app/lignecommande.h"
#include "platform/consoleplatform.h"
#include "platform/memoire.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

namespace {

// The window's module: by its name first, through the binary's RUNPATH (the build folder, also
// for a copy of the binary made elsewhere, or lib/corvane beside an installed program). A
// dlopen seen through a sanitizer's interceptor does not read the binary's RUNPATH, so the same
// folders are then tried by their full path.
void* chargeModule(QString& erreur)
{
    if (void* m = dlopen(kModuleFenetre, RTLD_LAZY | RTLD_LOCAL)) {
        return m;
    }
    erreur = QString::fromLocal8Bit(dlerror());
    const QFileInfo exe(QStringLiteral("/proc/self/exe"));
    const QString ici = QFileInfo(exe.symLinkTarget()).absolutePath();
    for (const QString& dossier : {ici + QStringLiteral("/../lib/corvane"), ici,
                                   QStringLiteral(CORVANE_DOSSIER_MODULE_BUILD)}) {
        const QByteArray chemin = QFile::encodeName(dossier + u'/' + QLatin1String(kModuleFenetre));
        if (void* m = dlopen(chemin.constData(), RTLD_LAZY | RTLD_LOCAL)) {
            return m;
        }
    }
    return nullptr;
}

int avecFenetre(int& argc, char** argv, const QString& configNommee)
{
    QString erreur;
    void* module = chargeModule(erreur);
    const auto entree =
        module ? reinterpret_cast<CorvaneFenetre>(dlsym(module, kEntreeFenetre)) : nullptr;
    if (!entree) {
        if (module) {
            erreur = QString::fromLocal8Bit(dlerror());
        }
        corvane::printLine(stderr,
                           QStringLiteral("corvane : fen\u00eatre indisponible : ") + erreur);
        return 2;
    }
    return entree(&argc, argv, &configNommee);
}

} // namespace

int main(int argc, char** argv)
{
    corvane::uneSeuleArene();
    QCoreApplication::setApplicationName(QStringLiteral("Corvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.05"));

    // Read before any application object: the mode decides whether a display is needed.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    corvane::LigneCommande ligne;
    if (!ligne.analyse(arguments)) {
        corvane::printLine(stderr, QStringLiteral("corvane : ") + ligne.erreur());
        return 2;
    }
    using Mode = corvane::LigneCommande::Mode;
    if (ligne.mode() == Mode::Fenetre) {
        return avecFenetre(argc, argv, ligne.config());
    }
    QCoreApplication app(argc, argv);
    switch (ligne.mode()) {
    case Mode::Aide: {
        const QByteArray aide = ligne.aide().toUtf8();
        std::fwrite(aide.constData(), 1, std::size_t(aide.size()), stdout);
        return 0;
    }
    case Mode::Version:
        corvane::printLine(stdout, QCoreApplication::applicationName() + u' ' +
                                       QCoreApplication::applicationVersion());
        return 0;
    case Mode::Fenetre:
    case Mode::SansFenetre:
    case Mode::Verification:
        break;
    }
    return ligne.mode() == Mode::Verification ? corvane::verificationSeule(ligne.config())
                                              : corvane::surveilleSansFenetre(ligne.config());
}
