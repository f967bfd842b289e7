#pragma once
// The settings window "Paramètres": every key of the settings file in tabs, checked as the
// user types, with three trials of the values shown (one detection, one mail to the first
// address, one upload and removal of a small file beside the page), each running without
// holding the window. OK hands the record to the engine, which writes the changed keys; the
// passwords go to the desktop's keyring when there is one.

#include "config/parametres.h"
#include "platform/systemclock.h"

#include <QDialog>
#include <QTemporaryDir>

#include <memory>
#include <utility>
#include <vector>

class QLabel;
class QPushButton;
class QTimer;

namespace corvane {

class DetecteurDiffere;
class EnvoiFtp;
class Moteur;
class DialogueSmtpDiffere;
class Trousseau;
enum class Secret;
struct ResultatDetection;
struct ResultatEnvoi;

class FenetreParametres : public QDialog {
    Q_OBJECT
public:
    explicit FenetreParametres(Moteur& moteur, QWidget* parent = nullptr);
    ~FenetreParametres() override;

    // The engine's record with the keys the user changed in the window.
    Parametres saisie() const;

    void accept() override;

    struct Champ;
    struct Saisie;

private:
    QWidget* onglet(int numero);
    void valide();
    void testeDetection();
    void testeMail();
    void testeFtp();
    void detectionFinie(const ResultatDetection& r);
    void mailFini(const ResultatEnvoi& r);
    void etatFtp(int etat, const QString& raison);
    void ecritSecrets();
    void secretEcrit(Secret secret, bool ok, const QString& raison);
    void enregistre();
    QString valeur(const char* nom) const;

    Moteur& moteur_;
    SystemClock horloge_;
    std::vector<Saisie> saisies_;
    DetecteurDiffere* detect_ = nullptr;
    DialogueSmtpDiffere* smtp_ = nullptr;
    EnvoiFtp* ftp_ = nullptr;
    QString cheminEssai_; // the trial file's remote path while its upload runs
    std::unique_ptr<QTemporaryDir> dossierEssai_; // and its local copy

    Trousseau* trousseau_ = nullptr;
    QTimer* delaiTrousseau_ = nullptr;
    Parametres aEnregistrer_;                 // waits for the keyring's answers
    std::pair<QString, QString> motsDePasse_; // SMTP, FTP
    static constexpr int kQuestionBus = 4;
    int secretsAttendus_ = 0; // bits: 1 SMTP, 2 FTP, kQuestionBus
    QStringList refusTrousseau_;

    QPushButton* boutonOk_ = nullptr;
    QLabel* raisonOk_ = nullptr;
    QPushButton* testDetection_ = nullptr;
    QPushButton* testMail_ = nullptr;
    QPushButton* testFtp_ = nullptr;
    QLabel* resultatDetection_ = nullptr;
    QLabel* resultatMail_ = nullptr;
    QLabel* resultatFtp_ = nullptr;
};

} // namespace corvane
