#include "ui/voyant.h"

#include <QGuiApplication>
#include <QPainter>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

namespace corvane {
namespace {

xcb_connection_t* connexionX()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// The pixel of a colour in the screen's default visual, when that is plain 24-bit true colour
// (as on every X server of today); otherwise the indicator paints itself.
bool pixelRgb(xcb_connection_t* c, xcb_visualid_t visual)
{
    const xcb_screen_t* ecran = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!ecran || ecran->root_visual != visual) {
        return false;
    }
    for (auto d = xcb_screen_allowed_depths_iterator(ecran); d.rem; xcb_depth_next(&d)) {
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
            if (v.data->visual_id == visual) {
                return v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR &&
                       v.data->red_mask == 0xff0000 && v.data->green_mask == 0xff00 &&
                       v.data->blue_mask == 0xff;
            }
        }
    }
    return false;
}

} // namespace

Voyant::Voyant(QWidget* parent) : QLabel(parent)
{
    // Every pixel is painted here: the frame behind needs no repaint at each blink.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    if (connexionX()) {
        lampe_ = new QWindow;
        lampe_->setTitle(QStringLiteral("Led1")); // what tools that list windows show
        conteneur_ = QWidget::createWindowContainer(lampe_, this);
        // Clicks go through to whatever is under the indicator, as on a plain label.
        conteneur_->setAttribute(Qt::WA_TransparentForMouseEvents);
        lampe_->setFlag(Qt::WindowTransparentForInput);
        conteneur_->hide(); // until the server is known to fill it in the right colour
    }
}

void Voyant::setCouleur(const QColor& couleur)
{
    if (couleur == couleur_) {
        return;
    }
    couleur_ = couleur;
    if (!peintParLeServeur()) {
        update();
    }
}

bool Voyant::peintParLeServeur()
{
    if (!lampe_ || !isVisible()) {
        return false;
    }
    xcb_connection_t* c = connexionX();
    const auto fenetre = static_cast<xcb_window_t>(lampe_->winId());
    if (fenetre != verifiee_) { // asked once per window: a round trip to the server
        xcb_get_window_attributes_reply_t* attributs =
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, fenetre), nullptr);
        const bool rgb = attributs && pixelRgb(c, attributs->visual);
        free(attributs);
        if (!rgb) {
            delete conteneur_; // and the window it holds
            conteneur_ = nullptr;
            lampe_ = nullptr;
            return false;
        }
        verifiee_ = fenetre;
    }
    const uint32_t pixel = couleur_.rgb() & 0xffffff;
    xcb_change_window_attributes(c, fenetre, XCB_CW_BACK_PIXEL, &pixel);
    xcb_clear_area(c, 0, fenetre, 0, 0, 0, 0);
    xcb_flush(c);
    if (conteneur_->isHidden()) {
        conteneur_->show();
    }
    return true;
}

void Voyant::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), couleur_);
    drawFrame(&p);
}

void Voyant::resizeEvent(QResizeEvent* e)
{
    QLabel::resizeEvent(e);
    if (conteneur_) {
        conteneur_->setGeometry(contentsRect());
    }
}

void Voyant::showEvent(QShowEvent* e)
{
    QLabel::showEvent(e);
    peintParLeServeur();
}

} // namespace corvane
