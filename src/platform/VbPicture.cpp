#include "VbPicture.h"

#include "platform/Twips.h"

#include <QPainter>
#include <cmath>

namespace platform {

QSizeF PixmapPicture::naturalSizeTwips() const {
    const QSizeF px = m_pixmap.deviceIndependentSize();
    return {px.width() * kTwipsPerPixel, px.height() * kTwipsPerPixel};
}

void PixmapPicture::paint(QPainter& painter, const QRectF& target) const {
    if (m_pixmap.isNull() || target.isEmpty())
        return;
    // Only the part of the source under the clip is scaled: a huge stretched box
    // costs what its visible part costs.
    const QRectF clip = painter.hasClipping() ? painter.clipBoundingRect() : target;
    const QRectF visible = clip.intersected(target);
    if (visible.isEmpty())
        return;
    const double sx = m_pixmap.width() / target.width();
    const double sy = m_pixmap.height() / target.height();
    const QRectF source((visible.x() - target.x()) * sx, (visible.y() - target.y()) * sy,
                        visible.width() * sx, visible.height() * sy);
    painter.drawPixmap(visible, m_pixmap, source);
}

QSizeF IconPicture::naturalSizeTwips() const {
    return {double(m_size.width() * kTwipsPerPixel), double(m_size.height() * kTwipsPerPixel)};
}

void IconPicture::paint(QPainter& painter, const QRectF& target) const {
    if (target.isEmpty())
        return;
    const QSize size(int(std::ceil(target.width())), int(std::ceil(target.height())));
    m_icon.paint(&painter, QRect(target.topLeft().toPoint(), size));
}

} // namespace platform
