<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>Validation</name>
    <message>
        <source>adresse IPv6 invalide entre crochets</source>
        <translation>invalid IPv6 address between brackets</translation>
    </message>
    <message>
        <source>nom d&apos;hôte invalide : « %1 »</source>
        <translation>invalid host name: &quot;%1&quot;</translation>
    </message>
    <message>
        <source>adresse IPv6 invalide (avec un port : [adresse]:port)</source>
        <translation>invalid IPv6 address (with a port: [address]:port)</translation>
    </message>
    <message>
        <source>port invalide : « %1 » (de 1 à 65535)</source>
        <translation>invalid port: &quot;%1&quot; (1 to 65535)</translation>
    </message>
    <message>
        <source>une adresse web ne contient pas d&apos;espace</source>
        <translation>a web address holds no space</translation>
    </message>
    <message>
        <source>adresse web attendue : http://hôte/chemin ou https://hôte/chemin</source>
        <translation>web address expected: http://host/path or https://host/path</translation>
    </message>
    <message>
        <source>adresse web sans nom d&apos;hôte</source>
        <translation>web address without a host name</translation>
    </message>
    <message>
        <source>une adresse mail ne contient ni espace, ni retour à la ligne, ni &lt;, &gt; ou ,</source>
        <translation>a mail address holds no space, line break, &lt;, &gt; or ,</translation>
    </message>
    <message>
        <source>adresse mail attendue : nom@domaine</source>
        <translation>mail address expected: name@domain</translation>
    </message>
    <message>
        <source>domaine invalide après @ : « %1 »</source>
        <translation>invalid domain after @: &quot;%1&quot;</translation>
    </message>
    <message>
        <source>l&apos;emplacement doit finir par un nom de fichier, par exemple /www/date.php</source>
        <translation>the remote path must end with a file name, for example /www/date.php</translation>
    </message>
    <message>
        <source>empreinte attendue : SHA256: suivi de 43 caractères (ssh-keygen -lf)</source>
        <translation>fingerprint expected: SHA256: followed by 43 characters (ssh-keygen -lf)</translation>
    </message>
    <message>
        <source>durée en secondes attendue (un nombre, 300 par défaut)</source>
        <translation>duration in seconds expected (a number, 300 by default)</translation>
    </message>
    <message>
        <source>secret attendu en base64</source>
        <translation>base64 secret expected</translation>
    </message>
    <message>
        <source>fichier introuvable : %1</source>
        <translation>file not found: %1</translation>
    </message>
    <message>
        <source>pas un fichier ordinaire : %1</source>
        <translation>not a regular file: %1</translation>
    </message>
    <message>
        <source>la valeur ne peut pas contenir de retour à la ligne</source>
        <translation>the value cannot hold a line break</translation>
    </message>
    <message>
        <source>valeur inconnue : « %1 » (%2)</source>
        <translation>unknown value: &quot;%1&quot; (%2)</translation>
    </message>
    <message>
        <source>nom DNS invalide : « %1 »</source>
        <translation>invalid DNS name: &quot;%1&quot;</translation>
    </message>
</context>
<context>
    <name>corvane::About</name>
    <message>
        <source>About Brenn</source>
        <translation>About Brenn</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>corvane::Aide</name>
    <message>
        <source>Aide Corvane</source>
        <translation>Corvane help</translation>
    </message>
    <message>
        <source>Fichier &quot;Corvane.cfg&quot;</source>
        <translation>File &quot;Corvane.cfg&quot;</translation>
    </message>
    <message>
        <source>Fichier Corvane.cfg</source>
        <translation>File Corvane.cfg</translation>
    </message>
    <message>
        <source>International language</source>
        <translation>International language</translation>
    </message>
    <message>
        <source>langage Francais</source>
        <translation>French language</translation>
    </message>
    <message>
        <source>Installation - Configuration</source>
        <translation>Installation - Configuration</translation>
    </message>
    <message>
        <source>Paramètre en rouge : pour la détection de l&apos;IP
Paramètres en orange : pour l&apos;upload ftp et/ou le transfert de mail
Paramètres en grisé : option du logiciel et/ou non utilisé dans cette version</source>
        <translation>Setting in red: for the IP detection
Settings in orange: for the FTP upload and/or the mail transfer
Settings in grey: program options and/or not used in this version</translation>
    </message>
</context>
<context>
    <name>corvane::Chronologie</name>
    <message>
        <source>Aucun changement enregistré</source>
        <translation>No change recorded</translation>
    </message>
</context>
<context>
    <name>corvane::Console</name>
    <message>
        <source>Journal / Log</source>
        <translation>Log</translation>
    </message>
    <message>
        <source>LOG (clic for color)</source>
        <translation>LOG (click for colour)</translation>
    </message>
    <message>
        <source>Fonctions</source>
        <translation>Functions</translation>
    </message>
    <message>
        <source>Mail auto</source>
        <translation>Auto mail</translation>
    </message>
    <message>
        <source>Upload fichier</source>
        <translation>Upload file</translation>
    </message>
    <message>
        <source>IP Actuelle</source>
        <translation>Current IP</translation>
    </message>
    <message>
        <source>Clic pour acquitter l&apos;alarme clignotante</source>
        <translation>Click to acknowledge the blinking alarm</translation>
    </message>
    <message>
        <source>Espace ou Échap : acquitter l&apos;alarme clignotante</source>
        <translation>Space or Escape: acknowledge the blinking alarm</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Tester IP</source>
        <translation>Check IP</translation>
    </message>
    <message>
        <source>2 minutes</source>
        <translation>2 minutes</translation>
    </message>
    <message>
        <source>10 minutes</source>
        <translation>10 minutes</translation>
    </message>
    <message>
        <source>1 heure</source>
        <translation>1 hour</translation>
    </message>
    <message>
        <source>Acquitter l&apos;alarme</source>
        <translation>Acknowledge the alarm</translation>
    </message>
    <message>
        <source>Aide</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>About</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Affichage</source>
        <translation>View</translation>
    </message>
    <message>
        <source>Reduit</source>
        <translation>Reduced</translation>
    </message>
    <message>
        <source>Complet</source>
        <translation>Full</translation>
    </message>
    <message>
        <source>Toujours visible</source>
        <translation>Always on top</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>Audio IP change</source>
        <translation>Audio IP change</translation>
    </message>
    <message>
        <source>Enregistrer Log</source>
        <translation>Save log</translation>
    </message>
    <message>
        <source>Surveillance au démarrage</source>
        <translation>Watch at start-up</translation>
    </message>
    <message>
        <source>Mode Debug</source>
        <translation>Debug mode</translation>
    </message>
    <message>
        <source>Paramètres...</source>
        <translation>Settings...</translation>
    </message>
    <message>
        <source>Langue</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>Automatique</source>
        <translation>Automatic</translation>
    </message>
    <message>
        <source>Historique</source>
        <translation>History</translation>
    </message>
</context>
<context>
    <name>corvane::DBusNotifier</name>
    <message>
        <source>Afficher</source>
        <translation>Show</translation>
    </message>
</context>
<context>
    <name>corvane::FenetreHistorique</name>
    <message>
        <source>désactivé</source>
        <translation>off</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>sans réponse</source>
        <translation>no answer</translation>
    </message>
    <message>
        <source>-</source>
        <translation>-</translation>
    </message>
    <message>
        <source>Fin</source>
        <translation>End</translation>
    </message>
    <message>
        <source>Événement</source>
        <translation>Event</translation>
    </message>
    <message>
        <source>Ancienne adresse</source>
        <translation>Old address</translation>
    </message>
    <message>
        <source>Nouvelle adresse</source>
        <translation>New address</translation>
    </message>
    <message>
        <source>Détection</source>
        <translation>Detection</translation>
    </message>
    <message>
        <source>Mails</source>
        <translation>Mails</translation>
    </message>
    <message>
        <source>Upload</source>
        <translation>Upload</translation>
    </message>
    <message>
        <source>DNS</source>
        <translation>DNS</translation>
    </message>
    <message>
        <source>%1 sur %2 envoyé(s)</source>
        <translation>%1 of %2 sent</translation>
    </message>
    <message>
        <source>Changement</source>
        <translation>Change</translation>
    </message>
    <message>
        <source>envoyé</source>
        <translation>sent</translation>
    </message>
    <message>
        <source>Historique</source>
        <translation>History</translation>
    </message>
    <message>
        <source>Exporter CSV...</source>
        <translation>Export CSV...</translation>
    </message>
    <message>
        <source>Historique illisible : %1</source>
        <translation>History unreadable: %1</translation>
    </message>
    <message>
        <source>Exporter l&apos;historique</source>
        <translation>Export the history</translation>
    </message>
    <message>
        <source>Fichiers CSV (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>Exporté : %1</source>
        <translation>Exported: %1</translation>
    </message>
    <message>
        <source>Export impossible : %1</source>
        <translation>Export failed: %1</translation>
    </message>
    <message>
        <source>secours</source>
        <translation>fallback</translation>
    </message>
    <message>
        <source>principale</source>
        <translation>main</translation>
    </message>
    <message>
        <source>échec</source>
        <translation>failed</translation>
    </message>
    <message>
        <source>échec : %1</source>
        <translation>failed: %1</translation>
    </message>
    <message>
        <source>Échecs</source>
        <translation>Failures</translation>
    </message>
    <message>
        <source>Début</source>
        <translation>Start</translation>
    </message>
</context>
<context>
    <name>corvane::FenetreParametres</name>
    <message>
        <source>Paramètres</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>le trousseau ne répond pas</source>
        <translation>the keyring does not answer</translation>
    </message>
    <message>
        <source>valeur obligatoire</source>
        <translation>value required</translation>
    </message>
    <message>
        <source>%1 : %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>OK impossible : %1</source>
        <translation>Cannot accept: %1</translation>
    </message>
    <message>
        <source>Détection en cours…</source>
        <translation>Detecting…</translation>
    </message>
    <message>
        <source>Adresse obtenue : %1 (%2)</source>
        <translation>Address found: %1 (%2)</translation>
    </message>
    <message>
        <source>Échec : %1</source>
        <translation>Failed: %1</translation>
    </message>
    <message>
        <source>Échec : Adresse N°1 est vide</source>
        <translation>Failed: Adresse N°1 is empty</translation>
    </message>
    <message>
        <source>Envoi en cours…</source>
        <translation>Sending…</translation>
    </message>
    <message>
        <source>Mail d&apos;essai accepté par le serveur</source>
        <translation>Test mail accepted by the server</translation>
    </message>
    <message>
        <source>Échec : emplacement et fichier sans nom de fichier</source>
        <translation>Failed: emplacement et fichier has no file name</translation>
    </message>
    <message>
        <source>%1 envoyé puis supprimé : envoi FTP réussi</source>
        <translation>%1 uploaded then removed: FTP upload works</translation>
    </message>
    <message>
        <source>Enregistrement des mots de passe dans le trousseau…</source>
        <translation>Saving the passwords in the keyring…</translation>
    </message>
    <message>
        <source>Enregistrement impossible : %1</source>
        <translation>Cannot save: %1</translation>
    </message>
    <message>
        <source>adresse de IP detect.php</source>
        <translation>Detection page address</translation>
    </message>
    <message>
        <source>adresse de secours</source>
        <translation>Fallback address</translation>
    </message>
    <message>
        <source>Famille</source>
        <translation>Address family</translation>
    </message>
    <message>
        <source>Certificat</source>
        <translation>CA certificate file</translation>
    </message>
    <message>
        <source>Serveur smtp</source>
        <translation>SMTP server</translation>
    </message>
    <message>
        <source>Securite</source>
        <translation>Security</translation>
    </message>
    <message>
        <source>Utilisateur</source>
        <translation>User name</translation>
    </message>
    <message>
        <source>Mot de passe</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Adresse expediteur</source>
        <translation>Sender address</translation>
    </message>
    <message>
        <source>Message de</source>
        <translation>Sender name</translation>
    </message>
    <message>
        <source>Sujet</source>
        <translation>Subject</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>Message text</translation>
    </message>
    <message>
        <source>Adresse N°%1</source>
        <translation>Address no. %1</translation>
    </message>
    <message>
        <source>Protocole</source>
        <translation>Protocol</translation>
    </message>
    <message>
        <source>ftp hebergeur</source>
        <translation>Host</translation>
    </message>
    <message>
        <source>Nom de domaine (login)</source>
        <translation>Login</translation>
    </message>
    <message>
        <source>fichier à transferer</source>
        <translation>Local file</translation>
    </message>
    <message>
        <source>emplacement et fichier</source>
        <translation>Remote path</translation>
    </message>
    <message>
        <source>Empreinte hote</source>
        <translation>Host key fingerprint</translation>
    </message>
    <message>
        <source>Nom</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Serveur</source>
        <translation>Server</translation>
    </message>
    <message>
        <source>Zone</source>
        <translation>Zone</translation>
    </message>
    <message>
        <source>Cle</source>
        <translation>Key name</translation>
    </message>
    <message>
        <source>Algorithme</source>
        <translation>Algorithm</translation>
    </message>
    <message>
        <source>Secret</source>
        <translation>Secret</translation>
    </message>
    <message>
        <source>TTL</source>
        <translation>TTL</translation>
    </message>
    <message>
        <source>Bip changement IP</source>
        <translation>Sound on address change</translation>
    </message>
    <message>
        <source>Sauve Log</source>
        <translation>Save the log</translation>
    </message>
    <message>
        <source>Upload fichier</source>
        <translation>Upload file</translation>
    </message>
    <message>
        <source>Mail Auto</source>
        <translation>Mail on change</translation>
    </message>
    <message>
        <source>Mode Debug</source>
        <translation>Debug mode</translation>
    </message>
    <message>
        <source>Mise a jour DNS</source>
        <translation>DNS update</translation>
    </message>
    <message>
        <source>Demarrage auto</source>
        <translation>Watch at start-up</translation>
    </message>
    <message>
        <source>Fermer vers icone</source>
        <translation>Close to the notification area</translation>
    </message>
    <message>
        <source>Intervalle</source>
        <translation>Interval</translation>
    </message>
    <message>
        <source>2 minutes</source>
        <translation>2 minutes</translation>
    </message>
    <message>
        <source>10 minutes</source>
        <translation>10 minutes</translation>
    </message>
    <message>
        <source>1 heure</source>
        <translation>1 hour</translation>
    </message>
    <message>
        <source>Détection</source>
        <translation>Detection</translation>
    </message>
    <message>
        <source>Mail</source>
        <translation>Mail</translation>
    </message>
    <message>
        <source>Upload</source>
        <translation>Upload</translation>
    </message>
    <message>
        <source>DNS</source>
        <translation>DNS</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>Tester la détection</source>
        <translation>Test detection</translation>
    </message>
    <message>
        <source>Envoyer un mail d&apos;essai</source>
        <translation>Send a test mail</translation>
    </message>
    <message>
        <source>Tester l&apos;envoi FTP</source>
        <translation>Test the upload</translation>
    </message>
</context>
<context>
    <name>corvane::Moteur</name>
    <message>
        <source>Etes-vous sûr(e) de vouloir quitter ?</source>
        <translation>Are you sure you want to quit?</translation>
    </message>
</context>
<context>
    <name>corvane::ReadFileTxtWindow</name>
    <message>
        <source>LOG - Debug assemblage fichier </source>
        <translation>LOG - Debug file assembly </translation>
    </message>
</context>
<context>
    <name>corvane::SmtpWindow</name>
    <message>
        <source>LOG - Debug transfert smtp</source>
        <translation>LOG - Debug SMTP transfer</translation>
    </message>
    <message>
        <source>Adresse Mail Disponible</source>
        <translation>Available mail addresses</translation>
    </message>
</context>
<context>
    <name>corvane::Tray</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>toujours en cours</source>
        <translation>still under way</translation>
    </message>
    <message>
        <source>échec</source>
        <translation>failed</translation>
    </message>
    <message>
        <source>échec, %1</source>
        <translation>failed, %1</translation>
    </message>
    <message>
        <source>tous envoyés</source>
        <translation>all sent</translation>
    </message>
    <message>
        <source>%1 refusé(s)</source>
        <translation>%1 refused</translation>
    </message>
    <message>
        <source>désactivés</source>
        <translation>off</translation>
    </message>
    <message>
        <source>%1 → %2
Mails : %3
Upload : %4
DNS : %5</source>
        <translation>%1 → %2
Mails: %3
Upload: %4
DNS: %5</translation>
    </message>
    <message>
        <source>désactivé</source>
        <translation>off</translation>
    </message>
    <message>
        <source>Changement IP</source>
        <translation>IP change</translation>
    </message>
    <message>
        <source>Erreur détection</source>
        <translation>Detection error</translation>
    </message>
    <message>
        <source>Mise à jour DNS</source>
        <translation>DNS update</translation>
    </message>
    <message>
        <source>Fermer dans la zone de notification</source>
        <translation>Close to the notification area</translation>
    </message>
    <message>
        <source>Lancer à l&apos;ouverture de session</source>
        <translation>Start at login</translation>
    </message>
    <message>
        <source>Masquer la fenêtre</source>
        <translation>Hide the window</translation>
    </message>
    <message>
        <source>Afficher la fenêtre</source>
        <translation>Show the window</translation>
    </message>
    <message>
        <source>Acquitter l&apos;alarme</source>
        <translation>Acknowledge the alarm</translation>
    </message>
    <message>
        <source>Quitter</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>Corvane : arrêté</source>
        <translation>Corvane: stopped</translation>
    </message>
    <message>
        <source>Corvane : surveillance</source>
        <translation>Corvane: watching</translation>
    </message>
    <message>
        <source>Corvane : l&apos;adresse a changé</source>
        <translation>Corvane: the address changed</translation>
    </message>
    <message>
        <source>
IP : %1</source>
        <translation>
IP: %1</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Lancer à l&apos;ouverture de session : %1</source>
        <translation>Start at login: %1</translation>
    </message>
</context>
</TS>
