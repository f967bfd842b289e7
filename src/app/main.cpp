// Corvane: watches the machine's public address and reports its changes.

#include "app/fenetre.h"
#include "app/headless.h"
#include "app/lignecommande.h"
#include "platform/consoleplatform.h"
#include "platform/memoire.h"
#include "platform/modules.h"

#include <QCoreApplication>

namespace {

int avecFenetre(int& argc, char** argv, const QString& configNommee)
{
    const corvane::EntreeModule module = corvane::chargeModule(kModuleFenetre, kEntreeFenetre);
    if (!module.fonction) {
        corvane::printLine(stderr, QStringLiteral("corvane : fen\u00eatre indisponible : ") +
                                       module.erreur);
        return 2;
    }
    return reinterpret_cast<CorvaneFenetre>(module.fonction)(&argc, argv, &configNommee);
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
