// libFuzzer entry for the metafile reader: any bytes must give a picture or
// nullptr, never a crash, a leak or a hang.
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
    auto picture = metafile::MetafilePicture::fromBytes(
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (picture) {
        QImage image(32, 32, QImage::Format_RGB32);
        QPainter painter(&image);
        picture->paint(painter, QRectF(0, 0, 32, 32));
    }
    return 0;
}
