#include "ui/aide.h"

#include "config/parametres.h"
#include "ui/modliens.h"
#include "ui/richtextview.h"

#include <QFile>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>

namespace corvane {
namespace {

// The layout is drawn in twips, fifteen to a pixel.
constexpr int px(int twips)
{
    return twips / kTwipsParPixel;
}

QRect place(int left, int top, int width, int height)
{
    return {px(left), px(top), px(width), px(height)};
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
    setWindowTitle(QStringLiteral("Aide Corvane"));
    setWindowIcon(QIcon(QStringLiteral(":/pictures/aide.png")));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(false);
    setFixedSize(px(9495), px(10230));
    setFont(police(12));

    Frame1 = new QGroupBox(QStringLiteral("Fichier \"Corvane.cfg\""), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(place(120, 3480, 9255, 6615));

    RT1 = new RichTextView(Frame1);
    RT1->setObjectName(QStringLiteral("RT1"));
    RT1->setGeometry(place(120, 1080, 9015, 5415));
    RT1->setReadOnly(true);
    RT1->setToolTip(QStringLiteral("Fichier Corvane.cfg"));
    QPalette jaune = RT1->palette();
    jaune.setColor(QPalette::Base, QColor(255, 255, 192));
    RT1->setPalette(jaune);
    RT1->setRichText(ressource(QStringLiteral("rt1.html")));

    Label2 = new QLabel(Frame1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(place(1920, 360, 5295, 615));
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
        rt->setGeometry(place(240, 600, 9015, 2775));
        rt->setReadOnly(true);
        rt->setRichText(ressource(QLatin1String(fichier)));
        new SourisLiens(*rt, links);
        return rt;
    };
    RT2 = etapes("RT2", "rt2.html");
    RT2eng = etapes("RT2eng", "rt2eng.html");

    Image2 = image(this, QStringLiteral("Image2"), QStringLiteral("english.png"),
                   QStringLiteral("International language"), place(8280, 120, 420, 255));
    Image1 = image(this, QStringLiteral("Image1"), QStringLiteral("francais.png"),
                   QStringLiteral("langage Francais"), place(7680, 120, 420, 255));
    connect(new Clic(*Image1), &Clic::clicked, this, &Aide::Image1_Click);
    connect(new Clic(*Image2), &Clic::clicked, this, &Aide::Image2_Click);

    Label3 = new QLabel(QStringLiteral("Installation - Configuration"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(place(2880, 120, 3615, 495));
    Label3->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label3->setFont(police(13.5));

    setTabOrder(RT2, RT1);
    setTabOrder(RT1, RT2eng);

    Form_Load();
}

Aide::~Aide() = default;

void Aide::Form_Load()
{
    Label2->setText(QStringLiteral("Paramètre en rouge : pour la détection de l'IP\r\n"
                                   "Paramètres en orange : pour l'upload ftp et/ou le "
                                   "transfert de mail\r\n"
                                   "Paramètres en grisé : option du logiciel et/ou non "
                                   "utilisé dans cette version"));
    if (p_.LangageInt == QLatin1String("non")) {
        RT2->setVisible(true);
        RT2eng->setVisible(false);
    } else {
        RT2eng->setVisible(true);
        RT2->setVisible(false);
    }
}

void Aide::Image1_Click()
{
    RT2->setVisible(true);
    RT2eng->setVisible(false);
    p_.LangageInt = QStringLiteral("non");
}

void Aide::Image2_Click()
{
    RT2eng->setVisible(true);
    RT2->setVisible(false);
    p_.LangageInt = QStringLiteral("oui");
}

} // namespace corvane
