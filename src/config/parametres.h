#pragma once
// The settings record: one text field per key of "Corvane.cfg". Every value is text; "1" means
// on for the options, and every test against a value is an exact, case-sensitive comparison.

#include <QString>

#include <array>

namespace corvane {

struct Parametres {
    QString Raz;                      // [Mot de passe] raz
    QString DerniereIP;               // [IP] Derniere IP
    QString AdresseDetect;            // [ADRESSE HTTP] adresse de IP detect.php
    QString NomDomaine;               // [ADRESSE FTP] Nom de domaine (FTP user)
    QString MotDePasseFtp;            // [ADRESSE FTP] Mot de passe (FTP password)
    QString FtpHebergeur;             // [ADRESSE FTP] ftp hebergeur (host[:port])
    QString FichierATransferer;       // [ADRESSE FTP] fichier à transferer
    QString EmplacementFichier;       // [ADRESSE FTP] emplacement et fichier
    QString PortIn;                   // [SERVER] N°port In
    QString BipChangement;            // [OPTION] Bip changement IP
    QString SauveLog;                 // [OPTION] Sauve Log
    QString UploadFichier;            // [OPTION] Upload fichier
    QString MailAuto;                 // [OPTION] Mail Auto
    QString ModeDebug;                // [OPTION] Mode Debug
    QString CouleurConsole;           // [OPTION] Color text console
    QString ServeurSmtp;              // [SMTP] Serveur smtp (host[:port])
    QString MessageDe;                // [SMTP] Message de
    QString Sujet;                    // [SMTP] Sujet
    QString Message;                  // [SMTP] Message
    std::array<QString, 10> Adresses; // [SMTP] Adresse N°1 .. Adresse N°10 (index 0 is N°1)
    QString ValeurBoutonTempo;        // [REGLAGE] Valeur_Bouton_Tempo
    QString LangageInt;               // [REGLAGE] Langage Int
    QString TailleFenetre;            // [REGLAGE] Taille fenetre
    QString PositionH;                // [REGLAGE] Position H (twips)
    QString PositionV;                // [REGLAGE] Position V (twips)
    QString ToujoursVisible;          // [REGLAGE] Toujours visible

    bool operator==(const Parametres&) const = default;
};

} // namespace corvane
