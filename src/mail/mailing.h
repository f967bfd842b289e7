#pragma once
// The notification mailings without a window: the queue of mailings, one SMTP dialogue per
// address of the list, the report of each mailing. It also keeps what the debug window shows
// (the dialogue log, the activity count, the address list), so that a window opened late shows
// the dialogue so far.

#include "watch/services.h"

#include <QLoggingCategory>
#include <QString>

#include <array>
#include <deque>

Q_DECLARE_LOGGING_CATEGORY(lcMail)

namespace corvane {

class Clock;
class DialogueMail;
struct ResultatEnvoi;

class Mailing : public ServiceMail {
    Q_OBJECT
public:
    // The ten slots "Adresse N°1" to "Adresse N°10", and an empty last entry.
    static constexpr int kEntrees = 11;
    // The dialogue log keeps its end: a server that floods each mail's dialogue would
    // otherwise grow it for the whole run.
    static constexpr qsizetype kLogMax = 256 * 1024;

    explicit Mailing(const Clock& clock, QObject* parent = nullptr);
    ~Mailing() override;

    // The address list and the server, login, sender and subject, for the dialogues to come
    // (also those of a mailing under way).
    void InitSmtp(const ReglagesMail& reglages) override;
    // Every non-empty address gets its own dialogue, in order, its report block numbered by
    // its slot ("Mail N°4" for "Adresse N°4"). A failure of the connection itself (settings,
    // connection, TLS, login, time-out) ends the mailing at once: each address not yet mailed
    // gets the same reason, with no dialogue of its own.
    void BoucleSend(const QString& message, const QString& ipActuelle) override;

    // Bounds of each wait (connection, each reply), 30 000 ms unless set.
    void setDelais(int connexionMs, int reponseMs);

    // What the debug window shows.
    QString texteLog() const { return log_; }       // each entry as CR LF + the entry
    qint64 activites() const { return activites_; } // arrivals of server data so far
    const std::array<QString, kEntrees>& liste() const { return liste_; }

    QString TexteUTC() const { return texteUTC_; } // the stamp of the last BoucleSend
    QString CorpsMail() const { return corpsMail_; }
    int NumMail() const { return numMail_; }
    QString Rapport() const { return rapport_; }
    bool enCours() const { return enCours_; }
    int enAttente() const { return static_cast<int>(attente_.size()); }

signals:
    void dialogue(const QString& ligne); // what texteLog() just grew by
    void activite();
    void listeChangee();

private:
    void demarreMailingSuivant();
    void EnvoiSmtp();
    void finEnvoi(const ResultatEnvoi& resultat);
    void finMailing();
    void ajouteBloc(int index, const QString& adresse, const ResultatEnvoi& resultat);
    int adresseSuivante(int apres) const; // the next non-empty entry after apres, or -1
    void ajouteAuLog(const QString& entree);

    const Clock& clock_;
    DialogueMail* ws_ = nullptr;

    ReglagesMail reglages_;
    std::array<QString, kEntrees> liste_;
    QString destinataire_; // the address of the dialogue under way, as it was sent
    QString corpsMail_;
    QString texteUTC_;
    int numMail_ = 0;
    QString rapport_;
    int envoyes_ = 0; // mails of the mailing under way the server took
    int refuses_ = 0; // its addresses that got no mail
    QList<IssueMail> parAdresse_;

    QString log_;
    qint64 activites_ = 0;

    bool enCours_ = false;
    std::deque<QString> attente_; // the bodies of the mailings waiting their turn
};

} // namespace corvane
