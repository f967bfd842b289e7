#pragma once
// The running indicator Led1: a small framed label whose background colour is its state.
// It changes once a second while the cycle runs, so it repaints itself alone and cheaply,
// without the palette resolution and propagation a palette change costs.

#include <QLabel>
#include <QPainter>

namespace corvane {

class Voyant : public QLabel {
public:
    using QLabel::QLabel;

    QColor couleur() const { return couleur_; }
    void setCouleur(const QColor& couleur)
    {
        if (couleur != couleur_) {
            couleur_ = couleur;
            update();
        }
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(contentsRect(), couleur_);
        drawFrame(&p);
    }

private:
    QColor couleur_;
};

} // namespace corvane
