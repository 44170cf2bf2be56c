#pragma once

#include <QPointF>
#include <QVector>
#include <vector>

namespace cadhost::dxf {

// Curves become polylines when a drawing is read, so the window and the metafile
// export draw straight segments only. Segment counts follow the swept angle (about
// 5 degrees a segment), which looks smooth at any zoom a sheet is viewed at.
namespace tessellate {

QVector<QPointF> arc(QPointF centre, double radius, double startRad, double endRad);
QVector<QPointF> circle(QPointF centre, double radius);
// Ellipse from its centre, the end of its major axis (relative to the centre), the
// minor-to-major ratio and the parameter range in radians.
QVector<QPointF> ellipse(QPointF centre, QPointF majorAxis, double ratio, double startParam,
                         double endParam);
// The points between a and b for a polyline segment with the given bulge (tan of a
// quarter of the included angle), a excluded, b included.
void appendBulge(QVector<QPointF>& out, QPointF a, QPointF b, double bulge);
// A NURBS curve by de Boor; falls back to the control polygon when the knot vector
// does not fit the control points.
QVector<QPointF> spline(int degree, const std::vector<QPointF>& control,
                        const std::vector<double>& weights, const std::vector<double>& knots);

} // namespace tessellate
} // namespace cadhost::dxf
