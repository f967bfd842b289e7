#include "ui/aide.h"

#include "config/parametres.h"
#include "ui/modliens.h"
#include "ui/richtextview.h"

#include <QEvent>
#include <QFile>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

namespace corvane {
namespace {

// The layout is drawn in twips, fifteen to a pixel.
constexpr int px(int twips)
{
    return twips / kTwipsParPixel;
}

constexpr QRect place(int left, int top, int width, int height)
{
    return {px(left), px(top), px(width), px(height)};
}

// Boxes as the layout draws them, for 96 dpi and the French captions.
constexpr QRect kFrame1 = place(120, 3480, 9255, 6615);
constexpr QRect kRT1 = place(120, 1080, 9015, 5415);
constexpr QRect kLabel2 = place(1920, 360, 5295, 615);
constexpr QRect kEtapes = place(240, 600, 9015, 2775);
constexpr QRect kLabel3 = place(2880, 120, 3615, 495);

// A label grown about its centre, and downwards, to what its text needs; the height added.
int agrandit(QLabel* l, const QRect& dessin)
{
    const QSize besoin = l->sizeHint();
    const int dw = std::max(0, besoin.width() - dessin.width());
    QRect r = dessin.adjusted(-dw / 2, 0, dw - dw / 2, 0);
    r.setHeight(std::max(dessin.height(), besoin.height()));
    l->setGeometry(r);
    return r.height() - dessin.height();
}

QString ressource(const QString& nom)
{
    QFile f(QStringLiteral(":/help/") + nom);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(f.readAll());
}

QFont police(double points, bool gras = false)
{
    QFont f(policeSansSerif());
    f.setPointSizeF(points);
    f.setBold(gras);
    return f;
}

QLabel* image(QWidget* parent, const QString& nom, const QString& fichier, const QString& bulle,
              const QRect& r)
{
    auto* l = new QLabel(parent);
    l->setObjectName(nom);
    l->setPixmap(QPixmap(QStringLiteral(":/pictures/") + fichier));
    l->setScaledContents(true);
    l->setToolTip(bulle);
    l->setCursor(pointeurMain());
    l->setGeometry(r);
    return l;
}

} // namespace

QString policeSansSerif()
{
    const QStringList presentes = QFontDatabase::families();
    for (const char* nom :
         {"MS Sans Serif", "Liberation Sans", "Nimbus Sans", "Arial", "DejaVu Sans"}) {
        if (presentes.contains(QLatin1String(nom))) {
            return QLatin1String(nom);
        }
    }
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

Aide::Aide(Parametres& p, LinkOpener& links, QWidget* parent) : QDialog(parent), p_(p)
{
    setObjectName(QStringLiteral("Aide"));
    setWindowIcon(QIcon(QStringLiteral(":/pictures/aide.png")));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(false);
    setFixedSize(px(9495), px(10230));
    setFont(police(12));

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(kFrame1);

    RT1 = new RichTextView(Frame1);
    RT1->setObjectName(QStringLiteral("RT1"));
    RT1->setGeometry(kRT1);
    RT1->setReadOnly(true);
    QPalette jaune = RT1->palette();
    jaune.setColor(QPalette::Base, QColor(255, 255, 192));
    RT1->setPalette(jaune);

    Label2 = new QLabel(Frame1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(kLabel2);
    Label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label2->setTextFormat(Qt::PlainText);
    // The layout was drawn with a narrow bitmap font: the legend keeps its size and its box,
    // and a slightly condensed face keeps its longest line inside.
    QFont legende = police(8.25);
    legende.setStretch(90);
    Label2->setFont(legende);

    const auto etapes = [&](const char* nom, const char* fichier) {
        auto* rt = new RichTextView(this);
        rt->setObjectName(QLatin1String(nom));
        rt->setGeometry(kEtapes);
        rt->setReadOnly(true);
        // The steps are short: the whole text shows, with no bar to scroll it.
        rt->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        rt->setRichText(ressource(QLatin1String(fichier)));
        new SourisLiens(*rt, links);
        return rt;
    };
    RT2 = etapes("RT2", "rt2.html");
    RT2eng = etapes("RT2eng", "rt2eng.html");

    Image2 = image(this, QStringLiteral("Image2"), QStringLiteral("english.png"), {},
                   place(8280, 120, 420, 255));
    Image1 = image(this, QStringLiteral("Image1"), QStringLiteral("francais.png"), {},
                   place(7680, 120, 420, 255));
    connect(new Clic(*Image1), &Clic::clicked, this, &Aide::Image1_Click);
    connect(new Clic(*Image2), &Clic::clicked, this, &Aide::Image2_Click);

    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(kLabel3);
    Label3->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label3->setFont(police(13.5));

    setTabOrder(RT2, RT1);
    setTabOrder(RT1, RT2eng);

    retraduit();
    Form_Load();
}

Aide::~Aide() = default;

// The window's own captions follow the interface's language; the steps and the notes of the
// sample follow the flags.
void Aide::retraduit()
{
    setWindowTitle(tr("Aide Corvane"));
    Frame1->setTitle(tr("Fichier \"Corvane.cfg\""));
    RT1->setToolTip(tr("Fichier Corvane.cfg"));
    Image2->setToolTip(tr("International language"));
    Image1->setToolTip(tr("langage Francais"));
    Label3->setText(tr("Installation - Configuration"));
    Label2->setText(tr("Paramètre en rouge : pour la détection de l'IP\n"
                       "Paramètres en orange : pour l'upload ftp et/ou le transfert de mail\n"
                       "Paramètres en grisé : option du logiciel et/ou non utilisé dans cette "
                       "version"));
    ajusteTailles();
}

// Where a caption or the steps need more room than the layout gives (a larger font
// resolution, the other language), their box grows to fit, and the sample below gives up the
// height they take. The steps never scroll: their text is short and is the help itself.
void Aide::ajusteTailles()
{
    agrandit(Label3, kLabel3);
    const int legende = agrandit(Label2, kLabel2);
    int etapes = 0;
    for (RichTextView* rt : {RT2, RT2eng}) {
        QTextDocument* d = rt->document();
        d->setTextWidth(kEtapes.width() - 2 * rt->frameWidth());
        etapes = std::max(etapes, int(std::ceil(d->size().height())) + 2 * rt->frameWidth() -
                                      kEtapes.height());
    }
    for (RichTextView* rt : {RT2, RT2eng}) {
        rt->setGeometry(kEtapes.adjusted(0, 0, 0, etapes));
    }
    Frame1->setGeometry(kFrame1.adjusted(0, etapes, 0, 0));
    RT1->setGeometry(kRT1.adjusted(0, legende, 0, -etapes));
}

void Aide::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        retraduit();
    }
    QDialog::changeEvent(event);
}

void Aide::Form_Load()
{
    montreEtapes(p_.LangageInt == QLatin1String("non"));
}

void Aide::montreEtapes(bool francais)
{
    RT2->setVisible(francais);
    RT2eng->setVisible(!francais);
    RT1->setRichText(
        ressource(francais ? QStringLiteral("rt1.html") : QStringLiteral("rt1eng.html")));
}

void Aide::Image1_Click()
{
    montreEtapes(true);
    p_.LangageInt = QStringLiteral("non");
}

void Aide::Image2_Click()
{
    montreEtapes(false);
    p_.LangageInt = QStringLiteral("oui");
}

} // namespace corvane
