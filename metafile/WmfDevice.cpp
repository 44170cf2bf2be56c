#include "metafile/WmfDevice.h"

#include <QImage>

#include <algorithm>
#include <cmath>

namespace metafile::detail {

WmfDevice::Font& WmfDevice::fontFor(const wmfFont* font) {
    const QString face =
        font && font->lfFaceName ? QString::fromLatin1(font->lfFaceName) : QString();
    const int style = font ? ((font->lfWeight >= 600) | (font->lfItalic ? 2 : 0) |
                              (font->lfUnderline ? 4 : 0) | (font->lfStrikeOut ? 8 : 0))
                           : 0;
    const QString key = face + QChar(u'\x1f') + QString::number(style);
    auto it = fonts.find(key);
    if (it != fonts.end())
        return *it;
    QFont qf(face);
    qf.setPixelSize(kTextDesignSize);
    qf.setWeight(style & 1 ? QFont::Bold : QFont::Normal);
    qf.setItalic(style & 2);
    qf.setUnderline(style & 4);
    qf.setStrikeOut(style & 8);
    return *fonts.insert(key, Font{qf});
}

void track(WmfDevice* d, const wmfDC* dc) {
    if (d->mapped || !dc)
        return;
    d->mapped = true;
    d->originX = dc->Window.Ox;
    d->originY = dc->Window.Oy;
    d->unitX = dc->pixel_width;
    d->unitY = dc->pixel_height;
}

WmfDevice* device(wmfAPI* api) {
    return static_cast<WmfDevice*>(api->device_data);
}

QColor qcolor(const wmfRGB& c) {
    return QColor(c.r, c.g, c.b);
}

QPointF qpoint(const wmfD_Coord& c) {
    return QPointF(c.x, c.y);
}

void note(WmfDevice* d, const QRectF& r) {
    // Kept as plain extremes: a horizontal line has no height and would be
    // dropped by QRectF's union.
    const QRectF n = r.normalized();
    if (!d->anyDrawn) {
        d->x0 = n.left();
        d->y0 = n.top();
        d->x1 = n.right();
        d->y1 = n.bottom();
        d->anyDrawn = true;
    } else {
        d->x0 = std::min(d->x0, n.left());
        d->y0 = std::min(d->y0, n.top());
        d->x1 = std::max(d->x1, n.right());
        d->y1 = std::max(d->y1, n.bottom());
    }
    ++d->primitives;
}

void notePoints(WmfDevice* d, const wmfD_Coord* pt, int count) {
    if (count <= 0)
        return;
    double x0 = pt[0].x, x1 = pt[0].x, y0 = pt[0].y, y1 = pt[0].y;
    for (int i = 1; i < count; ++i) {
        x0 = std::min<double>(x0, pt[i].x);
        x1 = std::max<double>(x1, pt[i].x);
        y0 = std::min<double>(y0, pt[i].y);
        y1 = std::max<double>(y1, pt[i].y);
    }
    note(d, QRectF(QPointF(x0, y0), QPointF(x1, y1)));
}

QPen penFor(wmfDC* dc) {
    wmfPen* pen = WMF_DC_PEN(dc);
    if (!pen || WMF_PEN_STYLE(pen) == PS_NULL)
        return Qt::NoPen;
    QPen p(qcolor(*WMF_PEN_COLOR(pen)));
    // libwmf raises every width to at least one logical unit; a pen of one
    // unit is a hairline and stays one pixel wide at every zoom.
    const double unit = std::abs(dc->pixel_width);
    const double w = WMF_PEN_WIDTH(pen);
    if (w <= unit * 1.0001)
        p.setWidth(0);
    else
        p.setWidthF(w);
    p.setCosmetic(p.widthF() == 0.0);
    switch (WMF_PEN_STYLE(pen)) {
    case PS_DASH:
        p.setStyle(Qt::DashLine);
        break;
    case PS_DOT:
    case PS_ALTERNATE:
        p.setStyle(Qt::DotLine);
        break;
    case PS_DASHDOT:
        p.setStyle(Qt::DashDotLine);
        break;
    case PS_DASHDOTDOT:
        p.setStyle(Qt::DashDotDotLine);
        break;
    default:
        p.setStyle(Qt::SolidLine);
        break;
    }
    switch (WMF_PEN_ENDCAP(pen)) {
    case PS_ENDCAP_SQUARE:
        p.setCapStyle(Qt::SquareCap);
        break;
    case PS_ENDCAP_FLAT:
        p.setCapStyle(Qt::FlatCap);
        break;
    default:
        p.setCapStyle(Qt::RoundCap);
        break;
    }
    switch (WMF_PEN_JOIN(pen)) {
    case PS_JOIN_BEVEL:
        p.setJoinStyle(Qt::BevelJoin);
        break;
    case PS_JOIN_MITER:
        p.setJoinStyle(Qt::MiterJoin);
        break;
    default:
        p.setJoinStyle(Qt::RoundJoin);
        break;
    }
    return p;
}

QBrush brushFor(wmfDC* dc) {
    wmfBrush* brush = WMF_DC_BRUSH(dc);
    if (!brush)
        return Qt::NoBrush;
    const QColor c = qcolor(*WMF_BRUSH_COLOR(brush));
    switch (WMF_BRUSH_STYLE(brush)) {
    case BS_NULL:
        return Qt::NoBrush;
    case BS_HATCHED: {
        static const Qt::BrushStyle hatch[] = {Qt::HorPattern,   Qt::VerPattern,
                                               Qt::FDiagPattern, Qt::BDiagPattern,
                                               Qt::CrossPattern, Qt::DiagCrossPattern};
        const unsigned h = WMF_BRUSH_HATCH(brush);
        return QBrush(c, h < 6 ? hatch[h] : Qt::SolidPattern);
    }
    case BS_PATTERN:
    case BS_DIBPATTERN:
    case BS_DIBPATTERNPT:
    case BS_DIBPATTERN8X8:
    case BS_PATTERN8X8: {
        const auto* image = static_cast<const QImage*>(WMF_BRUSH_BITMAP(brush)->data);
        if (image && !image->isNull())
            return QBrush(*image);
        return QBrush(c);
    }
    default:
        return QBrush(c);
    }
}

namespace {

std::size_t mix(std::size_t seed, std::size_t value) {
    return seed ^ (value + 0x9e3779b97f4a7c15ull + (seed << 6) + (seed >> 2));
}

std::size_t rgbKey(const wmfRGB& c) {
    return std::size_t(c.r) << 16 | std::size_t(c.g) << 8 | c.b;
}

WmfDevice::PenSource penSource(wmfDC* dc) {
    WmfDevice::PenSource s;
    wmfPen* pen = WMF_DC_PEN(dc);
    if (!pen)
        return s;
    s.none = false;
    // The player sets only these bits of a new pen's style, over a table it never
    // cleared: the rest is whatever its memory held, and must not tell pens apart.
    s.style = pen->lopnStyle & (PS_STYLE_MASK | PS_ENDCAP_MASK | PS_JOIN_MASK);
    s.width = WMF_PEN_WIDTH(pen) + 0.0; // no negative zero: it would hash apart from zero
    s.unit = std::abs(dc->pixel_width);
    s.color = *WMF_PEN_COLOR(pen);
    return s;
}

WmfDevice::BrushSource brushSource(wmfDC* dc, bool fill) {
    WmfDevice::BrushSource s;
    wmfBrush* brush = fill ? WMF_DC_BRUSH(dc) : nullptr;
    if (!brush)
        return s;
    s.none = false;
    s.style = WMF_BRUSH_STYLE(brush);
    s.hatch = WMF_BRUSH_HATCH(brush);
    s.color = *WMF_BRUSH_COLOR(brush);
    switch (s.style) {
    case BS_PATTERN:
    case BS_DIBPATTERN:
    case BS_DIBPATTERNPT:
    case BS_DIBPATTERN8X8:
    case BS_PATTERN8X8:
        s.pattern = true;
        break;
    default:
        break;
    }
    return s;
}

} // namespace

std::size_t WmfDevice::SourceHash::operator()(const PenSource& s) const {
    std::size_t h = mix(s.none, s.style);
    h = mix(h, std::hash<double>()(s.width));
    h = mix(h, std::hash<double>()(s.unit));
    return mix(h, rgbKey(s.color));
}

std::size_t WmfDevice::SourceHash::operator()(const BrushSource& s) const {
    std::size_t h = mix(s.none, s.style);
    h = mix(h, s.hatch);
    return mix(h, rgbKey(s.color));
}

void applyState(WmfDevice* d, wmfDC* dc, bool fill) {
    const WmfDevice::PenSource pen = penSource(dc);
    if (!d->penFrom || !(*d->penFrom == pen)) {
        auto it = d->pens.find(pen);
        if (it == d->pens.end())
            it = d->pens.emplace(pen, penFor(dc)).first;
        d->usePen(it->second);
        d->penFrom = pen;
    }
    const WmfDevice::BrushSource brush = brushSource(dc, fill);
    if (brush.pattern) {
        // Not kept: a pattern's bitmap may be freed and another made at its address.
        d->useBrush(brushFor(dc));
    } else if (!d->brushFrom || !(*d->brushFrom == brush)) {
        auto it = d->brushes.find(brush);
        if (it == d->brushes.end())
            it = d->brushes.emplace(brush, fill ? brushFor(dc) : QBrush(Qt::NoBrush)).first;
        d->useBrush(it->second);
        d->brushFrom = brush;
    }
    if (WMF_DC_OPAQUE(dc))
        d->useBackground(Qt::OpaqueMode, qcolor(*WMF_DC_BACKGROUND(dc)));
    else
        d->useBackground(Qt::TransparentMode, d->background);
}

Qt::FillRule fillRule(wmfDC* dc) {
    return WMF_DC_POLYFILL(dc) == WINDING ? Qt::WindingFill : Qt::OddEvenFill;
}

} // namespace metafile::detail
