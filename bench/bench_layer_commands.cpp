// The layer commands on a large drawing: all layers off, all on, their way back, and a
// click in the layer list that scrolls the grid. tarnix's window in this process, the real cadhost
// on a private bus with a generated drawing, refreshed once before the timings. Prints each
// command's time (median and range of several runs), the calls it made to the host, and
// this process's CPU time, which tells the viewer's own work from waiting for the host.
//
//   QT_QPA_PLATFORM=offscreen bench_layer_commands [layers] [entities] [runs]
//                                                  (1000 20000 5)

#include "viewer/frmWMF.h"

#include "BenchSupport.h"
#include "CountingConnector.h"
#include "PrivateSessionBus.h"
#include "acad/AcadApplication.h"
#include "acad/DBusBackend.h"
#include "acad/DBusConnector.h"
#include "acad/basAcadConnect.h"
#include "platform/MsgBox.h"
#include "platform/ProgramFolder.h"
#include "platform/VbListBox.h"
#include "tiles/clsDWF.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

struct Timing {
    std::vector<double> ms;
    std::vector<double> cpuMs;
    int calls = 0;
};

// Runs `prepare` (untimed) and `command` (timed) `runs` times.
Timing measure(int runs, korvel::test::CallCounts& counts, const std::function<void()>& prepare,
               const std::function<void()>& command) {
    Timing t;
    for (int r = 0; r < runs; ++r) {
        prepare();
        QApplication::processEvents();
        counts.clear();
        const qint64 cpu = bench::cpuUs();
        QElapsedTimer clock;
        clock.start();
        command();
        t.ms.push_back(double(clock.nsecsElapsed()) / 1e6);
        t.cpuMs.push_back(double(bench::cpuUs() - cpu) / 1e3);
        t.calls = counts.total();
    }
    return t;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void print(const char* what, const Timing& t, double budgetMs) {
    const auto [lo, hi] = std::minmax_element(t.ms.begin(), t.ms.end());
    std::printf("  %-42s median %8.2f ms  (min %8.2f, max %8.2f; cpu %8.2f ms) %6d calls  "
                "budget %5.0f ms: %s\n",
                what, median(t.ms), *lo, *hi, median(t.cpuMs), t.calls, budgetMs,
                median(t.ms) <= budgetMs ? "met" : "MISSED");
}

} // namespace

int main(int argc, char** argv) {
    korvel::test::PrivateSessionBus bus; // before any use of the session bus
    QApplication app(argc, argv);
    const int layers = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int entities = argc > 2 ? std::atoi(argv[2]) : 20000;
    const int runs = std::max(1, argc > 3 ? std::atoi(argv[3]) : 5);
    if (!bus.isValid()) {
        std::fprintf(stderr, "no private bus: %s\n", qPrintable(bus.errorString()));
        return 1;
    }
    bench::MessageBoxCounter boxes;

    bench::ScratchProgramFolder folder;

    const QString path = bench::writeGeneratedDrawing(folder.path(), layers, entities);

    auto dbus = std::make_shared<acad::DBusConnector>(bus.connection());
    auto counting = std::make_shared<korvel::test::CountingConnector>(dbus);
    const auto cad = bench::openInHost(dbus, path, counting);

    frmWMF window;
    const qint64 refreshed = bench::showAndRefresh(window);
    std::printf("drawing: %d layers, %d entities; refreshed in %lld ms, %d tiles, "
                "the host reached over %s\n",
                layers, entities, refreshed, window.proDWFUBound(),
                cad->channel().isDirect() ? "its private socket" : "the bus");
    // The drawing has its layer "0" besides the generated ones.
    if (!pu_bUpdateEnd || window.proDWFUBound() < layers) {
        std::fprintf(stderr, "the refresh did not finish\n");
        return 2;
    }
    korvel::test::CallCounts& counts = counting->counts();
    const auto nothing = [] {};

    print("all layers off (toolbar 15)",
          measure(runs, counts, nothing, [&] { window.toolbarButton(15)->trigger(); }), 1000);
    int offTiles = 0;
    for (int i = 1; i <= window.proDWFUBound(); ++i)
        offTiles += window.tile(i)->bLayerOn() ? 0 : 1;
    print("all layers on (toolbar 14)",
          measure(runs, counts, nothing, [&] { window.toolbarButton(14)->trigger(); }), 1000);

    // The way back: all off, then Ctrl+Z; the exclusive view of the first tile, then
    // Ctrl+Z. Each puts back every layer's state, regenerates once and lets every tile
    // read its state again.
    print("undo of all layers off (Ctrl+Z)",
          measure(
              runs, counts, [&] { window.toolbarButton(15)->trigger(); },
              [&] { window.undoButton()->trigger(); }),
          1000);
    window.OptDblClickExclusiveView->setChecked(true);
    print("undo of an exclusive view (Ctrl+Z)",
          measure(
              runs, counts, [&] { window.tile(1)->pr_oImgOne_DblClick(); },
              [&] { window.undoButton()->trigger(); }),
          1000);
    print("exclusive view (double click, recorded)",
          measure(
              runs, counts, [&] { window.undoButton()->trigger(); },
              [&] { window.tile(1)->pr_oImgOne_DblClick(); }),
          1000);
    window.undoButton()->trigger();

    // A click on the last item with the grid at its top: the grid scrolls to the end,
    // every tile is placed again and every tile's mark is set or cleared.
    platform::VbListBox& list = *window.LstLayers;
    QListWidgetItem* last = list.item(list.ListCount() - 1);
    QListWidgetItem* first = list.item(0);
    int scrolledTo = 0;
    const auto toTop = [&] {
        window.ScrBarV->setValue(1);
        list.scrollToItem(last);
    };
    const auto clickLast = [&] {
        QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier,
                          list.visualItemRect(last).center());
        scrolledTo = window.ScrBarV->value();
    };
    print("list click that scrolls (handler)", measure(runs, counts, toTop, clickLast), 30);
    print("list click that scrolls, then repaint",
          measure(runs, counts, toTop,
                  [&] {
                      clickLast();
                      window.repaint();
                  }),
          30);
    const auto toEnd = [&] {
        window.ScrBarV->setValue(window.ScrBarV->maximum());
        list.scrollToItem(first);
    };
    print("list click back to the first row (handler)",
          measure(runs, counts, toEnd,
                  [&] {
                      QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier,
                                        list.visualItemRect(first).center());
                  }),
          30);
    // A tile's on/off button, clicked as the user clicks it: one write, one regen.
    window.ScrBarV->setValue(1);
    clsDWF& firstTile = *window.tile(1);
    print("a tile's on/off button, then repaint",
          measure(runs, counts, nothing,
                  [&] {
                      QTest::mouseClick(firstTile.CmdView(), Qt::LeftButton);
                      window.repaint();
                  }),
          50);

    std::printf("after all off: %d of %d tiles showed off; the click scrolled to row %d of %d; "
                "%d message boxes\n",
                offTiles, window.proDWFUBound(), scrolledTo, window.ScrBarV->maximum(),
                boxes.count());

    acad::resetConnector();
    pu_oAcadApp.reset();
    pu_oAcadDoc.reset();
    return boxes.count() == 0 ? 0 : 2;
}
