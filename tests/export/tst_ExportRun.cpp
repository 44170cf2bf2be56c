// The export run against the spreadsheet's object model: the layer table, which layers
// get pictures and where, the numbered sheets, the one-sheet-a-layer layout, the
// messages, the workbook file, and the faults the run mends (a layer name refused as a
// sheet name, a layer without a picture, a failure half-way through, a full disk, no
// folder for the workbook).

#include "export/ExportRun.h"

#include "ExportTestSupport.h"
#include "InProcessBackend.h"
#include "ViewerTestSupport.h"
#include "acad/AcadDocument.h"
#include "cadhost/model/Drawing.h"
#include "platform/spreadsheet/Spreadsheet.h"

#include <QApplication>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

using namespace spreadsheet;

namespace {

const QString kTitle = QStringLiteral("KORVEL Ver4.00");
const QString kDone = QStringLiteral("画層イメージのExcelシート出力が完了しました。");
constexpr double kCm = 72.0 / 2.54;

struct Placed {
    double left, top, width, height;
};

std::vector<const Picture*> picturesOn(const Worksheet& sheet) {
    std::vector<const Picture*> pictures;
    for (const auto& object : sheet.drawingObjects())
        if (object.picture)
            pictures.push_back(object.picture);
    return pictures;
}

std::vector<const Shape*> shapesOn(const Worksheet& sheet) {
    std::vector<const Shape*> shapes;
    for (const auto& object : sheet.drawingObjects())
        if (object.shape)
            shapes.push_back(object.shape);
    return shapes;
}

class ExportRunTest : public ::testing::Test {
protected:
    void SetUp() override { drawing.setName(QStringLiteral("plan.dwg")); }

    // A layer with `objects` lines, and its picture when it has any and `picture` says so.
    // Put as a drawing file has it: a file's layer names may hold what the CAD's
    // commands refuse ("/", a TAB).
    void layer(const QString& name, int objects, bool picture = true) {
        cadhost::Layer file;
        file.name = name;
        drawing.putLayer(file);
        for (int i = 0; i < objects; ++i) {
            cadhost::Entity line;
            line.type = QStringLiteral("LINE");
            line.layer = name;
            drawing.addEntity(line);
        }
        if (objects > 0 && picture)
            host.writePicture(name);
    }

    ExportChoices choices(const QStringList& layers) {
        ExportChoices c;
        c.oAcadDoc = doc;
        c.sLayers = layers;
        return c;
    }

    bool run(const ExportChoices& c) {
        exportRun = std::make_unique<ExportRun>(0, host);
        return exportRun->run(c);
    }

    Workbook& book() { return const_cast<Workbook&>(*exportRun->workbook()); }
    QStringList sheetNames() {
        QStringList names;
        for (int i = 1; i <= book().worksheetCount(); ++i)
            names << book().worksheet(i).Name();
        return names;
    }
    std::vector<Placed> pictures(int sheet) {
        std::vector<Placed> placed;
        for (const auto& p : picturesOn(book().worksheet(sheet)))
            placed.push_back({p->Left(), p->Top(), p->Width(), p->Height()});
        return placed;
    }
    QStringList captions(int sheet) {
        QStringList texts;
        for (const auto& s : shapesOn(book().worksheet(sheet)))
            texts << s->text();
        return texts;
    }
    QStringList prompts() const {
        QStringList texts;
        for (const auto& b : boxes.boxes)
            texts << b.prompt;
        return texts;
    }

    exporttest::ScratchDocuments documents;
    exporttest::RecordingHost host;
    viewertest::MsgBoxRecorder boxes;
    cadhost::Drawing drawing;
    std::shared_ptr<acad::AcadDocument> doc = std::make_shared<acad::AcadDocument>(
        std::make_shared<acad::inprocess::DocumentBackend>(&drawing));
    std::unique_ptr<ExportRun> exportRun;
};

TEST(ExportImagePlace, RowAndColumnFillEachSheetRowByRow) {
    struct Case {
        qint32 k, rows, cols, sheet, row, col;
    };
    const Case cases[] = {
        {1, 3, 2, 1, 1, 1},  {2, 3, 2, 1, 1, 2},       {3, 3, 2, 1, 2, 1},     {4, 3, 2, 1, 2, 2},
        {5, 3, 2, 1, 3, 1},  {6, 3, 2, 1, 3, 2},       {7, 3, 2, 2, 1, 1},     {12, 3, 2, 2, 3, 2},
        {13, 3, 2, 3, 1, 1}, {1, 1, 1, 1, 1, 1},       {2, 1, 1, 2, 1, 1},     {5, 2, 3, 1, 2, 2},
        {7, 2, 3, 2, 1, 1},  {100, 100, 1, 1, 100, 1}, {101, 100, 1, 2, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "picture " << c.k << " of " << c.rows << "x" << c.cols);
        EXPECT_EQ(ExportRun::pr_fun_iImageRow(c.k, c.rows, c.cols, c.sheet), c.row);
        EXPECT_EQ(ExportRun::pr_fun_iImageCol(c.k, c.rows, c.cols, c.sheet), c.col);
    }
}

TEST_F(ExportRunTest, TableOfEveryLayerAndPicturesOnlyForLayersWithObjects) {
    layer(QStringLiteral("Walls"), 5);
    layer(QStringLiteral("Empty"), 0);
    layer(QStringLiteral("Doors"), 2);
    ASSERT_TRUE(
        run(choices({QStringLiteral("Walls"), QStringLiteral("Empty"), QStringLiteral("Doors")})));

    EXPECT_EQ(sheetNames(), QStringList({QStringLiteral("plan.dwg"), QStringLiteral("1")}));
    Worksheet& table = book().worksheet(1);
    const QVariantList expected[] = {
        {QStringLiteral("No"), QStringLiteral("画層名"), QStringLiteral("オブジェクト数")},
        {1, QStringLiteral("Walls"), 5},
        {2, QStringLiteral("Empty"), 0},
        {3, QStringLiteral("Doors"), 2},
    };
    for (int r = 1; r <= 5; ++r) {
        for (int c = 1; c <= 4; ++c) {
            SCOPED_TRACE(testing::Message() << "cell " << r << "," << c);
            const QVariant value = table.cellValue(r, c);
            const Borders borders = table.cellBorders(r, c);
            if (r > 4 || c > 3) {
                EXPECT_FALSE(value.isValid());
                EXPECT_EQ(borders.lineStyle, xlLineStyleNone);
                continue;
            }
            const QVariant want = expected[r - 1][c - 1];
            EXPECT_EQ(value, want);
            // Numbers stay numbers, so the sheet can sum them.
            EXPECT_EQ(value.typeId() == QMetaType::QString, want.typeId() == QMetaType::QString);
            EXPECT_EQ(borders.lineStyle, xlContinuous);
            EXPECT_EQ(borders.weight, xlThin);
            EXPECT_EQ(borders.colorIndex, xlColorIndexAutomatic);
        }
    }
    EXPECT_GT(table.columnWidth(2), 0);
    EXPECT_TRUE(picturesOn(table).empty());

    ASSERT_EQ(picturesOn(book().worksheet(2)).size(), 2u);
    EXPECT_TRUE(picturesOn(book().worksheet(2))[0]->sourcePath().endsWith(
        QStringLiteral("/LAYER/Walls.wmf")));
    EXPECT_TRUE(picturesOn(book().worksheet(2))[1]->sourcePath().endsWith(
        QStringLiteral("/LAYER/Doors.wmf")));
    EXPECT_EQ(captions(2), QStringList({QStringLiteral("Walls\nｵﾌﾞｼﾞｪｸﾄ数：5"),
                                        QStringLiteral("Doors\nｵﾌﾞｼﾞｪｸﾄ数：2")}));
    for (const auto& shape : shapesOn(book().worksheet(2))) {
        EXPECT_EQ(shape->orientation(), msoTextOrientationHorizontal);
        EXPECT_EQ(shape->horizontalAlignment(), xlCenter);
        EXPECT_EQ(shape->fontSize(), 9);
        EXPECT_EQ(shape->placement(), xlMove);
    }

    // Completion after the first sheet is shown again and the screen is back on; the
    // workbook is a new file handed to the desktop.
    EXPECT_EQ(book().activeSheet(), &book().worksheet(1));
    EXPECT_TRUE(exportRun->application()->ScreenUpdating());
    EXPECT_TRUE(exportRun->application()->Visible());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].prompt, kDone);
    EXPECT_EQ(boxes.boxes[0].buttons, platform::vbInformation);
    EXPECT_EQ(boxes.boxes[0].title, kTitle);
    EXPECT_EQ(documents.workbooks(), QStringList{QStringLiteral("plan.xlsx")});
    EXPECT_EQ(host.opened, QStringList{exportRun->workbookPath()});
    EXPECT_EQ(QFileInfo(exportRun->workbookPath()).absolutePath(),
              QFileInfo(documents.documents()).absoluteFilePath());
    EXPECT_TRUE(host.statusTexts.isEmpty());
}

TEST_F(ExportRunTest, WorkedGeometryOfTheGridWithAndWithoutFrame) {
    for (int i = 1; i <= 4; ++i)
        layer(QStringLiteral("L%1").arg(i), 1);
    for (bool frame : {true, false}) {
        SCOPED_TRACE(frame ? "frame" : "no frame");
        ExportChoices c = choices({QStringLiteral("L1"), QStringLiteral("L2"), QStringLiteral("L3"),
                                   QStringLiteral("L4")});
        c.bFrame = frame;
        ASSERT_TRUE(run(c));
        const std::vector<Placed> p = pictures(2);
        ASSERT_EQ(p.size(), 4u);
        // 200 x 100 points scaled to 9 cm wide.
        EXPECT_NEAR(p[0].width, 9 * kCm, 1e-9);
        EXPECT_NEAR(p[0].width, 255.1, 0.05);
        EXPECT_NEAR(p[0].height, 127.6, 0.05);
        EXPECT_DOUBLE_EQ(p[0].left, 10);
        EXPECT_DOUBLE_EQ(p[0].top, 10);
        // The neighbour to the right, and the one below (the frame's weight counts also
        // when there is no frame).
        EXPECT_NEAR(p[1].left, 293.5, 0.05);
        EXPECT_DOUBLE_EQ(p[1].top, 10);
        EXPECT_DOUBLE_EQ(p[2].left, 10);
        EXPECT_NEAR(p[2].top, 198.9, 0.05);
        EXPECT_NEAR(p[3].left, 293.5, 0.05);
        EXPECT_NEAR(p[3].top, 198.9, 0.05);
        EXPECT_NEAR(p[2].top, 10 + kCm + p[0].height + 1 + 2 + 30, 1e-9);

        const auto shapes = shapesOn(book().worksheet(2));
        ASSERT_EQ(shapes.size(), 4u);
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_NEAR(shapes[i]->Top() - p[i].top, 130.6, 0.05);
            EXPECT_DOUBLE_EQ(shapes[i]->Left(), p[i].left);
            EXPECT_DOUBLE_EQ(shapes[i]->Width(), p[i].width);
            EXPECT_DOUBLE_EQ(shapes[i]->Height(), 30);
        }
        const auto& border = picturesOn(book().worksheet(2))[0]->Border();
        if (frame) {
            EXPECT_EQ(border.lineStyle, xlAutomatic);
            EXPECT_DOUBLE_EQ(border.weight, 1.0);
            EXPECT_EQ(border.color, 0);
        } else {
            EXPECT_EQ(border.lineStyle, xlLineStyleNone);
        }
    }
}

TEST_F(ExportRunTest, SpacingWidthAndFrameWeightFromTheChoices) {
    layer(QStringLiteral("A"), 1);
    host.writePicture(QStringLiteral("A"), 100, 150); // upright
    layer(QStringLiteral("B"), 1);
    ExportChoices c = choices({QStringLiteral("A"), QStringLiteral("B")});
    c.lnRowNum = 2;
    c.lnColNum = 1;
    c.snWidth = 4.5f;
    c.snOffset = 0.3f;
    c.snFrame = 2.5f;
    ASSERT_TRUE(run(c));
    const std::vector<Placed> p = pictures(2);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_NEAR(p[0].width, 4.5 * kCm, 1e-9);
    EXPECT_NEAR(p[0].height, 4.5 * kCm * 1.5, 1e-9);
    // The step down is the placed picture's own height, not the height of the one above.
    EXPECT_NEAR(p[1].height, 4.5 * kCm * 0.5, 1e-9);
    EXPECT_NEAR(p[1].top, 10 + double(0.3f) * kCm + p[1].height + 2.5 + 2 + 30, 1e-9);
    EXPECT_DOUBLE_EQ(p[1].left, 10);
    EXPECT_DOUBLE_EQ(picturesOn(book().worksheet(2))[0]->Border().weight, 2.5);
}

TEST_F(ExportRunTest, GridOfThreeByTwoOpensASecondSheetForTheSeventhPicture) {
    QStringList names;
    for (int i = 1; i <= 7; ++i) {
        names << QStringLiteral("L%1").arg(i);
        layer(names.last(), i);
    }
    ASSERT_TRUE(run(choices(names)));
    EXPECT_EQ(sheetNames(),
              QStringList({QStringLiteral("plan.dwg"), QStringLiteral("1"), QStringLiteral("2")}));
    const std::vector<Placed> first = pictures(2);
    ASSERT_EQ(first.size(), 6u);
    for (int k = 0; k < 6; ++k) {
        SCOPED_TRACE(k + 1);
        EXPECT_NEAR(first[std::size_t(k)].left, k % 2 == 0 ? 10 : 293.46, 0.01);
        EXPECT_NEAR(first[std::size_t(k)].top, 10 + (k / 2) * (198.9 - 10), 0.1);
    }
    const std::vector<Placed> second = pictures(3);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_DOUBLE_EQ(second[0].left, 10);
    EXPECT_DOUBLE_EQ(second[0].top, 10);
    EXPECT_EQ(captions(3), QStringList{QStringLiteral("L7\nｵﾌﾞｼﾞｪｸﾄ数：7")});
}

TEST_F(ExportRunTest, NoLayerWithObjectsStillGivesAnEmptySheetOne) {
    layer(QStringLiteral("Empty"), 0);
    layer(QStringLiteral("Void"), 0);
    ASSERT_TRUE(run(choices({QStringLiteral("Empty"), QStringLiteral("Void")})));
    EXPECT_EQ(sheetNames(), QStringList({QStringLiteral("plan.dwg"), QStringLiteral("1")}));
    EXPECT_TRUE(picturesOn(book().worksheet(2)).empty());
    EXPECT_TRUE(shapesOn(book().worksheet(2)).empty());
    EXPECT_EQ(prompts(), QStringList{kDone});
}

TEST_F(ExportRunTest, OnePicturePerSheetNamedAfterItsLayerAtTheTopLeft) {
    layer(QStringLiteral("Walls"), 3);
    layer(QStringLiteral("Empty"), 0);
    layer(QStringLiteral("Doors"), 1);
    layer(QStringLiteral("Text"), 4);
    ExportChoices c = choices({QStringLiteral("Doors"), QStringLiteral("Empty"),
                               QStringLiteral("Text"), QStringLiteral("Walls")});
    c.bSeparateSheet = true;
    ASSERT_TRUE(run(c));
    EXPECT_EQ(sheetNames(), QStringList({QStringLiteral("plan.dwg"), QStringLiteral("Doors"),
                                         QStringLiteral("Text"), QStringLiteral("Walls")}));
    for (int sheet = 2; sheet <= 4; ++sheet) {
        const std::vector<Placed> p = pictures(sheet);
        ASSERT_EQ(p.size(), 1u);
        EXPECT_DOUBLE_EQ(p[0].left, 10);
        EXPECT_DOUBLE_EQ(p[0].top, 10);
    }
}

TEST_F(ExportRunTest, DrawingNameTheSheetRefusesGivesTheLayerListName) {
    drawing.setName(QStringLiteral("plan[rev2].dwg"));
    layer(QStringLiteral("Walls"), 1);
    ASSERT_TRUE(run(choices({QStringLiteral("Walls")})));
    EXPECT_EQ(sheetNames(), QStringList({QStringLiteral("画層一覧"), QStringLiteral("1")}));
    EXPECT_EQ(prompts(), QStringList{kDone});
    // The file keeps the drawing's own name.
    EXPECT_EQ(documents.workbooks(), QStringList{QStringLiteral("plan[rev2].xlsx")});
}

// Mended: a layer name the spreadsheet refuses as a sheet name used to end the run
// without the remaining pictures, and one holding a TAB made the run search for ever.
TEST_F(ExportRunTest, OnePicturePerSheetGivesRefusedLayerNamesAnAcceptedSheetName) {
    const QString long40 = QStringLiteral("Level-01-Structural-Grid-Lines-And-Axes");
    const QString long40b = QStringLiteral("Level-01-Structural-Grid-Lines-And-Notes");
    const QStringList names = {
        QStringLiteral("[Walls]"),   QStringLiteral("History"), long40, long40b,
        QStringLiteral("tab\there"), QStringLiteral("ok")};
    for (const QString& name : names)
        layer(name, 2);
    ExportChoices c = choices(names);
    c.bSeparateSheet = true;
    ASSERT_TRUE(run(c));
    EXPECT_EQ(sheetNames(), QStringList({QStringLiteral("plan.dwg"), QStringLiteral("_Walls_"),
                                         QStringLiteral("History (2)"), long40.left(31),
                                         long40.left(27) + QStringLiteral(" (2)"),
                                         QStringLiteral("tab_here"), QStringLiteral("ok")}));
    for (int sheet = 2; sheet <= 7; ++sheet) {
        ASSERT_EQ(pictures(sheet).size(), 1u) << sheet;
        // The caption and the table keep the layer's own name.
        EXPECT_EQ(captions(sheet),
                  QStringList{names[sheet - 2] + QStringLiteral("\nｵﾌﾞｼﾞｪｸﾄ数：2")});
        EXPECT_EQ(book().worksheet(1).cellValue(sheet, 2).toString(), names[sheet - 2]);
    }
    EXPECT_EQ(prompts(), QStringList{kDone});
}

// Mended: one layer without a picture (the refresh did not draw it, its name cannot be
// a file name, its file is damaged) used to cost the whole workbook.
TEST_F(ExportRunTest, ALayerWithoutAPictureKeepsItsRowAndTheOthersTheirPictures) {
    layer(QStringLiteral("Walls"), 1);
    layer(QStringLiteral("Undrawn"), 3, false);
    layer(QStringLiteral("A/B"), 2, false);
    layer(QStringLiteral("Damaged"), 1, false);
    QFile damaged(host.layerPicturePath(QStringLiteral("Damaged")));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("not a metafile");
    damaged.close();
    layer(QStringLiteral("Doors"), 2);
    const QStringList names = {QStringLiteral("Walls"), QStringLiteral("Undrawn"),
                               QStringLiteral("A/B"), QStringLiteral("Damaged"),
                               QStringLiteral("Doors")};
    for (const bool separate : {false, true}) {
        SCOPED_TRACE(separate ? "one picture a sheet" : "grid");
        boxes.boxes.clear();
        ExportChoices c = choices(names);
        c.bSeparateSheet = separate;
        ASSERT_TRUE(run(c));
        EXPECT_EQ(prompts(), QStringList{kDone});
        for (int r = 0; r < names.size(); ++r)
            EXPECT_EQ(book().worksheet(1).cellValue(r + 2, 2).toString(), names[r]);
        EXPECT_EQ(book().worksheet(1).cellValue(3, 3).toInt(), 3);
        const QString walls = QStringLiteral("Walls\nｵﾌﾞｼﾞｪｸﾄ数：1");
        const QString doors = QStringLiteral("Doors\nｵﾌﾞｼﾞｪｸﾄ数：2");
        if (separate) {
            EXPECT_EQ(sheetNames(),
                      QStringList({QStringLiteral("plan.dwg"), QStringLiteral("Walls"),
                                   QStringLiteral("Doors")}));
            EXPECT_EQ(captions(3), QStringList{doors});
        } else {
            // The next picture takes the place the missing ones would have had.
            EXPECT_EQ(sheetNames(), QStringList({QStringLiteral("plan.dwg"), QStringLiteral("1")}));
            EXPECT_EQ(captions(2), QStringList({walls, doors}));
            ASSERT_EQ(pictures(2).size(), 2u);
            EXPECT_NEAR(pictures(2)[1].left, 293.5, 0.05);
            EXPECT_DOUBLE_EQ(pictures(2)[1].top, 10);
        }
        EXPECT_TRUE(QFileInfo(exportRun->workbookPath()).isFile());
    }
}

// Mended: a failure after the table used to end the run with the spreadsheet's screen
// switched off and nothing said.
TEST_F(ExportRunTest, FailureAfterTheTableIsReportedAndTheScreenComesBackOn) {
    layer(QStringLiteral("Walls"), 1);
    layer(QStringLiteral("Doors"), 1);
    // A strip a hundred times as high as wide, a metre wide: higher than a sheet holds.
    host.writePicture(QStringLiteral("Doors"), 10, 1000);
    ExportChoices strip = choices({QStringLiteral("Doors"), QStringLiteral("Walls")});
    strip.snWidth = 100;
    EXPECT_FALSE(run(strip));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].prompt.startsWith(
        QStringLiteral("予期せぬエラーが CmdOK_Click で発生しました。\r番号：")))
        << boxes.boxes[0].prompt.toStdString();
    EXPECT_EQ(boxes.boxes[0].buttons, platform::vbCritical);
    EXPECT_EQ(boxes.boxes[0].title, kTitle);
    ASSERT_TRUE(exportRun->application());
    EXPECT_TRUE(exportRun->application()->ScreenUpdating());
    // The table was written; no half workbook is handed out.
    EXPECT_EQ(book().worksheet(1).cellValue(2, 2).toString(), QStringLiteral("Doors"));
    EXPECT_TRUE(documents.workbooks().isEmpty());
    EXPECT_TRUE(host.opened.isEmpty());

    // So does a drawing closed before its objects were counted.
    boxes.boxes.clear();
    auto* closed = new cadhost::Drawing;
    ExportChoices c = choices({QStringLiteral("Walls")});
    c.oAcadDoc = std::make_shared<acad::AcadDocument>(
        std::make_shared<acad::inprocess::DocumentBackend>(closed));
    delete closed;
    EXPECT_FALSE(run(c));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].prompt.startsWith(QStringLiteral("予期せぬエラーが CmdOK_Click")));
    EXPECT_TRUE(exportRun->application()->ScreenUpdating());
}

// Mended: this was "Excelが見つかりません。", which told nobody what was missing.
TEST_F(ExportRunTest, NoFolderForTheWorkbookNamesTheFoldersTried) {
    layer(QStringLiteral("Walls"), 1);
    const QString under = documents.makeUnwritable();
    EXPECT_FALSE(run(choices({QStringLiteral("Walls")})));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    // $XDG_DOCUMENTS_DIR and home are one folder here; Documents under home is what
    // user-dirs.dirs gives when it names none.
    EXPECT_EQ(boxes.boxes[0].prompt,
              QStringLiteral("Excelシートを保存できるフォルダが見つかりません。"
                             "次のフォルダには書き込めません：\r") +
                  under + QStringLiteral("\r") + under + QStringLiteral("/Documents"));
    EXPECT_EQ(boxes.boxes[0].buttons, platform::vbCritical);
    EXPECT_EQ(boxes.boxes[0].title, kTitle);
    EXPECT_EQ(exportRun->application(), nullptr);
    EXPECT_TRUE(host.opened.isEmpty());
}

TEST_F(ExportRunTest, WorkbookNeverOverwritesAndWithoutAProgramTheStatusBarNamesIt) {
    layer(QStringLiteral("Walls"), 1);
    ASSERT_TRUE(run(choices({QStringLiteral("Walls")})));
    host.desktopOpens = false;
    ASSERT_TRUE(run(choices({QStringLiteral("Walls")})));
    EXPECT_EQ(documents.workbooks(),
              QStringList({QStringLiteral("plan (2).xlsx"), QStringLiteral("plan.xlsx")}));
    ASSERT_EQ(host.statusTexts.size(), 1);
    EXPECT_TRUE(host.statusTexts[0].contains(exportRun->workbookPath()));
    EXPECT_TRUE(exportRun->workbookPath().endsWith(QStringLiteral("plan (2).xlsx")));
    // The completion still comes.
    EXPECT_EQ(prompts(), QStringList({kDone, kDone}));
}

// Mended: on a full disk a workbook below 16 KiB was left cut short, the completion
// shown and the broken file handed to the desktop; a larger one failed with "番号：75
// 内容：Unknown error".
TEST_F(ExportRunTest, AFullDiskIsSaidSoAndLeavesNoWorkbook) {
    layer(QStringLiteral("Walls"), 1);
    layer(QStringLiteral("Doors"), 2);
    const ExportChoices c = choices({QStringLiteral("Walls"), QStringLiteral("Doors")});
    ASSERT_TRUE(run(c));
    const qint64 size = QFileInfo(exportRun->workbookPath()).size();
    platformtest::SmallDisk disk(64, documents.documents());
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot().toStdString();
    // A page of room: the disk takes the workbook's first bytes and refuses the rest.
    ASSERT_GT(size, 4096);
    ASSERT_TRUE(disk.fillLeaving(4096));
    boxes.boxes.clear();
    host.opened.clear();
    EXPECT_FALSE(run(c));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].prompt,
              QStringLiteral("ディスクの空き容量が足りないため、Excelシートを保存できませんでした。"
                             "\r保存先：") +
                  disk.filePath(QStringLiteral("plan.xlsx")) + QStringLiteral("\r理由：") +
                  QString::fromLocal8Bit(std::strerror(ENOSPC)));
    EXPECT_EQ(boxes.boxes[0].buttons, platform::vbCritical);
    EXPECT_EQ(boxes.boxes[0].title, kTitle);
    EXPECT_EQ(disk.entries(), QStringList{QStringLiteral("fill")});
    EXPECT_TRUE(host.opened.isEmpty());
    EXPECT_TRUE(exportRun->workbookPath().isEmpty());
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
