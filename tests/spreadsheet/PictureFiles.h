#pragma once

#include "metafile/WmfWriter.h"

#include <QImage>
#include <QString>

namespace korvel::test {

// A placeable metafile whose natural size is `widthPoints` x `heightPoints`, drawing
// a frame and a diagonal, as a layer preview would.
inline bool writeMetafile(const QString& path, double widthPoints, double heightPoints) {
    const QRectF window(0, 0, widthPoints, heightPoints);
    metafile::WmfWriter writer(window, std::max(widthPoints, heightPoints) / 72.0);
    writer.polyline(QPolygonF(window), true);
    writer.polyline(QPolygonF({window.topLeft(), window.bottomRight()}));
    return writer.save(path);
}

inline bool writePng(const QString& path, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image.save(path, "PNG");
}

} // namespace korvel::test
