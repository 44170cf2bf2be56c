// Writes ~1,000 layer pictures holding 200,000 primitives between them, then
// loads every one into a picture, and prints both times.
#include "metafile/MetafilePicture.h"
#include "metafile/WmfWriter.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    constexpr int kFiles = 1000;
    constexpr int kPrimitives = 200000;
    QTemporaryDir dir;
    const QRectF window(-10, -10, 1020, 720);

    QElapsedTimer clock;
    clock.start();
    QPolygonF poly(4);
    for (int f = 0; f < kFiles; ++f) {
        metafile::WmfWriter writer(window, 10.0);
        writer.setColor(QColor::fromHsv((f * 7) % 360, 255, 200));
        for (int i = 0; i < kPrimitives / kFiles; ++i) {
            const double x = (i * 37 + f) % 1000, y = (i * 53 + f) % 700;
            switch (i % 10) {
            case 0:
                writer.text(QPointF(x, y), QString::fromUtf8("通り芯 X%1").arg(i), 3.0,
                            (i % 4) * 90.0);
                break;
            case 1:
            case 2:
                poly[0] = QPointF(x, y);
                poly[1] = QPointF(x + 10, y);
                poly[2] = QPointF(x + 10, y + 6);
                poly[3] = QPointF(x, y + 6);
                writer.filledPolygon(poly);
                break;
            default:
                poly[0] = QPointF(x, y);
                poly[1] = QPointF(x + 25, y + 3);
                poly[2] = QPointF(x + 30, y + 15);
                poly[3] = QPointF(x + 2, y + 20);
                writer.polyline(poly, i % 2);
                break;
            }
        }
        if (!writer.save(dir.filePath(QStringLiteral("layer%1.wmf").arg(f)))) {
            std::fprintf(stderr, "write failed\n");
            return 1;
        }
    }
    const qint64 writeMs = clock.elapsed();

    clock.restart();
    // The machine may be shared: CPU time tells the cost of our own work.
    const std::clock_t cpuStart = std::clock();
    int loaded = 0, primitives = 0;
    for (int f = 0; f < kFiles; ++f) {
        auto picture =
            metafile::MetafilePicture::load(dir.filePath(QStringLiteral("layer%1.wmf").arg(f)));
        if (picture) {
            ++loaded;
            primitives += picture->primitiveCount();
        }
    }
    const qint64 readMs = clock.elapsed();
    const double readCpuMs = double(std::clock() - cpuStart) * 1000.0 / CLOCKS_PER_SEC;
    std::printf("write: %d files, %d primitives in %lld ms\n", kFiles, kPrimitives,
                static_cast<long long>(writeMs));
    std::printf("read:  %d pictures, %d primitives in %lld ms wall, %.0f ms cpu\n", loaded,
                primitives, static_cast<long long>(readMs), readCpuMs);
    return loaded == kFiles ? 0 : 1;
}
