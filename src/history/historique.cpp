#include "history/historique.h"

#include "history/historiquesql.h"
#include "platform/modules.h"

#include <QFileInfo>

#include <algorithm>
#include <array>
#include <memory>
#include <utility>

Q_LOGGING_CATEGORY(corvane::lcHistorique, "corvane.history")

namespace corvane {

namespace {

using Issue = BilanChangement::Issue;

const std::array<std::pair<Issue, QLatin1String>, 4> kIssues = {{
    {Issue::Desactive, QLatin1String("desactive")},
    {Issue::Ok, QLatin1String("ok")},
    {Issue::Echec, QLatin1String("echec")},
    {Issue::EnCours, QLatin1String("sans reponse")},
}};

QString champCsv(const QString& v)
{
    if (!v.contains(u',') && !v.contains(u'"') && !v.contains(u'\r') && !v.contains(u'\n')) {
        return v;
    }
    return u'"' + QString(v).replace(u'"', QLatin1String("\"\"")) + u'"';
}

} // namespace

QString texteIssue(Issue issue)
{
    for (const auto& [i, t] : kIssues) {
        if (i == issue) {
            return t;
        }
    }
    return {};
}

Issue issueDe(const QString& t)
{
    for (const auto& [i, mot] : kIssues) {
        if (mot == t) {
            return i;
        }
    }
    return Issue::EnCours;
}

QString isoUtc(const QDateTime& t)
{
    return t.isValid() ? t.toUTC().toString(Qt::ISODate) : QString();
}

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
             {QStringLiteral("changement"), isoUtc(c.heure), QString(), c.ancienne, c.nouvelle,
              c.secours ? QStringLiteral("secours") : QStringLiteral("principale"), c.url,
              texteIssue(c.mails), mails.join(QLatin1String("; ")), texteIssue(c.upload),
              c.raisonUpload, texteIssue(c.dns), c.raisonDns, QString()}});
    }
    for (const Echec& e : echecs) {
        QStringList champs(14); // the columns of a change stay empty
        champs[0] = QStringLiteral("echec");
        champs[1] = isoUtc(e.debut);
        champs[2] = isoUtc(e.fin);
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
    if (clock_) {
        finEchec(clock_->now());
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

StockHistorique* Historique::stock(Resultat& r)
{
    if (!stock_) {
        static const auto module = chargeTable<TableHistorique>(
            kModuleHistorique, "corvane_table_historique", kVersionTableHistorique, "historique");
        if (!module.table) {
            r = Resultat::echec(module.erreur);
            qCWarning(lcHistorique).noquote() << r.raison;
            return nullptr;
        }
        stock_.reset(module.table->cree(chemin_));
    }
    return stock_.get();
}

Resultat Historique::ajoute(const Changement& c)
{
    Resultat r;
    return stock(r) ? stock_->ajoute(c) : r;
}

Resultat Historique::debutEchec(const QDateTime& debut, const QString& raison)
{
    Resultat r;
    return stock(r) ? stock_->debutEchec(debut, raison) : r;
}

Resultat Historique::finEchec(const QDateTime& fin)
{
    // Without a store, no run was opened.
    return stock_ ? stock_->finEchec(fin) : Resultat::succes();
}

QList<Changement> Historique::changements(Resultat* resultat)
{
    Resultat r;
    QList<Changement> liste = stock(r) ? stock_->changements(&r) : QList<Changement>();
    if (resultat) {
        *resultat = r;
    }
    return liste;
}

QList<Echec> Historique::echecs(Resultat* resultat)
{
    Resultat r;
    QList<Echec> liste = stock(r) ? stock_->echecs(&r) : QList<Echec>();
    if (resultat) {
        *resultat = r;
    }
    return liste;
}

} // namespace corvane
