#include "ui/modliens.h"

#include "platform/platform.h"

#include <QAbstractTextDocumentLayout>
#include <QCursor>
#include <QMouseEvent>
#include <QPixmap>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace corvane {

bool estDelimiteur(QChar c)
{
    switch (c.unicode()) {
    case u' ':
    case u'\t':
    case u'\n':
    case u'\r':
    case 0x2028: // line separator (a forced line break in a document)
    case 0x2029: // paragraph separator (a document's line end)
        return true;
    default:
        return false;
    }
}

InfoLien ChercheLien(QStringView text, qsizetype c)
{
    const qsizetype longueur = text.size();
    if (longueur == 0 || c < 0 || c > longueur) {
        return {};
    }
    const auto delimiteurEn = [&](qsizetype k) {
        return k < 0 || k >= longueur || estDelimiteur(text[k]);
    };

    qsizetype debut = -1;
    for (qsizetype k = c; k > c - kPorteeRecherche; --k) {
        if (delimiteurEn(k)) {
            debut = k + 1;
            break;
        }
    }
    if (debut < 0) {
        return {};
    }
    qsizetype fin = -1;
    for (qsizetype k = c; k < c + kPorteeRecherche; ++k) {
        if (delimiteurEn(k)) {
            fin = k;
            break;
        }
    }
    if (fin < 0 || fin <= debut) {
        return {};
    }

    const QString mot = text.sliced(debut, fin - debut).toString();
    const QString majuscules = mot.toUpper();
    if (majuscules.contains(u"HTTP://") || majuscules.contains(u"WWW.")) {
        return {mot, true, false};
    }
    if (majuscules.contains(u"MAILTO:")) {
        // The prefix is taken as the word's first seven characters, wherever it stood.
        return {mot.sliced(qMin<qsizetype>(7, mot.size())), true, true};
    }
    if (mot.contains(u'@')) {
        return {mot, true, true};
    }
    return {};
}

int twipsVersPixels(double twips, double twipsParPixel)
{
    const auto arrondi = [](double v) {
        // Half to the even neighbour, whatever the floating-point environment says.
        const double bas = std::floor(v);
        const double reste = v - bas;
        if (reste > 0.5 || (reste == 0.5 && std::fmod(bas, 2.0) != 0.0)) {
            return bas + 1.0;
        }
        return bas;
    };
    const double diviseur = arrondi(twipsParPixel);
    if (!std::isfinite(twips) || diviseur == 0.0) {
        return 0;
    }
    const double pixels = std::trunc(arrondi(twips) / diviseur);
    return static_cast<int>(std::clamp(pixels, -1e9, 1e9));
}

namespace {

// The index of the character whose cell holds the point (viewport pixels), or of the nearest
// one. A cursor position is a gap between two characters: taking the gap nearest to the
// pointer would make the right half of a word's last character the blank after it.
qsizetype caractereSous(const QTextEdit& box, QPoint point)
{
    const QTextDocument& doc = *box.document();
    const QPointF dansDoc = QPointF(point) + QPointF(box.horizontalScrollBar()->value(),
                                                     box.verticalScrollBar()->value());
    const int proche = doc.documentLayout()->hitTest(dansDoc, Qt::FuzzyHit);
    const QTextBlock bloc = doc.findBlock(qMax(0, proche));
    const QTextLayout* mise = bloc.layout();
    if (!bloc.isValid() || mise == nullptr || mise->lineCount() == 0) {
        return qMax(0, proche);
    }
    const QPointF dansBloc = dansDoc - mise->position();
    QTextLine ligne = mise->lineAt(mise->lineCount() - 1);
    for (int i = 0; i < mise->lineCount(); ++i) {
        if (dansBloc.y() < mise->lineAt(i).rect().bottom()) {
            ligne = mise->lineAt(i);
            break;
        }
    }
    // Past a line's end: its last character, the blank it wraps at or the line end.
    return bloc.position() + ligne.xToCursor(dansBloc.x(), QTextLine::CursorOnCharacter);
}

} // namespace

InfoLien ChercheLien(double x, double y, const QTextEdit& box)
{
    // The document's own plain text: one character per line end, so that its indexes are
    // the cursor positions.
    const QString text = box.document()->toPlainText();
    if (text.isEmpty()) {
        return {};
    }
    const QPoint point(twipsVersPixels(x), twipsVersPixels(y));
    return ChercheLien(text, caractereSous(box, point));
}

QUrl adresseAOuvrir(const InfoLien& r)
{
    if (!r.EstLien) {
        return {};
    }
    QString adresse;
    if (r.EstMail) {
        adresse = QStringLiteral("mailto:") + r.Lien;
    } else {
        static const QRegularExpression schema(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
        adresse = schema.match(r.Lien).hasMatch() ? r.Lien : QStringLiteral("http://") + r.Lien;
    }
    const QUrl url(adresse, QUrl::TolerantMode);
    const QString schemaUrl = url.scheme().toLower();
    const bool web = schemaUrl == u"http" || schemaUrl == u"https";
    if (!url.isValid() || (web && url.host().isEmpty()) ||
        (!web && (schemaUrl != u"mailto" || url.path().isEmpty()))) {
        return {};
    }
    return url;
}

const QCursor& pointeurMain()
{
    static const QCursor curseur(QPixmap(QStringLiteral(":/pictures/main.png")), 5, 0);
    return curseur;
}

SourisLiens::SourisLiens(QTextEdit& box, LinkOpener& links)
    : QObject(&box), box_(box), viewport_(box.viewport()), links_(links)
{
    // The box's own pointer, as it was before any link was met.
    curseurNormal_ = viewport_->cursor();
    viewport_->setMouseTracking(true);
    viewport_->installEventFilter(this);
}

void SourisLiens::MouseDown(double x, double y)
{
    const QUrl url = adresseAOuvrir(ChercheLien(x, y, box_));
    if (!url.isEmpty()) {
        links_.open(url);
    }
}

void SourisLiens::MouseMove(double x, double y)
{
    if (ChercheLien(x, y, box_).EstLien) {
        viewport_->setCursor(pointeurMain());
    } else {
        viewport_->setCursor(curseurNormal_);
    }
}

bool SourisLiens::eventFilter(QObject* watched, QEvent* event)
{
    // The viewport is compared as it was at the start: while the box is being destroyed,
    // events still reach this filter and the box is no longer a text box.
    if (watched == viewport_) {
        // A double click's second press comes as a double-click event and opens nothing more.
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseMove) {
            const auto* souris = static_cast<QMouseEvent*>(event);
            const QPointF p = souris->position();
            const double x = p.x() * kTwipsParPixel;
            const double y = p.y() * kTwipsParPixel;
            if (event->type() == QEvent::MouseMove) {
                MouseMove(x, y);
            } else {
                MouseDown(x, y);
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

Clic::Clic(QWidget& widget) : QObject(&widget), widget_(widget)
{
    widget_.installEventFilter(this);
}

bool Clic::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &widget_) {
        if (event->type() == QEvent::MouseButtonPress) {
            appuye_ = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            const auto* souris = static_cast<QMouseEvent*>(event);
            if (souris->button() == Qt::LeftButton && appuye_) {
                appuye_ = false;
                if (widget_.rect().contains(souris->position().toPoint())) {
                    emit clicked();
                }
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace corvane
