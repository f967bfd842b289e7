#include "app/lignecommande.h"

namespace corvane {

LigneCommande::LigneCommande()
    : optionConfig_(QStringLiteral("config"),
                    QStringLiteral("Le fichier de r\u00e9glages \u00e0 utiliser, au lieu de "
                                   "Corvane.cfg \u00e0 c\u00f4t\u00e9 du programme (ou dans "
                                   "~/.config/corvane quand ce dossier est en lecture seule)."),
                    QStringLiteral("fichier")),
      sansFenetre_(QStringLiteral("headless"),
                   QStringLiteral("Surveille sans fen\u00eatre ni \u00e9cran : chaque "
                                  "entr\u00e9e du journal va aussi sur la sortie standard, "
                                  "SIGTERM ou SIGINT arr\u00eate.")),
      verification_(QStringLiteral("check"),
                    QStringLiteral("Une seule v\u00e9rification, puis fin : 0 adresse "
                                   "inchang\u00e9e, 1 chang\u00e9e (et signal\u00e9e comme "
                                   "en surveillance), 2 \u00e9chec.")),
      // Not Qt's own: they bring --help-all, about Qt options this program does not take.
      aide_(QStringList{QStringLiteral("h"), QStringLiteral("help")},
            QStringLiteral("Affiche cette aide.")),
      version_(QStringList{QStringLiteral("v"), QStringLiteral("version")},
               QStringLiteral("Affiche la version."))
{
    parser_.setApplicationDescription(
        QStringLiteral("Surveille l'adresse IP publique de la machine et signale ses "
                       "changements (mails, page envoy\u00e9e par FTP, nom DNS)."));
    parser_.addOption(aide_);
    parser_.addOption(version_);
    parser_.addOption(optionConfig_);
    parser_.addOption(sansFenetre_);
    parser_.addOption(verification_);
}

bool LigneCommande::analyse(const QStringList& arguments)
{
    if (!parser_.parse(arguments)) {
        erreur_ = parser_.errorText();
        return false;
    }
    if (!parser_.positionalArguments().isEmpty()) {
        erreur_ = QStringLiteral("argument inattendu : %1").arg(parser_.positionalArguments()[0]);
        return false;
    }
    if (parser_.isSet(sansFenetre_) && parser_.isSet(verification_)) {
        erreur_ = QStringLiteral("--headless et --check s'excluent");
        return false;
    }
    config_ = parser_.value(optionConfig_);
    if (parser_.isSet(optionConfig_) && config_.isEmpty()) {
        erreur_ = QStringLiteral("--config : le nom du fichier est vide");
        return false;
    }
    if (parser_.isSet(aide_)) {
        mode_ = Mode::Aide;
    } else if (parser_.isSet(version_)) {
        mode_ = Mode::Version;
    } else if (parser_.isSet(sansFenetre_)) {
        mode_ = Mode::SansFenetre;
    } else if (parser_.isSet(verification_)) {
        mode_ = Mode::Verification;
    }
    return true;
}

} // namespace corvane
