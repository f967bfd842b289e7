#pragma once
// The main window "Console": start-up and shutdown, the console log, the check cycle and the
// change alarm. It is the program: closing it, once confirmed, ends the run.

#include "config/parametres.h"
#include "console/checkcycle.h"
#include "console/consolelink.h"
#include "console/consolelog.h"
#include "platform/platform.h"

#include <QMainWindow>
#include <QPointer>

#include <array>

class QAction;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;

namespace corvane {

class About;
class Aide;
class DetecteIP;
class PagePublisher;
class ReadFileTxtWindow;
class RichTextView;
class SmtpWindow;
class Voyant;
struct ResultatDetection;

class Console : public QMainWindow, public ConsoleLink {
    Q_OBJECT
public:
    Console(Platform platform, QString cheminConfig, QWidget* parent = nullptr);
    ~Console() override;

    // Start-up: everything between the program's start and the moment Start can be pressed.
    void Form_Load();

    // The console log's report channel: a caller sets libelle and at once calls affiche().
    QString libelle;
    void affiche();
    void applique_couleur();

    // Check cycle and change alarm.
    void CommandStart_Click();
    void Timer1_Timer();
    void verifie_changement();
    void acquitteAlarme();

    // Menus and check boxes.
    void menuAide_Click();
    void menu_about_Click();
    void menuComplet_Click();
    void menuReduit_Click();
    void menuTjVisible_Click();
    void menuAudio_Click();
    void MenuLog_Click();
    void menuDebug_Click();
    void CheckUpload_Click();
    void CheckMail_Click();
    void text1_Click();

    // The change actions that belong to the mail and publishing windows.
    bool ecrit_ip_actu();
    bool prepare_page();
    void envoi_ftp();

    // ConsoleLink
    void journal(const QString& text) override;
    void ajouteTexte(const QString& text) override;
    QString ipActuelle() const override { return IpActuelle; }
    bool mailOn() const override;
    bool uploadOn() const override;
    bool audioOn() const override;
    bool debugOn() const override;
    Parametres& parametres() override { return Parametres_; }

    // State, public so that the worker windows and tests can read it.
    QString IpActuelle;
    qint32 compteur() const { return cycle_.compteur(); }
    quint8 couleur = 0;
    bool alarme = false;
    bool enCours() const { return cycle_.occupe(); } // a check or its change actions under way
    QString cheminConfig() const { return cheminConfig_; }
    const ConsoleLog& log() const { return log_; }

    SmtpWindow* smtp();
    PagePublisher* publisher();
    ReadFileTxtWindow* read_file_txt();
    DetecteIP* detecteur() { return detect_; }
    QWidget* aide() const;
    QWidget* about() const;
    bool estDessus() const; // kept above other windows

    // Display sizes in pixels of the layout area (below the menu bar).
    static constexpr int kTwipsParPixel = 15;

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Form_QueryUnload(); // true when the window may close
    void construitFenetre();
    void construitMenus();
    void appliqueOptions(); // the option controls from the settings, after each load
    void lanceVerification();
    void detectionTerminee(const ResultatDetection& r);
    void suiteChangement(); // steps after the mailing
    void finVerification();
    void tailleFenetre(int largeurTwips, int hauteurTwips);
    void appliqueDessus(bool dessus);
    void colorieAlarme(bool rouge);
    void ecritLog();
    QString horodatage() const;

    Platform platform_;
    QString cheminConfig_;
    Parametres Parametres_;
    ConsoleLog log_;
    FichierJournal fichierLog_;
    CheckCycle cycle_;
    int startsEnAttente_ = 0; // Starts whose last steps wait for their first check
    QString raisonEchec_;     // the failure last logged, until a detection succeeds
    bool secoursActif_ = false; // the fallback page gave the last good answer
    bool logEnEchec_ = false; // the log file could not be written; said once
    QPoint dernierePosition_;

    DetecteIP* detect_ = nullptr;
    SmtpWindow* smtp_ = nullptr;
    PagePublisher* publisher_ = nullptr;
    QPointer<Aide> aide_;
    QPointer<About> about_;

public: // controls, named as in the window's definition
    QGroupBox* Log = nullptr;
    RichTextView* text1 = nullptr;
    QGroupBox* Frame5 = nullptr;
    QCheckBox* CheckMail = nullptr;
    QCheckBox* CheckUpload = nullptr;
    QTimer* Timer1 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QLabel* LabelHeure = nullptr;
    QLabel* LabelIp = nullptr;
    QGroupBox* Frame2 = nullptr;
    QPushButton* CommandStart = nullptr;
    Voyant* Led1 = nullptr;
    QGroupBox* Frame1 = nullptr;
    std::array<QPushButton*, 3> Option1{};
    QButtonGroup* groupeOption1 = nullptr;
    QMenu* menu_Aide = nullptr;
    QAction* menuAide = nullptr;
    QAction* menu_about = nullptr;
    QMenu* manAffichage = nullptr;
    QAction* menuReduit = nullptr;
    QAction* menuComplet = nullptr;
    QAction* menuTjVisible = nullptr;
    QMenu* option = nullptr;
    QAction* menuAudio = nullptr;
    QAction* MenuLog = nullptr;
    QAction* menuDebug = nullptr;
};

} // namespace corvane
