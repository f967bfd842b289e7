#pragma once
// The change history: each change of address with what its actions came to, and each run of
// failed checks, kept in an SQLite database "corvane.db" beside the log so that it outlives
// the console's text and can be read with sqlite3. The database is opened at the first record
// or read, not at start-up: the SQL plugin costs time and memory a launch should not pay.

#include "platform/resultat.h"
#include "watch/moteur.h"

#include <QDateTime>
#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QString>

#include <memory>

namespace corvane {

Q_DECLARE_LOGGING_CATEGORY(lcHistorique)

inline const QString kNomHistorique = QStringLiteral("corvane.db");

struct Changement {
    QDateTime heure; // UTC
    QString ancienne;
    QString nouvelle;
    bool secours = false; // the fallback detection page answered
    QString url;
    BilanChangement::Issue mails = BilanChangement::Issue::Desactive;
    QList<IssueMail> parAdresse;
    BilanChangement::Issue upload = BilanChangement::Issue::Desactive;
    QString raisonUpload;
    BilanChangement::Issue dns = BilanChangement::Issue::Desactive;
    QString raisonDns;
};
Changement changementDe(const BilanChangement& bilan);

// A run of failed checks: from the first failure to the first good answer after it, or to
// the program's end. fin is null while it lasts, and stays so when the program died in it.
struct Echec {
    qint64 id = 0;
    QDateTime debut; // UTC
    QDateTime fin;
    QString raison;
};

// How an action's outcome is written in the database and the CSV: words rather than numbers,
// for whoever reads the file with sqlite3.
QString texteIssue(BilanChangement::Issue issue);
BilanChangement::Issue issueDe(const QString& texte);
QString isoUtc(const QDateTime& t); // empty for an invalid time

// The database itself, behind the history (history/historiquesql.h): each call one
// transaction; the database is opened at the first.
class StockHistorique {
public:
    virtual ~StockHistorique() = default;
    virtual Resultat ajoute(const Changement& c) = 0;
    virtual Resultat debutEchec(const QDateTime& debut, const QString& raison) = 0;
    virtual Resultat finEchec(const QDateTime& fin) = 0; // the run it opened, if any
    // A database that does not exist yet reads as empty and is not created.
    virtual QList<Changement> changements(Resultat* r) = 0;
    virtual QList<Echec> echecs(Resultat* r) = 0;
};

// The history as text, one line per change or failure run in time order: RFC 4180 (CR LF,
// quoted fields where needed), UTF-8, a header row.
QByteArray exporteCsv(const QList<Changement>& changements, const QList<Echec>& echecs);

class Historique : public QObject {
    Q_OBJECT
public:
    // Each step of kEtapes takes the schema one version up; a new version adds a step.
    static constexpr int kVersion = 1;

    // chemin: taken from the current folder when relative, now.
    explicit Historique(const QString& chemin = kNomHistorique, QObject* parent = nullptr);
    ~Historique() override;

    QString chemin() const { return chemin_; }

    // Records the engine's changes and failure runs, at clock's time for the runs. The first
    // record that cannot be written is said once in the engine's log, until one is again.
    void suit(Moteur& moteur, const Clock& clock);

    // Each one a single transaction.
    Resultat ajoute(const Changement& c);
    Resultat debutEchec(const QDateTime& debut, const QString& raison);
    Resultat finEchec(const QDateTime& fin); // the run this object opened, if any

    // In time order. A database that does not exist yet reads as empty and is not created.
    QList<Changement> changements(Resultat* r = nullptr);
    QList<Echec> echecs(Resultat* r = nullptr);

private:
    StockHistorique* stock(Resultat& r); // null with r saying why

    QString chemin_;
    std::unique_ptr<StockHistorique> stock_; // made with the first record or read
    const Clock* clock_ = nullptr;
};

} // namespace corvane
