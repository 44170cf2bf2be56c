#include "cadhost/dxf/Tessellate.h"

#include <algorithm>
#include <cmath>

namespace cadhost::dxf::tessellate {

namespace {
constexpr double kStep = M_PI / 36.0; // 5 degrees

int segmentsFor(double sweep) {
    return std::clamp(int(std::ceil(std::fabs(sweep) / kStep)), 2, 720);
}
} // namespace

QVector<QPointF> arc(QPointF centre, double radius, double startRad, double endRad) {
    double sweep = endRad - startRad;
    // Arcs run counter-clockwise from start to end; an end below the start wraps.
    while (sweep <= 0)
        sweep += 2 * M_PI;
    while (sweep > 2 * M_PI + 1e-12)
        sweep -= 2 * M_PI;
    const int n = segmentsFor(sweep);
    QVector<QPointF> pts;
    pts.reserve(n + 1);
    // Rotating one vector by a fixed step costs two multiplications a point instead of a
    // sine and a cosine; a drawing of many circles loads noticeably faster. The error
    // after 72 steps stays far below a drawing unit's millionth.
    const double stepCos = std::cos(sweep / n), stepSin = std::sin(sweep / n);
    double dx = radius * std::cos(startRad), dy = radius * std::sin(startRad);
    for (int i = 0; i <= n; ++i) {
        pts.append(QPointF(centre.x() + dx, centre.y() + dy));
        const double nx = dx * stepCos - dy * stepSin;
        dy = dx * stepSin + dy * stepCos;
        dx = nx;
    }
    return pts;
}

QVector<QPointF> circle(QPointF centre, double radius) {
    QVector<QPointF> pts = arc(centre, radius, 0.0, 2 * M_PI);
    pts.removeLast(); // closed polyline: the last point repeats the first
    return pts;
}

QVector<QPointF> ellipse(QPointF centre, QPointF majorAxis, double ratio, double startParam,
                         double endParam) {
    double sweep = endParam - startParam;
    while (sweep <= 0)
        sweep += 2 * M_PI;
    while (sweep > 2 * M_PI + 1e-12)
        sweep -= 2 * M_PI;
    const QPointF minor(-majorAxis.y() * ratio, majorAxis.x() * ratio);
    const int n = segmentsFor(sweep);
    QVector<QPointF> pts;
    pts.reserve(n + 1);
    for (int i = 0; i <= n; ++i) {
        const double t = startParam + sweep * i / n;
        pts.append(centre + majorAxis * std::cos(t) + minor * std::sin(t));
    }
    return pts;
}

void appendBulge(QVector<QPointF>& out, QPointF a, QPointF b, double bulge) {
    const double chord = std::hypot(b.x() - a.x(), b.y() - a.y());
    if (std::fabs(bulge) < 1e-9 || chord < 1e-12) {
        out.append(b);
        return;
    }
    const double included = 4.0 * std::atan(bulge); // signed, positive = counter-clockwise
    const double radius = chord / (2.0 * std::sin(std::fabs(included) / 2.0));
    // Centre lies on the perpendicular bisector, on the left for a positive bulge.
    const QPointF mid = (a + b) / 2.0;
    const QPointF dir((b.x() - a.x()) / chord, (b.y() - a.y()) / chord);
    const QPointF left(-dir.y(), dir.x());
    const double h = radius * std::cos(std::fabs(included) / 2.0);
    const double side = (bulge > 0) == (std::fabs(included) < M_PI) ? 1.0 : -1.0;
    const QPointF centre = mid + left * (h * side);
    const double start = std::atan2(a.y() - centre.y(), a.x() - centre.x());
    const int n = segmentsFor(included);
    for (int i = 1; i <= n; ++i) {
        const double t = start + included * i / n;
        out.append(centre + QPointF(radius * std::cos(t), radius * std::sin(t)));
    }
    out.back() = b; // no drift at the vertex the next segment starts from
}

QVector<QPointF> spline(int degree, const std::vector<QPointF>& control,
                        const std::vector<double>& weights, const std::vector<double>& knots) {
    const int n = int(control.size());
    QVector<QPointF> polygon(control.begin(), control.end());
    if (n < 2 || degree < 1 || int(knots.size()) != n + degree + 1)
        return polygon;
    for (std::size_t i = 1; i < knots.size(); ++i)
        if (knots[i] < knots[i - 1] || !std::isfinite(knots[i]))
            return polygon;
    const double t0 = knots[std::size_t(degree)];
    const double t1 = knots[std::size_t(n)];
    if (!(t1 > t0))
        return polygon;
    auto weight = [&](int i) {
        return (int(weights.size()) == n && weights[std::size_t(i)] > 0) ? weights[std::size_t(i)]
                                                                         : 1.0;
    };
    const int samples = std::clamp(n * 8, 16, 2000);
    QVector<QPointF> pts;
    pts.reserve(samples + 1);
    std::vector<double> wx(std::size_t(degree) + 1), wy(wx.size()), ww(wx.size());
    for (int s = 0; s <= samples; ++s) {
        const double t = (s == samples) ? t1 : t0 + (t1 - t0) * s / samples;
        int k = degree;
        while (k < n - 1 && knots[std::size_t(k) + 1] <= t)
            ++k;
        for (int j = 0; j <= degree; ++j) {
            const int i = k - degree + j;
            const double w = weight(i);
            wx[std::size_t(j)] = control[std::size_t(i)].x() * w;
            wy[std::size_t(j)] = control[std::size_t(i)].y() * w;
            ww[std::size_t(j)] = w;
        }
        for (int r = 1; r <= degree; ++r) {
            for (int j = degree; j >= r; --j) {
                const int i = k - degree + j;
                const double denom = knots[std::size_t(i + degree - r + 1)] - knots[std::size_t(i)];
                const double alpha = denom == 0 ? 0.0 : (t - knots[std::size_t(i)]) / denom;
                const auto J = std::size_t(j);
                wx[J] = (1 - alpha) * wx[J - 1] + alpha * wx[J];
                wy[J] = (1 - alpha) * wy[J - 1] + alpha * wy[J];
                ww[J] = (1 - alpha) * ww[J - 1] + alpha * ww[J];
            }
        }
        const auto D = std::size_t(degree);
        pts.append(ww[D] == 0 ? QPointF(wx[D], wy[D]) : QPointF(wx[D] / ww[D], wy[D] / ww[D]));
    }
    return pts;
}

} // namespace cadhost::dxf::tessellate
