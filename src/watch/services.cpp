#include "watch/services.h"

#include "config/parametres.h"

namespace corvane {

ReglagesMail reglagesMail(const Parametres& p)
{
    ReglagesMail r;
    r.serveur = p.ServeurSmtp;
    r.securite = p.SecuriteSmtp;
    r.utilisateur = p.UtilisateurSmtp;
    r.motDePasse = p.MotDePasseSmtp;
    r.adresseExpediteur = p.AdresseExpediteur;
    r.certificat = p.CertificatSmtp;
    r.messageDe = p.MessageDe;
    r.sujet = p.Sujet;
    r.adresses = p.Adresses;
    return r;
}

ReglagesDns reglagesDns(const Parametres& p)
{
    ReglagesDns r;
    r.protocole = p.ProtocoleDns;
    r.nom = p.NomDns;
    r.serveur = p.ServeurDns;
    r.zone = p.ZoneDns;
    r.cle = p.CleDns;
    r.algorithme = p.AlgorithmeDns;
    r.secret = p.SecretDns;
    r.utilisateur = p.UtilisateurDns;
    r.motDePasse = p.MotDePasseDns;
    r.ttl = p.TtlDns;
    r.certificat = p.CertificatHttp;
    return r;
}

bool miseAJourDnsDemandee(const Parametres& p)
{
    const QString protocole = p.ProtocoleDns.trimmed().toLower();
    return p.MiseAJourDns == QLatin1String("1") && !protocole.isEmpty() &&
           protocole != QLatin1String("aucun");
}

} // namespace corvane
