// The overview's zoom, fit and drag with a full grid: tarnix's window in this process
// after a refresh against the real cadhost on a private bus (as bench_refresh), then
// five zoom-ins, five zoom-outs, a fit and a drag. Each step is timed: the
// command alone (geometry of the overview, the part overview and every tile), and the
// command with the window painted at once, as the next frame would show it; and the
// time until the overviews show their sharp pixels, drawn meanwhile on a worker.
//
//   QT_QPA_PLATFORM=offscreen bench_zoom [layers] [entities]   (1000 200000)

#include "viewer/frmWMF.h"

#include "BenchSupport.h"
#include "PrivateSessionBus.h"
#include "acad/AcadApplication.h"
#include "acad/DBusBackend.h"
#include "acad/DBusConnector.h"
#include "acad/basAcadConnect.h"
#include "metafile/MetafilePicture.h"
#include "platform/VbImage.h"
#include "platform/VbPictureBox.h"
#include "tiles/clsDWF.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using Adapter = platform::SharedPictureAdapter<metafile::MetafilePicture>;

// The overview is played on a worker: measuring before it is would time an empty box.

const metafile::MetafilePicture* sourceOf(const platform::VbImage& image) {
    const auto* picture = dynamic_cast<const Adapter*>(image.Picture().get());
    return picture ? picture->source().get() : nullptr;
}

struct Timing {
    double commandMs;   // the step's own work: geometry of every picture
    double overviewsMs; // painting the two overviews at their new size
    double gridMs;      // painting the grid: the tiles in view
    double totalMs;     // all of it, and whatever else of the window was dirty
    double sharpMs;     // until the overviews show their sharp pixels (drawn on a worker)
};

bool waitPlayed(const platform::VbImage& image) {
    const metafile::MetafilePicture* picture = sourceOf(image);
    if (!picture)
        return false;
    QElapsedTimer waited;
    waited.start();
    while (!picture->isPlayed() && waited.elapsed() < 60000)
        QThread::msleep(10);
    return picture->isPlayed();
}

bool sharpening(const frmWMF& window) {
    for (const platform::VbImage* image : {window.ImgALL, window.ImgPart})
        if (const metafile::MetafilePicture* p = sourceOf(*image); p && p->isSharpening())
            return true;
    return false;
}

// One step, then the window painted at once, part by part, as the next frame shows it.
Timing timeStep(frmWMF& window, const std::function<void()>& step) {
    QElapsedTimer clock;
    clock.start();
    step();
    const double command = clock.nsecsElapsed() / 1e6;
    window.ImgALL->repaint();
    window.ImgPart->repaint();
    const double overviews = clock.nsecsElapsed() / 1e6;
    window.PicMain->repaint();
    const double grid = clock.nsecsElapsed() / 1e6;
    window.repaint();
    const double total = clock.nsecsElapsed() / 1e6;
    // The window answers meanwhile; the sharp pixels are asked for by a repaint.
    while (sharpening(window))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    QCoreApplication::processEvents();
    const double sharp = clock.nsecsElapsed() / 1e6;
    return {command, overviews - command, grid - overviews, total, sharp};
}

} // namespace

int main(int argc, char** argv) {
    korvel::test::PrivateSessionBus bus;
    QApplication app(argc, argv);
    const int layers = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int entities = argc > 2 ? std::atoi(argv[2]) : 200000;
    if (!bus.isValid()) {
        std::fprintf(stderr, "no private bus: %s\n", qPrintable(bus.errorString()));
        return 1;
    }
    bench::MessageBoxCounter boxes;

    bench::ScratchProgramFolder folder;

    // The drawing of bench_refresh: every layer on but every seventh.
    const QString path = bench::writeGeneratedDrawing(folder.path(), layers, entities);

    const auto cad =
        bench::openInHost(std::make_shared<acad::DBusConnector>(bus.connection()), path);

    frmWMF window;
    window.Form_Load(QString());
    window.setWidth(5820);
    window.setHeight(8625);
    QApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    window.pu_subCmdRefresh_Click();
    const qint64 refreshed = clock.elapsed();
    if (!pu_bUpdateEnd || !waitPlayed(*window.ImgALL)) {
        std::fprintf(stderr, "refresh failed\n");
        return 2;
    }
    // Start where a user would look: the middle of the grid, every picture in view drawn.
    window.ScrBarV->setValue(window.ScrBarV->maximum() / 2);
    window.repaint();
    std::printf("drawing: %d layers, %d entities; refresh %lld ms; %d tiles, zoom step %s%%\n",
                layers, entities, refreshed, window.proDWFUBound(),
                qPrintable(window.CboZoom->currentText()));

    struct Row {
        const char* name;
        Timing t;
    };
    std::vector<Row> rows;
    for (int i = 0; i < 5; ++i)
        rows.push_back({"zoom in", timeStep(window, [&] { window.Toolbar1_ButtonClick(3); })});
    for (int i = 0; i < 5; ++i)
        rows.push_back({"zoom out", timeStep(window, [&] { window.Toolbar1_ButtonClick(4); })});
    rows.push_back({"fit", timeStep(window, [&] { window.Toolbar1_ButtonClick(5); })});
    // A drag: pressed, moved in ten steps (the overview alone follows), released.
    rows.push_back({"drag: the moves", timeStep(window, [&] {
                        emit window.ImgALL->MouseDown(1, 0, 600, 600);
                        for (int k = 1; k <= 10; ++k)
                            emit window.ImgALL->MouseMove(1, 0, 600 - 45 * k, 600 + 30 * k);
                    })});
    rows.push_back({"drag: the release",
                    timeStep(window, [&] { emit window.ImgALL->MouseUp(1, 0, 600, 600); })});

    double worstCommand = 0, worstGrid = 0, worstTotal = 0, worstSharp = 0;
    std::printf("%-20s %10s %14s %12s %12s %12s\n", "step", "command ms", "overviews ms", "grid ms",
                "total ms", "sharp ms");
    for (const Row& r : rows) {
        std::printf("%-20s %10.2f %14.2f %12.2f %12.2f %12.2f\n", r.name, r.t.commandMs,
                    r.t.overviewsMs, r.t.gridMs, r.t.totalMs, r.t.sharpMs);
        worstSharp = std::max(worstSharp, r.t.sharpMs);
        worstCommand = std::max(worstCommand, r.t.commandMs);
        worstGrid = std::max(worstGrid, r.t.commandMs + r.t.gridMs);
        worstTotal = std::max(worstTotal, r.t.totalMs);
    }
    std::printf("worst: command %.2f ms, command with the grid painted %.2f ms, everything "
                "painted %.2f ms (one frame: 16 ms), overviews sharp after %.2f ms; %d message "
                "boxes\n",
                worstCommand, worstGrid, worstTotal, worstSharp, boxes.count());

    acad::resetConnector();
    pu_oAcadApp.reset();
    pu_oAcadDoc.reset();
    return boxes.count() == 0 ? 0 : 3;
}
