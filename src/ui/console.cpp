#include "ui/console.h"

#include "mail/mailing.h"
#include "publish/publication.h"
#include "ui/about.h"
#include "ui/accessibilite.h"
#include "ui/aide.h"
#include "ui/langue.h"
#include "ui/readfiletxtwindow.h"
#include "ui/richtextview.h"
#include "ui/smtpwindow.h"
#include "ui/tray.h"
#include "ui/voyant.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QWindow>

namespace corvane {
namespace {

const QColor kCouleurAlarme(255, 128, 128);

// Outer sizes of the two display modes ("complet", "reduit") in twips, and the part of them
// that the window's frame, title bar and menu line took on the desktop the layout was drawn for.
constexpr std::array<QSize, 2> kTailles{QSize(5265, 3465), QSize(2370, 2600)};
constexpr QSize kCadre(5265 - 5175, 3465 - 2790);

int px(int twips)
{
    return (twips + Console::kTwipsParPixel / 2) / Console::kTwipsParPixel;
}

template <typename W> W* place(W* w, const QString& name, int left, int top, int width, int height)
{
    w->setObjectName(name);
    w->setGeometry(px(left), px(top), px(width), px(height));
    return w;
}

QFont policeControles(qreal points, bool gras = false)
{
    QFont f(QStringLiteral("Liberation Sans")); // metrics close to MS Sans Serif
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(gras);
    return f;
}

QCursor curseur(const char* resource)
{
    const QPixmap image(QString::fromLatin1(resource));
    return image.isNull() ? QCursor(Qt::PointingHandCursor) : QCursor(image, 0, 0);
}

} // namespace

Console::Console(Moteur& moteur, const Mailing& mailing, const Publication& publication,
                 LinkOpener& links, QWidget* parent)
    : QMainWindow(parent), moteur_(moteur), mailing_(mailing), publication_(publication),
      links_(links)
{
    setObjectName(QStringLiteral("Console"));
    setWindowTitle(QStringLiteral("Corvane"));
    setWindowIcon(QIcon(QStringLiteral(":/pictures/corvane.png")));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    construitMenus();
    construitFenetre();
    relieMoteur();
    retraduit();
    new Tray(*this, moteur_); // a child: the icon, notifications and their Options entries
}

void Console::construitFenetre()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFont(policeControles(8.25));
    setCentralWidget(client);

    // Captions come from retraduit(). The boxes are those of the layout, grown where a caption
    // of 8.25 points at 120 dpi needs it (heights of 17 px for a line, the frames' titles
    // clear of what they hold).
    const auto cadre = [client] { return new QGroupBox(client); };
    Log = place(cadre(), "Log", 2280, 0, 2775, 2655);
    text1 = place(new RichTextView(Log), "text1", 120, 270, 2535, 2265);
    text1->setReadOnly(true);
    text1->viewport()->setCursor(curseur(":/pictures/log.png"));
    text1->setColours(QColor(192, 192, 192), Qt::black);

    Frame5 = place(cadre(), "Frame5", 120, 1920, 2055, 825);
    CheckMail = place(new QCheckBox(Frame5), "CheckMail", 120, 525, 1170, 255);
    CheckUpload = place(new QCheckBox(Frame5), "CheckUpload", 120, 270, 1620, 255);

    const QCursor pointeurAlarme = curseur(":/pictures/acquitte.png");
    Frame3 = place(cadre(), "Frame3", 60, 0, 2175, 900);
    Frame3->setAutoFillBackground(true);
    QPalette bord = Frame3->palette();
    bord.setColor(QPalette::Window, QColor(180, 180, 180)); // active window border
    Frame3->setPalette(bord);
    // The address, the time and their frame acknowledge the alarm.
    const auto etiquette = [this](const char* texte) {
        auto* l = new QLabel(QString::fromLatin1(texte), Frame3);
        l->setTextFormat(Qt::PlainText); // addresses come from outside: never markup
        l->setAlignment(Qt::AlignCenter);
        l->setAutoFillBackground(true);
        return l;
    };
    // The date line below the address, not under it.
    LabelHeure = place(etiquette("00/00/0000  00:00:00"), "LabelHeure", 60, 600, 2055, 270);
    LabelIp = place(etiquette("000.000.000.000"), "LabelIp", 60, 270, 2055, 330);
    LabelIp->setFont(policeControles(9.75, true));
    for (QWidget* w : std::initializer_list<QWidget*>{Frame3, LabelHeure, LabelIp}) {
        w->setCursor(pointeurAlarme);
        w->installEventFilter(this);
    }
    colorieAlarme(false);
    // From the keyboard: Escape anywhere in the window, or Space / Enter on the address,
    // which the Tab key reaches first.
    LabelIp->setFocusPolicy(Qt::TabFocus);
    acquitte = new QAction(this);
    acquitte->setObjectName(QStringLiteral("acquitte"));
    acquitte->setShortcut(QKeySequence(Qt::Key_Escape));
    addAction(acquitte);
    connect(acquitte, &QAction::triggered, &moteur_, &Moteur::acquitteAlarme);

    Frame2 = place(cadre(), "Frame2", 1440, 960, 735, 855);
    CommandStart = place(new QPushButton(Frame2), "CommandStart", 120, 480, 495, 285);
    Led1 = place(new Voyant(Frame2), "Led1", 240, 240, 255, 135);

    Frame1 = place(cadre(), "Frame1", 120, 960, 1335, 855);
    groupeOption1 = new QButtonGroup(this);
    const char* legendes[] = {"2'", "10'", "1h"};
    for (int i = 2; i >= 0; --i) { // created in the window's order: 2, 1, 0
        QPushButton* b = place(new BoutonRadio(QString::fromLatin1(legendes[i]), Frame1),
                               QStringLiteral("Option1_%1").arg(i), 120 + 360 * i, 360, 375, 285);
        groupeOption1->addButton(b, i);
        Option1[static_cast<std::size_t>(i)] = b;
    }
    Option1[1]->setChecked(true);

    // Tab order of the window's definition, after the address that acknowledges the alarm.
    const std::array<QWidget*, 8> tab{LabelIp,    Option1[0],  CommandStart, Option1[1],
                                      Option1[2], CheckUpload, CheckMail,    text1};
    for (std::size_t i = 1; i < tab.size(); ++i) {
        QWidget::setTabOrder(tab[i - 1], tab[i]);
    }
}

void Console::relieMoteur()
{
    connect(CommandStart, &QPushButton::clicked, this, &Console::CommandStart_Click);
    connect(text1, &RichTextView::clicked, this, &Console::text1_Click);
    // A change of state runs the box's action, whether the user or the settings made it.
    connect(CheckMail, &QCheckBox::toggled, &moteur_, &Moteur::setMail);
    connect(CheckUpload, &QCheckBox::toggled, &moteur_, &Moteur::setUpload);
    connect(groupeOption1, &QButtonGroup::idClicked, &moteur_, &Moteur::setIntervalle);

    connect(&moteur_, &Moteur::journalCharge, text1, &RichTextView::setText);
    connect(&moteur_, &Moteur::texteAjoute, this, [this](const QString& texte) {
        text1->appendText(texte);
        text1->caretALaFin();
    });
    connect(&moteur_, &Moteur::adresseAffichee, LabelIp, &QLabel::setText);
    connect(&moteur_, &Moteur::heureVerification, LabelHeure, &QLabel::setText);
    connect(&moteur_, &Moteur::phaseAlarme, this, &Console::colorieAlarme);
    // An alarm starts and ends in the normal colour; the ticks blink it.
    connect(&moteur_, &Moteur::alarmeChangee, this, [this] { colorieAlarme(false); });
    connect(&moteur_, &Moteur::voyant, Led1, &Voyant::setVif);
    connect(&moteur_, &Moteur::marcheChangee, CommandStart,
            [this](bool enMarche) { CommandStart->setText(enMarche ? tr("Stop") : tr("Start")); });
    connect(&moteur_, &Moteur::optionsChangees, this, &Console::montreOptions);
    connect(&moteur_, &Moteur::positionChargee, this, [this](QPoint twips) {
        move(px(twips.x()), px(twips.y()));
        dernierePosition_ = pos();
    });
    // A first start: the help's steps in the interface's language, until a flag is clicked.
    connect(&moteur_, &Moteur::aideDemandee, this, [this] {
        Parametres& p = moteur_.parametres();
        if (langueEffective(p.Langue, QLocale::system()) == kLangueAnglais) {
            p.LangageInt = QStringLiteral("oui");
        }
        menuAide_Click();
    });
    // An assembly in debug mode brings its window back, also after the user closed it.
    connect(&publication_, &Publication::pageAssemblee, this, [this] {
        if (moteur_.reglages().modeDebug) {
            read_file_txt()->show();
        }
    });
}

void Console::montreOptions(const Reglages& r)
{
    menuAudio->setChecked(r.bipChangement);
    MenuLog->setChecked(r.sauveLog);
    menuDebug->setChecked(r.modeDebug);
    menuDemarrage->setChecked(r.demarrageAuto);
    CheckUpload->setChecked(r.uploadFichier);
    CheckMail->setChecked(r.mailAuto);
    Option1[static_cast<std::size_t>(r.intervalle)]->setChecked(true);
    menuComplet->setChecked(r.taille == Taille::Complet);
    menuReduit->setChecked(r.taille == Taille::Reduit);
    // The window's own frame is the desktop's; the size set is that of the inside, menu line
    // included, as it was on the desktop the layout was drawn for.
    const QSize t = kTailles[r.taille == Taille::Reduit ? 1 : 0] - kCadre;
    setFixedSize(px(t.width()), px(t.height()) + menuBar()->sizeHint().height());
    menuTjVisible->setChecked(r.toujoursVisible);
    if (r.toujoursVisible != dessus_) {
        dessus_ = r.toujoursVisible;
        // On a shown window the hint goes to the window manager at once, without hiding the
        // window as QWidget::setWindowFlag would.
        if (QWindow* w = windowHandle(); w && isVisible()) {
            w->setFlag(Qt::WindowStaysOnTopHint, dessus_);
        } else {
            setWindowFlag(Qt::WindowStaysOnTopHint, dessus_);
        }
    }
    // Schemes 1 to 4: background and text; any other number leaves the log's colours.
    const std::array<std::pair<QColor, QColor>, 4> schemas{
        {{QApplication::palette().color(QPalette::Base), Qt::black},
         {Qt::black, QColor(0, 192, 0)},
         {Qt::black, QColor(192, 0, 0)},
         {QColor(224, 224, 224), Qt::black}}};
    if (r.couleur != couleurMontree_ && r.couleur >= 1 && r.couleur <= 4) {
        const auto& [fond, texte] = schemas[std::size_t(r.couleur - 1)];
        text1->setColours(fond, texte);
    }
    couleurMontree_ = r.couleur;
    // Debug mode shows the debug windows, each created first when needed. Leaving it hides
    // them, not closed: they keep what they show, and nothing is created just to be hidden.
    if (r.modeDebug != debugMontre_) {
        if ((debugMontre_ = r.modeDebug)) {
            read_file_txt();
            fenetre(smtp_, [this] { return new SmtpWindow(mailing_, this); });
        }
        for (QWidget* w : {page_.data(), smtp_.data()}) {
            if (w) {
                w->setVisible(debugMontre_);
            }
        }
    }
}

void Console::closeEvent(QCloseEvent* event)
{
    // A minimised or maximised window stores where it stands when it is normal.
    const QPoint coin = (isMinimized() || isMaximized()) ? dernierePosition_ : pos();
    if (!moteur_.Form_QueryUnload(coin * kTwipsParPixel)) {
        event->ignore();
        return;
    }
    for (QWidget* w : std::initializer_list<QWidget*>{page_, smtp_, aide_, about_, parametres_}) {
        if (w) {
            w->close();
        }
    }
    event->accept();
}

void Console::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    if (!isMinimized() && !isMaximized()) {
        dernierePosition_ = pos();
    }
}

bool Console::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type t = event->type(); // any button on the frame, a click on a label
    if ((watched == Frame3 && t == QEvent::MouseButtonPress) ||
        ((watched == LabelIp || watched == LabelHeure) && t == QEvent::MouseButtonRelease)) {
        moteur_.acquitteAlarme();
    }
    if (watched == LabelIp && t == QEvent::KeyPress) {
        const int touche = static_cast<QKeyEvent*>(event)->key();
        if (touche == Qt::Key_Space || touche == Qt::Key_Return || touche == Qt::Key_Enter) {
            moteur_.acquitteAlarme();
            return true;
        }
    }
    if (watched == LabelIp && (t == QEvent::FocusIn || t == QEvent::FocusOut)) {
        // A label draws no focus of its own: a frame shows where the keys go.
        LabelIp->setFrameShape(t == QEvent::FocusIn ? QFrame::Box : QFrame::NoFrame);
    }
    return QMainWindow::eventFilter(watched, event);
}

void Console::colorieAlarme(bool rouge)
{
    for (QLabel* l : {LabelIp, LabelHeure}) {
        QPalette p = l->palette();
        p.setColor(QPalette::Window,
                   rouge ? kCouleurAlarme : QApplication::palette().color(QPalette::Button));
        l->setPalette(p);
    }
}

QWidget* Console::fenetre(QPointer<QWidget>& w, const std::function<QWidget*()>& cree)
{
    if (!w) { // closing one deletes it; the next use makes a new one
        w = cree();
        w->setAttribute(Qt::WA_DeleteOnClose);
    }
    return w;
}

void Console::menuAide_Click()
{
    setEnabled(false);
    setCursor(Qt::WaitCursor);
    fenetre(aide_, [this] { return new Aide(moteur_.parametres(), links_, this); })->show();
    setEnabled(true);
    unsetCursor();
}

void Console::menu_about_Click()
{
    fenetre(about_, [this] { return new About(links_, this); })->show();
}

QWidget* Console::read_file_txt()
{
    return fenetre(page_, [this] { return new ReadFileTxtWindow(publication_, this); });
}

} // namespace corvane
