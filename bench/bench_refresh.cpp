// A refresh of a large drawing from end to end: tarnix's window in this process, the real
// cadhost on a private bus, the shipped macro project. Prints the time of every phase and
// the peak memory of this process (tarnix's side).
//
//   QT_QPA_PLATFORM=offscreen bench_refresh [layers] [entities] [visible]   (1000 200000)
//
// "visible" shows the host's window first, as a user has it, so that its repaints after
// each regeneration count too.

#include "viewer/frmWMF.h"

#include "DxfFixture.h"
#include "PrivateSessionBus.h"
#include "acad/AcadApplication.h"
#include "acad/DBusBackend.h"
#include "acad/DBusConnector.h"
#include "acad/basAcadConnect.h"
#include "platform/MsgBox.h"
#include "platform/ProgramFolder.h"
#include "tiles/clsDWF.h"
#include "viewer/RefreshPhases.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <sys/resource.h>

namespace {

// CPU time of this process (all threads), to tell the viewer's own work from waiting
// for the host.
qint64 cpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
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
    int boxes = 0;
    platform::setMsgBoxHandler([&boxes](const QString& p, int, const QString&) {
        ++boxes;
        std::fprintf(stderr, "message box: %s\n", qPrintable(p));
        return int(platform::vbOK);
    });

    QTemporaryDir folder;
    platform::setProgramFolderForTesting(folder.path());
    QFile::copy(QStringLiteral(KORVEL_SOURCE_DIR "/src/acad/TARNIX.dvb"),
                folder.path() + QStringLiteral("/TARNIX.dvb"));

    QElapsedTimer clock;
    clock.start();
    korvel::test::DxfFixture dxf;
    for (int i = 0; i < layers; ++i) {
        korvel::test::DxfFixture::LayerState state;
        state.on = i % 7 != 3;
        state.frozen = i % 11 == 5;
        dxf.addLayer(QStringLiteral("LAYER-%1").arg(i, 4, 10, QLatin1Char('0')), 1 + i % 255,
                     state);
    }
    for (int e = 0; e < entities; ++e) {
        const QString layer = QStringLiteral("LAYER-%1").arg(e % layers, 4, 10, QLatin1Char('0'));
        const double x = (e * 37) % 1000, y = (e * 91) % 700;
        if (e % 4 == 0)
            dxf.addCircle(layer, x, y, 3 + e % 9);
        else
            dxf.addLine(layer, x, y, x + 15 + e % 40, y + 5 + e % 25);
    }
    const QString path = folder.filePath(QStringLiteral("big.dxf"));
    dxf.write(path);
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
    const long rssBefore = peakRssKb();

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
                window.proDWFUBound(), boxes, int(pu_bUpdateEnd));
    std::printf("scroll to the middle and repaint: %lld ms\n", scrolled);
    std::printf("peak RSS: %.1f MB before the refresh, %.1f MB after\n", rssBefore / 1024.0,
                peakRssKb() / 1024.0);
    platform::resetMsgBoxHandler();
    acad::resetConnector();
    pu_oAcadApp.reset();
    pu_oAcadDoc.reset();
    return (pu_bUpdateEnd && boxes == 0) ? 0 : 2;
}
