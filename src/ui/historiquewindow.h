#pragma once
// The history window: on top a timeline of the addresses held, one lane per address and a bar
// for each time it was held, the runs of failed checks hatched in red across it; below, the
// changes and failure runs in a table; a CSV export. It reads the database itself and reads it
// again when the engine reports a change or a failure run.

#include "history/historique.h"

#include <QWidget>

class QLabel;
class QTableView;

namespace corvane {

class ModeleHistorique;

class Chronologie : public QWidget {
    Q_OBJECT
public:
    explicit Chronologie(QWidget* parent = nullptr);
    void montre(const QList<Changement>& changements, const QList<Echec>& echecs);
    int barresDessinees() const { return barresDessinees_; } // at the last paint
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Barre {
        QString adresse;
        QDateTime debut;
        QDateTime fin;
    };
    QList<Barre> barres_;
    QList<Barre> echecs_;  // adresse: the reason
    QStringList adresses_; // the lanes, in the order first held
    QDateTime debut_;
    QDateTime fin_;
    int barresDessinees_ = 0;
};

class FenetreHistorique : public QWidget {
    Q_OBJECT
public:
    // moteur: its reports make the window read the database again; null: read once.
    explicit FenetreHistorique(const QString& chemin, const Moteur* moteur = nullptr,
                               QWidget* parent = nullptr);
    void recharge();
    // Writes the history as CSV to chemin, atomically; the outcome shows in the window.
    Resultat exporte(const QString& chemin);

private:
    void choisitFichier();

    Historique historique_;
    QList<Changement> changements_;
    QList<Echec> echecs_;
    Chronologie* chronologie_ = nullptr;
    ModeleHistorique* modele_ = nullptr;
    QTableView* table_ = nullptr;
    QLabel* etat_ = nullptr;
};

} // namespace corvane
