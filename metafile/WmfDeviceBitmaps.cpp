// The device layer's bitmaps (decoded in DibImage, drawn as images) and clipping and
// filled regions.
#include "metafile/DibImage.h"
#include "metafile/WmfDeviceCallbacks.h"

#include <QImage>
#include <QPainterPath>

#include <algorithm>

namespace metafile::detail {

void bmpRead(wmfAPI* api, wmfBMP_Read_t* read) {
    read->bmp.data = nullptr;
    read->bmp.width = 0;
    read->bmp.height = 0;
    if (!read->buffer || read->length <= 0)
        return;
    // Every bitmap of the picture is kept decoded, and a few bytes of runs may claim
    // any size: the picture's bitmaps share one budget of pixels.
    WmfDevice* d = device(api);
    const qint64 left = kBitmapPixelsPerPicture - d->bitmapPixels;
    QImage decoded = decodeDib(read->buffer, std::size_t(read->length), std::max<qint64>(0, left));
    if (decoded.isNull())
        return;
    d->bitmapPixels += qint64(decoded.width()) * decoded.height();
    read->bmp.width = static_cast<U16>(decoded.width());
    read->bmp.height = static_cast<U16>(decoded.height());
    read->bmp.data = new QImage(std::move(decoded));
}

void bmpFree(wmfAPI*, wmfBMP* bmp) {
    delete static_cast<QImage*>(bmp->data);
    bmp->data = nullptr;
}

void bmpDraw(wmfAPI* api, wmfBMP_Draw_t* draw) {
    WmfDevice* d = device(api);
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

void udataNoop(wmfAPI*, wmfUserData_t*) {}

void regionFrame(wmfAPI* api, wmfPolyRectangle_t* pr) {
    WmfDevice* d = device(api);
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
    WmfDevice* d = device(api);
    track(d, pr->dc);
    const QBrush brush = brushFor(pr->dc);
    for (unsigned i = 0; i < pr->count; ++i) {
        const QRectF r = QRectF(qpoint(pr->TL[i]), qpoint(pr->BR[i])).normalized();
        d->list.fillRect(r, brush);
        note(d, r);
    }
}

void regionClip(wmfAPI* api, wmfPolyRectangle_t* pr) {
    WmfDevice* d = device(api);
    if (pr->count == 0) {
        d->list.clearClip();
        return;
    }
    QPainterPath path;
    for (unsigned i = 0; i < pr->count; ++i)
        path.addRect(QRectF(qpoint(pr->TL[i]), qpoint(pr->BR[i])).normalized());
    d->list.setClip(path);
}

} // namespace metafile::detail
