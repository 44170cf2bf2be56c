#include "cadhost/model/Entity.h"

#include <algorithm>

namespace cadhost {

QRectF Entity::extents() const {
    // QRectF::united drops empty rectangles, yet a point or an axis-parallel line has
    // an empty rectangle and still a place; so corners are united by hand.
    bool any = false;
    double left = 0, top = 0, right = 0, bottom = 0;
    for (const Primitive& p : primitives) {
        if (p.kind != Primitive::Kind::Text && p.points.isEmpty())
            continue;
        const QRectF b = p.bounds();
        if (!any) {
            left = b.left();
            top = b.top();
            right = b.right();
            bottom = b.bottom();
            any = true;
            continue;
        }
        left = std::min(left, b.left());
        top = std::min(top, b.top());
        right = std::max(right, b.right());
        bottom = std::max(bottom, b.bottom());
    }
    return any ? QRectF(QPointF(left, top), QPointF(right, bottom)) : QRectF();
}

} // namespace cadhost
