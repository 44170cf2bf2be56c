// libFuzzer entry for the metafile reader: any bytes must give a picture or
// nullptr, never a crash, a leak or a hang. The first byte chooses how the picture is
// played (at once, or deferred until first painted or asked for its texts) and how
// large it is painted (a tile, or a zoomed box that is clipped to a small exposed part).
#include "metafile/MetafilePicture.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QGuiApplication(argc, argv);
    }();
    (void)app;
    if (size < 1)
        return 0;
    const uint8_t mode = data[0];
    const auto play = (mode & 1) ? metafile::MetafilePicture::Play::Deferred
                                 : metafile::MetafilePicture::Play::Now;
    auto picture = metafile::MetafilePicture::fromBytes(
        QByteArray(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1)),
        play);
    if (!picture)
        return 0;
    if (mode & 2)
        (void)picture->texts(); // a deferred picture plays for this too
    const bool zoomed = (mode & 4) != 0;
    QImage image(zoomed ? 256 : 32, zoomed ? 256 : 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    if (zoomed) {
        // A box far larger than the image, as a zoomed overview: only the image is painted.
        painter.setClipRect(QRect(0, 0, 256, 256));
        picture->paint(painter, QRectF(-4000, -4000, 32767, 32767));
    } else {
        picture->paint(painter, QRectF(0, 0, 32, 32));
    }
    painter.end();
    if (mode & 8) {
        // Painted again at another size: what is kept of the last paint must follow.
        QImage again(64, 48, QImage::Format_RGB32);
        QPainter second(&again);
        picture->paint(second, QRectF(0, 0, 64, 48));
    }
    return 0;
}
