#include "ui/console.h"

#include "config/fichierini.h"
#include "config/numbers.h"
#include "detect/detecteip.h"
#include "platform/atomicfile.h"
#include "platform/textcodec.h"
#include "ui/about.h"
#include "ui/aide.h"
#include "ui/pagepublisher.h"
#include "ui/readfiletxtwindow.h"
#include "ui/richtextview.h"
#include "ui/smtpwindow.h"
#include "ui/voyant.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

namespace corvane {
namespace {

const QString kQuestionQuitter = QStringLiteral("Etes-vous s\u00fbr(e) de vouloir quitter ?");
const QString kBulleAlarme = QStringLiteral("Clic pour acquitter l'alarme clignotante");
const QColor kRougeSombre(128, 0, 0);
const QColor kRougeVif(255, 0, 0);
const QColor kCouleurAlarme(255, 128, 128);

// Outer sizes of the two display modes, in twips, and the part of them that the window's
// frame, title bar and menu line took on the desktop the layout was drawn for.
constexpr int kCompletLargeur = 5265;
constexpr int kCompletHauteur = 3465;
constexpr int kReduitLargeur = 2370;
constexpr int kReduitHauteur = 2600;
constexpr int kCadreLargeur = kCompletLargeur - 5175;
constexpr int kCadreHauteur = kCompletHauteur - 2790;

int px(int twips)
{
    return (twips + Console::kTwipsParPixel / 2) / Console::kTwipsParPixel;
}

void place(QWidget* w, int left, int top, int width, int height)
{
    w->setGeometry(px(left), px(top), px(width), px(height));
}

QFont policeControles(qreal points, bool gras = false)
{
    QFont f(QStringLiteral("Liberation Sans")); // metrics close to MS Sans Serif
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(gras);
    return f;
}

QCursor curseur(const char* resource, int hotX, int hotY, Qt::CursorShape repli)
{
    const QPixmap image(QString::fromLatin1(resource));
    return image.isNull() ? QCursor(repli) : QCursor(image, hotX, hotY);
}

QColor couleurBouton()
{
    return QApplication::palette().color(QPalette::Button);
}

} // namespace

Console::Console(Platform platform, QString cheminConfig, QWidget* parent)
    : QMainWindow(parent), platform_(platform), cheminConfig_(std::move(cheminConfig))
{
    setObjectName(QStringLiteral("Console"));
    setWindowTitle(QStringLiteral("Corvane"));
    setWindowIcon(QIcon(QStringLiteral(":/pictures/corvane.png")));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    construitMenus();
    construitFenetre();

    detect_ = new DetecteIP(this);
    connect(detect_, &DetecteIP::termine, this, &Console::detectionTerminee);
}

Console::~Console() = default;

void Console::construitFenetre()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFont(policeControles(8.25));
    setCentralWidget(client);

    auto frame = [&](const char* name, const QString& caption, QWidget* in) {
        auto* g = new QGroupBox(caption, in);
        g->setObjectName(QString::fromLatin1(name));
        return g;
    };

    Log = frame("Log", QStringLiteral("Journal / Log"), client);
    place(Log, 2280, 0, 2775, 2655);
    text1 = new RichTextView(Log);
    text1->setObjectName(QStringLiteral("text1"));
    text1->setReadOnly(true);
    text1->setToolTip(QStringLiteral("LOG (clic for color)"));
    text1->viewport()->setCursor(curseur(":/pictures/log.png", 0, 0, Qt::PointingHandCursor));
    text1->setColours(QColor(192, 192, 192), Qt::black);
    place(text1, 120, 240, 2535, 2295);
    connect(text1, &RichTextView::clicked, this, &Console::text1_Click);

    Frame5 = frame("Frame5", QStringLiteral("Fonctions"), client);
    place(Frame5, 120, 1920, 2055, 735);
    CheckMail = new QCheckBox(QStringLiteral("Mail auto"), Frame5);
    CheckMail->setObjectName(QStringLiteral("CheckMail"));
    place(CheckMail, 120, 480, 1095, 195);
    CheckUpload = new QCheckBox(QStringLiteral("Upload fichier"), Frame5);
    CheckUpload->setObjectName(QStringLiteral("CheckUpload"));
    place(CheckUpload, 120, 240, 1335, 195);
    // A change of state runs the box's action, whether the user or the settings made it.
    connect(CheckMail, &QCheckBox::toggled, this, &Console::CheckMail_Click);
    connect(CheckUpload, &QCheckBox::toggled, this, &Console::CheckUpload_Click);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &Console::Timer1_Timer);

    const QCursor pointeurAlarme = curseur(":/pictures/acquitte.png", 0, 0, Qt::PointingHandCursor);
    Frame3 = frame("Frame3", QStringLiteral("IP Actuelle"), client);
    place(Frame3, 120, 0, 2055, 855);
    Frame3->setAutoFillBackground(true);
    {
        QPalette p = Frame3->palette();
        p.setColor(QPalette::Window, QColor(180, 180, 180)); // active window border
        Frame3->setPalette(p);
    }
    Frame3->setToolTip(kBulleAlarme);
    Frame3->setCursor(pointeurAlarme);
    Frame3->installEventFilter(this);

    auto label = [&](const char* name, const QString& text, QWidget* in) {
        auto* l = new QLabel(text, in);
        l->setObjectName(QString::fromLatin1(name));
        l->setTextFormat(Qt::PlainText); // addresses come from outside: never markup
        l->setAlignment(Qt::AlignCenter);
        l->setAutoFillBackground(true);
        return l;
    };
    LabelHeure = label("LabelHeure", QStringLiteral("00/00/0000  00:00:00"), Frame3);
    place(LabelHeure, 120, 525, 1815, 255);
    LabelIp = label("LabelIp", QStringLiteral("000.000.000.000"), Frame3);
    LabelIp->setFont(policeControles(9.75, true));
    place(LabelIp, 120, 240, 1815, 375);
    for (QLabel* l : {LabelHeure, LabelIp}) {
        l->setToolTip(kBulleAlarme);
        l->setCursor(pointeurAlarme);
        l->installEventFilter(this);
    }
    colorieAlarme(false);

    Frame2 = frame("Frame2", QString(), client);
    place(Frame2, 1440, 960, 735, 855);
    CommandStart = new QPushButton(QStringLiteral("Start"), Frame2);
    CommandStart->setObjectName(QStringLiteral("CommandStart"));
    place(CommandStart, 120, 480, 495, 255);
    connect(CommandStart, &QPushButton::clicked, this, &Console::CommandStart_Click);
    Led1 = new Voyant(Frame2);
    Led1->setObjectName(QStringLiteral("Led1"));
    Led1->setFrameShape(QFrame::Box);
    Led1->setLineWidth(1);
    place(Led1, 240, 240, 255, 135);
    Led1->setCouleur(kRougeSombre);

    Frame1 = frame("Frame1", QStringLiteral("Tester IP"), client);
    place(Frame1, 120, 960, 1335, 855);
    groupeOption1 = new QButtonGroup(this);
    groupeOption1->setExclusive(true);
    const std::array<QString, 3> legendes{QStringLiteral("2'"), QStringLiteral("10'"),
                                          QStringLiteral("1h")};
    for (int i = 2; i >= 0; --i) { // created in the window's order: 2, 1, 0
        auto* b = new QPushButton(legendes[static_cast<std::size_t>(i)], Frame1);
        b->setObjectName(QStringLiteral("Option1_%1").arg(i));
        b->setCheckable(true);
        place(b, 120 + 360 * i, 360, 375, 255);
        groupeOption1->addButton(b, i);
        Option1[static_cast<std::size_t>(i)] = b;
    }
    Option1[1]->setChecked(true);

    // Tab order of the window's definition.
    QWidget::setTabOrder(Option1[0], CommandStart);
    QWidget::setTabOrder(CommandStart, Option1[1]);
    QWidget::setTabOrder(Option1[1], Option1[2]);
    QWidget::setTabOrder(Option1[2], CheckUpload);
    QWidget::setTabOrder(CheckUpload, CheckMail);
    QWidget::setTabOrder(CheckMail, text1);

    menuComplet_Click();
}

void Console::construitMenus()
{
    QMenuBar* barre = menuBar();
    barre->setObjectName(QStringLiteral("menuBar"));
    auto action = [&](QMenu* m, const char* name, const QString& caption, bool checkable,
                      void (Console::*handler)()) {
        auto* a = m->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        a->setCheckable(checkable);
        // triggered() comes from the user only; setting a check mark runs nothing.
        connect(a, &QAction::triggered, this, [this, a, handler, checkable] {
            if (checkable) {
                a->setChecked(!a->isChecked()); // the handler does the toggling itself
            }
            (this->*handler)();
        });
        return a;
    };

    menu_Aide = barre->addMenu(QStringLiteral("Aide"));
    menu_Aide->setObjectName(QStringLiteral("menu_Aide"));
    menuAide = action(menu_Aide, "menuAide", QStringLiteral("?"), false, &Console::menuAide_Click);
    menu_about =
        action(menu_Aide, "menu_about", QStringLiteral("About"), false, &Console::menu_about_Click);

    manAffichage = barre->addMenu(QStringLiteral("Affichage"));
    manAffichage->setObjectName(QStringLiteral("manAffichage"));
    menuReduit = action(manAffichage, "menuReduit", QStringLiteral("Reduit"), true,
                        &Console::menuReduit_Click);
    menuComplet = action(manAffichage, "menuComplet", QStringLiteral("Complet"), true,
                         &Console::menuComplet_Click);
    manAffichage->addSeparator()->setObjectName(QStringLiteral("separ1"));
    menuTjVisible = action(manAffichage, "menuTjVisible", QStringLiteral("Toujours visible"), true,
                           &Console::menuTjVisible_Click);

    option = barre->addMenu(QStringLiteral("Options"));
    option->setObjectName(QStringLiteral("option"));
    menuAudio = action(option, "menuAudio", QStringLiteral("Audio IP change"), true,
                       &Console::menuAudio_Click);
    MenuLog =
        action(option, "MenuLog", QStringLiteral("Enregistrer Log"), true, &Console::MenuLog_Click);
    option->addSeparator()->setObjectName(QStringLiteral("separ2"));
    menuDebug =
        action(option, "menuDebug", QStringLiteral("Mode Debug"), true, &Console::menuDebug_Click);
    menuComplet->setChecked(true);
}

// ---------------------------------------------------------------------------------------------
// Start-up and shutdown

void Console::Form_Load()
{
    // The second-instance test is made by the program's entry before this window exists.
    const FichierJournal::Ouverture ancien = fichierLog_.ouvre();
    log_.setTexte(ancien.texte);
    log_.ajouteNote(ancien.note);
    text1->setText(log_.texte());

    QString illisible;
    Parametres_ = ChargeConfig(cheminConfig_, &illisible);
    if (!illisible.isEmpty()) {
        platform_.boxes->notify(QStringLiteral("config"), kTitreApplication,
                                QStringLiteral("Les r\u00e9glages de %1 ne peuvent pas \u00eatre "
                                               "lus : %2.\nLe programme part de r\u00e9glages "
                                               "vides et ne r\u00e9\u00e9crira pas ce fichier.")
                                    .arg(QDir::toNativeSeparators(cheminConfig_), illisible),
                                MessageBoxes::Icon::Warning);
    }
    appliqueOptions();

    if (Parametres_.TailleFenetre == QLatin1String("reduit")) {
        menuReduit_Click();
    } else {
        menuComplet_Click();
    }
    move(px(coordonneeTwips(Parametres_.PositionH)), px(coordonneeTwips(Parametres_.PositionV)));
    dernierePosition_ = pos();
    if (Parametres_.ToujoursVisible == QLatin1String("oui")) {
        menuTjVisible->setChecked(true);
        appliqueDessus(true);
    }

    if (!QFileInfo::exists(cheminConfig_)) {
        const WriteResult w = ini_par_defaut(Parametres_, cheminConfig_);
        if (!w.ok) {
            platform_.boxes->notify(QStringLiteral("config"), kTitreApplication,
                                    QStringLiteral("Impossible d'\u00e9crire %1 : %2")
                                        .arg(QDir::toNativeSeparators(cheminConfig_), w.raison),
                                    MessageBoxes::Icon::Warning);
        }
        menuAide_Click();
    }

    Parametres_ = ChargeConfig(cheminConfig_);
    appliqueOptions();

    long long choix = arrondiBancaire(valeurNumerique(Parametres_.ValeurBoutonTempo));
    if (choix < 0 || choix > 2) {
        choix = 0;
    }
    Option1[static_cast<std::size_t>(choix)]->setChecked(true);

    const long long c = arrondiBancaire(valeurNumerique(Parametres_.CouleurConsole));
    couleur = (c < 0 || c > 255) ? quint8(1) : static_cast<quint8>(c);
    applique_couleur();

    if (CheckMail->isChecked()) {
        smtp()->InitSmtp();
    }
    if (menuDebug->isChecked()) {
        read_file_txt()->show();
        smtp()->show();
    }
}

void Console::appliqueOptions()
{
    const auto on = [](const QString& v) { return v == QLatin1String("1"); };
    menuAudio->setChecked(on(Parametres_.BipChangement));
    MenuLog->setChecked(on(Parametres_.SauveLog));
    menuDebug->setChecked(on(Parametres_.ModeDebug));
    CheckUpload->setChecked(on(Parametres_.UploadFichier));
    CheckMail->setChecked(on(Parametres_.MailAuto));
}

void Console::closeEvent(QCloseEvent* event)
{
    if (Form_QueryUnload()) {
        event->accept();
    } else {
        event->ignore();
    }
}

bool Console::Form_QueryUnload()
{
    for (int i = 0; i < 3; ++i) {
        if (Option1[static_cast<std::size_t>(i)]->isChecked()) {
            Parametres_.ValeurBoutonTempo = QString::number(i);
        }
    }
    if (!platform_.boxes->ask(kTitreApplication, kQuestionQuitter)) {
        return false;
    }
    // A minimised or maximised window stores where it stands when it is normal.
    const QPoint coin = (isMinimized() || isMaximized()) ? dernierePosition_ : pos();
    Parametres_.PositionH = QString::number(coin.x() * kTwipsParPixel);
    Parametres_.PositionV = QString::number(coin.y() * kTwipsParPixel);
    const WriteResult w = SauveConfig(Parametres_, cheminConfig_);
    if (!w.ok) {
        platform_.boxes->inform(kTitreApplication,
                                QStringLiteral("Les r\u00e9glages n'ont pas pu \u00eatre "
                                               "enregistr\u00e9s dans %1 : %2")
                                    .arg(QDir::toNativeSeparators(cheminConfig_), w.raison),
                                MessageBoxes::Icon::Warning);
    }
    if (publisher_ && publisher_->fenetreOuverte()) {
        publisher_->fenetreOuverte()->close();
    }
    if (smtp_) {
        smtp_->close();
    }
    if (aide_) {
        aide_->close();
    }
    if (about_) {
        about_->close();
    }
    return true;
}

void Console::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    if (!isMinimized() && !isMaximized()) {
        dernierePosition_ = pos();
    }
}

// ---------------------------------------------------------------------------------------------
// Console log

QString Console::horodatage() const
{
    return formatDateHeure(platform_.clock->now());
}

void Console::affiche()
{
    // Before the first good detection there is no address to show: the last known one stays.
    if (!IpActuelle.isEmpty()) {
        LabelIp->setText(IpActuelle);
    }
    text1->appendText(log_.ajouteEntree(libelle, platform_.clock->now(), IpActuelle));
    if (MenuLog->isChecked()) {
        ecritLog();
    }
    text1->caretALaFin();
}

void Console::ecritLog()
{
    // What was not written yet, entries made while logging was off and the upload's dots
    // included; kept for the next entry when the write fails.
    const WriteResult w = fichierLog_.ajoute(toAnsi(log_.enAttente()));
    if (w.ok) {
        log_.marqueEcrit();
        logEnEchec_ = false;
        return;
    }
    if (!logEnEchec_) { // said once, until a write succeeds again; in the window, not the file
        logEnEchec_ = true;
        const QString note =
            QStringLiteral("\r\n(%1 : \u00e9criture impossible, %2)\r\n").arg(kNomLog, w.raison);
        log_.ajouteNote(note);
        text1->appendText(note);
    }
}

void Console::journal(const QString& text)
{
    libelle = text;
    affiche();
}

void Console::ajouteTexte(const QString& text)
{
    log_.ajouteTexte(text);
    text1->appendText(text);
    text1->caretALaFin();
}

void Console::applique_couleur()
{
    switch (couleur) {
    case 1:
        text1->setColours(QApplication::palette().color(QPalette::Base), Qt::black);
        break;
    case 2:
        text1->setColours(Qt::black, QColor(0, 192, 0));
        break;
    case 3:
        text1->setColours(Qt::black, QColor(192, 0, 0));
        break;
    case 4:
        text1->setColours(QColor(224, 224, 224), Qt::black);
        break;
    default:
        break;
    }
    Parametres_.CouleurConsole = QString::number(couleur);
}

void Console::text1_Click()
{
    couleur = schemaSuivant(couleur);
    applique_couleur();
}

// ---------------------------------------------------------------------------------------------
// Check cycle

void Console::CommandStart_Click()
{
    if (CommandStart->text() == QLatin1String("Start")) {
        CommandStart->setText(QStringLiteral("Stop"));
        Led1->setCouleur(kRougeVif);
        Timer1->start();
        LabelIp->setText(Parametres_.DerniereIP);
        // InitSmtp and the "Start : " entry follow the first check, stamped with its answer.
        ++startsEnAttente_;
        lanceVerification();
    } else {
        CommandStart->setText(QStringLiteral("Start"));
        Led1->setCouleur(kRougeSombre);
        Timer1->stop();
        acquitteAlarme();
        libelle = QStringLiteral("Stop : ");
        affiche();
    }
}

void Console::Timer1_Timer()
{
    if (alarme) {
        colorieAlarme(LabelIp->palette().color(QPalette::Window) != kCouleurAlarme);
    }
    const CheckCycle::Tick t = cycle_.tick(groupeOption1->checkedId());
    Led1->setCouleur(Led1->couleur() == kRougeSombre ? kRougeVif : kRougeSombre);
    if (t == CheckCycle::Tick::Verifier) {
        lanceVerification();
    }
}

void Console::lanceVerification()
{
    if (cycle_.occupe()) {
        cycle_.differe(); // runs as soon as the one under way has ended
        return;
    }
    cycle_.setOccupe(true);
    detect_->demarre(RequeteDetection{Parametres_.AdresseDetect, Parametres_.AdresseSecours,
                                      Parametres_.Famille, Parametres_.CertificatHttp});
}

void Console::detectionTerminee(const ResultatDetection& r)
{
    LabelHeure->setText(horodatage());
    if (!r.ok) {
        // A failed detection is no change: the last good address stays, nothing is acted on.
        // A page that stays down fails at every check: its reason is logged once per run of
        // the same failure, and the box never piles up.
        if (r.raison != raisonEchec_) {
            raisonEchec_ = r.raison;
            libelle = QStringLiteral("Erreur détection : ") + r.raison;
            affiche();
        }
        platform_.boxes->notify(QStringLiteral("detection"), kTitreApplication,
                                kErreurDetection + QStringLiteral("\r\n\r\n") + r.raison,
                                MessageBoxes::Icon::Critical);
        finVerification();
        return;
    }
    raisonEchec_.clear();
    if (r.secours != secoursActif_) {
        // Said when the answering page changes, not at every check.
        secoursActif_ = r.secours;
        libelle = r.secours ? QStringLiteral("Détection : adresse de secours")
                            : QStringLiteral("Détection : adresse principale");
        affiche();
    }
    IpActuelle = r.texte;
    Parametres_.DerniereIP = IpActuelle;
    verifie_changement();
}

void Console::finVerification()
{
    cycle_.setOccupe(false);
    if (startsEnAttente_ > 0) {
        --startsEnAttente_;
        smtp()->InitSmtp();
        libelle = QStringLiteral("Start : ");
        affiche();
    }
    if (cycle_.prendAttente()) {
        lanceVerification();
    }
}

// ---------------------------------------------------------------------------------------------
// Change alarm and actions

void Console::verifie_changement()
{
    if (LabelIp->text() == IpActuelle) {
        finVerification();
        return;
    }
    alarme = true;
    libelle = QStringLiteral("Changement IP");
    if (menuAudio->isChecked()) {
        platform_.sound->play(SoundPlayer::Sound::Change);
    }
    affiche();
    const bool fragment = ecrit_ip_actu();
    // The mailing runs on the event loop; the page and its upload follow its report.
    smtp()->BoucleSend([this, fragment] {
        // A fragment or page that could not be written is never uploaded (already reported).
        if (fragment && prepare_page()) {
            envoi_ftp();
        }
        Parametres_.DerniereIP = IpActuelle;
        finVerification();
    });
}

void Console::acquitteAlarme()
{
    alarme = false;
    colorieAlarme(false);
}

void Console::colorieAlarme(bool rouge)
{
    for (QLabel* l : {LabelIp, LabelHeure}) {
        QPalette p = l->palette();
        p.setColor(QPalette::Window, rouge ? kCouleurAlarme : couleurBouton());
        l->setPalette(p);
    }
}

bool Console::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Frame3 && event->type() == QEvent::MouseButtonPress) {
        acquitteAlarme(); // any button
    } else if ((watched == LabelIp || watched == LabelHeure) &&
               event->type() == QEvent::MouseButtonRelease) {
        acquitteAlarme();
    }
    return QMainWindow::eventFilter(watched, event);
}

bool Console::ecrit_ip_actu()
{
    return publisher()->ecrit_ip_actu();
}

bool Console::prepare_page()
{
    return publisher()->prepare_page();
}

void Console::envoi_ftp()
{
    publisher()->envoi_ftp();
}

// ---------------------------------------------------------------------------------------------
// Menus and check boxes

void Console::CheckUpload_Click()
{
    Parametres_.UploadFichier =
        CheckUpload->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
}

void Console::CheckMail_Click()
{
    if (CheckMail->isChecked()) {
        Parametres_.MailAuto = QStringLiteral("1");
        smtp()->InitSmtp();
    } else {
        Parametres_.MailAuto = QStringLiteral("0"); // a mailing under way goes on
    }
}

void Console::menuAide_Click()
{
    setEnabled(false);
    setCursor(Qt::WaitCursor);
    if (!aide_) {
        aide_ = new Aide(Parametres_, *platform_.links, this);
        aide_->setAttribute(Qt::WA_DeleteOnClose);
    }
    aide_->show();
    setEnabled(true);
    unsetCursor();
}

void Console::menu_about_Click()
{
    if (!about_) {
        about_ = new About(*platform_.links, this);
        about_->setAttribute(Qt::WA_DeleteOnClose);
    }
    about_->show();
}

void Console::tailleFenetre(int largeurTwips, int hauteurTwips)
{
    // The window's own frame is the desktop's; the size set is that of the inside, menu line
    // included, as it was on the desktop the layout was drawn for.
    const int largeur = px(largeurTwips - kCadreLargeur);
    const int hauteur = px(hauteurTwips - kCadreHauteur) + menuBar()->sizeHint().height();
    setFixedSize(largeur, hauteur);
}

void Console::menuComplet_Click()
{
    menuComplet->setChecked(true);
    menuReduit->setChecked(false);
    tailleFenetre(kCompletLargeur, kCompletHauteur);
    Parametres_.TailleFenetre = QStringLiteral("complet");
}

void Console::menuReduit_Click()
{
    menuComplet->setChecked(false);
    menuReduit->setChecked(true);
    tailleFenetre(kReduitLargeur, kReduitHauteur);
    Parametres_.TailleFenetre = QStringLiteral("reduit");
}

void Console::appliqueDessus(bool dessus)
{
    // On a shown window the hint goes to the window manager at once, without hiding the
    // window as QWidget::setWindowFlag would.
    if (QWindow* w = windowHandle(); w && isVisible()) {
        w->setFlag(Qt::WindowStaysOnTopHint, dessus);
    } else {
        setWindowFlag(Qt::WindowStaysOnTopHint, dessus);
    }
}

bool Console::estDessus() const
{
    if (const QWindow* w = windowHandle()) {
        return w->flags().testFlag(Qt::WindowStaysOnTopHint);
    }
    return windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

void Console::menuTjVisible_Click()
{
    if (!menuTjVisible->isChecked()) {
        menuTjVisible->setChecked(true);
        appliqueDessus(true);
        Parametres_.ToujoursVisible = QStringLiteral("oui");
    } else {
        menuTjVisible->setChecked(false);
        appliqueDessus(false);
        Parametres_.ToujoursVisible = QStringLiteral("non");
    }
}

void Console::menuAudio_Click()
{
    const bool on = !menuAudio->isChecked();
    menuAudio->setChecked(on);
    Parametres_.BipChangement = on ? QStringLiteral("1") : QStringLiteral("0");
}

void Console::MenuLog_Click()
{
    const bool on = !MenuLog->isChecked();
    MenuLog->setChecked(on);
    Parametres_.SauveLog = on ? QStringLiteral("1") : QStringLiteral("0");
}

void Console::menuDebug_Click()
{
    const bool on = !menuDebug->isChecked();
    menuDebug->setChecked(on);
    Parametres_.ModeDebug = on ? QStringLiteral("1") : QStringLiteral("0");
    if (on) {
        read_file_txt()->show();
        smtp()->show();
    } else {
        // Hidden, not closed: they keep what they show. Nothing is created just to be hidden.
        if (publisher_ && publisher_->fenetreOuverte()) {
            publisher_->fenetreOuverte()->hide();
        }
        if (smtp_) {
            smtp_->hide();
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Link with the worker windows

bool Console::mailOn() const
{
    return CheckMail->isChecked();
}

bool Console::uploadOn() const
{
    return CheckUpload->isChecked();
}

bool Console::audioOn() const
{
    return menuAudio->isChecked();
}

bool Console::debugOn() const
{
    return menuDebug->isChecked();
}

SmtpWindow* Console::smtp()
{
    if (!smtp_) {
        smtp_ = new SmtpWindow(*this, platform_, this);
    }
    return smtp_;
}

PagePublisher* Console::publisher()
{
    if (!publisher_) {
        publisher_ = new PagePublisher(*this, this);
    }
    return publisher_;
}

ReadFileTxtWindow* Console::read_file_txt()
{
    return publisher()->read_file_txt();
}

QWidget* Console::aide() const
{
    return aide_;
}

QWidget* Console::about() const
{
    return about_;
}

} // namespace corvane
