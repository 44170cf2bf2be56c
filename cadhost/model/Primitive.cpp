#include "cadhost/model/Primitive.h"

#include <QTransform>
#include <cmath>

namespace cadhost {

QRectF Primitive::bounds() const {
    if (kind == Kind::Text) {
        // Without font metrics a character is taken as wide as the text is high, which
        // errs on the large side so a text is never culled while partly on screen.
        const double width = height * std::max<qsizetype>(1, text.size());
        double left = 0.0;
        if (halign == 1)
            left = -width / 2;
        else if (halign == 2)
            left = -width;
        QRectF local(left, -height * 0.3, width, height * 1.3);
        QTransform t;
        t.translate(position.x(), position.y());
        t.rotate(rotation);
        return t.mapRect(local);
    }
    if (points.isEmpty())
        return {};
    double minX = points.front().x(), maxX = minX;
    double minY = points.front().y(), maxY = minY;
    for (const QPointF& p : points) {
        minX = std::min(minX, p.x());
        maxX = std::max(maxX, p.x());
        minY = std::min(minY, p.y());
        maxY = std::max(maxY, p.y());
    }
    return QRectF(QPointF(minX, minY), QPointF(maxX, maxY));
}

Primitive Primitive::polyline(const QString& layer, int color, QVector<QPointF> points,
                              bool closed) {
    Primitive p;
    p.kind = Kind::Polyline;
    p.layer = layer;
    p.color = color;
    p.points = std::move(points);
    p.closed = closed;
    return p;
}

Primitive Primitive::filledPolygon(const QString& layer, int color, QVector<QPointF> points) {
    Primitive p;
    p.kind = Kind::FilledPolygon;
    p.layer = layer;
    p.color = color;
    p.points = std::move(points);
    p.closed = true;
    return p;
}

Primitive Primitive::textAt(const QString& layer, int color, QPointF position, double height,
                            double rotation, const QString& text, int halign) {
    Primitive p;
    p.kind = Kind::Text;
    p.layer = layer;
    p.color = color;
    p.position = position;
    p.height = height;
    p.rotation = rotation;
    p.text = text;
    p.halign = halign;
    return p;
}

} // namespace cadhost
