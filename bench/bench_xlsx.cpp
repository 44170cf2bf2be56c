// 200 layer pictures into one workbook as the export lays them out (the layer table, then
// grid sheets of 3 x 2 pictures with their captions), written as .xlsx. Prints the time
// of building the workbook and of writing it, and how much the file adds to the pictures.
#include "metafile/WmfWriter.h"
#include "platform/spreadsheet/XlsxWriter.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

namespace {

// A layer's preview as the refresh writes it: the drawing's window at 10 inches, about
// 200 entities of one colour (200,000 entities over 1,000 layers), some of them text.
bool writeLayerPicture(const QString& path, int layer) {
    metafile::WmfWriter writer(QRectF(-10, -10, 1020, 720), 10.0);
    writer.setColor(QColor::fromHsv((layer * 7) % 360, 255, 200));
    QPolygonF poly(4);
    for (int i = 0; i < 200; ++i) {
        const double x = (i * 37 + layer) % 1000, y = (i * 53 + layer) % 700;
        if (i % 10 == 0) {
            writer.text(QPointF(x, y), QString::fromUtf8("通り芯 X%1").arg(i), 3.0, 0.0);
            continue;
        }
        poly[0] = QPointF(x, y);
        poly[1] = QPointF(x + 25, y + 3);
        poly[2] = QPointF(x + 30, y + 15);
        poly[3] = QPointF(x + 2, y + 20);
        writer.polyline(poly, i % 2);
    }
    return writer.save(path);
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    constexpr int kPictures = 200;
    constexpr int kRows = 3, kColumns = 2;
    QTemporaryDir dir;
    qint64 pictureBytes = 0;
    QStringList files;
    for (int i = 0; i < kPictures; ++i) {
        files << dir.filePath(QStringLiteral("LAYER-%1.wmf").arg(i, 4, 10, QLatin1Char('0')));
        if (!writeLayerPicture(files.back(), i)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(files.back()));
            return 1;
        }
        pictureBytes += QFileInfo(files.back()).size();
    }

    QElapsedTimer clock;
    clock.start();
    const std::clock_t cpuStart = std::clock();
    using namespace spreadsheet;
    Application excel;
    Workbook& book = excel.addWorkbook();
    Worksheet& first = book.worksheet(1);
    first.setName(QStringLiteral("generated.dxf"));
    for (int i = book.worksheetCount(); i >= 2; --i)
        book.worksheet(i).Delete();
    QList<QList<QVariant>> table{
        {QStringLiteral("No"), QStringLiteral("画層名"), QStringLiteral("オブジェクト数")}};
    for (int i = 0; i < kPictures; ++i)
        table.append({i + 1, QFileInfo(files[i]).baseName(), 200});
    Range range = first.RangeOf(first.Cells(1, 1), first.Cells(kPictures + 1, 3));
    range.setValue(table);
    range.setBorders({xlContinuous, xlThin, xlColorIndexAutomatic});
    first.AllCells().autoFitColumns();

    const double w = excel.CentimetersToPoints(9.0), s = excel.CentimetersToPoints(1.0);
    Worksheet* sheet = &first;
    for (int k = 0; k < kPictures; ++k) {
        const int onSheet = k % (kRows * kColumns);
        if (onSheet == 0) {
            sheet = &book.addWorksheetAfter(*sheet);
            sheet->setName(QVariant(k / (kRows * kColumns) + 1));
        }
        Picture& picture = sheet->insertPicture(files[k]);
        const double ratio = picture.Height() / picture.Width();
        picture.setWidth(w);
        picture.setHeight(w * ratio);
        picture.Border().lineStyle = xlAutomatic;
        picture.Border().weight = 1.0;
        const int row = onSheet / kColumns, column = onSheet % kColumns;
        picture.setTop((s + picture.Height() + 1 + 2 + 30) * row + 10);
        picture.setLeft((s + w) * column + 10);
        Shape& box = sheet->addTextbox(msoTextOrientationHorizontal, picture.Left(),
                                       picture.Top() + picture.Height() + 3, w, 30);
        box.setText(QFileInfo(files[k]).baseName() + QStringLiteral("\nｵﾌﾞｼﾞｪｸﾄ数：200"));
        box.setHorizontalAlignment(xlCenter);
        box.setFontSize(9);
        box.setPlacement(xlMove);
    }
    first.Activate();
    const qint64 buildMs = clock.restart();

    // A path on the command line keeps the workbook there for a look.
    const QString path =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : dir.filePath(QStringLiteral("workbook.xlsx"));
    QString why;
    if (!writeXlsx(book, path, &why)) {
        std::fprintf(stderr, "write failed: %s\n", qPrintable(why));
        return 1;
    }
    const qint64 writeMs = clock.elapsed();
    const double cpuMs = double(std::clock() - cpuStart) * 1000.0 / CLOCKS_PER_SEC;
    const qint64 fileBytes = QFileInfo(path).size();
    std::printf("%d pictures (%.1f KB each, %.0f KB in all) on %d sheets\n", kPictures,
                pictureBytes / 1024.0 / kPictures, pictureBytes / 1024.0, book.worksheetCount());
    std::printf("build %lld ms, write %lld ms, total %lld ms wall, %.0f ms cpu\n",
                static_cast<long long>(buildMs), static_cast<long long>(writeMs),
                static_cast<long long>(buildMs + writeMs), cpuMs);
    std::printf("workbook %.0f KB = pictures %+.0f KB\n", fileBytes / 1024.0,
                (fileBytes - pictureBytes) / 1024.0);
    return 0;
}
