#include "metafile/LibwmfPlayer.h"

#include "metafile/DisplayList.h"

#include <QElapsedTimer>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QStringDecoder>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <string>
#include <unordered_set>

extern "C" {
#include <libwmf/api.h>
#include <libwmf/defs.h>
#include <libwmf/ipa.h>
#include <libwmf/macro.h>
}

namespace metafile {

namespace {

// Text is laid out at this pixel size and scaled: small sizes are not rounded.
constexpr int kTextDesignSize = 100;

// Only a last guard against a file that makes libwmf spin: sizes and record counts are
// bounded by the validator already, and a real picture plays in well under a second,
// so a busy or slow machine never loses a legitimate picture to this limit.
constexpr qint64 kPlayDeadlineMs = 60000;

struct Device {
    DisplayList list;
    bool anyDrawn = false;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    QStringList texts;
    std::vector<MetafilePicture::TextItem> textItems;
    QHash<QString, QFont> fonts; // one QFont per face and style: resolving a font is costly
    // Face names libwmf's fonts point at, one copy per distinct name, alive
    // until the player is gone (see fontMap).
    std::unordered_set<std::string> faceNames;

    QFont fontFor(const wmfFont* font) {
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
        return *fonts.insert(key, qf);
    }
    // The state last recorded. A metafile typically creates, selects and
    // deletes a pen around every single line; recording each one would
    // store a pen, a brush and a background per line, and set all three
    // again per line on every paint.
    QPen pen{Qt::NoPen};
    QBrush brush{Qt::NoBrush};
    Qt::BGMode backgroundMode = Qt::TransparentMode;
    QColor background{Qt::white};

    void usePen(const QPen& p) {
        if (p == pen)
            return;
        pen = p;
        list.setPen(p);
    }
    void useBrush(const QBrush& b) {
        if (b == brush)
            return;
        brush = b;
        list.setBrush(b);
    }
    void useBackground(Qt::BGMode mode, const QColor& color) {
        if (mode == backgroundMode && color == background)
            return;
        backgroundMode = mode;
        background = color;
        list.setBackground(mode, color);
    }
    // Records the state the members above describe: the target painter's
    // own state is not ours to assume.
    void resetState() {
        list.setPen(pen);
        list.setBrush(brush);
        list.setBackground(backgroundMode, background);
    }

    int primitives = 0;
    QElapsedTimer clock;
    // Window origin and unit size of the first drawing call: how libwmf maps
    // the file's logical units onto the device units we record in.
    bool mapped = false;
    double originX = 0, originY = 0, unitX = 1, unitY = 1;
};

void track(Device* d, const wmfDC* dc) {
    if (d->mapped || !dc)
        return;
    d->mapped = true;
    d->originX = dc->Window.Ox;
    d->originY = dc->Window.Oy;
    d->unitX = dc->pixel_width;
    d->unitY = dc->pixel_height;
}

Device* device(wmfAPI* api) {
    return static_cast<Device*>(api->device_data);
}

QColor qcolor(const wmfRGB& c) {
    return QColor(c.r, c.g, c.b);
}

QPointF qpoint(const wmfD_Coord& c) {
    return QPointF(c.x, c.y);
}

void note(Device* d, const QRectF& r) {
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

void notePoints(Device* d, const wmfD_Coord* pt, int count) {
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

void applyState(Device* d, wmfDC* dc, bool fill) {
    d->usePen(penFor(dc));
    d->useBrush(fill ? brushFor(dc) : QBrush(Qt::NoBrush));
    if (WMF_DC_OPAQUE(dc))
        d->useBackground(Qt::OpaqueMode, qcolor(*WMF_DC_BACKGROUND(dc)));
    else
        d->useBackground(Qt::TransparentMode, d->background);
}

Qt::FillRule fillRule(wmfDC* dc) {
    return WMF_DC_POLYFILL(dc) == WINDING ? Qt::WindingFill : Qt::OddEvenFill;
}

// --- the device layer --------------------------------------------------------

void deviceOpen(wmfAPI*) {}
void deviceClose(wmfAPI*) {}

void deviceBegin(wmfAPI* api) {
    Device* d = device(api);
    if (d->list.isEmpty())
        d->resetState();
}

void deviceEnd(wmfAPI*) {}

void floodFill(wmfAPI*, wmfFlood_t*) {
    // Flood fills depend on pixels already on the device; a vector picture has none.
}

void drawPixel(wmfAPI* api, wmfDrawPixel_t* px) {
    Device* d = device(api);
    track(d, px->dc);
    const QRectF r(qpoint(px->pt), QSizeF(px->pixel_width, px->pixel_height));
    d->list.fillRect(r, QBrush(qcolor(px->color)));
    note(d, r);
}

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
    Device* d = device(api);
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
    Device* d = device(api);
    track(d, a->dc);
    applyState(d, a->dc, true);
    d->list.ellipse(arcRect(a));
    note(d, arcRect(a));
}

void drawLine(wmfAPI* api, wmfDrawLine_t* l) {
    Device* d = device(api);
    track(d, l->dc);
    applyState(d, l->dc, false);
    d->list.line(qpoint(l->from), qpoint(l->to));
    note(d, QRectF(qpoint(l->from), qpoint(l->to)));
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

void polyLine(wmfAPI* api, wmfPolyLine_t* pl) {
    Device* d = device(api);
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
    Device* d = device(api);
    track(d, pl->dc);
    if (pl->count < 1)
        return;
    applyState(d, pl->dc, true);
    copyPoints(d->list.polygon(pl->count, fillRule(pl->dc)), pl->pt, pl->count);
    notePoints(d, pl->pt, pl->count);
}

void drawPolyPolygon(wmfAPI* api, wmfPolyPoly_t* pp) {
    Device* d = device(api);
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
    Device* d = device(api);
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
    Device* d = device(api);
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

void bmpRead(wmfAPI*, wmfBMP_Read_t* read) {
    read->bmp.data = nullptr;
    read->bmp.width = 0;
    read->bmp.height = 0;
    if (!read->buffer || read->length < 40 || read->length > (1 << 28))
        return;
    // The record holds a device-independent bitmap without its file header;
    // put one in front and let Qt's reader (which bounds its allocations) decode it.
    const uint32_t headerSize = qFromLittleEndian<uint32_t>(read->buffer);
    const uint16_t bitCount = qFromLittleEndian<uint16_t>(read->buffer + 14);
    uint32_t colors = headerSize >= 40 ? qFromLittleEndian<uint32_t>(read->buffer + 32) : 0;
    if (colors == 0 && bitCount <= 8)
        colors = 1u << bitCount;
    const uint32_t compression =
        headerSize >= 40 ? qFromLittleEndian<uint32_t>(read->buffer + 16) : 0;
    const uint32_t masks = (compression == 3 && headerSize == 40) ? 12 : 0;
    const uint32_t offset = 14 + headerSize + masks + colors * (headerSize == 12 ? 3 : 4);
    QByteArray file(14, '\0');
    file[0] = 'B';
    file[1] = 'M';
    qToLittleEndian<uint32_t>(static_cast<uint32_t>(14 + read->length), file.data() + 2);
    qToLittleEndian<uint32_t>(offset, file.data() + 10);
    file.append(reinterpret_cast<const char*>(read->buffer), read->length);
    auto* image = new QImage;
    if (!image->loadFromData(file, "BMP") || image->isNull()) {
        delete image;
        return;
    }
    read->bmp.data = image;
    read->bmp.width = static_cast<U16>(std::min(image->width(), 65535));
    read->bmp.height = static_cast<U16>(std::min(image->height(), 65535));
}

void bmpFree(wmfAPI*, wmfBMP* bmp) {
    delete static_cast<QImage*>(bmp->data);
    bmp->data = nullptr;
}

void bmpDraw(wmfAPI* api, wmfBMP_Draw_t* draw) {
    Device* d = device(api);
    track(d, draw->dc);
    const auto* image = static_cast<const QImage*>(draw->bmp.data);
    if (!image || image->isNull())
        return;
    const QRectF source(draw->crop.x, draw->crop.y, draw->crop.w, draw->crop.h);
    const QRectF target(qpoint(draw->pt), QSizeF(draw->crop.w * draw->pixel_width,
                                                 draw->crop.h * draw->pixel_height));
    d->list.image(target, *image, source);
    note(d, target);
}

QString decodeText(const char* str, const wmfFont* font) {
    const QByteArray bytes(str);
    if (font && font->lfCharSet == 128) { // SHIFTJIS_CHARSET
        QStringDecoder decoder("Shift_JIS");
        if (decoder.isValid())
            return decoder.decode(bytes);
    }
    QStringDecoder decoder("windows-1252");
    return decoder.isValid() ? QString(decoder.decode(bytes)) : QString::fromLatin1(bytes);
}

void drawText(wmfAPI* api, wmfDrawText_t* t) {
    Device* d = device(api);
    track(d, t->dc);
    if (!t->str || !*t->str)
        return;
    wmfFont* font = WMF_DC_FONT(t->dc);
    const QString text = decodeText(t->str, font);
    d->texts.append(text);

    // The baseline runs from the estimated box's bottom-left to bottom-right;
    // taking the direction from there follows libwmf's own rotation.
    const QPointF bl = qpoint(t->bbox.BL), br = qpoint(t->bbox.BR);
    double angle = 0;
    if (QLineF(bl, br).length() > 0)
        angle = std::atan2(br.y() - bl.y(), br.x() - bl.x()) * 180.0 / M_PI;
    else if (font)
        angle = -font->lfEscapement / 10.0;

    const double height = std::abs(t->font_height);
    if (height <= 0 || !std::isfinite(height))
        return;
    MetafilePicture::TextItem item;
    item.text = text;
    item.font = d->fontFor(font);
    item.color = qcolor(*WMF_DC_TEXTCOLOR(t->dc));
    const double k = height / kTextDesignSize;
    item.transform = QTransform::fromScale(k * (t->font_ratio > 0 ? t->font_ratio : 1.0), k) *
                     QTransform().rotate(angle) * QTransform::fromTranslate(t->pt.x, t->pt.y);
    // Generous bounds: libwmf's box is an estimate from a nominal string width.
    item.bounds = QRectF(qpoint(t->pt) - QPointF(height, height), QSizeF(2 * height, 2 * height))
                      .united(QPolygonF({qpoint(t->bbox.TL), qpoint(t->bbox.TR), qpoint(t->bbox.BL),
                                         qpoint(t->bbox.BR)})
                                  .boundingRect()
                                  .adjusted(-height, -height, height, height));
    d->textItems.push_back(std::move(item));

    QPolygonF box;
    box << qpoint(t->bbox.TL) << qpoint(t->bbox.TR) << qpoint(t->bbox.BL) << qpoint(t->bbox.BR);
    note(d, box.boundingRect());
}

void udataNoop(wmfAPI*, wmfUserData_t*) {}

void regionFrame(wmfAPI* api, wmfPolyRectangle_t* pr) {
    Device* d = device(api);
    track(d, pr->dc);
    QPen pen(brushFor(pr->dc), std::max<float>(pr->width, pr->height));
    for (unsigned i = 0; i < pr->count; ++i) {
        const QRectF r = QRectF(qpoint(pr->TL[i]), qpoint(pr->BR[i])).normalized();
        d->usePen(pen);
        d->useBrush(Qt::NoBrush);
        d->list.rect(r);
        note(d, r);
    }
}

void regionPaint(wmfAPI* api, wmfPolyRectangle_t* pr) {
    Device* d = device(api);
    track(d, pr->dc);
    const QBrush brush = brushFor(pr->dc);
    for (unsigned i = 0; i < pr->count; ++i) {
        const QRectF r = QRectF(qpoint(pr->TL[i]), qpoint(pr->BR[i])).normalized();
        d->list.fillRect(r, brush);
        note(d, r);
    }
}

void regionClip(wmfAPI* api, wmfPolyRectangle_t* pr) {
    Device* d = device(api);
    if (pr->count == 0) {
        d->list.clearClip();
        return;
    }
    QPainterPath path;
    for (unsigned i = 0; i < pr->count; ++i)
        path.addRect(QRectF(qpoint(pr->TL[i]), qpoint(pr->BR[i])).normalized());
    d->list.setClip(path);
}

void installDevice(wmfAPI* api) {
    auto* fr = static_cast<wmfFunctionReference*>(api->function_reference);
    fr->device_open = deviceOpen;
    fr->device_close = deviceClose;
    fr->device_begin = deviceBegin;
    fr->device_end = deviceEnd;
    fr->flood_interior = floodFill;
    fr->flood_exterior = floodFill;
    fr->draw_pixel = drawPixel;
    fr->draw_pie = drawPie;
    fr->draw_chord = drawChord;
    fr->draw_arc = drawArc;
    fr->draw_ellipse = drawEllipse;
    fr->draw_line = drawLine;
    fr->poly_line = polyLine;
    fr->draw_polygon = drawPolygon;
    fr->draw_polypolygon = drawPolyPolygon;
    fr->draw_rectangle = drawRectangle;
    fr->rop_draw = ropDraw;
    fr->bmp_draw = bmpDraw;
    fr->bmp_read = bmpRead;
    fr->bmp_free = bmpFree;
    fr->draw_text = drawText;
    fr->udata_init = udataNoop;
    fr->udata_copy = udataNoop;
    fr->udata_set = udataNoop;
    fr->udata_free = udataNoop;
    fr->region_frame = regionFrame;
    fr->region_paint = regionPaint;
    fr->region_clip = regionClip;
}

// Fonts are resolved by Qt when the text is drawn; here only the face name
// changes hands. libwmf allocates every font's name through its memory
// manager and does not release it when the font is deleted, while each
// release searches that manager's list of live blocks from the start. A
// drawing that creates a font per text (as the exporter's do) thus made
// every later release slower: thousands of stale names, searched once per
// polyline, twice per file. The name moves into our own interned set and
// libwmf's copy is released at once, keeping its list a handful long.
void fontMap(wmfAPI* api, wmfFont* font) {
    if (!font || !font->lfFaceName)
        return;
    Device* d = device(api);
    const std::string& kept = *d->faceNames.insert(std::string(font->lfFaceName)).first;
    char* theirs = font->lfFaceName;
    if (theirs == kept.c_str())
        return;
    font->lfFaceName = const_cast<char*>(kept.c_str());
    // Releasing a block the manager does not hold is a no-op, so a library
    // that does free the name on delete meets our copy harmlessly.
    wmf_free(api, theirs);
}

// Width of a string at a size of one, as libwmf wants it for alignment. Text
// here is mostly CP932 in a fixed-pitch face, where every byte is half an em.
float stringWidth(wmfAPI*, wmfFont*, char* str) {
    return str ? 0.5f * static_cast<float>(std::strlen(str)) : 0.0f;
}

int statusCheck(void* context, float) {
    return static_cast<Device*>(context)->clock.elapsed() > kPlayDeadlineMs ? 1 : 0;
}

} // namespace

std::shared_ptr<const MetafilePicture> LibwmfPlayer::play(const WmfValidator::Result& checked) {
    if (!checked.ok)
        return nullptr;
    wmfAPI_Options options{};
    options.function = installDevice;
    const unsigned long flags =
        WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    wmfAPI* api = nullptr;
    if (wmf_lite_create(&api, flags, &options) != wmf_E_None || !api) {
        if (api)
            wmf_lite_destroy(api);
        return nullptr;
    }
    Device dev;
    dev.clock.start();
    api->device_data = &dev;
    auto* fonts = static_cast<wmfFontData*>(wmf_malloc(api, sizeof(wmfFontData)));
    if (!fonts) {
        wmf_lite_destroy(api);
        return nullptr;
    }
    fonts->map = fontMap;
    fonts->stringwidth = stringWidth;
    fonts->user_data = nullptr;
    api->font_data = fonts;
    wmf_status_function(api, &dev, statusCheck);

    QByteArray bytes = checked.playable; // libwmf wants a mutable buffer
    wmfD_Rect bbox{};
    bool ok = wmf_mem_open(api, reinterpret_cast<unsigned char*>(bytes.data()), bytes.size()) ==
              wmf_E_None;
    ok = ok && wmf_scan(api, 0, &bbox) == wmf_E_None;
    ok = ok && wmf_play(api, 0, &bbox) == wmf_E_None;
    wmf_mem_close(api);
    wmf_lite_destroy(api);
    if (!ok)
        return nullptr;

    auto picture = std::shared_ptr<MetafilePicture>(new MetafilePicture);
    picture->m_list = std::make_shared<const DisplayList>(std::move(dev.list));
    picture->m_texts = dev.texts;
    picture->m_textItems = std::move(dev.textItems);
    picture->m_primitives = dev.primitives;
    QRectF frame =
        QRectF(QPointF(bbox.TL.x, bbox.TL.y), QPointF(bbox.BR.x, bbox.BR.y)).normalized();
    if (checked.placeable && checked.right != checked.left && checked.top != checked.bottom) {
        // The placeable box is the picture, whatever falls inside or outside it.
        if (!dev.mapped) {
            dev.originX = checked.left;
            dev.originY = checked.top;
            dev.unitX = dev.unitY = 72.0 / checked.unitsPerInch;
        }
        frame = QRectF(QPointF((checked.left - dev.originX) * dev.unitX,
                               (checked.top - dev.originY) * dev.unitY),
                       QPointF((checked.right - dev.originX) * dev.unitX,
                               (checked.bottom - dev.originY) * dev.unitY))
                    .normalized();
    }
    picture->m_frame = frame;
    if (dev.anyDrawn && frame.width() > 0 && frame.height() > 0)
        picture->m_drawnBounds = QRectF(QPointF((dev.x0 - frame.left()) / frame.width(),
                                                (dev.y0 - frame.top()) / frame.height()),
                                        QPointF((dev.x1 - frame.left()) / frame.width(),
                                                (dev.y1 - frame.top()) / frame.height()));
    if (checked.placeable && checked.right != checked.left && checked.top != checked.bottom)
        picture->m_naturalTwips =
            QSizeF(std::abs(checked.right - checked.left) * 1440.0 / checked.unitsPerInch,
                   std::abs(checked.bottom - checked.top) * 1440.0 / checked.unitsPerInch);
    else
        picture->m_naturalTwips = frame.size() * 20.0; // libwmf's device unit is the point
    return picture;
}

} // namespace metafile
