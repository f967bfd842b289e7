#include "ui/historiquewindow.h"

#include "platform/atomicfile.h"

#include <QAbstractTableModel>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace corvane {

namespace {

// The date and hour forms every text of the program uses, whatever the locale.
QString enClair(const QDateTime& t)
{
    return t.isValid() ? t.toLocalTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"))
                       : QString();
}

QString enClair(BilanChangement::Issue issue, const QString& raison = {})
{
    switch (issue) {
    case BilanChangement::Issue::Desactive:
        return FenetreHistorique::tr("désactivé");
    case BilanChangement::Issue::Ok:
        return FenetreHistorique::tr("OK");
    case BilanChangement::Issue::Echec:
        return raison.isEmpty() ? FenetreHistorique::tr("échec")
                                : FenetreHistorique::tr("échec : %1").arg(raison);
    case BilanChangement::Issue::EnCours:
        break;
    }
    return FenetreHistorique::tr("sans réponse");
}

const QColor kRougeEchec(200, 30, 30);
constexpr int kHaut = 10;  // above the first lane
constexpr int kPiste = 26; // one address's lane

} // namespace

// Changes and failure runs, the newest first.
class ModeleHistorique : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void montre(const QList<Changement>& changements, const QList<Echec>& echecs)
    {
        beginResetModel();
        lignes_.clear();
        for (qsizetype i = 0; i < changements.size(); ++i) {
            const Changement& c = changements[i];
            lignes_.append({c.heure, ligne(c), infobulle(c), c.url, false});
            if (i + 1 < changements.size()) { // the new address was held until the next one
                lignes_.back().champs[1] = enClair(changements[i + 1].heure);
            }
        }
        for (const Echec& e : echecs) {
            const QString fin = e.fin.isValid() ? enClair(e.fin) : FenetreHistorique::tr("-");
            lignes_.append({e.debut,
                            {enClair(e.debut),
                             fin,
                             FenetreHistorique::tr("Échecs"),
                             {},
                             {},
                             e.raison,
                             {},
                             {},
                             {}},
                            {},
                            {},
                            true});
        }
        std::stable_sort(lignes_.begin(), lignes_.end(),
                         [](const Ligne& a, const Ligne& b) { return a.heure > b.heure; });
        endResetModel();
    }

    int rowCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : int(lignes_.size());
    }
    int columnCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : int(titres().size());
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        const Ligne& l = lignes_.at(index.row());
        if (role == Qt::DisplayRole) {
            return l.champs.value(index.column());
        }
        if (role == Qt::ToolTipRole && index.column() == 5) {
            return l.url;
        }
        if (role == Qt::ToolTipRole && index.column() == 6) {
            return l.mails;
        }
        if (role == Qt::ForegroundRole && l.echec) {
            return kRougeEchec;
        }
        return {};
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (o == Qt::Horizontal && role == Qt::DisplayRole) {
            return titres().value(section);
        }
        return QAbstractTableModel::headerData(section, o, role);
    }

private:
    struct Ligne {
        QDateTime heure;
        QStringList champs;
        QString mails; // each address's outcome
        QString url;   // the detection page that answered
        bool echec;
    };

    static QStringList titres()
    {
        return {FenetreHistorique::tr("Début"),
                FenetreHistorique::tr("Fin"),
                FenetreHistorique::tr("Événement"),
                FenetreHistorique::tr("Ancienne adresse"),
                FenetreHistorique::tr("Nouvelle adresse"),
                FenetreHistorique::tr("Détection"),
                FenetreHistorique::tr("Mails"),
                FenetreHistorique::tr("Upload"),
                FenetreHistorique::tr("DNS")};
    }
    static QStringList ligne(const Changement& c)
    {
        QString mails = enClair(c.mails);
        if (!c.parAdresse.isEmpty()) {
            const auto ok = std::count_if(c.parAdresse.begin(), c.parAdresse.end(),
                                          [](const IssueMail& m) { return m.ok; });
            mails = FenetreHistorique::tr("%1 sur %2 envoyé(s)").arg(ok).arg(c.parAdresse.size());
        }
        return {enClair(c.heure),
                {},
                FenetreHistorique::tr("Changement"),
                c.ancienne,
                c.nouvelle,
                c.secours ? FenetreHistorique::tr("secours") : FenetreHistorique::tr("principale"),
                mails,
                enClair(c.upload, c.raisonUpload),
                enClair(c.dns, c.raisonDns)};
    }
    static QString infobulle(const Changement& c)
    {
        QStringList lignes;
        for (const IssueMail& m : c.parAdresse) {
            lignes << m.adresse + QStringLiteral(" : ") +
                          (m.ok ? FenetreHistorique::tr("envoyé") : m.raison);
        }
        return lignes.join(u'\n');
    }

    QList<Ligne> lignes_;
};

Chronologie::Chronologie(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("chronologie"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Chronologie::montre(const QList<Changement>& changements, const QList<Echec>& echecs)
{
    barres_.clear();
    echecs_.clear();
    adresses_.clear();
    fin_ = QDateTime::currentDateTimeUtc();
    QDateTime premier = fin_;
    if (!changements.isEmpty()) {
        premier = std::min(premier, changements.first().heure);
    }
    if (!echecs.isEmpty()) {
        premier = std::min(premier, echecs.first().debut);
    }
    // Some room before the first event, where the address held before it is drawn.
    debut_ = premier.addSecs(-std::max<qint64>(premier.secsTo(fin_) / 10, 3600));
    const auto tient = [this](const QString& adresse, const QDateTime& de, const QDateTime& a) {
        if (adresse.isEmpty()) {
            return;
        }
        if (!adresses_.contains(adresse)) {
            adresses_.append(adresse);
        }
        barres_.append({adresse, de, a});
    };
    for (qsizetype i = 0; i < changements.size(); ++i) {
        const Changement& c = changements[i];
        if (i == 0) {
            tient(c.ancienne, debut_, c.heure);
        }
        tient(c.nouvelle, c.heure, i + 1 < changements.size() ? changements[i + 1].heure : fin_);
    }
    for (const Echec& e : echecs) {
        // A run whose end was not seen (the program died in it) is drawn to the next event.
        QDateTime fin = e.fin;
        if (!fin.isValid()) {
            fin = fin_;
            for (const Changement& c : changements) {
                if (c.heure > e.debut) {
                    fin = std::min(fin, c.heure);
                }
            }
        }
        echecs_.append({e.raison, e.debut, fin});
    }
    updateGeometry();
    update();
}

// The lanes, then the axis and its dates.
QSize Chronologie::sizeHint() const
{
    return {760, kHaut + kPiste * int(std::max<qsizetype>(adresses_.size(), 1)) + 18 +
                     fontMetrics().height()};
}

void Chronologie::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    p.setPen(palette().color(QPalette::Text));
    const QFontMetrics fm = fontMetrics();
    int gauche = 12;
    for (const QString& a : adresses_) {
        gauche = std::max(gauche, fm.horizontalAdvance(a) + 16);
    }
    const int droite = width() - 16;
    const int haut = kHaut;
    const int piste = kPiste;
    const int bas = haut + piste * int(std::max<qsizetype>(adresses_.size(), 1));
    barresDessinees_ = 0;
    if (adresses_.isEmpty() && echecs_.isEmpty()) {
        p.drawText(rect(), Qt::AlignCenter, tr("Aucun changement enregistré"));
        return;
    }
    const double duree = std::max<qint64>(debut_.msecsTo(fin_), 1);
    const auto x = [&](const QDateTime& t) {
        return gauche + int(double(debut_.msecsTo(t)) / duree * (droite - gauche));
    };

    for (const Barre& e : echecs_) {
        const QRect r(QPoint(x(e.debut), haut - 4),
                      QPoint(std::max(x(e.fin), x(e.debut) + 2), bas));
        p.fillRect(r, QColor(kRougeEchec.red(), kRougeEchec.green(), kRougeEchec.blue(), 40));
        p.fillRect(r, QBrush(kRougeEchec, Qt::BDiagPattern));
    }
    const QList<QColor> couleurs = {QColor(52, 101, 164), QColor(78, 154, 6), QColor(196, 160, 0),
                                    QColor(117, 80, 123), QColor(206, 92, 0), QColor(6, 152, 154)};
    for (qsizetype i = 0; i < adresses_.size(); ++i) {
        const int y = haut + piste * int(i);
        p.drawText(QRect(4, y, gauche - 8, piste), Qt::AlignVCenter | Qt::AlignRight, adresses_[i]);
    }
    for (const Barre& b : barres_) {
        const int i = int(adresses_.indexOf(b.adresse));
        const QRect r(QPoint(x(b.debut), haut + piste * i + 5),
                      QPoint(std::max(x(b.fin), x(b.debut) + 2), haut + piste * (i + 1) - 5));
        p.fillRect(r, couleurs[i % couleurs.size()]);
        ++barresDessinees_;
    }

    // The axis: five marks over the span, dated as the rest of the program dates.
    p.drawLine(gauche, bas + 4, droite, bas + 4);
    const bool jours = debut_.secsTo(fin_) > 2 * 86400;
    for (int k = 0; k <= 4; ++k) {
        const QDateTime t = debut_.addMSecs(qint64(duree * k / 4));
        const int xt = x(t);
        p.drawLine(xt, bas + 4, xt, bas + 8);
        const QString texte = t.toLocalTime().toString(jours ? QStringLiteral("dd/MM/yyyy")
                                                             : QStringLiteral("dd/MM HH:mm"));
        const int l = fm.horizontalAdvance(texte);
        const int xl = std::clamp(xt - l / 2, 4, width() - l - 4);
        p.drawText(xl, bas + 10 + fm.ascent(), texte);
    }
}

FenetreHistorique::FenetreHistorique(const QString& chemin, const Moteur* moteur, QWidget* parent)
    : QWidget(parent, Qt::Window), historique_(chemin)
{
    setObjectName(QStringLiteral("FenetreHistorique"));
    setWindowTitle(tr("Historique"));
    resize(900, 560);

    chronologie_ = new Chronologie(this);
    modele_ = new ModeleHistorique(this);
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("tableHistorique"));
    table_->setModel(modele_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    etat_ = new QLabel(this);
    etat_->setObjectName(QStringLiteral("etatHistorique"));
    etat_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* exporter = new QPushButton(tr("Exporter CSV..."), this);
    exporter->setObjectName(QStringLiteral("exporterCsv"));
    connect(exporter, &QPushButton::clicked, this, &FenetreHistorique::choisitFichier);

    auto* bas = new QHBoxLayout;
    bas->addWidget(etat_, 1);
    bas->addWidget(exporter);
    auto* l = new QVBoxLayout(this);
    l->addWidget(chronologie_);
    l->addWidget(table_, 1);
    l->addLayout(bas);

    if (moteur) {
        // Queued: the record is written by the engine's own slot first.
        connect(moteur, &Moteur::detectionRetablie, this, &FenetreHistorique::recharge,
                Qt::QueuedConnection);
        connect(moteur, &Moteur::changementTermine, this, &FenetreHistorique::recharge,
                Qt::QueuedConnection);
        connect(moteur, &Moteur::detectionEnEchec, this, &FenetreHistorique::recharge,
                Qt::QueuedConnection);
    }
    recharge();
}

void FenetreHistorique::recharge()
{
    Resultat r;
    Resultat re;
    changements_ = historique_.changements(&r);
    echecs_ = historique_.echecs(&re);
    if (r.ok && !re.ok) {
        r = re;
    }
    chronologie_->montre(changements_, echecs_);
    modele_->montre(changements_, echecs_);
    table_->resizeColumnsToContents();
    etat_->setText(r.ok ? QDir::toNativeSeparators(historique_.chemin())
                        : tr("Historique illisible : %1").arg(r.raison));
}

void FenetreHistorique::choisitFichier()
{
    // Not modal in the program's loop: the monitoring goes on while the user picks a name.
    auto* d = new QFileDialog(this, tr("Exporter l'historique"),
                              QDir::home().filePath(QStringLiteral("historique.csv")),
                              tr("Fichiers CSV (*.csv)"));
    d->setAcceptMode(QFileDialog::AcceptSave);
    d->setDefaultSuffix(QStringLiteral("csv"));
    d->setAttribute(Qt::WA_DeleteOnClose);
    connect(d, &QFileDialog::fileSelected, this, [this](const QString& f) { exporte(f); });
    d->open();
}

Resultat FenetreHistorique::exporte(const QString& chemin)
{
    const WriteResult w = writeFileAtomically(chemin, exporteCsv(changements_, echecs_));
    etat_->setText(w.ok ? tr("Exporté : %1").arg(QDir::toNativeSeparators(chemin))
                        : tr("Export impossible : %1").arg(w.raison));
    return w;
}

} // namespace corvane
