#include "metafile/MetafilePicture.h"

#include "metafile/DisplayList.h"
#include "metafile/LibwmfPlayer.h"
#include "metafile/WmfValidator.h"

#include <QFile>
#include <QPainter>

namespace metafile {

std::shared_ptr<const MetafilePicture> MetafilePicture::load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    if (file.size() > WmfValidator::kMaxFileBytes)
        return nullptr;
    return fromBytes(file.readAll());
}

std::shared_ptr<const MetafilePicture> MetafilePicture::fromBytes(const QByteArray& bytes) {
    return LibwmfPlayer::play(WmfValidator::check(bytes));
}

void MetafilePicture::paint(QPainter& painter, const QRectF& targetRect) const {
    if (m_frame.width() <= 0 || m_frame.height() <= 0 || targetRect.isEmpty())
        return;
    painter.save();
    // Only the transform changes: the list replays vector commands, and the
    // painter's clip keeps rasterising to what is exposed, at any box size.
    painter.translate(targetRect.topLeft());
    painter.scale(targetRect.width() / m_frame.width(), targetRect.height() / m_frame.height());
    painter.translate(-m_frame.topLeft());
    if (m_list) {
        // Drawings are lines a pixel wide: smoothing only greys them.
        painter.setRenderHint(QPainter::Antialiasing, false);
        m_list->replay(painter);
    }
    if (!m_textItems.empty()) {
        const QTransform toDevice = painter.transform();
        QRectF visible = painter.hasClipping() ? painter.clipBoundingRect() : QRectF();
        // clipBoundingRect is in logical coordinates; compare everything in device space.
        visible = visible.isNull() ? QRectF(QPointF(0, 0), QSizeF(painter.device()->width(),
                                                                  painter.device()->height()))
                                   : toDevice.mapRect(visible);
        for (const TextItem& item : m_textItems) {
            if (!toDevice.mapRect(item.bounds).intersects(visible))
                continue;
            painter.setTransform(item.transform * toDevice);
            painter.setFont(item.font);
            painter.setPen(item.color);
            painter.drawText(QPointF(0, 0), item.text);
        }
    }
    painter.restore();
}

} // namespace metafile
