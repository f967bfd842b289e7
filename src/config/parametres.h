#pragma once
// The settings record: one text field per key of "Corvane.cfg". Every value is text; "1" means
// on for the options, and every test against a value is an exact, case-sensitive comparison.

#include <QString>

#include <array>

namespace corvane {

struct Parametres {
    QString Raz;                // [Mot de passe] raz
    QString DerniereIP;         // [IP] Derniere IP
    QString AdresseDetect;      // [ADRESSE HTTP] adresse de IP detect.php
    QString AdresseSecours;     // [ADRESSE HTTP] adresse de secours (asked when the first fails)
    QString Famille;            // [ADRESSE HTTP] Famille: auto (empty), ipv4, ipv6
    QString CertificatHttp;     // [ADRESSE HTTP] Certificat (extra PEM CA file)
    QString NomDomaine;         // [ADRESSE FTP] Nom de domaine (FTP user)
    QString MotDePasseFtp;      // [ADRESSE FTP] Mot de passe (FTP password)
    QString FtpHebergeur;       // [ADRESSE FTP] ftp hebergeur (host[:port])
    QString FichierATransferer; // [ADRESSE FTP] fichier à transferer
    QString EmplacementFichier; // [ADRESSE FTP] emplacement et fichier
    QString ProtocoleFtp;       // [ADRESSE FTP] Protocole: ftp (empty), ftps, sftp
    QString EmpreinteHote;      // [ADRESSE FTP] Empreinte hote (SHA256:... for sftp)
    QString CertificatFtp;      // [ADRESSE FTP] Certificat (extra PEM CA file)
    QString PortIn;             // [SERVER] N°port In
    QString BipChangement;      // [OPTION] Bip changement IP
    QString SauveLog;           // [OPTION] Sauve Log
    QString UploadFichier;      // [OPTION] Upload fichier
    QString MailAuto;           // [OPTION] Mail Auto
    QString ModeDebug;          // [OPTION] Mode Debug
    QString CouleurConsole;     // [OPTION] Color text console
    QString MiseAJourDns;       // [OPTION] Mise a jour DNS
    QString DemarrageAuto;      // [OPTION] Demarrage auto: "1" presses Start at launch
    QString FermerVersIcone;    // [OPTION] Fermer vers icone: "1" closes to the tray
    QString ServeurSmtp;        // [SMTP] Serveur smtp (host[:port])
    QString MessageDe;          // [SMTP] Message de
    QString Sujet;              // [SMTP] Sujet
    QString Message;            // [SMTP] Message
    std::array<QString, 10> Adresses; // [SMTP] Adresse N°1 .. Adresse N°10 (index 0 is N°1)
    QString SecuriteSmtp;             // [SMTP] Securite: aucune (empty), starttls, ssl
    QString UtilisateurSmtp;          // [SMTP] Utilisateur
    QString MotDePasseSmtp;           // [SMTP] Mot de passe
    QString AdresseExpediteur;        // [SMTP] Adresse expediteur
    QString CertificatSmtp;           // [SMTP] Certificat (extra PEM CA file)
    QString ProtocoleDns;             // [DNS] Protocole: aucun (empty), rfc2136, dyndns2
    QString NomDns;                   // [DNS] Nom (the name kept pointing at the address)
    QString ServeurDns;               // [DNS] Serveur (rfc2136: host[:port]; dyndns2: update URL)
    QString ZoneDns;                  // [DNS] Zone (rfc2136; empty: the name minus its first label)
    QString CleDns;                   // [DNS] Cle (TSIG key name)
    QString AlgorithmeDns;            // [DNS] Algorithme (hmac-sha256 when empty)
    QString SecretDns;                // [DNS] Secret (TSIG secret, base64)
    QString UtilisateurDns;           // [DNS] Utilisateur (dyndns2)
    QString MotDePasseDns;            // [DNS] Mot de passe (dyndns2)
    QString TtlDns;                   // [DNS] TTL (seconds, 300 when empty)
    QString ValeurBoutonTempo;        // [REGLAGE] Valeur_Bouton_Tempo
    QString LangageInt;               // [REGLAGE] Langage Int
    QString TailleFenetre;            // [REGLAGE] Taille fenetre
    QString PositionH;                // [REGLAGE] Position H (twips)
    QString PositionV;                // [REGLAGE] Position V (twips)
    QString ToujoursVisible;          // [REGLAGE] Toujours visible
    QString Langue;                   // [REGLAGE] Langue: auto (empty), fr, en

    bool operator==(const Parametres&) const = default;
};

} // namespace corvane
