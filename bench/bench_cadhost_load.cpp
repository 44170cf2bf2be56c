// Loads a generated drawing of 1,000 layers and 200,000 entities the way cadhost opens
// a file, and reports the load time, the peak memory and the time of one full repaint
// of the host's window. Target: under 1 s and under 300 MB.
//
//   bench_cadhost_load [layers] [entities]
#include "cadhost/dxf/DxfReader.h"
#include "cadhost/model/Drawing.h"
#include "cadhost/ui/DrawingView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

namespace {

// CPU time of this process: on a machine shared with builds the wall clock says more
// about the neighbours than about the reader.
double cpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QByteArray generate(int layers, int entities) {
    QByteArray out;
    out.reserve(qsizetype(entities) * 110);
    auto pair = [&out](int code, const QByteArray& value) {
        out += QByteArray::number(code);
        out += '\n';
        out += value;
        out += '\n';
    };
    auto real = [&](int code, double v) { pair(code, QByteArray::number(v, 'f', 3)); };
    pair(0, "SECTION");
    pair(2, "HEADER");
    pair(9, "$ACADVER");
    pair(1, "AC1021");
    pair(0, "ENDSEC");
    pair(0, "SECTION");
    pair(2, "TABLES");
    pair(0, "TABLE");
    pair(2, "LAYER");
    for (int i = 0; i < layers; ++i) {
        pair(0, "LAYER");
        pair(2, "LAYER-" + QByteArray::number(i));
        pair(70, QByteArray::number(i % 17 == 0 ? 1 : 0));
        pair(62, QByteArray::number((i % 13 == 0 ? -1 : 1) * (i % 255 + 1)));
        pair(6, "CONTINUOUS");
    }
    pair(0, "ENDTAB");
    pair(0, "ENDSEC");
    pair(0, "SECTION");
    pair(2, "ENTITIES");
    QRandomGenerator rng(42);
    for (int i = 0; i < entities; ++i) {
        const QByteArray layer = "LAYER-" + QByteArray::number(i % layers);
        const double x = rng.bounded(10000.0), y = rng.bounded(7000.0);
        switch (i % 20) {
        case 0:
        case 1: // circles
            pair(0, "CIRCLE");
            pair(8, layer);
            real(10, x);
            real(20, y);
            real(40, 5 + rng.bounded(20.0));
            break;
        case 2: // arcs
            pair(0, "ARC");
            pair(8, layer);
            real(10, x);
            real(20, y);
            real(40, 5 + rng.bounded(20.0));
            real(50, 0);
            real(51, 90);
            break;
        case 3: // text
            pair(0, "TEXT");
            pair(8, layer);
            real(10, x);
            real(20, y);
            real(40, 2.5);
            pair(1, "Room " + QByteArray::number(i));
            break;
        case 4:
        case 5:
        case 6: // polylines
            pair(0, "LWPOLYLINE");
            pair(8, layer);
            pair(90, "4");
            pair(70, "1");
            for (int k = 0; k < 4; ++k) {
                real(10, x + (k == 1 || k == 2 ? 30 : 0));
                real(20, y + (k >= 2 ? 20 : 0));
            }
            break;
        default: // lines
            pair(0, "LINE");
            pair(8, layer);
            real(10, x);
            real(20, y);
            real(11, x + rng.bounded(100.0));
            real(21, y + rng.bounded(100.0));
        }
    }
    pair(0, "ENDSEC");
    pair(0, "EOF");
    return out;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int layers = argc > 1 ? atoi(argv[1]) : 1000;
    const int entities = argc > 2 ? atoi(argv[2]) : 200000;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.dxf"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(generate(layers, entities)) < 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    const long before = peakRssKb();
    QElapsedTimer timer;
    timer.start();
    const double cpuBefore = cpuMs();
    const auto drawing = cadhost::dxf::DxfReader::readFile(path);
    const qint64 loadMs = timer.elapsed();
    const double loadCpuMs = cpuMs() - cpuBefore;
    const long after = peakRssKb();

    cadhost::DrawingView view;
    view.resize(1000, 700);
    timer.restart();
    view.setDrawing(drawing.get());
    const qint64 groupMs = timer.elapsed();
    timer.restart();
    const QImage first = view.render(QSize(1000, 700));
    const qint64 paintMs = timer.elapsed();
    drawing->setLayerProperty(QStringLiteral("LAYER-1"), QStringLiteral("LayerOn"), false);
    timer.restart();
    view.render(QSize(1000, 700));
    const qint64 repaintMs = timer.elapsed();

    std::printf("file: %.1f MB, %d layers, %zu entities\n", double(QFileInfo(path).size()) / 1e6,
                drawing->layerCount(), drawing->entities().size());
    std::printf("load: %lld ms wall, %.0f ms CPU (target < 1000)\n", static_cast<long long>(loadMs),
                loadCpuMs);
    std::printf("peak memory: %.0f MB (before load %.0f MB; target < 300)\n", after / 1024.0,
                before / 1024.0);
    std::printf("window: grouping %lld ms, first paint %lld ms, repaint after a layer change "
                "%lld ms\n",
                static_cast<long long>(groupMs), static_cast<long long>(paintMs),
                static_cast<long long>(repaintMs));
    return first.isNull() ? 1 : 0;
}
