// The device layer's bitmaps (decoded by Qt, drawn as images) and clipping and
// filled regions.
#include "metafile/WmfDeviceCallbacks.h"

#include <QImage>
#include <QPainterPath>
#include <QtEndian>

#include <algorithm>

namespace metafile::detail {

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
