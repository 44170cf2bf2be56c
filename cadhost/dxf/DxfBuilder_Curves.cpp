// The builder's entities that span several records: polylines and their vertices,
// splines with their control and fit points, hatches with their boundary loops. Each
// is held pending until its last record and then emitted by flush().
#include "cadhost/dxf/DxfBuilder.h"

#include "cadhost/dxf/Tessellate.h"

#include <cmath>

namespace cadhost::dxf::detail {

// --- polylines ---------------------------------------------------------------
void DxfBuilder::addPolyline(const DL_PolylineData& d) {
    flush();
    m_pending = Pending::Polyline;
    // dxflib reports both kinds alike; only the lightweight one carries a vertex count.
    m_oldStylePolyline = m_dxf.getIntValue(90, -1) < 0;
    m_seqEndSeen = false;
    m_pendingEntity = start(m_oldStylePolyline ? "POLYLINE" : "LWPOLYLINE");
    m_closed = (d.flags & 1) != 0;
    m_points.clear();
    m_bulges.clear();
    m_pendingMirrored = m_mirrored;
}
void DxfBuilder::addVertex(const DL_VertexData& d) {
    if (m_pending != Pending::Polyline)
        return;
    m_points.append(QPointF(d.x, d.y));
    m_bulges.append(d.bulge);
}
void DxfBuilder::endSequence() {
    if (!awaitingVertices())
        flush();
}

void DxfBuilder::addSpline(const DL_SplineData& d) {
    flush();
    m_pending = Pending::Spline;
    m_pendingEntity = start("SPLINE");
    m_degree = int(d.degree);
    m_closed = (d.flags & 1) != 0;
    m_control.clear();
    m_weights.clear();
    m_knots.clear();
    m_fit.clear();
}
void DxfBuilder::addControlPoint(const DL_ControlPointData& d) {
    if (m_pending != Pending::Spline)
        return;
    m_control.emplace_back(d.x, d.y);
    m_weights.push_back(d.w);
}
void DxfBuilder::addFitPoint(const DL_FitPointData& d) {
    if (m_pending == Pending::Spline)
        m_fit.emplace_back(d.x, d.y);
}
void DxfBuilder::addKnot(const DL_KnotData& d) {
    if (m_pending == Pending::Spline)
        m_knots.push_back(d.k);
}

// --- hatch -------------------------------------------------------------------
void DxfBuilder::addHatch(const DL_HatchData& d) {
    flush();
    m_pending = Pending::Hatch;
    m_pendingEntity = start("HATCH");
    m_solid = d.solid;
    m_loops.clear();
    m_pendingMirrored = m_mirrored;
}
void DxfBuilder::addHatchLoop(const DL_HatchLoopData&) {
    if (m_pending == Pending::Hatch)
        m_loops.append(QVector<QPointF>());
}
void DxfBuilder::addHatchEdge(const DL_HatchEdgeData& e) {
    if (m_pending != Pending::Hatch)
        return;
    if (m_loops.isEmpty())
        m_loops.append(QVector<QPointF>());
    QVector<QPointF>& loop = m_loops.last();
    switch (e.type) {
    case 0: { // polyline boundary: x, y, bulge per vertex
        QVector<QPointF> pts;
        for (std::size_t i = 0; i < e.vertices.size(); ++i) {
            const auto& v = e.vertices[i];
            if (v.size() < 2)
                continue;
            const QPointF p(v[0], v[1]);
            if (pts.isEmpty()) {
                pts.append(p);
                continue;
            }
            const auto& prev = e.vertices[i - 1];
            tessellate::appendBulge(pts, pts.last(), p, prev.size() > 2 ? prev[2] : 0.0);
        }
        loop += pts;
        break;
    }
    case 1:
        appendJoined(loop, {QPointF(e.x1, e.y1), QPointF(e.x2, e.y2)});
        break;
    case 2: {
        QVector<QPointF> pts =
            e.ccw ? tessellate::arc(QPointF(e.cx, e.cy), e.radius, e.angle1, e.angle2)
                  : tessellate::arc(QPointF(e.cx, e.cy), e.radius, 2 * M_PI - e.angle1,
                                    2 * M_PI - e.angle2);
        if (!e.ccw)
            for (QPointF& p : pts)
                p.setY(2 * e.cy - p.y());
        appendJoined(loop, pts);
        break;
    }
    case 3: {
        QVector<QPointF> pts = tessellate::ellipse(QPointF(e.cx, e.cy), QPointF(e.mx, e.my),
                                                   e.ratio, e.angle1, e.angle2);
        appendJoined(loop, pts);
        break;
    }
    case 4: {
        std::vector<QPointF> control;
        for (const auto& c : e.controlPoints)
            if (c.size() >= 2)
                control.emplace_back(c[0], c[1]);
        appendJoined(loop, tessellate::spline(int(e.degree), control, e.weights, e.knots));
        break;
    }
    default:
        break;
    }
}

void DxfBuilder::appendJoined(QVector<QPointF>& loop, const QVector<QPointF>& pts) {
    for (const QPointF& p : pts)
        if (loop.isEmpty() || loop.last() != p)
            loop.append(p);
}

void DxfBuilder::flush() {
    const Pending pending = m_pending;
    m_pending = Pending::None;
    switch (pending) {
    case Pending::None:
        return;
    case Pending::Polyline: {
        QVector<QPointF> pts;
        const qsizetype n = m_points.size();
        for (qsizetype i = 0; i < n; ++i) {
            if (i == 0)
                pts.append(m_points[0]);
            else
                tessellate::appendBulge(pts, m_points[i - 1], m_points[i], m_bulges[i - 1]);
        }
        if (m_closed && n > 1 && std::fabs(m_bulges[n - 1]) > 1e-9)
            tessellate::appendBulge(pts, m_points[n - 1], m_points[0], m_bulges[n - 1]);
        if (m_pendingMirrored)
            for (QPointF& p : pts)
                p.setX(-p.x());
        if (!pts.isEmpty())
            m_pendingEntity.primitives.append(
                Primitive::polyline(m_pendingEntity.layer, m_pendingEntity.color, pts, m_closed));
        break;
    }
    case Pending::Spline: {
        QVector<QPointF> pts;
        if (!m_control.empty())
            pts = tessellate::spline(m_degree, m_control, m_weights, m_knots);
        else
            pts = QVector<QPointF>(m_fit.begin(), m_fit.end());
        if (!pts.isEmpty())
            m_pendingEntity.primitives.append(
                Primitive::polyline(m_pendingEntity.layer, m_pendingEntity.color, pts, m_closed));
        break;
    }
    case Pending::Hatch:
        for (QVector<QPointF> loop : m_loops) {
            if (loop.size() < 2)
                continue;
            if (m_pendingMirrored)
                for (QPointF& p : loop)
                    p.setX(-p.x());
            m_pendingEntity.primitives.append(
                m_solid
                    ? Primitive::filledPolygon(m_pendingEntity.layer, m_pendingEntity.color, loop)
                    : Primitive::polyline(m_pendingEntity.layer, m_pendingEntity.color, loop,
                                          true));
        }
        break;
    }
    emitEntity(std::move(m_pendingEntity));
    m_pendingEntity = RawEntity{};
}

} // namespace cadhost::dxf::detail
