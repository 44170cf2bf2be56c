#include "metafile/DisplayList.h"

#include <QPainter>

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

void DisplayList::replay(QPainter& painter) const {
    painter.save();
    // A recorded clip lives in a nested save level, so that replacing or
    // dropping it returns to the caller's clip; the pen, brush and background
    // current at that moment are put back after each such restore.
    bool clipLevel = false;
    const QPen* pen = nullptr;
    const QBrush* brush = nullptr;
    const Background* background = nullptr;
    auto restoreState = [&] {
        if (pen)
            painter.setPen(*pen);
        if (brush)
            painter.setBrush(*brush);
        if (background) {
            painter.setBackgroundMode(background->mode);
            painter.setBackground(background->color);
        }
    };
    // A polyline whose points lie closer together than a pixel on the device (a
    // circle of a few pixels has seventy of them) is drawn through the points at
    // least half a pixel apart: the same pixels, a fraction of the stroking.
    const QTransform toDevice = painter.combinedTransform();
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
    for (const Command& c : m_commands) {
        switch (c.op) {
        case Op::Pen:
            pen = &m_pens[c.index];
            painter.setPen(*pen);
            break;
        case Op::Brush:
            brush = &m_brushes[c.index];
            painter.setBrush(*brush);
            break;
        case Op::Background:
            background = &m_backgrounds[c.index];
            painter.setBackgroundMode(background->mode);
            painter.setBackground(background->color);
            break;
        case Op::Clip:
            if (clipLevel)
                painter.restore();
            painter.save();
            clipLevel = true;
            restoreState();
            painter.setClipPath(m_paths[c.index], Qt::IntersectClip);
            break;
        case Op::NoClip:
            if (clipLevel) {
                painter.restore();
                clipLevel = false;
                restoreState();
            }
            break;
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
        }
    }
    if (clipLevel)
        painter.restore();
    painter.restore();
}

} // namespace metafile
