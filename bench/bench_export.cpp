// The export of many layers with their pictures: tarnix's window in this process after
// a refresh against the real cadhost on a private bus (as bench_refresh), then the
// export run for the first `chosen` layers of the list in the grid layout. Prints the
// run's time, the part of it spent counting objects in the CAD and writing the file,
// and the workbook's size against the pictures it embeds.
//
//   QT_QPA_PLATFORM=offscreen bench_export [chosen] [layers] [entities]   (200 1000 200000)

#include "viewer/frmWMF.h"

#include "BenchSupport.h"
#include "PrivateSessionBus.h"
#include "acad/AcadDocument.h"
#include "acad/DBusBackend.h"
#include "acad/DBusConnector.h"
#include "acad/basAcadConnect.h"
#include "export/ExportRun.h"
#include "platform/VbListBox.h"
#include "platform/spreadsheet/Spreadsheet.h"
#include "platform/spreadsheet/XlsxWriter.h"
#include "viewer/DesktopService.h"
#include "viewer/WorkFolder.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>

namespace {

// The benchmark measures the run, not a spreadsheet program starting.
class NoDesktop : public DesktopService {
public:
    void openFolder(const QString&) override {}
    void openTextFile(const QString&) override {}
    void openUrl(const QString&) override {}
    bool openDocument(const QString&) override { return false; }
};

} // namespace

int main(int argc, char** argv) {
    korvel::test::PrivateSessionBus bus; // before any use of the session bus
    QApplication app(argc, argv);
    const int chosen = argc > 1 ? std::atoi(argv[1]) : 200;
    const int layers = argc > 2 ? std::atoi(argv[2]) : 1000;
    const int entities = argc > 3 ? std::atoi(argv[3]) : 200000;
    if (!bus.isValid()) {
        std::fprintf(stderr, "no private bus: %s\n", qPrintable(bus.errorString()));
        return 1;
    }
    bench::MessageBoxCounter boxes;
    bench::ScratchProgramFolder folder;
    QDir(folder.path()).mkpath(QStringLiteral("Documents"));
    const QString documents = folder.filePath(QStringLiteral("Documents"));
    qputenv("XDG_DOCUMENTS_DIR", documents.toUtf8());
    qputenv("HOME", folder.path().toUtf8());
    setDesktopServiceForTesting(std::make_unique<NoDesktop>());

    const QString path = bench::writeGeneratedDrawing(folder.path(), layers, entities);
    const auto cad =
        bench::openInHost(std::make_shared<acad::DBusConnector>(bus.connection()), path);

    frmWMF window;
    const qint64 refreshed = bench::showAndRefresh(window);
    std::printf("refresh of %d layers, %d entities: %lld ms (%d tiles)\n", layers, entities,
                refreshed, window.proDWFUBound());

    // The first layers of the list that have a picture, as a user would pick them.
    ExportChoices choices;
    choices.oAcadDoc = window.state().proAcadDoc;
    qint64 pictureBytes = 0;
    for (int i = 0; i < window.LstLayers->ListCount() && choices.sLayers.size() < chosen; ++i) {
        const QFileInfo picture(WorkFolder::layerPicturePath(window.LstLayers->List(i)));
        if (!picture.isFile())
            continue;
        choices.sLayers << window.LstLayers->List(i);
        pictureBytes += picture.size();
    }
    if (!choices.oAcadDoc || choices.sLayers.size() < chosen) {
        std::fprintf(stderr, "only %lld layers with pictures after the refresh\n",
                     qlonglong(choices.sLayers.size()));
        return 2;
    }

    QElapsedTimer clock;
    clock.start();
    const auto table = ExportRun::layerTable(*choices.oAcadDoc, choices.sLayers);
    const qint64 countMs = clock.elapsed();

    ExportRun run(0, window);
    clock.restart();
    const bool written = run.run(choices);
    const qint64 runMs = clock.elapsed();

    const QString again = QDir(documents).filePath(QStringLiteral("again.xlsx"));
    clock.restart();
    const bool rewritten = spreadsheet::writeXlsx(*run.workbook(), again);
    const qint64 writeMs = clock.elapsed();

    const qint64 bookBytes = QFileInfo(run.workbookPath()).size();
    std::printf("export of %lld layers (%lld rows in the table), grid 3 x 2: %lld ms\n",
                qlonglong(choices.sLayers.size()), qlonglong(table.size() - 1), runMs);
    std::printf("  object counts from the CAD alone: %lld ms\n", countMs);
    std::printf("  writing the workbook alone:       %lld ms\n", writeMs);
    // The pictures are stored compressed, so the workbook may be smaller than they are.
    std::printf("workbook %.1f KB (%d sheets); the pictures it embeds %.1f KB as files\n",
                bookBytes / 1024.0, run.workbook()->worksheetCount(), pictureBytes / 1024.0);
    std::printf("message boxes: %d (the completion)\n", boxes.count());
    acad::resetConnector();
    pu_oAcadApp.reset();
    pu_oAcadDoc.reset();
    setDesktopServiceForTesting(nullptr);
    return (written && rewritten && boxes.count() == 1) ? 0 : 3;
}
