#pragma once
// The running indicator Led1: a small framed label whose background colour is its state.

#include <QLabel>

class QWindow;

namespace corvane {

class Voyant : public QLabel {
public:
    explicit Voyant(QWidget* parent = nullptr);

    // Bright red while the cycle runs and blinks, dark red otherwise.
    void setVif(bool vif) { setCouleur(vif ? QColor(255, 0, 0) : QColor(128, 0, 0)); }

    QColor couleur() const { return couleur_; }
    void setCouleur(const QColor& couleur);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void showEvent(QShowEvent*) override;

private:
    bool peintParLeServeur();

    QColor couleur_{128, 0, 0};
    // On X11 the inside of the frame is a child window that the X server fills with its
    // background pixel: a blink is one request, with no repaint in the program at all.
    QWindow* lampe_ = nullptr;
    QWidget* conteneur_ = nullptr;
    quintptr verifiee_ = 0; // the lamp window whose visual was found usable
};

} // namespace corvane
