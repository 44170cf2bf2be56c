// Session set-up around libwmf: the device callbacks live in the WmfDevice*.cpp files,
// grouped by what they draw; here they are installed, the file is played, and the
// recorded device becomes a MetafilePicture.
#include "metafile/LibwmfPlayer.h"

#include "metafile/DisplayList.h"
#include "metafile/WmfDeviceCallbacks.h"

#include <cmath>

namespace metafile {

using namespace detail;

namespace {

// Only a last guard against a file that makes libwmf spin: sizes and record counts are
// bounded by the validator already, and a real picture plays in well under a second,
// so a busy or slow machine never loses a legitimate picture to this limit.
constexpr qint64 kPlayDeadlineMs = 60000;

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

int statusCheck(void* context, float) {
    auto* dev = static_cast<WmfDevice*>(context);
    // Called after every record: reading the clock each time cost more than many a
    // record's own work.
    if (++dev->statusCalls % 1024 != 0)
        return 0;
    return dev->clock.elapsed() > kPlayDeadlineMs ? 1 : 0;
}

bool hasPlaceableBox(const WmfValidator::Result& checked) {
    return checked.placeable && checked.right != checked.left && checked.top != checked.bottom;
}

} // namespace

QSizeF LibwmfPlayer::placeableSizeTwips(const WmfValidator::Result& checked) {
    if (!hasPlaceableBox(checked))
        return QSizeF();
    return QSizeF(std::abs(checked.right - checked.left) * 1440.0 / checked.unitsPerInch,
                  std::abs(checked.bottom - checked.top) * 1440.0 / checked.unitsPerInch);
}

bool LibwmfPlayer::play(WmfValidator::Result& checked, MetafilePicture::Recording& out,
                        QSizeF& naturalTwips) {
    if (!checked.ok)
        return false;
    wmfAPI_Options options{};
    options.function = installDevice;
    const unsigned long flags =
        WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    wmfAPI* api = nullptr;
    if (wmf_lite_create(&api, flags, &options) != wmf_E_None || !api) {
        if (api)
            wmf_lite_destroy(api);
        return false;
    }
    WmfDevice dev;
    dev.clock.start();
    // Twice the drawing records: most drawings change the pen as often as they draw.
    dev.list.reserve(2 * std::size_t(checked.drawingRecords) + 8, std::size_t(checked.polyPoints));
    dev.textsMoved = std::move(checked.textsMoved);
    api->device_data = &dev;
    auto* fonts = static_cast<wmfFontData*>(wmf_malloc(api, sizeof(wmfFontData)));
    if (!fonts) {
        wmf_lite_destroy(api);
        return false;
    }
    fonts->map = fontMap;
    fonts->stringwidth = stringWidth;
    fonts->user_data = nullptr;
    api->font_data = fonts;
    wmf_status_function(api, &dev, statusCheck);

    // libwmf wants a mutable buffer; taken over rather than copied, as a large
    // drawing's file is tens of megabytes.
    QByteArray bytes = std::move(checked.playable);
    checked.playable = QByteArray();
    wmfD_Rect bbox{};
    bool ok = wmf_mem_open(api, reinterpret_cast<unsigned char*>(bytes.data()), bytes.size()) ==
              wmf_E_None;
    ok = ok && wmf_scan(api, 0, &bbox) == wmf_E_None;
    dev.playing = true;
    ok = ok && wmf_play(api, 0, &bbox) == wmf_E_None;
    wmf_mem_close(api);
    wmf_lite_destroy(api);
    if (!ok)
        return false;

    MetafilePicture::Recording picture;
    dev.list.finish();
    picture.list = std::make_shared<const DisplayList>(std::move(dev.list));
    picture.texts = std::move(dev.texts);
    picture.textItems = std::move(dev.textItems);
    picture.primitives = dev.primitives;
    QRectF frame =
        QRectF(QPointF(bbox.TL.x, bbox.TL.y), QPointF(bbox.BR.x, bbox.BR.y)).normalized();
    if (hasPlaceableBox(checked)) {
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
    picture.frame = frame;
    if (dev.anyDrawn && frame.width() > 0 && frame.height() > 0)
        picture.drawnBounds = QRectF(QPointF((dev.x0 - frame.left()) / frame.width(),
                                             (dev.y0 - frame.top()) / frame.height()),
                                     QPointF((dev.x1 - frame.left()) / frame.width(),
                                             (dev.y1 - frame.top()) / frame.height()));
    naturalTwips = hasPlaceableBox(checked) ? placeableSizeTwips(checked)
                                            : frame.size() * 20.0; // libwmf's unit is the point
    out = std::move(picture);
    return true;
}

} // namespace metafile
