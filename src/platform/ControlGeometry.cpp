#include "ControlGeometry.h"

#include "platform/Twips.h"

#include <QWidget>
#include <algorithm>

namespace platform {
namespace {

// Frame decoration of a top-level window in pixels (0 for child controls and for
// windows without a frame, such as under the offscreen platform).
QSize frameExtra(const QWidget* w) {
    if (!w->isWindow())
        return {0, 0};
    const QRect outer = w->frameGeometry();
    return {outer.width() - w->width(), outer.height() - w->height()};
}

QRect outerRect(const QWidget* w) {
    return w->isWindow() ? w->frameGeometry() : w->geometry();
}

void setOuterRect(QWidget* w, int x, int y, int width, int height) {
    if (w->isWindow()) {
        const QSize extra = frameExtra(w);
        w->move(x, y); // a window's position is that of its frame
        w->resize(std::max(0, width - extra.width()), std::max(0, height - extra.height()));
    } else {
        w->setGeometry(x, y, width, height);
    }
}

} // namespace

int ControlGeometry::sizePixels(double twips) {
    return std::clamp(twipsToPixels(twips), 0, kMaxPictureBoxPixels);
}

double ControlGeometry::Left(const QWidget* c) {
    return pixelsToTwips(outerRect(c).x());
}
double ControlGeometry::Top(const QWidget* c) {
    return pixelsToTwips(outerRect(c).y());
}
double ControlGeometry::Width(const QWidget* c) {
    return pixelsToTwips(outerRect(c).width());
}
double ControlGeometry::Height(const QWidget* c) {
    return pixelsToTwips(outerRect(c).height());
}

void ControlGeometry::setLeft(QWidget* c, double twips) {
    const QRect r = outerRect(c);
    setOuterRect(c, twipsToPixels(twips), r.y(), r.width(), r.height());
}

void ControlGeometry::setTop(QWidget* c, double twips) {
    const QRect r = outerRect(c);
    setOuterRect(c, r.x(), twipsToPixels(twips), r.width(), r.height());
}

void ControlGeometry::setWidth(QWidget* c, double twips) {
    const QRect r = outerRect(c);
    setOuterRect(c, r.x(), r.y(), sizePixels(twips), r.height());
}

void ControlGeometry::setHeight(QWidget* c, double twips) {
    const QRect r = outerRect(c);
    setOuterRect(c, r.x(), r.y(), r.width(), sizePixels(twips));
}

void ControlGeometry::Move(QWidget* c, double left, double top, double width, double height) {
    setOuterRect(c, twipsToPixels(left), twipsToPixels(top), sizePixels(width), sizePixels(height));
}

} // namespace platform
