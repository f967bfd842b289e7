#pragma once
// The settings the program acts on, as values: what the text of "Corvane.cfg" means once read.
// The record Parametres stays the file's image (its texts go back to the file as they were
// read); everything that decides reads these instead of comparing texts again.

#include <QtGlobal>

#include <QString>

namespace corvane {

struct Parametres;

enum class Taille { Complet, Reduit };

struct Reglages {
    bool bipChangement = false;   // "Bip changement IP"
    bool sauveLog = false;        // "Sauve Log"
    bool uploadFichier = false;   // "Upload fichier"
    bool mailAuto = false;        // "Mail Auto"
    bool modeDebug = false;       // "Mode Debug"
    bool miseAJourDns = false;    // "Mise a jour DNS"
    bool demarrageAuto = false;   // "Demarrage auto": Start pressed at launch
    bool fermerVersIcone = false; // "Fermer vers icone": closing hides to the tray
    int intervalle = 0;           // "Valeur_Bouton_Tempo": the interval button, 0 to 2
    quint8 couleur = 0;           // "Color text console": the log's scheme (1 to 4 show one)
    Taille taille = Taille::Complet;
    bool toujoursVisible = false;
    int positionH = 0; // twips, held within ±kTwipsMax
    int positionV = 0;

    bool operator==(const Reglages&) const = default;
};

// On/off options are on for exactly "1"; only "reduit" is the reduced window, only "oui" keeps
// it on top. An interval outside 0..2 gives "2'"; a colour outside 0..255 gives scheme 1.
Reglages lisReglages(const Parametres& p);

// The texts the program writes for a value it changed.
inline QString texteOption(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}
inline QString texteTaille(Taille t)
{
    return t == Taille::Reduit ? QStringLiteral("reduit") : QStringLiteral("complet");
}
inline QString texteVisible(bool on)
{
    return on ? QStringLiteral("oui") : QStringLiteral("non");
}

} // namespace corvane
