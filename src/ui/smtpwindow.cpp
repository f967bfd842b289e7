#include "ui/smtpwindow.h"

#include "mail/mailing.h"
#include "ui/richtextview.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>

#include <algorithm>

namespace corvane {

namespace {

constexpr int kTwipsParPixel = 15;

QRect enPixels(int gauche, int haut, int largeur, int hauteur)
{
    return {gauche / kTwipsParPixel, haut / kTwipsParPixel, largeur / kTwipsParPixel,
            hauteur / kTwipsParPixel};
}

// The strip gains "ll" per arrival of server data and is never emptied; past the box's width
// more of it changes nothing on screen, so it is drawn at most this many arrivals long.
constexpr qint64 kBandeMax = 512;

} // namespace

SmtpWindow::SmtpWindow(const Mailing& mailing, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      mailing_(mailing)
{
    setObjectName(QStringLiteral("smtp"));
    setFixedSize(8925 / kTwipsParPixel, 4815 / kTwipsParPixel);
    {
        // MS Sans Serif 8.25 pt is absent here: a sans face of close metrics, at its size.
        QFont f(QStringLiteral("Liberation Sans"));
        f.setStyleHint(QFont::SansSerif);
        f.setPointSizeF(8.25);
        setFont(f);
    }

    rtxtLog_ = new RichTextView(this);
    rtxtLog_->setObjectName(QStringLiteral("rtxtLog"));
    rtxtLog_->setGeometry(enPixels(120, 120, 8655, 3015));
    rtxtLog_->setReadOnly(true);
    rtxtLog_->setLineWrapMode(QTextEdit::NoWrap);
    rtxtLog_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    rtxtLog_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    text1_ = new QLineEdit(QStringLiteral("l"), this);
    text1_->setObjectName(QStringLiteral("text1"));
    text1_->setGeometry(enPixels(120, 3240, 8655, 330));
    {
        // The activity strip: menu-coloured, written in the active title bar's colour.
        QPalette p = text1_->palette();
        p.setColor(QPalette::Base, QApplication::palette().color(QPalette::Window));
        p.setColor(QPalette::Text, QApplication::palette().color(QPalette::Highlight));
        text1_->setPalette(p);
        QFont f = font();
        f.setPointSizeF(9.75);
        text1_->setFont(f);
    }

    Label1_ = new QLabel(this);
    Label1_->setObjectName(QStringLiteral("Label1"));
    // Grown from the layout's 1815 x 255 to the caption at 120 dpi, clear of the list below.
    Label1_->setGeometry(enPixels(3600, 3690, 2415, 270));

    List1_ = new QListWidget(this);
    List1_->setObjectName(QStringLiteral("List1"));
    List1_->setGeometry(enPixels(120, 3960, 8655, 645));

    setTabOrder(rtxtLog_, text1_);
    setTabOrder(text1_, List1_);

    connect(&mailing_, &Mailing::dialogue, this, &SmtpWindow::ajouteLigne);
    connect(&mailing_, &Mailing::activite, this, [this] {
        if (isVisible()) {
            redessineBande();
        } else {
            aJour_ = false;
        }
    });
    connect(&mailing_, &Mailing::listeChangee, this, [this] {
        if (isVisible()) {
            redessineListe();
        } else {
            aJour_ = false;
        }
    });
    retraduit();
    redessine();
}

SmtpWindow::~SmtpWindow() = default;

void SmtpWindow::retraduit()
{
    setWindowTitle(tr("LOG - Debug transfert smtp"));
    Label1_->setText(tr("Adresse Mail Disponible"));
}

void SmtpWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        retraduit();
    }
    QWidget::changeEvent(event);
}

void SmtpWindow::showEvent(QShowEvent* event)
{
    if (!aJour_) {
        redessine();
    }
    QWidget::showEvent(event);
}

void SmtpWindow::redessine()
{
    rtxtLog_->setText(mailing_.texteLog());
    rtxtLog_->caretALaFin();
    redessineBande();
    redessineListe();
    aJour_ = true;
}

void SmtpWindow::ajouteLigne(const QString& ligne)
{
    if (!isVisible()) {
        aJour_ = false;
        return;
    }
    if (rtxtLog_->text().size() + ligne.size() > Mailing::kLogMax) {
        // The mailing has dropped the log's beginning by now: its text is the one to show.
        rtxtLog_->setText(mailing_.texteLog());
    } else {
        rtxtLog_->appendText(ligne);
    }
    rtxtLog_->caretALaFin();
}

void SmtpWindow::redessineBande()
{
    text1_->setText(QStringLiteral("l") +
                    QStringLiteral("ll").repeated(std::min(mailing_.activites(), kBandeMax)));
}

void SmtpWindow::redessineListe()
{
    List1_->clear();
    for (const QString& adresse : mailing_.liste()) {
        List1_->addItem(adresse);
    }
}

} // namespace corvane
