// The device layer's text: decoding, placement as a TextItem, and the font hooks
// libwmf asks for names and widths.
#include "metafile/WmfDeviceCallbacks.h"

#include <QFontMetricsF>
#include <QTransform>

#include <cmath>
#include <cstring>

namespace metafile::detail {

namespace {

// GDI aligns a text sideways by TA_LEFT 0, TA_RIGHT 2 or TA_CENTER 6 and upright by
// TA_TOP 0, TA_BOTTOM 8 or TA_BASELINE 24. libwmf tests these bit by bit, so it takes
// right-aligned text for centred and bottom-aligned text for text on its baseline;
// here they are told apart as GDI tells them.
double advanceShareOf(U16 align) {
    switch (align & TA_CENTER) {
    case TA_CENTER:
        return 0.5;
    case TA_RIGHT:
        return 1.0;
    default:
        return 0.0;
    }
}

void measure(WmfDevice::Font& f) {
    if (f.measured)
        return;
    const QFontMetricsF metrics(f.font);
    f.ascent = metrics.ascent();
    f.descent = metrics.descent();
    f.measured = true;
}

} // namespace

// libwmf hands a text over already moved by its own reading of the alignment, from a
// width estimated with stringWidth and an angle taken from the font, and with a box
// estimated from both. While playing that width is 0 (see stringWidth), so the only
// move left is the one it makes for text aligned by its top; that is undone, and the
// text placed from its reference point as GDI places it, by the glyphs' real widths.
void drawText(wmfAPI* api, wmfDrawText_t* t) {
    WmfDevice* d = device(api);
    track(d, t->dc);
    // With a spacing array libwmf draws a character at a time, each where the array
    // puts it, and only the first with a box.
    const QPointF bl = qpoint(t->bbox.BL), br = qpoint(t->bbox.BR);
    const QPointF tl = qpoint(t->bbox.TL), tr = qpoint(t->bbox.TR);
    const bool spacedNext = bl.isNull() && br.isNull() && tl.isNull() && tr.isNull();
    bool moved = true;
    if (!spacedNext && d->textsTaken < d->textsMoved.size())
        moved = d->textsMoved[d->textsTaken++];
    if (!t->str || !*t->str)
        return;
    wmfFont* font = WMF_DC_FONT(t->dc);
    const QString text = d->codec.decode(QByteArrayView(t->str), font ? font->lfCharSet : 0);
    const double height = std::abs(t->font_height);
    if (height <= 0 || !std::isfinite(height)) {
        d->texts.append(text);
        return;
    }
    const U16 align = WMF_DC_TEXTALIGN(t->dc);
    // The escapement is counter-clockwise on the page; the device's y runs down.
    const double degrees = font ? font->lfEscapement / 10.0 : 0.0;
    const double rad = degrees * M_PI / 180.0;
    const QPointF along(std::cos(rad), -std::sin(rad));
    const QPointF down(std::sin(rad), std::cos(rad));
    QPointF point = qpoint(t->pt); // the text's reference point
    if (!(align & TA_BASELINE))
        point -= height * down; // libwmf's move for text aligned by its top

    WmfDevice::Font& f = d->fontFor(font);
    const double ratio = t->font_ratio > 0 ? t->font_ratio : 1.0;
    const double k = height / kTextDesignSize;
    double share = advanceShareOf(align);
    double advance = -1; // device units; known only where the text is measured here
    QPointF origin = point;

    // The first character's box is as wide as the whole spaced text. libwmf centres
    // right-aligned text there too; the rest of the way is added here.
    const double boxWidth = std::max(std::abs(QPointF::dotProduct(br - bl, along)),
                                     std::abs(QPointF::dotProduct(tr - bl, along)));
    const bool spacedFirst = !spacedNext && boxWidth > 1e-3 * height;
    if (!spacedFirst && !spacedNext)
        d->spacedShift = QPointF();
    if (spacedFirst || spacedNext) {
        if (spacedFirst) {
            d->spacedShift = share == 1.0 ? -boxWidth / 2 * along : QPointF();
            d->texts.append(text);
        } else if (d->texts.isEmpty()) {
            d->texts.append(text);
        } else {
            d->texts.last() += text;
        }
        origin = point + d->spacedShift;
        share = 0;
        d->position.valid = false;
    } else if (align & TA_UPDATECP) {
        // Text drawn from the current position moves it past itself (or, right-aligned,
        // back before itself), so that a line written in pieces reads as one; libwmf
        // keeps it where the last piece aligned left started, or leaves it alone. A
        // piece that nothing moved the position for since, reported where libwmf's
        // position was left, continues from ours.
        const double unit =
            std::max(std::abs(t->dc->pixel_width), std::abs(t->dc->pixel_height)) * 1.5;
        const bool continues = !moved && d->position.valid &&
                               std::abs(point.x() - d->position.reported.x()) <= unit &&
                               std::abs(point.y() - d->position.reported.y()) <= unit;
        const QPointF from = continues ? d->position.actual : point;
        advance = QFontMetricsF(f.font).horizontalAdvance(text) * k * ratio;
        origin = from - share * advance * along;
        d->position.actual = share == 0.0 ? from + advance * along : share == 1.0 ? origin : from;
        d->position.reported = (align & TA_CENTER) == 0 ? qpoint(t->pt) : point;
        d->position.valid = true;
        if (continues && share != 0.5 && d->position.text == d->texts.size() - 1) {
            if (share == 1.0)
                d->texts.last().prepend(text);
            else
                d->texts.last() += text;
        } else {
            d->texts.append(text);
        }
        d->position.text = d->texts.size() - 1;
        share = 0;
    } else {
        d->texts.append(text);
    }

    double rise = 0; // from the reference point down to the baseline, design units
    if ((align & TA_BASELINE) == TA_TOP || (align & TA_BASELINE) == TA_BOTTOM) {
        measure(f);
        rise = (align & TA_BASELINE) == TA_TOP ? f.ascent : -f.descent;
    }
    const QTransform place =
        QTransform().rotate(-degrees) * QTransform::fromTranslate(origin.x(), origin.y());
    MetafilePicture::TextItem item;
    item.text = text;
    item.font = f.font;
    item.color = qcolor(*WMF_DC_TEXTCOLOR(t->dc));
    item.transform =
        QTransform::fromTranslate(0, rise) * QTransform::fromScale(k * ratio, k) * place;
    item.advanceShare = share;

    // The extent counts half a height a byte, as libwmf's estimate did; skipping text
    // outside the painter's clip allows for the widest glyphs.
    const double nominal = advance >= 0 ? advance : 0.5 * std::strlen(t->str) * height * ratio;
    const double baseline = rise * k;
    note(d, place.mapRect(QRectF(QPointF(-share * nominal, baseline - 0.77 * height),
                                 QPointF((1 - share) * nominal, baseline + 0.23 * height))));
    const double widest = std::max(nominal, 1.2 * text.size() * height * ratio);
    item.bounds = place.mapRect(QRectF(QPointF(-share * widest - height, baseline - 2 * height),
                                       QPointF((1 - share) * widest + height, baseline + height)));
    d->textItems.push_back(std::move(item));
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
    WmfDevice* d = device(api);
    const std::string& kept = *d->faceNames.insert(std::string(font->lfFaceName)).first;
    char* theirs = font->lfFaceName;
    if (theirs == kept.c_str())
        return;
    font->lfFaceName = const_cast<char*>(kept.c_str());
    // Releasing a block the manager does not hold is a no-op, so a library
    // that does free the name on delete meets our copy harmlessly.
    wmf_free(api, theirs);
}

// Width of a string at a size of one, as libwmf wants it for alignment and for the
// extent it scans. Text here is mostly CP932 in a fixed-pitch face, where every byte
// is half an em. While playing, texts are placed by drawText instead (see there).
float stringWidth(wmfAPI* api, wmfFont*, char* str) {
    if (!str || device(api)->playing)
        return 0.0f;
    return 0.5f * static_cast<float>(std::strlen(str));
}

} // namespace metafile::detail
