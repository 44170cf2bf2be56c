// A refresh of a large drawing from end to end: tarnix's window in this process, the real
// cadhost on a private bus, the shipped macro project. Prints the time of every phase and
// the peak memory of this process (tarnix's side).
//
//   QT_QPA_PLATFORM=offscreen bench_refresh [layers] [entities] [visible]   (1000 200000)
//
// "visible" shows the host's window first, as a user has it, so that its repaints after
// each regeneration count too.

#include "viewer/frmWMF.h"

#include "BenchSupport.h"
#include "PrivateSessionBus.h"
#include "acad/AcadApplication.h"
#include "acad/DBusBackend.h"
#include "acad/DBusConnector.h"
#include "acad/basAcadConnect.h"
#include "tiles/clsDWF.h"
#include "viewer/RefreshPhases.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QThread>
#include <cstdio>

namespace {
qint64 cpuMs() {
    return bench::cpuUs() / 1000;
}
} // namespace

int main(int argc, char** argv) {
    korvel::test::PrivateSessionBus bus; // before any use of the session bus
    QApplication app(argc, argv);
    const int layers = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int entities = argc > 2 ? std::atoi(argv[2]) : 200000;
    const bool hostVisible = argc > 3 && qstrcmp(argv[3], "visible") == 0;
    if (!bus.isValid()) {
        std::fprintf(stderr, "no private bus: %s\n", qPrintable(bus.errorString()));
        return 1;
    }
    bench::MessageBoxCounter boxes;

    bench::ScratchProgramFolder folder;

    QElapsedTimer clock;
    clock.start();
    const QString path = bench::writeGeneratedDrawing(folder.path(), layers, entities);
    const qint64 written = clock.restart();

    auto connector = std::make_shared<acad::DBusConnector>(bus.connection());
    acad::setConnector(connector);
    auto cad = std::dynamic_pointer_cast<acad::DBusApplicationBackend>(connector->create());
    cad->open(path);
    if (hostVisible) {
        // As a user has it: the window up and drawn long before the refresh.
        cad->setVisible(true);
        QThread::msleep(1500);
        cad->caption();
    }
    const qint64 opened = clock.restart();
    std::printf("drawing: %d layers, %d entities (DXF written in %lld ms, opened by cadhost "
                "in %lld ms, its window %s)\n",
                layers, entities, written, opened, hostVisible ? "shown" : "hidden");

    frmWMF window;
    window.show();
    window.setWidth(5820);
    window.setHeight(8625);
    QApplication::processEvents();
    const long rssBefore = bench::peakRssKb();

    QElapsedTimer phase;
    qint64 phaseCpu = cpuMs();
    RefreshPhases::setObserver([&phase, &phaseCpu](const char* name) {
        const qint64 cpu = cpuMs();
        std::printf("  %-45s %7lld ms  (cpu %5lld ms)\n", name, phase.restart(), cpu - phaseCpu);
        phaseCpu = cpu;
    });
    clock.restart();
    phase.start();
    window.pu_subCmdRefresh_Click();
    const qint64 total = clock.elapsed();
    RefreshPhases::setObserver(nullptr);

    // A scroll to the middle and a repaint of what is in view.
    clock.restart();
    window.ScrBarV->setValue(window.ScrBarV->maximum() / 2);
    window.repaint();
    const qint64 scrolled = clock.elapsed();

    std::printf("refresh total: %lld ms (%d tiles, %d message boxes, done=%d)\n", total,
                window.proDWFUBound(), boxes.count(), int(pu_bUpdateEnd));
    std::printf("scroll to the middle and repaint: %lld ms\n", scrolled);
    std::printf("peak RSS: %.1f MB before the refresh, %.1f MB after\n", rssBefore / 1024.0,
                bench::peakRssKb() / 1024.0);
    acad::resetConnector();
    pu_oAcadApp.reset();
    pu_oAcadDoc.reset();
    return (pu_bUpdateEnd && boxes.count() == 0) ? 0 : 2;
}
