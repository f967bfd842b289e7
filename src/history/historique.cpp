#include "history/historique.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <array>
#include <memory>
#include <utility>

Q_LOGGING_CATEGORY(corvane::lcHistorique, "corvane.history")

namespace corvane {

namespace {

using Issue = BilanChangement::Issue;

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

// Words rather than numbers, for whoever reads the file with sqlite3.
const std::array<std::pair<Issue, QLatin1String>, 4> kIssues = {{
    {Issue::Desactive, QLatin1String("desactive")},
    {Issue::Ok, QLatin1String("ok")},
    {Issue::Echec, QLatin1String("echec")},
    {Issue::EnCours, QLatin1String("sans reponse")},
}};

QString texte(Issue issue)
{
    for (const auto& [i, t] : kIssues) {
        if (i == issue) {
            return t;
        }
    }
    return {};
}

Issue issue(const QString& t)
{
    for (const auto& [i, mot] : kIssues) {
        if (mot == t) {
            return i;
        }
    }
    return Issue::EnCours;
}

QString iso(const QDateTime& t)
{
    return t.isValid() ? t.toUTC().toString(Qt::ISODate) : QString();
}

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

QString champCsv(const QString& v)
{
    if (!v.contains(u',') && !v.contains(u'"') && !v.contains(u'\r') && !v.contains(u'\n')) {
        return v;
    }
    return u'"' + QString(v).replace(u'"', QLatin1String("\"\"")) + u'"';
}

} // namespace

Changement changementDe(const BilanChangement& b)
{
    return Changement{b.heure.toUTC(), b.ancienne, b.nouvelle,   b.secours,
                      b.urlDetection,  b.mails,    b.parAdresse, b.upload,
                      b.raisonUpload,  b.dns,      b.raisonDns};
}

QByteArray exporteCsv(const QList<Changement>& changements, const QList<Echec>& echecs)
{
    struct Ligne {
        QDateTime heure;
        QStringList champs;
    };
    QList<Ligne> lignes;
    for (const Changement& c : changements) {
        QStringList mails;
        for (const IssueMail& m : c.parAdresse) {
            mails << m.adresse +
                         (m.ok ? QStringLiteral(" : ok") : QStringLiteral(" : ") + m.raison);
        }
        lignes.append(
            {c.heure,
             {QStringLiteral("changement"), iso(c.heure), QString(), c.ancienne, c.nouvelle,
              c.secours ? QStringLiteral("secours") : QStringLiteral("principale"), c.url,
              texte(c.mails), mails.join(QLatin1String("; ")), texte(c.upload), c.raisonUpload,
              texte(c.dns), c.raisonDns, QString()}});
    }
    for (const Echec& e : echecs) {
        QStringList champs(14); // the columns of a change stay empty
        champs[0] = QStringLiteral("echec");
        champs[1] = iso(e.debut);
        champs[2] = iso(e.fin);
        champs.back() = e.raison;
        lignes.append({e.debut, champs});
    }
    std::stable_sort(lignes.begin(), lignes.end(),
                     [](const Ligne& a, const Ligne& b) { return a.heure < b.heure; });
    QString csv = QStringLiteral("type,debut,fin,ancienne,nouvelle,detection,url,mails,"
                                 "mails_par_adresse,upload,raison_upload,dns,raison_dns,"
                                 "raison\r\n");
    for (const Ligne& l : lignes) {
        QStringList champs;
        for (const QString& c : l.champs) {
            champs << champCsv(c);
        }
        csv += champs.join(u',') + QLatin1String("\r\n");
    }
    return csv.toUtf8();
}

Historique::Historique(const QString& chemin, QObject* parent)
    : QObject(parent), chemin_(QFileInfo(chemin).absoluteFilePath())
{}

Historique::~Historique()
{
    // The program ends, and with it the run of failed checks it was watching.
    if (echecOuvert_ && clock_) {
        finEchec(clock_->now());
    }
    if (!connexion_.isEmpty()) {
        QSqlDatabase::database(connexion_, false).close();
        QSqlDatabase::removeDatabase(connexion_);
    }
}

void Historique::suit(Moteur& moteur, const Clock& clock)
{
    clock_ = &clock;
    auto enEchec = std::make_shared<bool>(false);
    const auto rapporte = [&moteur, enEchec](const Resultat& r) {
        if (r.ok) {
            *enEchec = false;
        } else if (!std::exchange(*enEchec, true)) {
            moteur.journal(QStringLiteral("Historique : ") + r.raison);
        }
    };
    connect(&moteur, &Moteur::changementTermine, this,
            [this, rapporte](const BilanChangement& b) { rapporte(ajoute(changementDe(b))); });
    connect(&moteur, &Moteur::detectionEnEchec, this, [this, rapporte](const QString& raison) {
        rapporte(debutEchec(clock_->now(), raison));
    });
    connect(&moteur, &Moteur::detectionRetablie, this,
            [this, rapporte] { rapporte(finEchec(clock_->now())); });
}

Resultat Historique::ouvre()
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
            } else if (const int v = q.value(0).toInt(); v > kVersion) {
                // Even the journal mode is left as it is: a newer program owns that file.
                r = Resultat::echec(QStringLiteral("%1 est de la version %2, plus r\u00e9cente "
                                                   "que ce programme (%3) : il n'y est rien "
                                                   "\u00e9crit")
                                        .arg(QDir::toNativeSeparators(chemin_))
                                        .arg(v)
                                        .arg(kVersion));
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

Resultat Historique::migre()
{
    const QSqlDatabase db = QSqlDatabase::database(connexion_, false);
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
        return erreur(QStringLiteral("PRAGMA user_version"), q.lastError());
    }
    const int version = q.value(0).toInt();
    for (int v = version; v < kVersion; ++v) {
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

Resultat Historique::transaction(const std::function<Resultat()>& travail)
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

Resultat Historique::ajoute(const Changement& c)
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
            {iso(c.heure), c.ancienne, c.nouvelle,
             c.secours ? QStringLiteral("secours") : QStringLiteral("principale"), c.url,
             texte(c.mails), texte(c.upload), c.raisonUpload, texte(c.dns), c.raisonDns},
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

Resultat Historique::debutEchec(const QDateTime& debut, const QString& raison)
{
    Resultat r = ouvre();
    if (!r.ok) {
        return r;
    }
    const QSqlDatabase db = QSqlDatabase::database(connexion_, false);
    QSqlQuery q(db);
    r = transaction([&] {
        return execute(db, QStringLiteral("INSERT INTO echecs (debut, raison) VALUES (?, ?)"),
                       {iso(debut), raison}, &q);
    });
    if (r.ok) {
        echecOuvert_ = q.lastInsertId().toLongLong();
    }
    return r;
}

Resultat Historique::finEchec(const QDateTime& fin)
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
                       {iso(fin), echecOuvert_});
    });
    if (r.ok) {
        echecOuvert_ = 0;
    }
    return r;
}

QList<Changement> Historique::changements(Resultat* resultat)
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
                                    issue(q.value(6).toString()),
                                    {},
                                    issue(q.value(7).toString()),
                                    q.value(8).toString(),
                                    issue(q.value(9).toString()),
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

QList<Echec> Historique::echecs(Resultat* resultat)
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

} // namespace corvane
