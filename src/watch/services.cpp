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

} // namespace corvane
