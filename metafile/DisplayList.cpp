#include "metafile/DisplayList.h"

#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace metafile {

void DisplayList::add(Op op, std::size_t index, std::size_t count) {
    m_commands.push_back({op, static_cast<uint32_t>(index), static_cast<uint32_t>(count)});
}

void DisplayList::reserve(std::size_t commands, std::size_t points) {
    m_commands.reserve(commands);
    m_points.reserve(points);
}

void DisplayList::setPen(const QPen& pen) {
    add(Op::Pen, m_pens.size());
    m_pens.push_back(pen);
}

void DisplayList::setBrush(const QBrush& brush) {
    add(Op::Brush, m_brushes.size());
    m_brushes.push_back(brush);
}

void DisplayList::setBackground(Qt::BGMode mode, const QColor& color) {
    add(Op::Background, m_backgrounds.size());
    m_backgrounds.push_back({mode, color});
}

void DisplayList::setClip(const QPainterPath& path) {
    add(Op::Clip, m_paths.size());
    m_paths.push_back(path);
}

void DisplayList::clearClip() {
    add(Op::NoClip, 0);
}

void DisplayList::line(const QPointF& from, const QPointF& to) {
    add(Op::Line, m_points.size(), 2);
    m_points.push_back(from);
    m_points.push_back(to);
}

QPointF* DisplayList::polyline(int count) {
    const std::size_t at = m_points.size();
    add(Op::Polyline, at, static_cast<std::size_t>(count));
    m_points.resize(at + static_cast<std::size_t>(count));
    return m_points.data() + at;
}

QPointF* DisplayList::polygon(int count, Qt::FillRule rule) {
    const std::size_t at = m_points.size();
    add(rule == Qt::WindingFill ? Op::PolygonWinding : Op::PolygonOddEven, at,
        static_cast<std::size_t>(count));
    m_points.resize(at + static_cast<std::size_t>(count));
    return m_points.data() + at;
}

void DisplayList::path(const QPainterPath& path) {
    add(Op::Path, m_paths.size());
    m_paths.push_back(path);
}

void DisplayList::ellipse(const QRectF& rect) {
    add(Op::Ellipse, m_rects.size());
    m_rects.push_back(rect);
}

void DisplayList::rect(const QRectF& rect) {
    add(Op::Rect, m_rects.size());
    m_rects.push_back(rect);
}

void DisplayList::roundedRect(const QRectF& rect, double rx, double ry) {
    add(Op::RoundedRect, m_rects.size(), m_radii.size());
    m_rects.push_back(rect);
    m_radii.push_back(rx);
    m_radii.push_back(ry);
}

void DisplayList::fillRect(const QRectF& rect, const QBrush& brush) {
    add(Op::FillRect, m_rects.size(), m_brushes.size());
    m_rects.push_back(rect);
    m_brushes.push_back(brush);
}

void DisplayList::image(const QRectF& target, const QImage& image, const QRectF& source) {
    add(Op::Image, m_rects.size(), m_images.size());
    m_rects.push_back(target);
    m_rects.push_back(source);
    m_images.push_back(image);
}

namespace {

// How far a stroke reaches beyond its geometry, in the pen's own units: half the
// width for caps and round joins (a square cap's corner at most 0.71 of it), and a
// miter out to its limit; generous, as too far only paints a little more.
double strokeReach(const QPen& pen) {
    if (pen.style() == Qt::NoPen)
        return 0;
    const double width = std::max(pen.widthF(), 1.0);
    return pen.joinStyle() == Qt::MiterJoin ? width * (1.0 + std::max(pen.miterLimit(), 1.0))
                                            : width;
}

} // namespace

void DisplayList::finish() {
    m_bounds.assign(m_commands.size(), Bounds{0, 0, 0, 0});
    m_cosmeticReach = 0;
    double frameReach = 0; // of the current pen, in the frame's units
    bool any = false;
    double left = 0, top = 0, right = 0, bottom = 0;
    for (std::size_t i = 0; i < m_commands.size(); ++i) {
        const Command& c = m_commands[i];
        QRectF r;
        double reach = frameReach;
        switch (c.op) {
        case Op::Pen: {
            const QPen& pen = m_pens[c.index];
            const double penReach = strokeReach(pen);
            // A pen of width 0 is a cosmetic pixel whatever its flag says.
            if (pen.isCosmetic() || pen.widthF() == 0) {
                m_cosmeticReach = std::max(m_cosmeticReach, penReach);
                frameReach = 0;
            } else {
                frameReach = penReach;
            }
            continue;
        }
        case Op::Brush:
        case Op::Background:
        case Op::Clip:
        case Op::NoClip:
            continue;
        case Op::Line:
        case Op::Polyline:
        case Op::PolygonOddEven:
        case Op::PolygonWinding: {
            const QPointF* p = m_points.data() + c.index;
            if (c.count == 0)
                continue;
            double x0 = p[0].x(), x1 = x0, y0 = p[0].y(), y1 = y0;
            for (std::size_t k = 1; k < c.count; ++k) {
                x0 = std::min(x0, p[k].x());
                x1 = std::max(x1, p[k].x());
                y0 = std::min(y0, p[k].y());
                y1 = std::max(y1, p[k].y());
            }
            r = QRectF(QPointF(x0, y0), QPointF(x1, y1));
            break;
        }
        case Op::Path:
            r = m_paths[c.index].controlPointRect();
            break;
        case Op::Ellipse:
        case Op::Rect:
        case Op::RoundedRect:
            r = m_rects[c.index].normalized();
            break;
        case Op::FillRect:
            r = m_rects[c.index].normalized();
            reach = 0;
            break;
        case Op::Image:
            r = m_rects[c.index].normalized();
            reach = 0;
            break;
        }
        const double l = r.left() - reach, t = r.top() - reach;
        const double rt = r.right() + reach, b = r.bottom() + reach;
        m_bounds[i] = {std::nextafter(float(l), -HUGE_VALF), std::nextafter(float(t), -HUGE_VALF),
                       std::nextafter(float(rt), HUGE_VALF), std::nextafter(float(b), HUGE_VALF)};
        if (!any) {
            left = l, top = t, right = rt, bottom = b;
            any = true;
        } else {
            left = std::min(left, l), top = std::min(top, t);
            right = std::max(right, rt), bottom = std::max(bottom, b);
        }
    }
    m_drawn = {std::nextafter(float(left), -HUGE_VALF), std::nextafter(float(top), -HUGE_VALF),
               std::nextafter(float(right), HUGE_VALF), std::nextafter(float(bottom), HUGE_VALF)};
}

void DisplayList::replay(QPainter& painter) const {
    painter.save();
    const QTransform toDevice = painter.combinedTransform();

    // The part of the frame the painter shows, widened by what a cosmetic pen reaches
    // and a pixel's rounding each way. Commands wholly outside it put no pixel on the
    // device, so they are skipped: a zoomed picture costs what is seen of it.
    bool everything = m_bounds.size() != m_commands.size() || !toDevice.isInvertible() ||
                      toDevice.type() == QTransform::TxProject || !painter.device();
    Bounds seen{0, 0, 0, 0};
    QRectF shown;
    if (!everything) {
        // Only pixel devices have a fixed size; a recording's grows with what it gets.
        const int type = painter.device()->devType();
        const bool pixels =
            type == QInternal::Image || type == QInternal::Pixmap || type == QInternal::Widget;
        shown =
            pixels ? QRectF(0, 0, painter.device()->width(), painter.device()->height()) : QRectF();
        if (painter.hasClipping()) {
            const QRectF clip = toDevice.mapRect(painter.clipBoundingRect());
            shown = pixels ? shown & clip : clip;
        }
        everything = !pixels && !painter.hasClipping();
    }
    if (!everything) {
        const double pad = m_cosmeticReach + 2;
        const QRectF inFrame = toDevice.inverted().mapRect(shown.adjusted(-pad, -pad, pad, pad));
        seen = {float(inFrame.left()), float(inFrame.top()), float(inFrame.right()),
                float(inFrame.bottom())};
        everything = seen.left <= m_drawn.left && seen.top <= m_drawn.top &&
                     seen.right >= m_drawn.right && seen.bottom >= m_drawn.bottom;
    }
    auto outside = [&](std::size_t i) {
        const Bounds& b = m_bounds[i];
        return b.right < seen.left || b.left > seen.right || b.bottom < seen.top ||
               b.top > seen.bottom;
    };

    // State is put on the painter only when a command is drawn with it: a skipped
    // stretch of the list costs neither pen changes nor clip paths. A recorded clip
    // lives in a nested save level, so that replacing or dropping it returns to the
    // caller's clip; after such a restore the pen, brush and background are set again.
    const QPen* pen = nullptr;
    const QBrush* brush = nullptr;
    const Background* background = nullptr;
    const QPainterPath* clip = nullptr;
    const QPen* penSet = nullptr;
    const QBrush* brushSet = nullptr;
    const Background* backgroundSet = nullptr;
    const QPainterPath* clipSet = nullptr;
    auto applyState = [&] {
        if (clip != clipSet) {
            if (clipSet) {
                painter.restore();
                penSet = nullptr;
                brushSet = nullptr;
                backgroundSet = nullptr;
            }
            if (clip) {
                painter.save();
                painter.setClipPath(*clip, Qt::IntersectClip);
            }
            clipSet = clip;
        }
        if (pen != penSet) {
            painter.setPen(*pen);
            penSet = pen;
        }
        if (brush != brushSet) {
            painter.setBrush(*brush);
            brushSet = brush;
        }
        if (background != backgroundSet) {
            painter.setBackgroundMode(background->mode);
            painter.setBackground(background->color);
            backgroundSet = background;
        }
    };
    // A polyline whose points lie closer together than a pixel on the device (a
    // circle of a few pixels has seventy of them) is drawn through the points at
    // least half a pixel apart: the same pixels, a fraction of the stroking.
    const bool thin = toDevice.type() <= QTransform::TxScale;
    const double sx = std::abs(toDevice.m11()), sy = std::abs(toDevice.m22());
    std::vector<QPointF> kept;
    auto drawThinned = [&](std::size_t at, std::size_t count) {
        const QPointF* p = m_points.data() + at;
        kept.clear();
        kept.push_back(p[0]);
        for (std::size_t i = 1; i + 1 < count; ++i) {
            const QPointF d = p[i] - kept.back();
            if (std::abs(d.x()) * sx >= 0.5 || std::abs(d.y()) * sy >= 0.5)
                kept.push_back(p[i]);
        }
        kept.push_back(p[count - 1]);
        painter.drawPolyline(kept.data(), static_cast<int>(kept.size()));
    };
    for (std::size_t i = 0; i < m_commands.size(); ++i) {
        const Command& c = m_commands[i];
        switch (c.op) {
        case Op::Pen:
            pen = &m_pens[c.index];
            continue;
        case Op::Brush:
            brush = &m_brushes[c.index];
            continue;
        case Op::Background:
            background = &m_backgrounds[c.index];
            continue;
        case Op::Clip:
            clip = &m_paths[c.index];
            continue;
        case Op::NoClip:
            clip = nullptr;
            continue;
        default:
            break;
        }
        if (!everything && outside(i))
            continue;
        applyState();
        switch (c.op) {
        case Op::Line:
            painter.drawLine(m_points[c.index], m_points[c.index + 1]);
            break;
        case Op::Polyline:
            if (thin && c.count > 2)
                drawThinned(c.index, c.count);
            else
                painter.drawPolyline(m_points.data() + c.index, static_cast<int>(c.count));
            break;
        case Op::PolygonOddEven:
            painter.drawPolygon(m_points.data() + c.index, static_cast<int>(c.count),
                                Qt::OddEvenFill);
            break;
        case Op::PolygonWinding:
            painter.drawPolygon(m_points.data() + c.index, static_cast<int>(c.count),
                                Qt::WindingFill);
            break;
        case Op::Path:
            painter.drawPath(m_paths[c.index]);
            break;
        case Op::Ellipse:
            painter.drawEllipse(m_rects[c.index]);
            break;
        case Op::Rect:
            painter.drawRect(m_rects[c.index]);
            break;
        case Op::RoundedRect:
            painter.drawRoundedRect(m_rects[c.index], m_radii[c.count], m_radii[c.count + 1]);
            break;
        case Op::FillRect:
            painter.fillRect(m_rects[c.index], m_brushes[c.count]);
            break;
        case Op::Image:
            painter.drawImage(m_rects[c.index], m_images[c.count], m_rects[c.index + 1]);
            break;
        default:
            break;
        }
    }
    if (clipSet)
        painter.restore();
    painter.restore();
}

} // namespace metafile
