#include "ui/about.h"

#include "platform/platform.h"
#include "ui/aide.h"
#include "ui/modliens.h"

#include <QEvent>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

namespace corvane {
namespace {

QRect place(int left, int top, int width, int height)
{
    return {left / kTwipsParPixel, top / kTwipsParPixel, width / kTwipsParPixel,
            height / kTwipsParPixel};
}

QFont police(const QString& famille, double points, bool gras = false)
{
    QFont f(famille);
    f.setPointSizeF(points);
    f.setBold(gras);
    return f;
}

QString policeSerif()
{
    const QStringList presentes = QFontDatabase::families();
    for (const char* nom : {"MS Serif", "Liberation Serif", "Nimbus Roman", "DejaVu Serif"}) {
        if (presentes.contains(QLatin1String(nom))) {
            return QLatin1String(nom);
        }
    }
    return policeSansSerif();
}

QLabel* label(QWidget* parent, const char* nom, const QString& texte, const QRect& r)
{
    auto* l = new QLabel(texte, parent);
    l->setObjectName(QLatin1String(nom));
    l->setGeometry(r);
    l->setTextFormat(Qt::PlainText);
    // Presses and moves over a label or a picture stay with it instead of reaching the link
    // area or the window behind: one click opens once, and the underlines stay as they are.
    l->setAttribute(Qt::WA_NoMousePropagation);
    return l;
}

QLabel* image(QWidget* parent, const char* nom, const QString& fichier, const QRect& r)
{
    auto* l = label(parent, nom, {}, r);
    l->setPixmap(QPixmap(QStringLiteral(":/pictures/") + fichier));
    l->setScaledContents(true);
    return l;
}

QFrame* zoneLien(QWidget* parent, const char* nom, const QRect& r)
{
    auto* f = new QFrame(parent);
    f->setObjectName(QLatin1String(nom));
    f->setFrameShape(QFrame::NoFrame);
    f->setGeometry(r);
    f->setCursor(pointeurMain());
    f->setMouseTracking(true);
    f->setAttribute(Qt::WA_NoMousePropagation);
    return f;
}

} // namespace

About::About(LinkOpener& links, QWidget* parent) : QDialog(parent), links_(links)
{
    setObjectName(QStringLiteral("About"));
    setWindowIcon(QIcon(QStringLiteral(":/pictures/about.png")));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(false);
    setFixedSize(place(0, 0, 4680, 3960).size());
    const QString sans = policeSansSerif();
    setFont(police(sans, 8.25));
    setMouseTracking(true);

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(place(240, 120, 4215, 1335));
    Frame1->setAttribute(Qt::WA_NoMousePropagation);

    Label5 = label(Frame1, "Label5", kMarqueBrenn, place(2400, 960, 735, 195));
    Label5->setFont(police(policeSerif(), 6));
    QPalette gris = Label5->palette();
    gris.setColor(QPalette::WindowText, gris.color(QPalette::Dark));
    Label5->setPalette(gris);

    Image3 = image(Frame1, "Image3", QStringLiteral("corvane.png"), place(240, 360, 480, 480));
    Label4 = label(Frame1, "Label4", QStringLiteral("Corvane"), place(960, 360, 2655, 495));
    Label4->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label4->setFont(police(sans, 12, true));
    Label3 = label(Frame1, "Label3", QStringLiteral("V 1.05"), place(1620, 915, 735, 285));
    Label3->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label3->setFont(police(sans, 9.75));

    Command1 = new QPushButton(this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(place(1800, 3480, 975, 375));
    Command1->setAttribute(Qt::WA_NoMousePropagation);
    connect(Command1, &QPushButton::clicked, this, &About::Command1_Click);

    QPalette vert = palette();
    vert.setColor(QPalette::WindowText, QColor(0, 128, 0));

    SiteBrenn = zoneLien(this, "SiteBrenn", place(360, 2520, 3855, 615));
    Label2 = label(SiteBrenn, "Label2", QUrl(kSiteBrenn).host(), place(1440, 120, 2295, 255));
    Label2->setPalette(vert);
    Label2->setCursor(pointeurMain());
    Image2 = image(SiteBrenn, "Image2", QStringLiteral("banner.png"), place(240, 0, 1095, 495));
    Image2->setCursor(pointeurMain());

    Mail = zoneLien(this, "Mail", place(1080, 1800, 3015, 615));
    Label1 = label(Mail, "Label1", kMailBrenn, place(720, 240, 2175, 255));
    Label1->setPalette(vert);
    Label1->setCursor(pointeurMain());
    Image1 = image(Mail, "Image1", QStringLiteral("mail.png"), place(120, 120, 480, 480));

    for (QWidget* w : {static_cast<QWidget*>(Mail), static_cast<QWidget*>(Label1),
                       static_cast<QWidget*>(Image1)}) {
        connect(new Clic(*w), &Clic::clicked, this, &About::OuvreMail);
    }
    for (QWidget* w : {static_cast<QWidget*>(SiteBrenn), static_cast<QWidget*>(Label2),
                       static_cast<QWidget*>(Image2)}) {
        connect(new Clic(*w), &Clic::clicked, this, &About::OuvreSite);
    }
    installEventFilter(this);
    Mail->installEventFilter(this);
    SiteBrenn->installEventFilter(this);
    retraduit();
}

// The maker's mark, the product's name and version and the addresses read the same in every
// language.
void About::retraduit()
{
    setWindowTitle(tr("About Brenn"));
    Command1->setText(tr("OK"));
}

void About::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        retraduit();
    }
    QDialog::changeEvent(event);
}

About::~About() = default;

void About::souligne(QLabel* label, bool oui)
{
    QFont f = label->font();
    f.setUnderline(oui);
    label->setFont(f);
}

bool About::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseMove) {
        if (watched == this) {
            souligne(Label1, false);
            souligne(Label2, false);
        } else if (watched == Mail) {
            souligne(Label1, true);
        } else if (watched == SiteBrenn) {
            souligne(Label2, true);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void About::OuvreMail()
{
    links_.open(QUrl(QStringLiteral("mailto:") + kMailBrenn + QStringLiteral("?Subject=Corvane")));
}

void About::OuvreSite()
{
    links_.open(QUrl(kSiteBrenn));
}

void About::Command1_Click()
{
    close();
}

} // namespace corvane
