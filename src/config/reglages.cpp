#include "config/reglages.h"

#include "config/numbers.h"
#include "config/parametres.h"

namespace corvane {

Reglages lisReglages(const Parametres& p)
{
    const auto on = [](const QString& v) { return v == QLatin1String("1"); };
    Reglages r;
    r.bipChangement = on(p.BipChangement);
    r.sauveLog = on(p.SauveLog);
    r.uploadFichier = on(p.UploadFichier);
    r.mailAuto = on(p.MailAuto);
    r.modeDebug = on(p.ModeDebug);
    r.miseAJourDns = on(p.MiseAJourDns);
    r.demarrageAuto = on(p.DemarrageAuto);
    r.fermerVersIcone = on(p.FermerVersIcone);
    const long long choix = arrondiBancaire(valeurNumerique(p.ValeurBoutonTempo));
    r.intervalle = (choix < 0 || choix > 2) ? 0 : static_cast<int>(choix);
    const long long c = arrondiBancaire(valeurNumerique(p.CouleurConsole));
    r.couleur = (c < 0 || c > 255) ? quint8(1) : static_cast<quint8>(c);
    r.taille = p.TailleFenetre == QLatin1String("reduit") ? Taille::Reduit : Taille::Complet;
    r.toujoursVisible = p.ToujoursVisible == QLatin1String("oui");
    r.positionH = coordonneeTwips(p.PositionH);
    r.positionV = coordonneeTwips(p.PositionV);
    return r;
}

} // namespace corvane
