#include "cadhost/dxf/Tessellate.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace cadhost::dxf::tessellate {

namespace {
constexpr double kStep = M_PI / 36.0; // 5 degrees
// Drawing programs write splines of degree 3, rarely up to 11; each point costs the
// square of the degree, so a file claiming thousands must not be taken at its word.
constexpr int kMaxSplineDegree = 31;

int segmentsFor(double sweep) {
    // A NaN would turn into an arbitrary count; the bound holds only for real numbers.
    if (!std::isfinite(sweep))
        return 2;
    return std::clamp(int(std::ceil(std::fabs(sweep) / kStep)), 2, 720);
}

// An angle brought into (-2 pi, 2 pi). Reducing it by repeated steps of 2 pi never ends
// once the angle is so large that a step no longer changes it (1e17 and up), and a file
// may hold any number there.
double reduced(double angle) {
    return std::fmod(angle, 2 * M_PI);
}

// The counter-clockwise sweep from start to end, in (0, 2 pi]: an end at or below the
// start wraps, equal ends make the whole turn. Both angles are reduced first, so that
// their difference cannot overflow.
double ccwSweep(double start, double end) {
    double sweep = reduced(end) - reduced(start);
    if (sweep <= 0)
        sweep += 2 * M_PI;
    if (sweep <= 0) // start just below 2 pi, end just above 0: rounding left nothing
        sweep = 2 * M_PI;
    return std::min(sweep, 2 * M_PI);
}

bool finite(std::initializer_list<double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}
} // namespace

QVector<QPointF> arc(QPointF centre, double radius, double startRad, double endRad) {
    // A curve with a number that is no number has no shape to draw.
    if (!finite({centre.x(), centre.y(), radius, startRad, endRad}))
        return {};
    startRad = reduced(startRad);
    // Arcs run counter-clockwise from start to end.
    const double sweep = ccwSweep(startRad, endRad);
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
    if (!finite(
            {centre.x(), centre.y(), majorAxis.x(), majorAxis.y(), ratio, startParam, endParam}))
        return {};
    startParam = reduced(startParam);
    const double sweep = ccwSweep(startParam, endParam);
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
    if (n < 2 || degree < 1 || degree > kMaxSplineDegree ||
        knots.size() != std::size_t(n) + std::size_t(degree) + 1)
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
    // The samples rise, so the knot span only moves on: one walk over the knots in all,
    // not one per sample, which for a spline of a million points never finished.
    int k = degree;
    for (int s = 0; s <= samples; ++s) {
        const double t = (s == samples) ? t1 : t0 + (t1 - t0) * s / samples;
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
