#include "cadhost/dxf/BlockExpander.h"

#include "cadhost/model/Drawing.h"

#include <algorithm>
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

void BlockExpander::count(const RawInsert& ins, ExpansionBudget& left, int depth) {
    // The walk may pass the same reference millions of times before the budget runs
    // out: its block is looked up (and its name case-folded) once.
    auto resolved = m_resolved.constFind(&ins);
    if (resolved == m_resolved.constEnd()) {
        const auto it = m_blocks.constFind(Drawing::nameKey(ins.block));
        resolved = m_resolved.insert(&ins, it == m_blocks.constEnd() ? nullptr : &*it);
    }
    const Block* found = *resolved;
    if (!found || m_counting.contains(found))
        return;
    if (depth > kMaxBlockDepth) {
        ++m_tooDeep;
        return;
    }
    m_counting.insert(found);
    const Block& block = *found;
    const auto spend = [&left](qint64 primitives, qint64 points) {
        left.primitives -= primitives;
        left.points -= points;
        if (left.primitives < 0 || left.points < 0)
            throw ExpansionTooLarge{};
    };
    // An array may hold a billion copies: the budget, one primitive a copy, ends it.
    const qint64 copies = qint64(ins.rows) * ins.cols;
    for (qint64 copy = 0; copy < copies; ++copy) {
        spend(1, 0);
        for (const RawEntity& e : block.entities) {
            if (e.insert) {
                count(*e.insert, left, depth + 1);
                continue;
            }
            qint64 points = 0;
            for (const Primitive& p : e.primitives)
                points += p.points.size();
            // An entity that draws nothing still costs its step of the walk.
            spend(std::max<qint64>(1, e.primitives.size()), points);
        }
    }
    m_counting.remove(found);
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
