// Times the four preview macros of TARNIX.dvb on a large drawing built in memory:
// 1,000 layers, 200,000 entities. Prints the time of each macro and of reading every
// written picture back. Not part of ctest.
//
//   bench_macros [layers] [entities] [--write-only]

#include "cadhost/macro/DrawingMacroHost.h"
#include "cadhost/macro/LuaMacroEngine.h"
#include "cadhost/model/Drawing.h"
#include "cadhost/render/DrawingMetafileExporter.h"
#include "metafile/MetafilePicture.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

using namespace cadhost;

namespace {

// The machine is shared: CPU time alongside wall time tells the cost of our own work.
double cpuMs() {
    return double(std::clock()) * 1000.0 / CLOCKS_PER_SEC;
}

void buildDrawing(Drawing& drawing, int layerCount, int entityCount) {
    for (int i = 1; i < layerCount; ++i) {
        Layer layer;
        layer.name = QStringLiteral("L%1").arg(i, 4, 10, QLatin1Char('0'));
        layer.color = 1 + i % 255;
        layer.layerOn = i % 3 != 0; // a third off: ViewLayer and Part write fewer
        layer.freeze = i % 7 == 0;
        drawing.putLayer(layer);
    }
    drawing.reserveEntities(std::size_t(entityCount));
    for (int i = 0; i < entityCount; ++i) {
        const QString layer = drawing.layers()[std::size_t(i % layerCount)].name;
        const double x = (i * 37) % 10000;
        const double y = (i * 91) % 7000;
        Entity e;
        e.layer = layer;
        if (i % 10 == 0) {
            e.type = QStringLiteral("TEXT");
            e.primitives << Primitive::textAt(layer, aci::ByLayer, {x, y}, 8, (i % 4) * 30.0,
                                              QStringLiteral("部屋 %1").arg(i));
        } else {
            e.type = QStringLiteral("LWPOLYLINE");
            e.primitives << Primitive::polyline(
                layer, i % 5 == 0 ? 3 : aci::ByLayer,
                {{x, y}, {x + 40, y}, {x + 40, y + 25}, {x, y + 25}}, true);
        }
        drawing.addEntity(std::move(e));
    }
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const int layers = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int entities = argc > 2 ? std::atoi(argv[2]) : 200000;

    QElapsedTimer timer;
    timer.start();
    Drawing drawing;
    buildDrawing(drawing, layers, entities);
    std::printf("drawing: %d layers, %d entities, built in %lld ms\n", int(drawing.layers().size()),
                int(drawing.entities().size()), timer.elapsed());

    timer.restart();
    double cpu = cpuMs();
    for (int i = 0; i < 4; ++i)
        DrawingMetafileExporter exporter(drawing);
    std::printf("grouping by layer (once per macro): %.1f ms wall, %.1f ms cpu\n",
                double(timer.elapsed()) / 4, (cpuMs() - cpu) / 4);

    QTemporaryDir dir;
    QFile::copy(QStringLiteral(KORVEL_SOURCE_DIR "/src/acad/TARNIX.dvb"),
                dir.filePath("TARNIX.dvb"));
    DrawingMacroHost host;
    host.setDrawing(&drawing);
    LuaMacroEngine engine([&] { return &host; });
    engine.loadProject(dir.filePath("TARNIX.dvb"));

    qint64 total = 0;
    double totalCpu = 0;
    for (const char* macro : {"pu_subMakeWMF_All", "pu_subMakeWMF_Part", "pu_subMakeWMF_AllLayer",
                              "pu_subMakeWMF_ViewLayer"}) {
        timer.restart();
        cpu = cpuMs();
        engine.runMacro(QStringLiteral("TARNIX.basWMF.") + QLatin1String(macro));
        const qint64 ms = timer.elapsed();
        const double used = cpuMs() - cpu;
        total += ms;
        totalCpu += used;
        std::printf("%-26s %6lld ms wall %7.0f ms cpu\n", macro, ms, used);
    }
    std::printf("%-26s %6lld ms wall %7.0f ms cpu\n", "all macros", total, totalCpu);
    for (const char* overview : {"LAYER/SYS/all.wmf", "LAYER/SYS/part.wmf"})
        std::printf("%-26s %6.1f MB\n", overview,
                    double(QFileInfo(dir.filePath(QLatin1String(overview))).size()) / 1e6);

    if (argc > 3 && QByteArray(argv[3]) == "--write-only")
        return 0;
    timer.restart();
    cpu = cpuMs();
    int files = 0;
    int pictures = 0;
    qint64 bytes = 0;
    QDirIterator it(dir.filePath("LAYER"), {"*.wmf"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        ++files;
        bytes += QFileInfo(path).size();
        if (metafile::MetafilePicture::load(path))
            ++pictures;
    }
    std::printf("read %d of %d files (%.1f MB) into pictures in %lld ms wall, %.0f ms cpu\n",
                pictures, files, double(bytes) / 1e6, timer.elapsed(), cpuMs() - cpu);
    return pictures == files ? 0 : 1;
}
