#pragma once
// Stand-ins for the network clients that load the network library (reseau/tablereseau.h) at
// their first request and pass everything on to the real client from then on. When the
// library cannot be loaded, each request still ends the way its interface promises, later
// and once, with the loader's reason.

#include "mail/dialoguemail.h"
#include "watch/services.h"

#include <optional>
#include <utility>

namespace corvane {

class Clock;
struct TableReseau;

// The network library's table, loaded once per process; null with the reason in erreur.
const TableReseau* tableReseau(QString* erreur);

class DetecteurDiffere : public Detecteur {
    Q_OBJECT
public:
    using Detecteur::Detecteur;
    void setDelai(int ms) { delaiMs_ = ms; } // bound on each page; before the first demarre()
    void demarre(const RequeteDetection& requete) override;
    bool enCours() const override;

private:
    Detecteur* reel_ = nullptr;
    int delaiMs_ = 0;
    bool echec_ = false; // a refusal is on its way to termine()
};

class DialogueSmtpDiffere : public DialogueMail {
    Q_OBJECT
public:
    using DialogueMail::DialogueMail;
    void setDelais(int connexionMs, int reponseMs) override;
    bool envoie(const EnvoiMail& envoi) override;
    bool enCours() const override;

private:
    DialogueMail* reel_ = nullptr;
    std::optional<std::pair<int, int>> delais_;
    bool echec_ = false;
};

class MiseAJourDnsDifferee : public ServiceDns {
    Q_OBJECT
public:
    explicit MiseAJourDnsDifferee(Clock* horloge, QObject* parent = nullptr)
        : ServiceDns(parent), horloge_(horloge)
    {}
    void miseAJour(const ReglagesDns& reglages, const QString& adresse) override;

private:
    Clock* horloge_;
    ServiceDns* reel_ = nullptr;
};

} // namespace corvane
