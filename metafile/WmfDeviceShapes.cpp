// The device layer's drawing primitives: pixels, arcs, ellipses, lines, polygons,
// rectangles and the raster operations that have a vector equivalent.
#include "metafile/WmfDeviceCallbacks.h"

#include <QPainterPath>
#include <QPolygonF>

#include <cmath>

namespace metafile::detail {

namespace {

QRectF arcRect(const wmfDrawArc_t* a) {
    return QRectF(qpoint(a->TL), qpoint(a->BR)).normalized();
}

// Angle, in Qt's degrees (counter-clockwise on screen), of an arc's end
// point; libwmf gives those relative to the ellipse's centre, in device
// units with y down.
double arcAngle(const QRectF& r, const wmfD_Coord& p) {
    const double rx = r.width() / 2, ry = r.height() / 2;
    if (rx <= 0 || ry <= 0)
        return 0;
    return std::atan2(-p.y / ry, p.x / rx) * 180.0 / M_PI;
}

void arcLike(wmfAPI* api, wmfDrawArc_t* a, int kind) // 0 arc, 1 pie, 2 chord
{
    WmfDevice* d = device(api);
    track(d, a->dc);
    const QRectF r = arcRect(a);
    // libwmf hands the points over in clockwise order on screen (the file's
    // counter-clockwise in y-up logical units); Qt sweeps counter-clockwise.
    const double start = arcAngle(r, a->end);
    double sweep = arcAngle(r, a->start) - start;
    if (sweep <= 0)
        sweep += 360;
    QPainterPath path;
    if (kind == 1) {
        path.moveTo(r.center());
        path.arcTo(r, start, sweep);
        path.closeSubpath();
    } else {
        path.arcMoveTo(r, start);
        path.arcTo(r, start, sweep);
        if (kind == 2)
            path.closeSubpath();
    }
    applyState(d, a->dc, kind != 0);
    d->list.path(path);
    note(d, r);
}

QPolygonF polygonOf(const wmfD_Coord* pt, int count) {
    QPolygonF poly;
    poly.reserve(count);
    for (int i = 0; i < count; ++i)
        poly.append(QPointF(pt[i].x, pt[i].y));
    return poly;
}

void copyPoints(QPointF* to, const wmfD_Coord* pt, int count) {
    for (int i = 0; i < count; ++i)
        to[i] = QPointF(pt[i].x, pt[i].y);
}

} // namespace

void deviceOpen(wmfAPI*) {}
void deviceClose(wmfAPI*) {}

void deviceBegin(wmfAPI* api) {
    WmfDevice* d = device(api);
    if (d->list.isEmpty())
        d->resetState();
}

void deviceEnd(wmfAPI*) {}

void floodFill(wmfAPI*, wmfFlood_t*) {
    // Flood fills depend on pixels already on the device; a vector picture has none.
}

void drawPixel(wmfAPI* api, wmfDrawPixel_t* px) {
    WmfDevice* d = device(api);
    track(d, px->dc);
    const QRectF r(qpoint(px->pt), QSizeF(px->pixel_width, px->pixel_height));
    d->list.fillRect(r, QBrush(qcolor(px->color)));
    note(d, r);
}

void drawArc(wmfAPI* api, wmfDrawArc_t* a) {
    arcLike(api, a, 0);
}
void drawPie(wmfAPI* api, wmfDrawArc_t* a) {
    arcLike(api, a, 1);
}
void drawChord(wmfAPI* api, wmfDrawArc_t* a) {
    arcLike(api, a, 2);
}

void drawEllipse(wmfAPI* api, wmfDrawArc_t* a) {
    WmfDevice* d = device(api);
    track(d, a->dc);
    applyState(d, a->dc, true);
    d->list.ellipse(arcRect(a));
    note(d, arcRect(a));
}

void drawLine(wmfAPI* api, wmfDrawLine_t* l) {
    WmfDevice* d = device(api);
    track(d, l->dc);
    applyState(d, l->dc, false);
    d->list.line(qpoint(l->from), qpoint(l->to));
    note(d, QRectF(qpoint(l->from), qpoint(l->to)));
}

void polyLine(wmfAPI* api, wmfPolyLine_t* pl) {
    WmfDevice* d = device(api);
    track(d, pl->dc);
    if (pl->count < 1)
        return;
    // A line with the null pen marks extent for libwmf's scan only; it is not drawing.
    if (WMF_DC_PEN(pl->dc) && WMF_PEN_STYLE(WMF_DC_PEN(pl->dc)) == PS_NULL)
        return;
    applyState(d, pl->dc, false);
    copyPoints(d->list.polyline(pl->count), pl->pt, pl->count);
    notePoints(d, pl->pt, pl->count);
}

void drawPolygon(wmfAPI* api, wmfPolyLine_t* pl) {
    WmfDevice* d = device(api);
    track(d, pl->dc);
    if (pl->count < 1)
        return;
    applyState(d, pl->dc, true);
    copyPoints(d->list.polygon(pl->count, fillRule(pl->dc)), pl->pt, pl->count);
    notePoints(d, pl->pt, pl->count);
}

void drawPolyPolygon(wmfAPI* api, wmfPolyPoly_t* pp) {
    WmfDevice* d = device(api);
    track(d, pp->dc);
    QPainterPath path;
    path.setFillRule(fillRule(pp->dc));
    for (unsigned i = 0; i < pp->npoly; ++i) {
        if (!pp->pt[i] || pp->count[i] < 1)
            continue;
        path.addPolygon(polygonOf(pp->pt[i], pp->count[i]));
        path.closeSubpath();
        notePoints(d, pp->pt[i], pp->count[i]);
    }
    applyState(d, pp->dc, true);
    d->list.path(path);
}

void drawRectangle(wmfAPI* api, wmfDrawRectangle_t* rc) {
    WmfDevice* d = device(api);
    track(d, rc->dc);
    const QRectF r = QRectF(qpoint(rc->TL), qpoint(rc->BR)).normalized();
    applyState(d, rc->dc, true);
    if (rc->width > 0 && rc->height > 0)
        d->list.roundedRect(r, rc->width / 2, rc->height / 2);
    else
        d->list.rect(r);
    note(d, r);
}

void ropDraw(wmfAPI* api, wmfROP_Draw_t* rop) {
    WmfDevice* d = device(api);
    track(d, rop->dc);
    const QRectF r = QRectF(qpoint(rop->TL), qpoint(rop->BR)).normalized();
    switch (rop->ROP) {
    case 0x00F00021: // PATCOPY
        d->list.fillRect(r, brushFor(rop->dc));
        break;
    case 0x00000042: // BLACKNESS
        d->list.fillRect(r, QBrush(Qt::black));
        break;
    case 0x00FF0062: // WHITENESS
        d->list.fillRect(r, QBrush(Qt::white));
        break;
    default:
        return; // raster operations that combine with the destination have no vector equivalent
    }
    note(d, r);
}

} // namespace metafile::detail
