// The export from end to end against the real host: refresh, layers chosen in the
// window's list, toolbar button 9, OK in the dialog; the workbook is a file in the
// user's documents folder that another program reads back.

#include "CadHostWindowTest.h"
#include "ExportTestSupport.h"

#include "export/frmExportExcel.h"
#include "platform/VbListBox.h"
#include "viewer/DesktopService.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

namespace {

// The desktop has no program for workbooks here; the test sees what it was asked.
class NoSpreadsheetDesktop : public DesktopService {
public:
    explicit NoSpreadsheetDesktop(QStringList* asked) : m_asked(asked) {}
    void openFolder(const QString&) override {}
    void openTextFile(const QString&) override {}
    void openUrl(const QString&) override {}
    bool openDocument(const QString& path) override {
        *m_asked << path;
        return false;
    }

private:
    QStringList* m_asked;
};

// The dialog's selected layers, top to bottom.
QStringList selectedIn(const frmExportExcel& form) {
    QStringList chosen;
    for (int i = 0; i < form.LstLayer->ListCount(); ++i)
        if (form.LstLayer->Selected(i))
            chosen << form.LstLayer->List(i);
    return chosen;
}

QJsonObject readBack(const QString& path) {
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(KORVEL_SOURCE_DIR "/tests/export/read_workbook.py"), path});
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        ADD_FAILURE() << python.readAllStandardError().toStdString();
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

class ExportCadHostTest : public viewertest::CadHostWindowTest {
protected:
    void SetUp() override {
        CadHostWindowTest::SetUp();
        setDesktopServiceForTesting(std::make_unique<NoSpreadsheetDesktop>(&asked));
    }
    void TearDown() override {
        setDesktopServiceForTesting(nullptr);
        CadHostWindowTest::TearDown();
    }

    void clickItem(int row, Qt::KeyboardModifiers mods = {}) {
        const QRect r = window.LstLayers->visualItemRect(window.LstLayers->item(row));
        QTest::mouseClick(window.LstLayers->viewport(), Qt::LeftButton, mods, r.center());
    }

    exporttest::ScratchDocuments documents;
    QStringList asked;
};

TEST_F(ExportCadHostTest, ChosenLayersBecomeAWorkbookFile) {
    openPlan();
    window.pu_subCmdRefresh_Click();
    ASSERT_TRUE(boxes.boxes.empty());
    const QStringList sorted = listItems();
    ASSERT_EQ(sorted.size(), 12);
    clickItem(int(sorted.indexOf(QStringLiteral("Walls"))));
    clickItem(int(sorted.indexOf(QStringLiteral("Beta"))), Qt::ControlModifier);
    clickItem(int(sorted.indexOf(QStringLiteral("Empty"))), Qt::ControlModifier);

    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<frmExportExcel*>(QApplication::activeModalWidget());
        ASSERT_TRUE(form);
        shown = true;
        const QStringList chosen = selectedIn(*form);
        // The window's choice arrives, in the dialog's own (sorted) order.
        EXPECT_EQ(chosen, QStringList({QStringLiteral("Beta"), QStringLiteral("Empty"),
                                       QStringLiteral("Walls")}));
        EXPECT_EQ(form->LstLayer->ListCount(), 12);
        QTest::mouseClick(form->CmdOK, Qt::LeftButton);
        if (form->isVisible())
            form->CmdCancel->click();
    });
    window.toolbarButton(9)->trigger();
    ASSERT_TRUE(shown);

    ASSERT_EQ(boxes.boxes.size(), 1u) << boxes.boxes[0].prompt.toStdString();
    EXPECT_EQ(boxes.boxes[0].prompt,
              QStringLiteral("画層イメージのExcelシート出力が完了しました。"));
    EXPECT_EQ(boxes.boxes[0].buttons, platform::vbInformation);
    ASSERT_EQ(documents.workbooks(), QStringList{QStringLiteral("plan.xlsx")});
    const QString file = QDir(documents.documents()).filePath(QStringLiteral("plan.xlsx"));
    EXPECT_EQ(asked, QStringList{file});
    // Nothing could open it, so the window says where it is.
    EXPECT_TRUE(window.StatusMain->currentMessage().contains(file))
        << window.StatusMain->currentMessage().toStdString();

    const QJsonObject book = readBack(file);
    EXPECT_EQ(book.value(QStringLiteral("sheets")).toArray(),
              QJsonArray({QStringLiteral("plan.dxf"), QStringLiteral("1")}));
    const QJsonArray cells = book.value(QStringLiteral("cells")).toArray();
    ASSERT_EQ(cells.size(), 4);
    const QJsonArray expected[] = {
        {QStringLiteral("No"), QStringLiteral("画層名"), QStringLiteral("オブジェクト数")},
        {1, QStringLiteral("Beta"), 2},
        {2, QStringLiteral("Empty"), 0},
        {3, QStringLiteral("Walls"), 2},
    };
    for (int r = 0; r < 4; ++r) {
        const QJsonArray row = cells[r].toArray();
        ASSERT_EQ(row.size(), 3) << r;
        for (int c = 0; c < 3; ++c) {
            const QJsonObject cell = row[c].toObject();
            SCOPED_TRACE(testing::Message() << "cell " << r + 1 << "," << c + 1);
            EXPECT_EQ(cell.value(QStringLiteral("value")), expected[r][c]);
            EXPECT_EQ(cell.value(QStringLiteral("type")).toString(),
                      expected[r][c].isString() ? QStringLiteral("str") : QStringLiteral("int"));
            EXPECT_TRUE(cell.value(QStringLiteral("thin")).toBool());
        }
    }

    // Beta and Walls have objects, Empty none: two pictures on sheet "1", side by side,
    // each with its caption below it; the table's sheet has none.
    const QJsonObject drawings = book.value(QStringLiteral("drawings")).toObject();
    EXPECT_TRUE(drawings.value(QStringLiteral("plan.dxf")).toArray().isEmpty());
    std::vector<QJsonObject> pictures, captions;
    for (const QJsonValue& object : drawings.value(QStringLiteral("1")).toArray()) {
        if (object[QStringLiteral("kind")] == QStringLiteral("pic"))
            pictures.push_back(object.toObject());
        else
            captions.push_back(object.toObject());
    }
    ASSERT_EQ(pictures.size(), 2u);
    ASSERT_EQ(captions.size(), 2u);
    auto pt = [](const QJsonObject& o, const char* key) {
        return o.value(QLatin1String(key)).toDouble() / 12700.0;
    };
    EXPECT_NEAR(pt(pictures[0], "x"), 10, 0.01);
    EXPECT_NEAR(pt(pictures[0], "y"), 10, 0.01);
    EXPECT_NEAR(pt(pictures[0], "cx"), 255.1, 0.05);
    EXPECT_NEAR(pt(pictures[1], "x"), 293.5, 0.05);
    EXPECT_NEAR(pt(pictures[1], "y"), 10, 0.01);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_NEAR(pt(captions[i], "x"), pt(pictures[i], "x"), 0.01);
        EXPECT_NEAR(pt(captions[i], "y"), pt(pictures[i], "y") + pt(pictures[i], "cy") + 1 + 2,
                    0.01);
        EXPECT_NEAR(pt(captions[i], "cy"), 30, 0.01);
    }
    EXPECT_EQ(captions[0].value(QStringLiteral("text")).toString(),
              QStringLiteral("Beta\nｵﾌﾞｼﾞｪｸﾄ数：2"));
    EXPECT_EQ(captions[1].value(QStringLiteral("text")).toString(),
              QStringLiteral("Walls\nｵﾌﾞｼﾞｪｸﾄ数：2"));
}

// Layers picked by name in the search field are the ones the export starts from.
TEST_F(ExportCadHostTest, LayersPickedByNameAreTheOnesExported) {
    openPlan();
    window.pu_subCmdRefresh_Click();
    ASSERT_TRUE(boxes.boxes.empty());
    QLineEdit* field = window.layerSearch();
    ASSERT_TRUE(field);
    QTest::keyClicks(field, QStringLiteral("*a"));

    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<frmExportExcel*>(QApplication::activeModalWidget());
        ASSERT_TRUE(form);
        shown = true;
        const QStringList chosen = selectedIn(*form);
        EXPECT_EQ(chosen, QStringList({QStringLiteral("alpha"), QStringLiteral("Beta"),
                                       QStringLiteral("gamma")}));
        QTest::mouseClick(form->CmdOK, Qt::LeftButton);
        if (form->isVisible())
            form->CmdCancel->click();
    });
    window.toolbarButton(9)->trigger();
    ASSERT_TRUE(shown);
    ASSERT_EQ(documents.workbooks(), QStringList{QStringLiteral("plan.xlsx")});
    const QJsonArray cells =
        readBack(QDir(documents.documents()).filePath(QStringLiteral("plan.xlsx")))
            .value(QStringLiteral("cells"))
            .toArray();
    ASSERT_EQ(cells.size(), 4);
    EXPECT_EQ(cells[1].toArray()[1].toObject().value(QStringLiteral("value")).toString(),
              QStringLiteral("alpha"));
    EXPECT_EQ(cells[3].toArray()[1].toObject().value(QStringLiteral("value")).toString(),
              QStringLiteral("gamma"));
}

TEST_F(ExportCadHostTest, NothingChosenOpensTheDialogWithNothingSelected) {
    openPlan();
    window.pu_subCmdRefresh_Click();
    ASSERT_TRUE(boxes.boxes.empty());
    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<frmExportExcel*>(QApplication::activeModalWidget());
        ASSERT_TRUE(form);
        shown = true;
        EXPECT_EQ(form->LstLayer->ListCount(), 12);
        EXPECT_TRUE(form->LstLayer->selectedItems().isEmpty());
        QTest::keyClick(form->LstLayer, Qt::Key_Escape);
    });
    window.toolbarButton(9)->trigger();
    EXPECT_TRUE(shown);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(documents.workbooks().isEmpty());
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
