#include "VbImage.h"

#include "ControlGeometry.h"
#include "platform/LegibleColours.h"
#include "platform/Twips.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace platform {

VbImage::VbImage(QWidget* parent) : QWidget(parent) {
    setMaximumSize(kMaxPictureBoxPixels, kMaxPictureBoxPixels);
    // VB raises MouseMove without a button held, too.
    setMouseTracking(true);
}

void VbImage::setPicture(VbPicturePtr picture) {
    m_picture = std::move(picture);
    if (!m_stretch)
        takeNaturalSize();
    update();
}

void VbImage::setPicture(const QIcon& icon, QSize sizePixels) {
    setPicture(std::make_shared<IconPicture>(icon, sizePixels));
}

void VbImage::setStretch(bool stretch) {
    m_stretch = stretch;
    if (!m_stretch)
        takeNaturalSize();
    update();
}

void VbImage::takeNaturalSize() {
    if (!m_picture)
        return;
    const QSizeF natural = m_picture->naturalSizeTwips();
    resize(ControlGeometry::sizePixels(natural.width()),
           ControlGeometry::sizePixels(natural.height()));
}

void VbImage::setLegibleOn(const QColor& background) {
    m_legibleOn = background;
    update();
}

void VbImage::paintPicture(QPainter& painter) const {
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (m_stretch) {
        m_picture->paint(painter, QRectF(rect()));
    } else {
        const QSizeF natural = m_picture->naturalSizeTwips();
        m_picture->paint(painter, QRectF(0, 0, natural.width() / kTwipsPerPixel,
                                         natural.height() / kTwipsPerPixel));
    }
}

void VbImage::paintEvent(QPaintEvent* event) {
    if (!m_picture)
        return;
    QPainter painter(this);
    // Qt hands us only the exposed part; clipping to it keeps a box scrolled or
    // zoomed far beyond its container from painting what nobody sees.
    painter.setClipRegion(event->region());
    if (!m_legibleOn.isValid()) {
        paintPicture(painter);
        return;
    }
    // Painted aside first so the colours can be adjusted: only the exposed part.
    const QRect exposed = event->region().boundingRect().intersected(rect());
    if (exposed.isEmpty())
        return;
    const qreal ratio = devicePixelRatioF();
    QImage layer(exposed.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(ratio);
    layer.fill(Qt::transparent);
    {
        QPainter aside(&layer);
        aside.translate(-exposed.topLeft());
        paintPicture(aside);
    }
    makeLegible(layer, m_legibleOn);
    painter.drawImage(exposed.topLeft(), layer);
}

int VbImage::vbButton(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

int VbImage::vbShift(Qt::KeyboardModifiers modifiers) {
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
           (modifiers & Qt::AltModifier ? 4 : 0);
}

namespace {
double twipsX(const QMouseEvent* e) {
    return e->position().x() * kTwipsPerPixel;
}
double twipsY(const QMouseEvent* e) {
    return e->position().y() * kTwipsPerPixel;
}
int heldButtons(Qt::MouseButtons buttons) {
    return (buttons & Qt::LeftButton ? 1 : 0) | (buttons & Qt::RightButton ? 2 : 0) |
           (buttons & Qt::MiddleButton ? 4 : 0);
}
} // namespace

void VbImage::mousePressEvent(QMouseEvent* e) {
    m_pressed = true;
    m_pressedButton = e->button();
    // The second press of a double click is no press of its own in VB's order (Down, Up,
    // Click, DblClick, Up): Qt sends it before the double click it makes.
    if (e->flags() & Qt::MouseEventCreatedDoubleClick)
        return;
    emit MouseDown(vbButton(e->button()), vbShift(e->modifiers()), twipsX(e), twipsY(e));
}

void VbImage::mouseMoveEvent(QMouseEvent* e) {
    emit MouseMove(heldButtons(e->buttons()), vbShift(e->modifiers()), twipsX(e), twipsY(e));
}

void VbImage::mouseReleaseEvent(QMouseEvent* e) {
    const bool wasPressed = m_pressed;
    m_pressed = false;
    emit MouseUp(vbButton(e->button()), vbShift(e->modifiers()), twipsX(e), twipsY(e));
    // A click is a press and release of one clicking button on the control, as VB
    // counts it.
    if (wasPressed && e->button() == m_pressedButton && (m_clickButtons & e->button()) &&
        rect().contains(e->position().toPoint()))
        emit Click();
}

void VbImage::mouseDoubleClickEvent(QMouseEvent* e) {
    // VB's order is Down, Up, Click, DblClick, Up: the second release is no click.
    m_pressed = false;
    emit DblClick();
    e->accept();
}

} // namespace platform
