#include "history/historiquesql.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <array>
#include <functional>
#include <utility>

namespace corvane {
namespace {

// Schema steps: kEtapes[i] takes a database from version i to version i + 1, in the same
// transaction as the new user_version.
const std::array<QStringList, Historique::kVersion> kEtapes = {{
    {QStringLiteral("CREATE TABLE changements (id INTEGER PRIMARY KEY, heure TEXT NOT NULL, "
                    "ancienne TEXT NOT NULL, nouvelle TEXT NOT NULL, detection TEXT NOT NULL, "
                    "url TEXT NOT NULL, mails TEXT NOT NULL, upload TEXT NOT NULL, "
                    "raison_upload TEXT NOT NULL, dns TEXT NOT NULL, raison_dns TEXT NOT NULL)"),
     QStringLiteral("CREATE TABLE mails (changement INTEGER NOT NULL REFERENCES changements(id) "
                    "ON DELETE CASCADE, rang INTEGER NOT NULL, adresse TEXT NOT NULL, "
                    "ok INTEGER NOT NULL, raison TEXT NOT NULL, PRIMARY KEY (changement, rang))"),
     QStringLiteral("CREATE TABLE echecs (id INTEGER PRIMARY KEY, debut TEXT NOT NULL, fin TEXT, "
                    "raison TEXT NOT NULL)")},
}};

QDateTime date(const QVariant& v)
{
    return v.isNull() ? QDateTime() : QDateTime::fromString(v.toString(), Qt::ISODate).toUTC();
}

Resultat erreur(const QString& quoi, const QSqlError& e)
{
    // The driver's own words ("file is not a database"), without Qt's "Unable to ..." tail.
    const QString texte = e.databaseText().isEmpty() ? e.text() : e.databaseText();
    return Resultat::echec(quoi + QStringLiteral(" : ") + texte);
}

// One statement with its values bound in order.
Resultat execute(const QSqlDatabase& db, const QString& sql, const QVariantList& valeurs = {},
                 QSqlQuery* sortie = nullptr)
{
    QSqlQuery q(db);
    if (!q.prepare(sql)) {
        return erreur(sql.section(u' ', 0, 1), q.lastError());
    }
    for (const QVariant& v : valeurs) {
        // A null QString binds as NULL; the columns hold "" for "nothing to say".
        const bool vide = v.typeId() == QMetaType::QString && v.toString().isNull();
        q.addBindValue(vide ? QVariant(QString::fromLatin1("")) : v);
    }
    if (!q.exec()) {
        return erreur(sql.section(u' ', 0, 1), q.lastError());
    }
    if (sortie) {
        *sortie = std::move(q);
    }
    return Resultat::succes();
}

class HistoriqueSql final : public StockHistorique {
public:
    explicit HistoriqueSql(QString chemin) : chemin_(std::move(chemin)) {}
    ~HistoriqueSql() override;

    Resultat ajoute(const Changement& c) override;
    Resultat debutEchec(const QDateTime& debut, const QString& raison) override;
    Resultat finEchec(const QDateTime& fin) override;
    QList<Changement> changements(Resultat* r) override;
    QList<Echec> echecs(Resultat* r) override;

private:
    Resultat ouvre();
    Resultat migre();
    Resultat transaction(const std::function<Resultat()>& travail);

    QString chemin_;
    QString connexion_; // the name of this object's Qt SQL connection; empty until opened
    qint64 echecOuvert_ = 0;
};

HistoriqueSql::~HistoriqueSql()
{
    if (!connexion_.isEmpty()) {
        QSqlDatabase::database(connexion_, false).close();
        QSqlDatabase::removeDatabase(connexion_);
    }
}

Resultat HistoriqueSql::ouvre()
{
    if (!connexion_.isEmpty()) {
        return Resultat::succes();
    }
    const QString nom = QStringLiteral("corvane.historique.%1").arg(quintptr(this), 0, 16);
    Resultat r;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), nom);
        if (!db.isValid()) {
            r = Resultat::echec(QStringLiteral("pilote SQLite de Qt absent (libqt6sql6-sqlite)"));
        } else {
            // A lock held elsewhere (sqlite3 writing) is waited for, within a bound.
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=3000"));
            db.setDatabaseName(chemin_);
            QSqlQuery q(db);
            if (!db.open()) {
                r = erreur(QDir::toNativeSeparators(chemin_), db.lastError());
            } else if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
                // Also where a file that is no database shows: it is left as it is.
                r = erreur(QDir::toNativeSeparators(chemin_), q.lastError());
            } else if (const int v = q.value(0).toInt(); v > Historique::kVersion) {
                // Even the journal mode is left as it is: a newer program owns that file.
                r = Resultat::echec(QStringLiteral("%1 est de la version %2, plus r\u00e9cente "
                                                   "que ce programme (%3) : il n'y est rien "
                                                   "\u00e9crit")
                                        .arg(QDir::toNativeSeparators(chemin_))
                                        .arg(v)
                                        .arg(Historique::kVersion));
            } else if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !q.next()) {
                r = erreur(QDir::toNativeSeparators(chemin_), q.lastError());
            } else {
                // WAL keeps each commit whole through a kill; FULL also through a power cut,
                // at one sync per record, which a change every few days can afford.
                r = execute(db, QStringLiteral("PRAGMA synchronous=FULL"));
                if (r.ok) {
                    r = execute(db, QStringLiteral("PRAGMA foreign_keys=ON"));
                }
            }
        }
    }
    if (!r.ok) {
        QSqlDatabase::removeDatabase(nom);
        qCWarning(lcHistorique).noquote() << r.raison;
        return r;
    }
    connexion_ = nom;
    r = migre();
    if (!r.ok) {
        qCWarning(lcHistorique).noquote() << r.raison;
        QSqlDatabase::database(connexion_, false).close();
        QSqlDatabase::removeDatabase(std::exchange(connexion_, {}));
    }
    return r;
}

Resultat HistoriqueSql::migre()
{
    const QSqlDatabase db = QSqlDatabase::database(connexion_, false);
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
        return erreur(QStringLiteral("PRAGMA user_version"), q.lastError());
    }
    const int version = q.value(0).toInt();
    for (int v = version; v < Historique::kVersion; ++v) {
        const Resultat r = transaction([&] {
            for (const QString& sql : kEtapes[std::size_t(v)]) {
                if (Resultat e = execute(db, sql); !e.ok) {
                    return e;
                }
            }
            return execute(db, QStringLiteral("PRAGMA user_version=%1").arg(v + 1));
        });
        if (!r.ok) {
            return r;
        }
        qCInfo(lcHistorique) << "database" << chemin_ << "now at version" << v + 1;
    }
    return Resultat::succes();
}

Resultat HistoriqueSql::transaction(const std::function<Resultat()>& travail)
{
    QSqlDatabase db = QSqlDatabase::database(connexion_, false);
    if (!db.transaction()) {
        return erreur(QStringLiteral("BEGIN"), db.lastError());
    }
    Resultat r = travail();
    if (r.ok && !db.commit()) {
        r = erreur(QStringLiteral("COMMIT"), db.lastError());
    }
    if (!r.ok) {
        db.rollback();
    }
    return r;
}

Resultat HistoriqueSql::ajoute(const Changement& c)
{
    Resultat r = ouvre();
    if (!r.ok) {
        return r;
    }
    const QSqlDatabase db = QSqlDatabase::database(connexion_, false);
    r = transaction([&] {
        QSqlQuery q(db);
        Resultat e = execute(
            db,
            QStringLiteral("INSERT INTO changements (heure, ancienne, nouvelle, detection, url, "
                           "mails, upload, raison_upload, dns, raison_dns) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            {isoUtc(c.heure), c.ancienne, c.nouvelle,
             c.secours ? QStringLiteral("secours") : QStringLiteral("principale"), c.url,
             texteIssue(c.mails), texteIssue(c.upload), c.raisonUpload, texteIssue(c.dns),
             c.raisonDns},
            &q);
        const QVariant id = q.lastInsertId();
        for (qsizetype i = 0; e.ok && i < c.parAdresse.size(); ++i) {
            const IssueMail& m = c.parAdresse[i];
            e = execute(db,
                        QStringLiteral("INSERT INTO mails (changement, rang, adresse, ok, raison) "
                                       "VALUES (?, ?, ?, ?, ?)"),
                        {id, qint64(i), m.adresse, int(m.ok), m.raison});
        }
        return e;
    });
    return r;
}

Resultat HistoriqueSql::debutEchec(const QDateTime& debut, const QString& raison)
{
    Resultat r = ouvre();
    if (!r.ok) {
        return r;
    }
    const QSqlDatabase db = QSqlDatabase::database(connexion_, false);
    QSqlQuery q(db);
    r = transaction([&] {
        return execute(db, QStringLiteral("INSERT INTO echecs (debut, raison) VALUES (?, ?)"),
                       {isoUtc(debut), raison}, &q);
    });
    if (r.ok) {
        echecOuvert_ = q.lastInsertId().toLongLong();
    }
    return r;
}

Resultat HistoriqueSql::finEchec(const QDateTime& fin)
{
    if (!echecOuvert_) {
        return Resultat::succes(); // its start could not be written: nothing to end
    }
    Resultat r = ouvre();
    if (!r.ok) {
        return r;
    }
    const QSqlDatabase db = QSqlDatabase::database(connexion_, false);
    r = transaction([&] {
        return execute(db, QStringLiteral("UPDATE echecs SET fin = ? WHERE id = ?"),
                       {isoUtc(fin), echecOuvert_});
    });
    if (r.ok) {
        echecOuvert_ = 0;
    }
    return r;
}

QList<Changement> HistoriqueSql::changements(Resultat* resultat)
{
    QList<Changement> liste;
    Resultat r = QFileInfo::exists(chemin_) ? ouvre() : Resultat::succes();
    if (r.ok && !connexion_.isEmpty()) {
        const QSqlDatabase db = QSqlDatabase::database(connexion_, false);
        QSqlQuery q(db);
        QSqlQuery m(db);
        r = execute(db,
                    QStringLiteral("SELECT id, heure, ancienne, nouvelle, detection, url, mails, "
                                   "upload, raison_upload, dns, raison_dns FROM changements "
                                   "ORDER BY heure, id"),
                    {}, &q);
        while (r.ok && q.next()) {
            liste.append(Changement{date(q.value(1)),
                                    q.value(2).toString(),
                                    q.value(3).toString(),
                                    q.value(4).toString() == QLatin1String("secours"),
                                    q.value(5).toString(),
                                    issueDe(q.value(6).toString()),
                                    {},
                                    issueDe(q.value(7).toString()),
                                    q.value(8).toString(),
                                    issueDe(q.value(9).toString()),
                                    q.value(10).toString()});
            r = execute(db,
                        QStringLiteral("SELECT adresse, ok, raison FROM mails "
                                       "WHERE changement = ? ORDER BY rang"),
                        {q.value(0)}, &m);
            while (r.ok && m.next()) {
                liste.back().parAdresse.append(
                    {m.value(0).toString(), m.value(1).toBool(), m.value(2).toString()});
            }
        }
    }
    if (resultat) {
        *resultat = r;
    }
    return liste;
}

QList<Echec> HistoriqueSql::echecs(Resultat* resultat)
{
    QList<Echec> liste;
    Resultat r = QFileInfo::exists(chemin_) ? ouvre() : Resultat::succes();
    if (r.ok && !connexion_.isEmpty()) {
        const QSqlDatabase db = QSqlDatabase::database(connexion_, false);
        QSqlQuery q(db);
        r = execute(db,
                    QStringLiteral("SELECT id, debut, fin, raison FROM echecs ORDER BY debut, id"),
                    {}, &q);
        while (r.ok && q.next()) {
            liste.append({q.value(0).toLongLong(), date(q.value(1)), date(q.value(2)),
                          q.value(3).toString()});
        }
    }
    if (resultat) {
        *resultat = r;
    }
    return liste;
}

const TableHistorique kTable{
    kVersionTableHistorique,
    [](const QString& chemin) -> StockHistorique* { return new HistoriqueSql(chemin); }};

} // namespace
} // namespace corvane

const corvane::TableHistorique* corvane_table_historique()
{
    return &corvane::kTable;
}
