#include "metafile/MetafilePicture.h"

#include "metafile/DisplayList.h"
#include "metafile/LibwmfPlayer.h"
#include "metafile/WmfValidator.h"

#include <QFile>
#include <QPainter>


namespace metafile {

MetafilePicture::MetafilePicture() = default;

std::shared_ptr<const MetafilePicture> MetafilePicture::load(const QString& path, Play play) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    if (file.size() > WmfValidator::kMaxFileBytes)
        return nullptr;
    return fromBytes(file.readAll(), play);
}

std::shared_ptr<const MetafilePicture> MetafilePicture::fromBytes(const QByteArray& bytes,
                                                                  Play play) {
    auto checked = std::make_unique<WmfValidator::Result>(WmfValidator::check(bytes));
    if (!checked->ok)
        return nullptr;
    auto picture = std::shared_ptr<MetafilePicture>(new MetafilePicture);
    const QSizeF placeable = LibwmfPlayer::placeableSizeTwips(*checked);
    if (play == Play::Deferred && !placeable.isEmpty()) {
        picture->m_naturalTwips = placeable;
        picture->m_source = std::move(checked);
        return picture;
    }
    if (!LibwmfPlayer::play(*checked, picture->m_recording, picture->m_naturalTwips))
        return nullptr;
    std::call_once(picture->m_played, [] {});
    picture->m_isPlayed = true;
    return picture;
}

bool MetafilePicture::isPlayed() const {
    return m_isPlayed;
}

const MetafilePicture::Recording& MetafilePicture::recording() const {
    std::call_once(m_played, [this] {
        if (m_source) {
            QSizeF natural; // the header's, as loading found it
            LibwmfPlayer::play(*m_source, m_recording, natural);
            m_source.reset();
        }
        m_isPlayed = true;
    });
    return m_recording;
}

void MetafilePicture::paint(QPainter& painter, const QRectF& targetRect) const {
    const Recording& r = recording();
    if (r.frame.width() <= 0 || r.frame.height() <= 0 || targetRect.isEmpty())
        return;
    painter.save();
    // Only the transform changes: the list replays vector commands, and the
    // painter's clip keeps rasterising to what is exposed, at any box size.
    painter.translate(targetRect.topLeft());
    painter.scale(targetRect.width() / r.frame.width(), targetRect.height() / r.frame.height());
    painter.translate(-r.frame.topLeft());
    if (r.list) {
        // Drawings are lines a pixel wide: smoothing only greys them.
        painter.setRenderHint(QPainter::Antialiasing, false);
        r.list->replay(painter);
    }
    if (!r.textItems.empty()) {
        const QTransform toDevice = painter.transform();
        QRectF visible = painter.hasClipping() ? painter.clipBoundingRect() : QRectF();
        // clipBoundingRect is in logical coordinates; compare everything in device space.
        visible = visible.isNull() ? QRectF(QPointF(0, 0), QSizeF(painter.device()->width(),
                                                                  painter.device()->height()))
                                   : toDevice.mapRect(visible);
        for (const TextItem& item : r.textItems) {
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
