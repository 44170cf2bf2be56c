// The export dialog with real widgets: its design, the lists and their first values on
// every opening, the layer list sorted and preselected, the enabling rule, ALL, OK with
// and without a selection and what it hands over, Cancel and Esc; the main window's
// export command before the first refresh, and the desktop's program for the workbook.

#include "export/frmExportExcel.h"

#include "ExportTestSupport.h"
#include "InProcessBackend.h"
#include "PlatformTestSupport.h"
#include "ViewerTestSupport.h"
#include "acad/AcadDocument.h"
#include "cadhost/model/Drawing.h"
#include "platform/ControlGeometry.h"
#include "platform/VbListBox.h"
#include "viewer/DesktopService.h"
#include "viewer/frmWMF.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <gtest/gtest.h>

using platform::ControlGeometry;

namespace {

const QString kNothingSelected =
    QStringLiteral("イメージ出力したい画層をリストより選択してください。");

QStringList items(const platform::VbListBox* list) {
    QStringList texts;
    for (int i = 0; i < list->ListCount(); ++i)
        texts << list->List(i);
    return texts;
}

QStringList selected(const platform::VbListBox* list) {
    QStringList texts;
    for (int i = 0; i < list->ListCount(); ++i)
        if (list->Selected(i))
            texts << list->List(i);
    return texts;
}

QStringList entries(const QComboBox* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->itemText(i);
    return texts;
}

void clickItem(platform::VbListBox* list, int row, Qt::KeyboardModifiers mods = {}) {
    const QRect r = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, mods, r.center());
}

void pick(QComboBox* list, const QString& text) {
    const int index = list->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    list->setCurrentIndex(index);
}

class ExportDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        drawing.setName(QStringLiteral("plan.dwg"));
        // In the drawing's own order; the dialog sorts them.
        for (const char* name : {"b", "A", "c"})
            drawing.addLayer(QString::fromLatin1(name));
        frmExportExcel::setRunnerForTesting([this](const ExportChoices& c, frmExportExcel& form) {
            handed.push_back(c);
            visibleDuringRun = form.isVisible();
        });
    }
    void TearDown() override { frmExportExcel::setRunnerForTesting(nullptr); }

    // Opens the dialog as the main window does and runs body while it is up; the
    // dialog is cancelled afterwards if body left it open. Fails rather than hangs.
    void whileShown(const QStringList& array, const std::function<void(frmExportExcel&)>& body) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            auto* form = qobject_cast<frmExportExcel*>(QApplication::activeModalWidget());
            ASSERT_TRUE(form);
            ran = true;
            body(*form);
            if (form->isVisible())
                form->CmdCancel->click();
        });
        frmExportExcel::pu_subShow(doc, array, host);
        EXPECT_TRUE(ran);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }

    cadhost::Drawing drawing;
    std::shared_ptr<acad::AcadDocument> doc = std::make_shared<acad::AcadDocument>(
        std::make_shared<acad::inprocess::DocumentBackend>(&drawing));
    exporttest::RecordingHost host;
    viewertest::MsgBoxRecorder boxes;
    std::vector<ExportChoices> handed;
    bool visibleDuringRun = true;
};

TEST_F(ExportDialogTest, DesignCaptionsPlacesAndTabOrder) {
    whileShown({QString()}, [](frmExportExcel& form) {
        EXPECT_EQ(form.windowTitle(), QStringLiteral("画層イメージのExcelシート出力"));
        EXPECT_EQ(form.size(), QSize(6630 / 15, 6195 / 15));
        EXPECT_EQ(form.parentWidget(), nullptr);
        EXPECT_EQ(form.windowModality(), Qt::ApplicationModal);
        EXPECT_FALSE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
        EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);

        struct Design {
            QWidget* control;
            QWidget* container;
            const char* caption;
            double left, top, width, height;
        };
        const Design design[] = {
            {form.LblHeader, &form, "Excelへ出力する画層を下のリストより選択してください", 210, 210,
             4545, 225},
            {form.LstLayer, &form, nullptr, 210, 450, 6195, 2220},
            {form.CmdSelectAll, &form, "ALL", 5580, 180, 825, 255},
            {form.FraLayout, &form, "画層イメージレイアウト", 210, 2850, 6225, 2595},
            {form.OptSeparateSheet, form.FraLayout, "1イメージ／1シート", 390, 360, 2565, 255},
            {form.OptOneSheet, form.FraLayout, "指定イメージ数／1シート", 390, 750, 2535, 255},
            {form.CboRowNum, form.FraLayout, nullptr, 2760, 720, 1005, 300},
            {form.LblRow, form.FraLayout, "行 ×", 3810, 780, 495, 225},
            {form.CboColNum, form.FraLayout, nullptr, 4290, 720, 1005, 300},
            {form.LblCol, form.FraLayout, "列", 5370, 780, 495, 225},
            {form.LblOffset, form.FraLayout, "イメージの間隔", 420, 1260, 1665, 225},
            {form.CboOffset, form.FraLayout, nullptr, 2730, 1200, 1035, 300},
            {form.LblOffset2, form.FraLayout, "cm", 3810, 1230, 495, 225},
            {form.LblWidth, form.FraLayout, "イメージの大きさ（幅）", 420, 1710, 1665, 225},
            {form.CboWidth, form.FraLayout, nullptr, 2730, 1650, 1035, 300},
            {form.LblWidth2, form.FraLayout, "cm", 3810, 1680, 495, 225},
            {form.ChkFrame, form.FraLayout, "イメージを枠で囲む", 420, 2130, 1845, 255},
            {form.CboFrame, form.FraLayout, nullptr, 2730, 2100, 1035, 300},
            {form.LblFrame, form.FraLayout, "ポイント", 3840, 2160, 1095, 225},
            {form.CmdOK, &form, "OK", 4200, 5670, 1065, 435},
            {form.CmdCancel, &form, "ｷｬﾝｾﾙ", 5340, 5670, 1065, 435},
        };
        for (const Design& d : design) {
            ASSERT_TRUE(d.control);
            SCOPED_TRACE(d.control->objectName().toStdString());
            EXPECT_EQ(form.findChild<QWidget*>(d.control->objectName()), d.control);
            EXPECT_EQ(d.control->parentWidget(), d.container);
            EXPECT_EQ(ControlGeometry::Left(d.control), d.left);
            EXPECT_EQ(ControlGeometry::Top(d.control), d.top);
            EXPECT_EQ(ControlGeometry::Width(d.control), d.width);
            EXPECT_EQ(ControlGeometry::Height(d.control), d.height);
            if (!d.caption)
                continue;
            const QString caption = QString::fromUtf8(d.caption);
            if (auto* label = qobject_cast<QLabel*>(d.control)) {
                EXPECT_EQ(label->text(), caption);
            } else if (auto* button = qobject_cast<QAbstractButton*>(d.control)) {
                EXPECT_EQ(button->text(), caption);
            } else if (auto* frame = qobject_cast<QGroupBox*>(d.control)) {
                EXPECT_EQ(frame->title(), caption);
            }
        }
        EXPECT_EQ(form.LstLayer->selectionMode(), QAbstractItemView::ExtendedSelection);
        EXPECT_TRUE(form.LstLayer->Sorted());

        // Tab from the list through the controls in the design's order.
        EXPECT_EQ(form.focusWidget(), form.LstLayer);
        const QWidget* const order[] = {form.CmdSelectAll, form.CmdOK,     form.CmdCancel,
                                        form.OptOneSheet,  form.CboRowNum, form.CboColNum,
                                        form.ChkFrame,     form.CboWidth,  form.CboOffset,
                                        form.CboFrame,     form.LstLayer};
        QWidget* w = form.LstLayer;
        for (const QWidget* next : order) {
            w = w->nextInFocusChain();
            while (!(w->focusPolicy() & Qt::TabFocus) || !w->isEnabled() ||
                   (qobject_cast<QRadioButton*>(w) && !qobject_cast<QRadioButton*>(w)->isChecked()))
                w = w->nextInFocusChain();
            EXPECT_EQ(w, next) << w->objectName().toStdString();
        }
    });
}

TEST_F(ExportDialogTest, ListsAndFirstValuesOnEveryOpening) {
    for (int opening = 1; opening <= 2; ++opening) {
        SCOPED_TRACE(opening);
        whileShown({QString()}, [&](frmExportExcel& form) {
            EXPECT_EQ(form.CboRowNum->count(), 100);
            EXPECT_EQ(form.CboRowNum->itemText(0), QStringLiteral("1"));
            EXPECT_EQ(form.CboRowNum->itemText(99), QStringLiteral("100"));
            EXPECT_EQ(form.CboColNum->count(), 50);
            EXPECT_EQ(form.CboColNum->itemText(49), QStringLiteral("50"));
            const QStringList widths = entries(form.CboWidth);
            ASSERT_EQ(widths.size(), 197);
            EXPECT_EQ(widths.mid(0, 3), QStringList({QStringLiteral("2.0"), QStringLiteral("2.5"),
                                                     QStringLiteral("3.0")}));
            EXPECT_EQ(widths.last(), QStringLiteral("100.0"));
            const QStringList offsets = entries(form.CboOffset);
            ASSERT_EQ(offsets.size(), 101);
            EXPECT_EQ(offsets[0], QStringLiteral("0.0"));
            EXPECT_EQ(offsets[1], QStringLiteral("0.1"));
            EXPECT_EQ(offsets[100], QStringLiteral("10.0"));
            const QStringList frames = entries(form.CboFrame);
            ASSERT_EQ(frames.size(), 19);
            EXPECT_EQ(frames[1], QStringLiteral("1.5"));
            EXPECT_EQ(frames.last(), QStringLiteral("10.0"));
            for (QComboBox* list :
                 {form.CboRowNum, form.CboColNum, form.CboWidth, form.CboOffset, form.CboFrame})
                EXPECT_FALSE(list->isEditable());

            EXPECT_EQ(form.CboRowNum->currentText(), QStringLiteral("3"));
            EXPECT_EQ(form.CboColNum->currentText(), QStringLiteral("2"));
            EXPECT_EQ(form.CboOffset->currentText(), QStringLiteral("1.0"));
            EXPECT_EQ(form.CboWidth->currentText(), QStringLiteral("9.0"));
            EXPECT_EQ(form.CboFrame->currentText(), QStringLiteral("1.0"));
            EXPECT_TRUE(form.OptOneSheet->isChecked());
            EXPECT_FALSE(form.OptSeparateSheet->isChecked());
            EXPECT_TRUE(form.ChkFrame->isChecked());
            EXPECT_TRUE(selected(form.LstLayer).isEmpty());

            // Everything changed before cancelling must not come back next time.
            QTest::mouseClick(form.OptSeparateSheet, Qt::LeftButton);
            pick(form.CboRowNum, QStringLiteral("7"));
            pick(form.CboColNum, QStringLiteral("5"));
            pick(form.CboOffset, QStringLiteral("2.5"));
            pick(form.CboWidth, QStringLiteral("12.5"));
            pick(form.CboFrame, QStringLiteral("3.5"));
            form.ChkFrame->setChecked(false);
            form.CmdSelectAll->click();
        });
    }
    EXPECT_TRUE(handed.empty());
}

TEST_F(ExportDialogTest, EnablingFollowsTheLayout) {
    whileShown({QString()}, [](frmExportExcel& form) {
        auto gridListsEnabled = [&] {
            return form.CboRowNum->isEnabled() && form.CboColNum->isEnabled() &&
                   form.CboOffset->isEnabled();
        };
        EXPECT_TRUE(gridListsEnabled());
        QTest::mouseClick(form.OptSeparateSheet, Qt::LeftButton);
        EXPECT_TRUE(form.OptSeparateSheet->isChecked());
        EXPECT_FALSE(form.CboRowNum->isEnabled());
        EXPECT_FALSE(form.CboColNum->isEnabled());
        EXPECT_FALSE(form.CboOffset->isEnabled());
        EXPECT_TRUE(form.CboWidth->isEnabled());
        EXPECT_TRUE(form.ChkFrame->isEnabled());
        EXPECT_TRUE(form.CboFrame->isEnabled());
        QTest::mouseClick(form.OptOneSheet, Qt::LeftButton);
        EXPECT_TRUE(gridListsEnabled());
        // The frame's weight stays open with the frame off.
        QTest::mouseClick(form.ChkFrame, Qt::LeftButton);
        EXPECT_FALSE(form.ChkFrame->isChecked());
        EXPECT_TRUE(form.CboFrame->isEnabled());
    });
}

TEST_F(ExportDialogTest, LayersSortedWithoutCaseAndPreselectedExactly) {
    whileShown({QString(), QStringLiteral("b"), QStringLiteral("c")}, [](frmExportExcel& form) {
        EXPECT_EQ(items(form.LstLayer), QStringList({"0", "A", "b", "c"}));
        EXPECT_EQ(selected(form.LstLayer), QStringList({"b", "c"}));
    });
    // Another letter case, or a layer the drawing does not have, selects nothing.
    whileShown({QString(), QStringLiteral("a"), QStringLiteral("gone"), QStringLiteral("c")},
               [](frmExportExcel& form) { EXPECT_EQ(selected(form.LstLayer), QStringList{"c"}); });
    // The element 0 of the main window's array is empty and selects nothing either.
    whileShown({QString()},
               [](frmExportExcel& form) { EXPECT_TRUE(selected(form.LstLayer).isEmpty()); });
}

TEST_F(ExportDialogTest, AllSelectsEveryLayerAndOkHandsOverTheChoices) {
    whileShown({QString()}, [](frmExportExcel& form) {
        QTest::mouseClick(form.CmdSelectAll, Qt::LeftButton);
        EXPECT_EQ(selected(form.LstLayer), QStringList({"0", "A", "b", "c"}));
        QTest::mouseClick(form.CmdOK, Qt::LeftButton);
    });
    ASSERT_EQ(handed.size(), 1u);
    const ExportChoices& c = handed[0];
    EXPECT_EQ(c.oAcadDoc, doc);
    EXPECT_EQ(c.sLayers, QStringList({"0", "A", "b", "c"}));
    EXPECT_FALSE(c.bSeparateSheet);
    EXPECT_EQ(c.lnRowNum, 3);
    EXPECT_EQ(c.lnColNum, 2);
    EXPECT_EQ(c.snWidth, 9.0f);
    EXPECT_EQ(c.snOffset, 1.0f);
    EXPECT_TRUE(c.bFrame);
    EXPECT_EQ(c.snFrame, 1.0f);
    // The dialog was gone before the run started.
    EXPECT_FALSE(visibleDuringRun);

    whileShown({QString()}, [](frmExportExcel& form) {
        clickItem(form.LstLayer, 3);
        clickItem(form.LstLayer, 1, Qt::ControlModifier);
        QTest::mouseClick(form.OptSeparateSheet, Qt::LeftButton);
        pick(form.CboRowNum, QStringLiteral("12"));
        pick(form.CboColNum, QStringLiteral("50"));
        pick(form.CboOffset, QStringLiteral("0.3"));
        pick(form.CboWidth, QStringLiteral("12.5"));
        pick(form.CboFrame, QStringLiteral("2.5"));
        QTest::mouseClick(form.ChkFrame, Qt::LeftButton);
        QTest::mouseClick(form.CmdOK, Qt::LeftButton);
    });
    ASSERT_EQ(handed.size(), 2u);
    const ExportChoices& d = handed[1];
    // List order, not the order of the clicks.
    EXPECT_EQ(d.sLayers, QStringList({"A", "c"}));
    EXPECT_TRUE(d.bSeparateSheet);
    EXPECT_EQ(d.lnRowNum, 12);
    EXPECT_EQ(d.lnColNum, 50);
    EXPECT_EQ(d.snOffset, 0.3f);
    EXPECT_EQ(d.snWidth, 12.5f);
    EXPECT_FALSE(d.bFrame);
    EXPECT_EQ(d.snFrame, 2.5f);
}

TEST_F(ExportDialogTest, OkWithNothingSelectedWarnsAndKeepsTheSettings) {
    whileShown({QString()}, [this](frmExportExcel& form) {
        pick(form.CboRowNum, QStringLiteral("5"));
        QTest::mouseClick(form.OptSeparateSheet, Qt::LeftButton);
        QTest::mouseClick(form.CmdOK, Qt::LeftButton);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].prompt, kNothingSelected);
        EXPECT_EQ(boxes.boxes[0].buttons, platform::vbExclamation);
        EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("KORVEL Ver4.00"));
        EXPECT_TRUE(form.isVisible());
        EXPECT_TRUE(handed.empty());
        EXPECT_EQ(form.CboRowNum->currentText(), QStringLiteral("5"));
        EXPECT_TRUE(form.OptSeparateSheet->isChecked());
        // A second OK after choosing a layer exports.
        clickItem(form.LstLayer, 2);
        QTest::mouseClick(form.CmdOK, Qt::LeftButton);
        EXPECT_FALSE(form.isVisible());
    });
    ASSERT_EQ(handed.size(), 1u);
    EXPECT_EQ(handed[0].sLayers, QStringList{"b"});
    EXPECT_EQ(handed[0].lnRowNum, 5);
    EXPECT_EQ(boxes.boxes.size(), 1u);
}

TEST_F(ExportDialogTest, CancelAndEscExportNothing) {
    whileShown({QString(), QStringLiteral("A")}, [](frmExportExcel& form) {
        QTest::mouseClick(form.CmdCancel, Qt::LeftButton);
        EXPECT_FALSE(form.isVisible());
    });
    whileShown({QString(), QStringLiteral("A")}, [](frmExportExcel& form) {
        QTest::keyClick(form.LstLayer, Qt::Key_Escape);
        EXPECT_FALSE(form.isVisible());
    });
    // Enter is no button's key: the dialog stays and nothing is exported.
    whileShown({QString(), QStringLiteral("A")}, [](frmExportExcel& form) {
        QTest::keyClick(form.LstLayer, Qt::Key_Return);
        EXPECT_TRUE(form.isVisible());
    });
    EXPECT_TRUE(handed.empty());
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(ExportDialogTest, ADrawingClosedBeforeTheDialogOpensIsReportedNotFatal) {
    auto* closed = new cadhost::Drawing;
    doc = std::make_shared<acad::AcadDocument>(
        std::make_shared<acad::inprocess::DocumentBackend>(closed));
    delete closed;
    whileShown({QString()}, [](frmExportExcel& form) { EXPECT_EQ(form.LstLayer->ListCount(), 0); });
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].prompt.startsWith(
        QStringLiteral("予期せぬエラーが Form_Activate で発生しました。")));
}

TEST(ExportCommand, BeforeTheFirstRefreshAsksForOne) {
    viewertest::ScratchProgramFolder folder;
    viewertest::MsgBoxRecorder boxes;
    frmWMF window;
    bool opened = false;
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [&] {
        if (auto* modal = QApplication::activeModalWidget()) {
            opened = true;
            modal->close();
        }
    });
    guard.start(10);
    window.toolbarButton(9)->trigger();
    EXPECT_FALSE(opened);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(
        boxes.boxes[0].prompt,
        QStringLiteral("図面更新ボタン（ビックリマーク）で図面を読み込んでから実行してください。"));
    EXPECT_EQ(boxes.boxes[0].buttons, platform::vbExclamation);
    EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("KORVEL Ver4.00"));
}

void writeFile(const QString& path, const QByteArray& text) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

// Mended: QDesktopServices says a workbook was opened as soon as xdg-open starts, also
// when xdg-open then finds no program for it, so the status bar never named the file.
// The desktop's associations decide now; the launcher here answers as xdg-open does.
TEST(WorkbookProgram, OnlyWhatTheDesktopAssociatesWithWorkbooksIsStarted) {
    // The system's MIME database, found before the folders are moved: it tells a
    // workbook by its name.
    const QString mime =
        QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("mime"),
                               QStandardPaths::LocateDirectory);
    if (mime.isEmpty())
        GTEST_SKIP() << "no MIME database on this machine";
    QTemporaryDir xdg;
    const QString share = xdg.filePath(QStringLiteral("share"));
    ASSERT_TRUE(QDir().mkpath(share));
    ASSERT_TRUE(QFile::link(mime, share + QStringLiteral("/mime")));
    platformtest::EnvScope env;
    env.set("XDG_CONFIG_HOME", xdg.filePath(QStringLiteral("config")));
    env.set("XDG_CONFIG_DIRS", xdg.filePath(QStringLiteral("etc")));
    env.set("XDG_DATA_HOME", xdg.filePath(QStringLiteral("data")));
    env.set("XDG_DATA_DIRS", share);
    env.set("XDG_CURRENT_DESKTOP", QStringLiteral("Test"));
    const QString type =
        QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet");
    const QString book = xdg.filePath(QStringLiteral("plan.xlsx"));
    writeFile(book, "PK");

    QStringList launched;
    const auto service = makeDesktopService([&](const QUrl& url) {
        launched << url.toLocalFile();
        return true;
    });
    const auto opens = [&] {
        launched.clear();
        const bool opened = service->openDocument(book);
        EXPECT_EQ(launched, opened ? QStringList{book} : QStringList());
        return opened;
    };
    EXPECT_FALSE(opens());

    // A program of the system's that names the type in its entry.
    const QString sheets = share + QStringLiteral("/applications/sheets.desktop");
    writeFile(sheets, "[Desktop Entry]\nType=Application\nName=Sheets\nExec=sheets %f\n"
                      "MimeType=text/csv;" +
                          type.toUtf8() + ";\n");
    EXPECT_TRUE(opens());
    EXPECT_EQ(programsForType(type), QStringList{QStringLiteral("sheets.desktop")});
    // The user took that association away, for this desktop only.
    const QString userList = xdg.filePath(QStringLiteral("config/test-mimeapps.list"));
    writeFile(userList, "[Removed Associations]\n" + type.toUtf8() + "=sheets.desktop;\n");
    EXPECT_FALSE(opens());
    // A default that names no installed program, or one the user hid, opens nothing.
    writeFile(xdg.filePath(QStringLiteral("config/mimeapps.list")),
              "[Default Applications]\n" + type.toUtf8() + "=gone.desktop;hidden.desktop\n");
    writeFile(xdg.filePath(QStringLiteral("data/applications/hidden.desktop")),
              "[Desktop Entry]\nType=Application\nExec=hidden %f\nHidden=true\n");
    EXPECT_FALSE(opens());
    // One the system added for workbooks, though its own entry does not name them.
    writeFile(share + QStringLiteral("/applications/mimeapps.list"),
              "[Added Associations]\n" + type.toUtf8() + "=viewer.desktop;\n");
    writeFile(share + QStringLiteral("/applications/viewer.desktop"),
              "[Desktop Entry]\nType=Application\nExec=viewer %u\n");
    EXPECT_TRUE(opens());
    EXPECT_EQ(programsForType(type), QStringList{QStringLiteral("viewer.desktop")});
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
