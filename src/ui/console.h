#pragma once
// The main window "Console": the watch engine's face. It builds the controls, hands the user's
// clicks to the engine and draws what the engine reports; closing it, once the engine's exit
// question was answered Yes, ends the run.

#include "watch/moteur.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>

class QAction;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;

namespace corvane {

class LinkOpener;
class Mailing;
class Publication;
class RichTextView;
class Voyant;

class Console : public QMainWindow {
    Q_OBJECT
public:
    // The debug windows show mailing and publication; links open from the help and about.
    Console(Moteur& moteur, const Mailing& mailing, const Publication& publication,
            LinkOpener& links, QWidget* parent = nullptr);
    ~Console() override = default;

    // Start-up: the engine's, drawn as it goes.
    void Form_Load() { moteur_.Form_Load(); }

    // Menus, buttons and boxes: each hands the click to the engine, whose report redraws.
    void CommandStart_Click() { moteur_.CommandStart_Click(); }
    void text1_Click() { moteur_.text1_Click(); }
    void menuComplet_Click() { moteur_.setTaille(Taille::Complet); }
    void menuReduit_Click() { moteur_.setTaille(Taille::Reduit); }
    void menuTjVisible_Click() { moteur_.setDessus(!moteur_.reglages().toujoursVisible); }
    void menuAudio_Click() { moteur_.setAudio(!moteur_.reglages().bipChangement); }
    void MenuLog_Click() { moteur_.setLog(!moteur_.reglages().sauveLog); }
    void menuDebug_Click() { moteur_.setDebug(!moteur_.reglages().modeDebug); }
    void menuDemarrage_Click() { moteur_.setDemarrageAuto(!moteur_.reglages().demarrageAuto); }
    void menuAide_Click();
    void menu_about_Click();
    void menuHistorique_Click();
    void menuParametres_Click();

    QWidget* aide() const { return aide_; }
    QWidget* smtp() const { return smtp_; }
    QWidget* fenetrePage() const { return page_; }
    QWidget* parametres() const { return parametres_; }

    static constexpr int kTwipsParPixel = 15;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void construitFenetre();
    void construitMenus();
    void retraduit();
    void retraduitMenus();
    void choisitLangue(const QString& choix);
    void montreLangue();
    void relieMoteur();
    void montreOptions(const Reglages& r);
    void colorieAlarme(bool rouge);
    QWidget* fenetre(QPointer<QWidget>& w, const std::function<QWidget*()>& cree);
    QWidget* read_file_txt();

    Moteur& moteur_;
    const Mailing& mailing_;
    const Publication& publication_;
    LinkOpener& links_;
    QPoint dernierePosition_;
    int couleurMontree_ = -1;
    bool debugMontre_ = false;
    bool dessus_ = false; // kept above other windows

    QPointer<QWidget> smtp_; // the debug windows, created when debug mode shows them
    QPointer<QWidget> page_;
    QPointer<QWidget> aide_;
    QPointer<QWidget> about_;
    QPointer<QWidget> historique_;
    QPointer<QWidget> parametres_;

public: // controls, named as in the window's definition
    QGroupBox* Log = nullptr;
    RichTextView* text1 = nullptr;
    QGroupBox* Frame5 = nullptr;
    QCheckBox* CheckMail = nullptr;
    QCheckBox* CheckUpload = nullptr;
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
    QAction* menuHistorique = nullptr;
    QMenu* option = nullptr;
    QAction* menuAudio = nullptr;
    QAction* MenuLog = nullptr;
    QAction* menuDebug = nullptr;
    QAction* menuDemarrage = nullptr;
    QAction* menuParametres = nullptr;
    QMenu* menuLangue = nullptr;
    QAction* menuLangueAuto = nullptr;
    QAction* menuLangueFr = nullptr;
    QAction* menuLangueEn = nullptr;
    QAction* acquitte = nullptr; // Escape: the alarm's acknowledgement from the keyboard
};

} // namespace corvane
