#pragma once
// Web and mail addresses in the help texts: the blank-delimited word under the mouse pointer,
// whether it is a link, and the mouse handling of the boxes that show such texts.
//
// The scan and the classification are a pure function over a text and a character index, so
// they can be tested, fuzzed and measured without a window; the widget part only turns a
// pointer position into that index.

#include <QCursor>
#include <QObject>
#include <QString>
#include <QStringView>
#include <QUrl>

class QTextEdit;
class QWidget;

namespace corvane {

class LinkOpener;

struct InfoLien {
    QString Lien;         // what to open: the web word, or the mail address without "mailto:"
    bool EstLien = false; // a link of either kind
    bool EstMail = false; // a mail address; never true without EstLien

    bool operator==(const InfoLien&) const = default;
};

// Each scan looks at this many positions at most, the pointer's own included.
inline constexpr int kPorteeRecherche = 100;
// Mouse positions travel in twips; the screen has this many per pixel.
inline constexpr int kTwipsParPixel = 15;

// True for the characters that end a word: blank, TAB, LF and CR, and the two line separators
// a rich-text document uses for its line ends.
bool estDelimiteur(QChar c);

// The word of text around index c (0 <= c <= text.size(); outside that nothing is found), and
// its classification. Positions before and after the text count as delimiters.
InfoLien ChercheLien(QStringView text, qsizetype c);

// Pixels from a position in twips: the position rounded half to even, divided by the rounded
// twips per pixel, the remainder dropped.
int twipsVersPixels(double twips, double twipsParPixel = kTwipsParPixel);

// The word under the point (x, y), in twips relative to the box's viewport.
InfoLien ChercheLien(double x, double y, const QTextEdit& box);

// The address to hand to the desktop for a result: "mailto:" + address for mail, the word for
// the web with "http://" put before a word that has no scheme. An empty URL when nothing may be
// opened: no link, or a scheme other than http, https or mailto, or an unusable address.
QUrl adresseAOuvrir(const InfoLien& r);

// Mouse handling of a box whose words are links: any button pressed over a link opens it once;
// the pointer is the hand over a link and the box's own pointer elsewhere. Watches the box's
// viewport; owned by the box.
class SourisLiens : public QObject {
    Q_OBJECT
public:
    SourisLiens(QTextEdit& box, LinkOpener& links);

    // The two handlers, with the position in twips as the box's mouse events give it.
    void MouseDown(double x, double y);
    void MouseMove(double x, double y);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTextEdit& box_;
    QWidget* viewport_;
    LinkOpener& links_;
    QCursor curseurNormal_;
};

// Reports a click (left button pressed and released over the same widget) on a widget that
// has no click signal of its own: a picture, a label, a bare frame. Owned by the widget.
class Clic : public QObject {
    Q_OBJECT
public:
    explicit Clic(QWidget& widget);

signals:
    void clicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& widget_;
    bool appuye_ = false;
};

// The pointing hand shown over links, its hot spot at the fingertip.
const QCursor& pointeurMain();

} // namespace corvane
