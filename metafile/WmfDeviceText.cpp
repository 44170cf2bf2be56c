// The device layer's text: decoding, placement as a TextItem, and the font hooks
// libwmf asks for names and widths.
#include "metafile/WmfDeviceCallbacks.h"

#include <QLineF>
#include <QPolygonF>
#include <QStringDecoder>
#include <QTransform>

#include <cmath>
#include <cstring>

namespace metafile::detail {

namespace {

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

} // namespace

void drawText(wmfAPI* api, wmfDrawText_t* t) {
    WmfDevice* d = device(api);
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

// Width of a string at a size of one, as libwmf wants it for alignment. Text
// here is mostly CP932 in a fixed-pitch face, where every byte is half an em.
float stringWidth(wmfAPI*, wmfFont*, char* str) {
    return str ? 0.5f * static_cast<float>(std::strlen(str)) : 0.0f;
}

} // namespace metafile::detail
