#include "metafile/MetafilePicture.h"

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
    // Only the transform changes: QPicture replays vector commands, and the
    // painter's clip keeps rasterising to what is exposed, at any box size.
    painter.translate(targetRect.topLeft());
    painter.scale(targetRect.width() / m_frame.width(), targetRect.height() / m_frame.height());
    painter.translate(-m_frame.topLeft());
    painter.drawPicture(QPointF(0, 0), m_picture);
    painter.restore();
}

} // namespace metafile
