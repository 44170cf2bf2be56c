#include "cadhost/dxf/BlockExpander.h"

#include "cadhost/model/Drawing.h"

#include <cmath>

namespace cadhost::dxf::detail {

void BlockExpander::expand(const RawInsert& ins, const QString& layer, int color,
                           const QTransform& outer, QVector<Primitive>& out, int depth) {
    const auto it = m_blocks.constFind(Drawing::nameKey(ins.block));
    if (it == m_blocks.constEnd() || depth > kMaxBlockDepth)
        return;
    const QString key = it.key();
    if (m_active.contains(key))
        return; // a block that contains itself would never end
    m_active.insert(key);
    const Block& block = *it;
    for (int r = 0; r < ins.rows; ++r) {
        for (int c = 0; c < ins.cols; ++c) {
            QTransform local;
            local.translate(-block.base.x(), -block.base.y());
            QTransform t = local;
            t *= QTransform::fromScale(ins.sx, ins.sy);
            t *= QTransform::fromTranslate(c * ins.colSpacing, r * ins.rowSpacing);
            QTransform rot;
            rot.rotate(ins.angleDeg);
            t *= rot;
            t *= QTransform::fromTranslate(ins.insertion.x(), ins.insertion.y());
            if (ins.mirrored)
                t *= QTransform::fromScale(-1, 1);
            t *= outer;
            for (const RawEntity& e : block.entities) {
                const QString eLayer = e.layer == QLatin1String("0") ? layer : e.layer;
                const int eColor = e.color == aci::ByBlock ? color : e.color;
                if (e.insert) {
                    expand(*e.insert, eLayer, eColor, t, out, depth + 1);
                    continue;
                }
                for (const Primitive& p : e.primitives)
                    out.append(mapped(p, t, layer, color));
            }
        }
    }
    m_active.remove(key);
}

Primitive BlockExpander::mapped(const Primitive& p, const QTransform& t, const QString& layer,
                                int color) {
    Primitive q = p;
    if (q.layer == QLatin1String("0"))
        q.layer = layer;
    if (q.color == aci::ByBlock)
        q.color = color;
    if (q.kind == Primitive::Kind::Text) {
        q.position = t.map(p.position);
        const QPointF origin = t.map(QPointF(0, 0));
        const QPointF xAxis = t.map(QPointF(1, 0)) - origin;
        const QPointF yAxis = t.map(QPointF(0, 1)) - origin;
        q.rotation = p.rotation + std::atan2(xAxis.y(), xAxis.x()) * kDegPerRad;
        q.height = p.height * std::hypot(yAxis.x(), yAxis.y());
    } else {
        for (QPointF& pt : q.points)
            pt = t.map(pt);
    }
    return q;
}

} // namespace cadhost::dxf::detail
