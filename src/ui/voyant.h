#pragma once
// The running indicator Led1: a small framed label whose background colour is its state.
// It changes once a second while the cycle runs, so it repaints itself alone and cheaply,
// without the palette resolution and propagation a palette change costs.

#include <QLabel>
#include <QPainter>

namespace corvane {

class Voyant : public QLabel {
public:
    explicit Voyant(QWidget* parent = nullptr) : QLabel(parent)
    {
        // Every pixel is painted here: the frame behind needs no repaint at each blink.
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFrameShape(QFrame::Box);
        setLineWidth(1);
    }

    // Bright red while the cycle runs and blinks, dark red otherwise.
    void setVif(bool vif) { setCouleur(vif ? QColor(255, 0, 0) : QColor(128, 0, 0)); }

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
        p.fillRect(rect(), couleur_);
        drawFrame(&p);
    }

private:
    QColor couleur_{128, 0, 0};
};

} // namespace corvane
