// The refresh from end to end: tarnix's window against a real cadhost started by D-Bus
// activation on a private bus, a drawing of a dozen layers in mixed states, and the
// shipped macro project writing real metafiles.

#include "viewer/frmWMF.h"

#include "CadHostWindowTest.h"
#include "DxfFixture.h"
#include "PrivateSessionBus.h"
#include "ViewerTestSupport.h"
#include "acad/AcadApplication.h"
#include "acad/DBusBackend.h"
#include "acad/DBusConnector.h"
#include "acad/basAcadConnect.h"
#include "app/frmSplash.h"
#include "metafile/MetafilePicture.h"
#include "platform/ControlGeometry.h"
#include "platform/VbFrame.h"
#include "platform/VbImage.h"
#include "platform/VbListBox.h"
#include "platform/VbPictureBox.h"
#include "platform/VbTextBox.h"
#include "tiles/clsDWF.h"
#include "viewer/RefreshPhases.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

using platform::ControlGeometry;

namespace {

// Which file a path names: a picture rewritten in place keeps it.
ino_t inodeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

using viewertest::StateMap;

class RefreshCadHostTest : public viewertest::CadHostWindowTest {};

TEST_F(RefreshCadHostTest, AllLayersGiveOneTileEachInSortedOrderAndTheStatesComeBack) {
    openPlan();
    QStringList progress;
    QObject::connect(window.StatusMain, &QStatusBar::messageChanged,
                     [&progress](const QString& text) { progress << text; });
    window.pu_subCmdRefresh_Click();
    for (const auto& b : boxes.boxes)
        ADD_FAILURE() << b.prompt.toStdString();

    const QStringList sorted = {"0",     "alpha", "Beta", "Cur",    "Dims", "Doors",
                                "Empty", "gamma", "Gone", "Hidden", "Text", "Walls"};
    EXPECT_EQ(tileNames(), sorted);
    EXPECT_EQ(listItems(), sorted);
    EXPECT_EQ(states(), before);
    EXPECT_EQ(doc->ActiveLayer().Name(), QStringLiteral("Cur"));
    EXPECT_TRUE(pu_bUpdateEnd);
    EXPECT_TRUE(window.state().prbShowEnd);
    EXPECT_FALSE(frmSplash::isLoaded());

    // Window arranged for a full list: no part overview, the list beside the overview.
    EXPECT_TRUE(window.FraPart->isHidden());
    EXPECT_EQ(ControlGeometry::Left(window.LstLayers), 2970);
    EXPECT_EQ(ControlGeometry::Left(window.FraViewDblClick), 5820);
    EXPECT_EQ(ControlGeometry::Left(window.ChkViewOnly), 5820);
    expectStatusDone();
    // 3 x 12 progress steps, from 1/36 (3%) to 100%, after the plain gathering text.
    const QString gathering = QStringLiteral("plan.dxf の画層情報を取得中．．．");
    ASSERT_GE(progress.size(), 38);
    EXPECT_EQ(progress[progress.size() - 38], gathering);
    EXPECT_EQ(progress[progress.size() - 37], gathering + QStringLiteral("3%"));
    EXPECT_EQ(progress[progress.size() - 36], gathering + QStringLiteral("6%"));
    EXPECT_EQ(progress[progress.size() - 2], gathering + QStringLiteral("100%"));
    EXPECT_EQ(window.TxtALL->Text(), QStringLiteral("全ての画層\r\n画層数:12 ｵﾌﾞｼﾞｪｸﾄ数:24"));
    EXPECT_EQ(window.PicMain->Tag, QStringLiteral("12"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("画層ビューワ (6×2)"));

    // The overview was made with every layer but the current one on and thawed.
    auto all = metafile::MetafilePicture::load(folder.path() + "/LAYER/SYS/all.wmf");
    ASSERT_TRUE(all);
    EXPECT_TRUE(all->texts().contains(QStringLiteral("FROZENTEXT")));
    EXPECT_FALSE(all->texts().contains(QStringLiteral("CURTEXT")));
    EXPECT_TRUE(window.ImgALL->Picture() != nullptr);
    EXPECT_NEAR(window.state().prsnAllRatio,
                ControlGeometry::Height(window.ImgALL) / ControlGeometry::Width(window.ImgALL),
                0.0051);

    // Tiles: pictures fitted inside their frames, found again by name; states shown.
    for (int i = 1; i <= 12; ++i) {
        SCOPED_TRACE(tile(i).sLayerName().toStdString());
        auto* img = window.findChild<platform::VbImage*>(QStringLiteral("ImgOne%1").arg(i));
        ASSERT_EQ(img, tile(i).ImgOne());
        EXPECT_TRUE(img->Picture() != nullptr);
        EXPECT_LE(ControlGeometry::Width(img), 2565);
        EXPECT_GE(ControlGeometry::Top(img), 255);
    }
    const clsDWF& doors = tile(tileOf(QStringLiteral("Doors")));
    EXPECT_TRUE(doors.bAllViewportFreaze());
    EXPECT_EQ(doors.CboLineType()->currentText().toUpper(), QStringLiteral("DASHED"));
    EXPECT_FALSE(tile(tileOf(QStringLiteral("Hidden"))).bLayerOn());
    EXPECT_TRUE(tile(tileOf(QStringLiteral("alpha"))).bLock());
    for (int i = 1; i <= 12; ++i)
        EXPECT_EQ(tile(i).FraBar()->BackColor() == 0xFFu,
                  tile(i).sLayerName() == QStringLiteral("Cur"));
}

TEST_F(RefreshCadHostTest, ADrawingOnTheCommandLineIsOpenedInTheCadAndShownWhole) {
    openPlan();
    // Told by its content, not its name: a drawing named like a list, a list named like a
    // drawing.
    korvel::test::DxfFixture site;
    site.addLayer(QStringLiteral("0"));
    site.addLayer(QStringLiteral("Site"), 3);
    site.addLine(QStringLiteral("Site"), 0, 0, 10, 10);
    const QString sitePath = drawings.filePath(QStringLiteral("site.csv"));
    ASSERT_TRUE(site.write(sitePath));
    window.Form_Load(sitePath);
    for (const auto& b : boxes.boxes)
        ADD_FAILURE() << b.prompt.toStdString();
    EXPECT_EQ(tileNames(), QStringList({"0", "Site"}));
    EXPECT_EQ(connector->attach()->activeDocument()->fullName(), sitePath);
    EXPECT_TRUE(window.drawingToOpen().isEmpty());

    const QString listPath = drawings.filePath(QStringLiteral("layers.dxf"));
    QFile list(listPath);
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write("Walls\nDoors\n");
    list.close();
    std::dynamic_pointer_cast<acad::DBusApplicationBackend>(host)->open(path);
    window.Form_Load(listPath);
    for (const auto& b : boxes.boxes)
        ADD_FAILURE() << b.prompt.toStdString();
    EXPECT_EQ(tileNames(), QStringList({"Doors", "Walls"}));
    EXPECT_EQ(connector->attach()->activeDocument()->fullName(), path);
}

TEST_F(RefreshCadHostTest, NamesLongerThanACadTakesAreLeftOutOfAListWithOneMessage) {
    openPlan();
    refreshFromList({QStringLiteral("Walls"), QString(256, QLatin1Char('x')),
                     QString(1'000'000, QLatin1Char('y')), QString(255, QLatin1Char('z'))});
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0].prompt,
              QStringLiteral("画層一覧ファイルに 255 文字を超える画層名が 2 件あります。\r\n"
                             "これらの画層は表示しません。"));
    // The name of 255 characters is taken, and is no layer of the plan.
    EXPECT_TRUE(boxes.boxes[1].prompt.contains(QStringLiteral("SetLayerState")))
        << boxes.boxes[1].prompt.toStdString();
    EXPECT_EQ(tileNames(), QStringList({"Walls", QString(255, QLatin1Char('z'))}));
}

TEST_F(RefreshCadHostTest, TheWindowAnswersItsTilesForEveryTileAtOnce) {
    openPlan();
    window.pu_subCmdRefresh_Click();
    ASSERT_EQ(window.proDWFUBound(), 12);
    boxes.boxes.clear();
    TileHost& host = window;

    // Deselect all but one.
    for (int i : {2, 5, 7})
        tile(i).SelectView();
    host.pu_subResetSelect(5);
    for (int i = 1; i <= 12; ++i)
        EXPECT_EQ(tile(i).isSelected(), i == 5) << i;

    // The list shows one item as its only selection.
    window.LstLayers->setSelected(0, true);
    window.LstLayers->setSelected(3, true);
    host.selectOnlyListItem(6);
    EXPECT_EQ(window.LstLayers->currentRow(), 6);
    for (int i = 0; i < window.LstLayers->ListCount(); ++i)
        EXPECT_EQ(window.LstLayers->Selected(i), i == 6) << i;

    // The current layer moves in the CAD: every tile marks it at the update.
    doc->setActiveLayer(doc->Layers().Item(QStringLiteral("Walls")));
    host.pu_subActiveLayerUpdate();
    for (int i = 1; i <= 12; ++i)
        EXPECT_EQ(tile(i).FraBar()->BackColor() == 0xFFu,
                  tile(i).sLayerName() == QStringLiteral("Walls"));

    // States changed in the CAD show at the re-read, and the tiles' events are back on.
    doc->Layers().Item(QStringLiteral("Hidden")).setLayerOn(true);
    doc->Layers().Item(QStringLiteral("Beta")).setLock(true);
    host.pu_subCtrlViewUpdate();
    EXPECT_TRUE(tile(tileOf(QStringLiteral("Hidden"))).bLayerOn());
    EXPECT_TRUE(tile(tileOf(QStringLiteral("Beta"))).bLock());
    EXPECT_EQ(tile(tileOf(QStringLiteral("Beta"))).CmdLock()->Picture(),
              host.statePicture(TileHost::StatePicture::LockOn));
    for (int i = 1; i <= 12; ++i)
        EXPECT_TRUE(tile(i).eventsEnabled());
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(RefreshCadHostTest, AClosedWindowStopsItsRefreshPutsTheStatesBackAndUnloads) {
    openPlan();
    // A close at the first, a middle and the last of the 36 progress steps, and one in
    // the status text's first message before them.
    for (const int closeAt : {1, 2, 19, 37}) {
        SCOPED_TRACE(closeAt);
        frmWMF closing;
        closing.Form_Load(QString());
        int messages = 0;
        QObject::connect(closing.StatusMain, &QStatusBar::messageChanged, &closing,
                         [&](const QString&) {
                             if (++messages == closeAt)
                                 closing.close();
                         });
        closing.pu_subCmdRefresh_Click();
        // The close comes after the refresh has unwound.
        EXPECT_TRUE(closing.isVisible());
        EXPECT_FALSE(closing.refreshRunning());
        QCoreApplication::processEvents();

        EXPECT_FALSE(closing.isVisible());
        EXPECT_EQ(states(), before);
        EXPECT_FALSE(frmSplash::isLoaded());
        EXPECT_FALSE(QFileInfo::exists(folder.path() + QStringLiteral("/LAYER")));
        QFile ini(folder.path() + QStringLiteral("/TARNIX.ini"));
        ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
        EXPECT_TRUE(ini.readAll().contains("width="));
        for (const auto& b : boxes.boxes)
            ADD_FAILURE() << b.prompt.toStdString();
    }
}

TEST_F(RefreshCadHostTest, ASecondRefreshWhileOneRunsIsIgnoredAndTheGridMatchesTheList) {
    openPlan();
    const QString list = drawings.filePath(QStringLiteral("two.csv"));
    QFile f(list);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Walls\nDoors\n");
    f.close();
    int nested = 0;
    QObject::connect(window.StatusMain, &QStatusBar::messageChanged, &window, [&](const QString&) {
        if (nested++ == 3) {
            EXPECT_TRUE(window.refreshRunning());
            window.setLayerListFile(list);
            window.pu_subCmdRefresh_Click();
        }
    });
    window.pu_subCmdRefresh_Click();
    for (const auto& b : boxes.boxes)
        ADD_FAILURE() << b.prompt.toStdString();
    ASSERT_EQ(window.proDWFUBound(), 12);
    EXPECT_EQ(tileNames(), listItems());
    EXPECT_EQ(states(), before);
    EXPECT_TRUE(pu_bUpdateEnd);
    expectStatusDone();
    // The ignored request's list is still there for the next refresh.
    window.pu_subCmdRefresh_Click();
    EXPECT_EQ(tileNames(), (QStringList{"Doors", "Walls"}));
    EXPECT_EQ(listItems(), tileNames());
}

// Notes when the window is painted.
class PaintClock : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && qobject_cast<QWidget*>(watched))
            paints.push_back(clock.elapsed());
        return false;
    }
    QElapsedTimer clock;
    std::vector<qint64> paints;
};

TEST_F(RefreshCadHostTest, ACadStoppedDuringARefreshEndsItAtOnceAndSaysWhatMayNotBeBack) {
    openPlan();
    connector->setTimeouts({2000, 60000, 600000});
    const qint64 pid = bus.ownerPid(QStringLiteral("AutoCAD.Application"));
    ASSERT_GT(pid, 0);
    // Stopped while the tiles are built (the layers all on and thawed) and while the
    // tiles read their states (the drawing's states already back).
    for (const int stopAt : {5, 30}) {
        SCOPED_TRACE(stopAt);
        boxes.boxes.clear();
        before = states();
        int messages = 0;
        PaintClock painted;
        painted.clock.start();
        qint64 stoppedAt = -1;
        qint64 asked = -1;
        auto watch = QObject::connect(window.StatusMain, &QStatusBar::messageChanged, &window,
                                      [&](const QString&) {
                                          if (++messages != stopAt)
                                              return;
                                          ::kill(pid_t(pid), SIGSTOP);
                                          stoppedAt = painted.clock.elapsed();
                                          QTimer::singleShot(300, &window, [&] {
                                              asked = painted.clock.elapsed();
                                              window.update();
                                          });
                                      });
        qApp->installEventFilter(&painted);
        QElapsedTimer took;
        took.start();
        window.pu_subCmdRefresh_Click();
        const qint64 refresh = took.elapsed();
        qApp->removeEventFilter(&painted);
        QObject::disconnect(watch);
        ::kill(pid_t(pid), SIGCONT);
        // The status window went with the refresh: left up, it kept the program running
        // after its window was closed.
        EXPECT_FALSE(frmSplash::isLoaded());

        ASSERT_GE(stoppedAt, 0);
        // Ended within the call timeout (2 s) and some, not after a wait per layer.
        EXPECT_LT(refresh, 8000);
        // The window painted while the CAD did not answer.
        ASSERT_GE(asked, 0);
        const auto after = std::find_if(painted.paints.begin(), painted.paints.end(),
                                        [&](qint64 t) { return t >= asked; });
        ASSERT_NE(after, painted.paints.end());
        EXPECT_LT(*after - stoppedAt, 1000);

        // At most one tile's box, then what may not be back, then the refresh's own error.
        ASSERT_FALSE(boxes.boxes.empty());
        const QString last = boxes.boxes.back().prompt;
        EXPECT_TRUE(
            last.startsWith(QStringLiteral("予期せぬエラーが CmdRefresh_Click で発生しました。")))
            << last.toStdString();
        EXPECT_TRUE(last.contains(QString::number(qint32(0x800706BEu)))) << last.toStdString();
        QStringList notBack;
        int tileBoxes = 0;
        for (const auto& b : boxes.boxes) {
            if (b.prompt.startsWith(
                    QStringLiteral("次の画層の表示・フリーズの状態を元に戻せなかった"))) {
                EXPECT_EQ(b.buttons, platform::vbExclamation);
                notBack = b.prompt.section(QLatin1Char('\r'), 1).split(QStringLiteral("、"));
            } else if (&b != &boxes.boxes.back()) {
                ++tileBoxes;
            }
        }
        EXPECT_LE(tileBoxes, 1);
        EXPECT_EQ(!notBack.isEmpty(), stopAt == 5);

        // Continued, the CAD has every layer the message does not name as it was. The
        // test's own reference shared the road that failed: it takes a new one.
        QCoreApplication::processEvents();
        doc = std::make_shared<acad::AcadDocument>(connector->attach()->activeDocument());
        const StateMap now = states();
        for (const auto& [name, state] : before) {
            if (!notBack.contains(name)) {
                EXPECT_EQ(now.at(name), state) << name.toStdString();
            }
        }
        // The next refresh reaches the CAD again: it first offers to put back what the
        // failed one could not, and does so, before it takes its own snapshot.
        boxes.boxes.clear();
        boxes.answers = {platform::vbYes};
        window.pu_subCmdRefresh_Click();
        if (!notBack.isEmpty()) {
            ASSERT_FALSE(boxes.boxes.empty());
            EXPECT_EQ(boxes.boxes[0].buttons, platform::vbYesNo | platform::vbQuestion);
            EXPECT_TRUE(boxes.boxes[0].prompt.contains(notBack[0])) << notBack[0].toStdString();
            boxes.boxes.erase(boxes.boxes.begin());
        }
        for (const auto& b : boxes.boxes)
            ADD_FAILURE() << b.prompt.toStdString();
        EXPECT_EQ(states(), before);
        boxes.answers.clear();
    }
    // And the window closes as usual.
    window.close();
    EXPECT_FALSE(window.isVisible());
}

TEST_F(RefreshCadHostTest, AWindowClosedWhileAMacroRunsStopsWaitingAndStillPutsTheStatesBack) {
    openPlan();
    connector->setTimeouts({10000, 60000, 600000});
    // A project whose overview macro keeps the CAD busy for a few seconds.
    QFile project(folder.path() + QStringLiteral("/TARNIX.dvb"));
    ASSERT_TRUE(project.open(QIODevice::WriteOnly | QIODevice::Truncate));
    project.write("basWMF = {}\n"
                  "function basWMF.pu_subMakeWMF_All()\n"
                  "  local n = 0\n"
                  "  for i = 1, 200000000 do n = n + i % 3 end\n"
                  "end\n");
    project.close();

    PaintClock painted;
    painted.clock.start();
    qApp->installEventFilter(&painted);
    QTimer::singleShot(1000, &window, [&] { window.close(); });
    QTimer::singleShot(700, &window, [&] { window.update(); });
    QElapsedTimer took;
    took.start();
    window.pu_subCmdRefresh_Click();
    const qint64 refresh = took.elapsed();
    qApp->removeEventFilter(&painted);
    QCoreApplication::processEvents();

    // The refresh went no further than the macro it was waiting for: no tile was built.
    EXPECT_EQ(window.proDWFUBound(), 0);
    EXPECT_FALSE(window.isVisible());
    // Painted while the macro ran.
    EXPECT_TRUE(std::any_of(painted.paints.begin(), painted.paints.end(),
                            [](qint64 t) { return t >= 700 && t < 1000; }));
    // The states went back once the CAD had finished the macro.
    EXPECT_EQ(states(), before);
    for (const auto& b : boxes.boxes)
        ADD_FAILURE() << b.prompt.toStdString();
    EXPECT_LT(refresh, 15000);
}

TEST_F(RefreshCadHostTest, DisplayedLayersShowTheOnesThatAreOnBesideThePartOverview) {
    openPlan();
    window.ChkViewOnly->setChecked(true);
    window.pu_subCmdRefresh_Click();
    for (const auto& b : boxes.boxes)
        ADD_FAILURE() << b.prompt.toStdString();

    // Doors is frozen but on: shown. Hidden, Gone and the current Cur are off.
    const QStringList shown = {"0",     "alpha", "Beta", "Dims", "Doors",
                               "Empty", "gamma", "Text", "Walls"};
    EXPECT_EQ(tileNames(), shown);
    EXPECT_EQ(listItems(), shown);
    EXPECT_EQ(states(), before);
    EXPECT_EQ(doc->ActiveLayer().Name(), QStringLiteral("Cur"));

    EXPECT_FALSE(window.FraPart->isHidden());
    EXPECT_EQ(ControlGeometry::Left(window.LstLayers), 5760);
    EXPECT_EQ(ControlGeometry::Left(window.FraViewDblClick), 8610);
    EXPECT_EQ(ControlGeometry::Left(window.ChkViewOnly), 8610);
    EXPECT_TRUE(window.ImgPart->Picture() != nullptr);
    EXPECT_EQ(window.TxtPart->Text(), QStringLiteral("表示中の画層\r\n画層数:9 ｵﾌﾞｼﾞｪｸﾄ数:17"));
    EXPECT_EQ(window.TxtALL->Text(), QStringLiteral("全ての画層\r\n画層数:12 ｵﾌﾞｼﾞｪｸﾄ数:24"));
    expectStatusDone();

    // The part overview is the drawing as the user has it: the frozen layer's text
    // is missing there.
    auto part = metafile::MetafilePicture::load(folder.path() + "/LAYER/SYS/part.wmf");
    ASSERT_TRUE(part);
    EXPECT_FALSE(part->texts().contains(QStringLiteral("FROZENTEXT")));
}

TEST_F(RefreshCadHostTest, AListFileAfterAFullRefreshRemovesTheSurplusTilesAndFlagsAStranger) {
    openPlan();
    window.pu_subCmdRefresh_Click();
    ASSERT_EQ(window.proDWFUBound(), 12);
    ASSERT_TRUE(boxes.boxes.empty());

    refreshFromList({"Walls,x", "AAA-None", "alpha"});

    EXPECT_EQ(tileNames(), (QStringList{"AAA-None", "alpha", "Walls"}));
    EXPECT_TRUE(window.state().prsCsvPath.isEmpty());
    EXPECT_EQ(window.PicMain->Tag, QStringLiteral("3"));
    for (int i = 4; i <= 12; ++i)
        EXPECT_EQ(window.findChild<QWidget*>(QStringLiteral("FraOne%1").arg(i)), nullptr) << i;
    EXPECT_NE(window.findChild<QWidget*>(QStringLiteral("FraOne3")), nullptr);

    // The stranger gets a tile without a picture, and its state cannot be read.
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].prompt.startsWith(
        QStringLiteral("予期せぬエラーが SetLayerState で発生しました。")));
    // It is tile 1, on the reused template that showed layer "0" before: no picture
    // now rather than another layer's.
    EXPECT_EQ(tile(1).ImgOne()->Picture(), nullptr);
    EXPECT_TRUE(tile(2).ImgOne()->Picture() != nullptr);
    EXPECT_FALSE(window.FraPart->isHidden());
    EXPECT_EQ(states(), before);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("画層ビューワ (2×2)"));
}

TEST_F(RefreshCadHostTest, AListNameSpelledOtherwiseFindsTheLayersPicture) {
    openPlan();
    refreshFromList({"WALLS", "beta"});
    for (const auto& b : boxes.boxes)
        ADD_FAILURE() << b.prompt.toStdString();
    ASSERT_EQ(tileNames(), (QStringList{"beta", "WALLS"}));
    EXPECT_TRUE(tile(1).ImgOne()->Picture() != nullptr);
    EXPECT_TRUE(tile(2).ImgOne()->Picture() != nullptr);
    // The states are the CAD's, found by the same name.
    EXPECT_TRUE(tile(2).bLayerOn());
}

TEST_F(RefreshCadHostTest, AListOfFarMoreLayersThanAGridCanHoldIsRefusedAtOnce) {
    openPlan();
    window.pu_subCmdRefresh_Click();
    ASSERT_EQ(window.proDWFUBound(), 12);
    boxes.boxes.clear();
    const QString list = drawings.filePath(QStringLiteral("huge.csv"));
    QFile f(list);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    QByteArray names;
    for (int i = 0; i < 300000; ++i)
        names += "L" + QByteArray::number(i) + "\n";
    f.write(names);
    f.close();
    window.setLayerListFile(list);
    QElapsedTimer took;
    took.start();
    window.pu_subCmdRefresh_Click();
    EXPECT_LT(took.elapsed(), 20000);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].prompt, QStringLiteral("表示する画層が多すぎます（300000 画層）。\r\n"
                                                    "一度に表示できるのは 32767 画層までです。"));
    EXPECT_EQ(boxes.boxes[0].buttons, platform::vbExclamation);
    // Nothing changed: the last grid stays, the drawing is untouched, the file used up.
    EXPECT_EQ(window.proDWFUBound(), 12);
    EXPECT_EQ(listItems().size(), 12);
    EXPECT_EQ(states(), before);
    EXPECT_TRUE(window.state().prsCsvPath.isEmpty());
}

TEST_F(RefreshCadHostTest, ANeverSavedDrawingIsNamedAndNothingChanges) {
    openPlan();
    window.pu_subCmdRefresh_Click();
    ASSERT_EQ(window.proDWFUBound(), 12);
    auto app = std::dynamic_pointer_cast<acad::DBusApplicationBackend>(host);
    const QString newName = acad::AcadDocument(app->add()).Name();
    ASSERT_NE(newName, QStringLiteral("plan.dxf"));
    boxes.boxes.clear();

    window.pu_subCmdRefresh_Click();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].prompt,
              QStringLiteral("『 ") + newName +
                  QStringLiteral(" 』は保存されていません。\r\n保存してから実行してください。"));
    EXPECT_EQ(boxes.boxes[0].buttons, platform::vbExclamation);
    EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("KORVEL Ver4.00"));
    EXPECT_EQ(window.proDWFUBound(), 12);
    expectStatusDone();
}

TEST_F(RefreshCadHostTest, AFailingMacroLeavesTheLayerStatesAsTheyWere) {
    openPlan();
    QFile dvb(folder.path() + QStringLiteral("/TARNIX.dvb"));
    ASSERT_TRUE(dvb.open(QIODevice::WriteOnly | QIODevice::Truncate));
    dvb.write("basWMF = {}\n"
              "function basWMF.pu_subMakeWMF_All() end\n"
              "function basWMF.pu_subMakeWMF_Part() end\n"
              "function basWMF.pu_subMakeWMF_AllLayer() error('disk full') end\n"
              "function basWMF.pu_subMakeWMF_ViewLayer() error('disk full') end\n");
    dvb.close();

    window.pu_subCmdRefresh_Click();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].prompt.startsWith(
        QStringLiteral("予期せぬエラーが CmdRefresh_Click で発生しました。")))
        << boxes.boxes[0].prompt.toStdString();
    EXPECT_EQ(states(), before);
    EXPECT_EQ(doc->ActiveLayer().Name(), QStringLiteral("Cur"));
    EXPECT_FALSE(pu_bUpdateEnd);
    EXPECT_FALSE(window.state().prbShowEnd);
}

// The last refresh's pictures stay in LAYER for the host to rewrite in place; what it
// did not rewrite this time goes, so that neither a tile nor an export ever takes the
// last refresh's picture of a layer for the present one.
TEST_F(RefreshCadHostTest, TheWorkFolderHoldsExactlyThePicturesOfTheLastRefresh) {
    openPlan();
    const QString work = folder.path() + QStringLiteral("/LAYER");
    auto pictures = [&] {
        QStringList files = QDir(work).entryList({QStringLiteral("*.wmf")}, QDir::Files);
        files.sort();
        return files;
    };
    auto filesOf = [](QStringList names) {
        for (QString& name : names)
            name += QStringLiteral(".wmf");
        names.sort();
        return names;
    };
    auto noBox = [&] {
        for (const auto& b : boxes.boxes)
            ADD_FAILURE() << b.prompt.toStdString();
        boxes.boxes.clear();
    };
    window.pu_subCmdRefresh_Click();
    noBox();
    ASSERT_EQ(pictures(), filesOf(viewertest::kLayers));
    const QString walls = work + QStringLiteral("/Walls.wmf");
    const ino_t wallsFile = inodeOf(walls);

    // A layer deleted and one added in the CAD between two refreshes.
    auto hostDoc = std::dynamic_pointer_cast<acad::DBusDocumentBackend>(doc->backend());
    ASSERT_TRUE(hostDoc);
    hostDoc->deleteLayer(QStringLiteral("Empty"));
    hostDoc->addLayer(QStringLiteral("Vacant"));
    window.pu_subCmdRefresh_Click();
    noBox();
    QStringList layers = viewertest::kLayers;
    layers.removeOne(QStringLiteral("Empty"));
    layers.append(QStringLiteral("Vacant"));
    EXPECT_EQ(pictures(), filesOf(layers));
    EXPECT_EQ(inodeOf(walls), wallsFile);
    EXPECT_TRUE(tile(tileOf(QStringLiteral("Vacant"))).ImgOne()->Picture() != nullptr);

    // A list's macro writes only the layers that are on: the layer switched off had a
    // picture a refresh ago and now has none, and its tile shows nothing.
    refreshFromList({"Beta", "Hidden", "Walls"});
    noBox();
    ASSERT_EQ(tileNames(), (QStringList{"Beta", "Hidden", "Walls"}));
    EXPECT_TRUE(tile(1).ImgOne()->Picture() != nullptr);
    EXPECT_TRUE(tile(2).ImgOne()->Picture() == nullptr);
    EXPECT_TRUE(tile(3).ImgOne()->Picture() != nullptr);
    for (const char* off : {"Hidden.wmf", "Gone.wmf", "Cur.wmf"})
        EXPECT_FALSE(pictures().contains(QLatin1String(off))) << off;
    EXPECT_TRUE(pictures().contains(QStringLiteral("Doors.wmf"))); // frozen, but on

    // A refresh whose layer macro fails leaves none of the last refresh's pictures.
    QFile dvb(folder.path() + QStringLiteral("/TARNIX.dvb"));
    ASSERT_TRUE(dvb.open(QIODevice::WriteOnly | QIODevice::Truncate));
    dvb.write("basWMF = {}\n"
              "function basWMF.pu_subMakeWMF_All() Host.ExportVisible('LAYER/SYS/all.wmf') end\n"
              "function basWMF.pu_subMakeWMF_AllLayer() error('disk full') end\n");
    dvb.close();
    window.pu_subCmdRefresh_Click();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    boxes.boxes.clear();
    EXPECT_EQ(pictures(), QStringList());
    EXPECT_TRUE(QFileInfo::exists(work + QStringLiteral("/SYS/all.wmf")));
}

// The whole drawing's picture is read and checked off the window's thread; a damaged
// one still ends the refresh with the picture error, whether its headers or its
// records are what is wrong, and the layers' states come back.
TEST_F(RefreshCadHostTest, ADamagedWholeDrawingPictureEndsTheRefreshWithThePictureError) {
    openPlan();
    const QString all = folder.path() + QStringLiteral("/LAYER/SYS/all.wmf");
    struct Damage {
        const char* what;
        qint64 at;
        QByteArray bytes;
    };
    // A record's size pointing past the end; the metafile header's type.
    for (const Damage& damage : {Damage{"records", 22 + 18, QByteArray("\xff\xff\xff\x7f", 4)},
                                 Damage{"headers", 22, QByteArray("\x07\x00", 2)}}) {
        SCOPED_TRACE(damage.what);
        RefreshPhases::setObserver([&](const char* phase) {
            if (qstrcmp(phase, "overview macro") != 0)
                return;
            QFile f(all);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            ASSERT_TRUE(f.seek(damage.at));
            f.write(damage.bytes);
        });
        window.pu_subCmdRefresh_Click();
        RefreshPhases::setObserver(nullptr);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_TRUE(boxes.boxes[0].prompt.contains(QStringLiteral("番号：481")))
            << boxes.boxes[0].prompt.toStdString();
        EXPECT_TRUE(boxes.boxes[0].prompt.contains(QStringLiteral("ピクチャが不正です。")))
            << boxes.boxes[0].prompt.toStdString();
        boxes.boxes.clear();
        EXPECT_EQ(states(), before);
        EXPECT_FALSE(pu_bUpdateEnd);
    }
    // Whole again, the next refresh shows it.
    window.pu_subCmdRefresh_Click();
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(pu_bUpdateEnd);
    EXPECT_TRUE(window.ImgALL->Picture() != nullptr);
}

TEST_F(RefreshCadHostTest, NoLayerToShowGivesAnEmptyGridAndTheFinishedStatus) {
    openPlan();
    window.pu_subCmdRefresh_Click();
    ASSERT_EQ(window.proDWFUBound(), 12);
    acad::AcadLayers layers = doc->Layers();
    for (acad::AcadLayer layer : layers)
        layer.setLayerOn(false);
    before = states();
    window.ChkViewOnly->setChecked(true);

    window.pu_subCmdRefresh_Click();
    for (const auto& b : boxes.boxes)
        ADD_FAILURE() << b.prompt.toStdString();
    EXPECT_EQ(window.proDWFUBound(), 0);
    EXPECT_EQ(window.PicMain->Tag, QStringLiteral("0"));
    EXPECT_TRUE(window.FraOne1->isHidden());
    EXPECT_EQ(window.findChild<QWidget*>(QStringLiteral("FraOne2")), nullptr);
    EXPECT_EQ(window.LstLayers->ListCount(), 0);
    // The grid without tiles has an empty shape and nothing to scroll.
    EXPECT_EQ(window.windowTitle(), QStringLiteral("画層ビューワ (0×0)"));
    EXPECT_EQ(window.ScrBarV->minimum(), 1);
    EXPECT_EQ(window.ScrBarV->maximum(), 1);
    EXPECT_EQ(window.ScrBarV->value(), 1);
    EXPECT_EQ(states(), before);
    EXPECT_TRUE(pu_bUpdateEnd);
    expectStatusDone();

    // An empty list file names no layer either: the same empty grid, and the file is
    // used up like any list that was read.
    const QString list = drawings.filePath(QStringLiteral("empty.csv"));
    QFile f(list);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    window.setLayerListFile(list);
    window.pu_subCmdRefresh_Click();
    for (const auto& b : boxes.boxes)
        ADD_FAILURE() << b.prompt.toStdString();
    EXPECT_EQ(window.proDWFUBound(), 0);
    EXPECT_TRUE(window.state().prsCsvPath.isEmpty());
    EXPECT_EQ(states(), before);
    expectStatusDone();
}

TEST_F(RefreshCadHostTest, TwentySixTilesInFourColumnsMakeSevenRows) {
    korvel::test::DxfFixture dxf;
    for (int i = 0; i < 26; ++i) {
        const QString name = QStringLiteral("L%1").arg(i, 2, 10, QLatin1Char('0'));
        dxf.addLayer(name, 1 + i);
        dxf.addLine(name, i, 0, i + 5, 10);
    }
    path = drawings.filePath(QStringLiteral("grid.dxf"));
    ASSERT_TRUE(dxf.write(path));
    auto app = std::dynamic_pointer_cast<acad::DBusApplicationBackend>(connector->create());
    ASSERT_TRUE(app);
    app->open(path);
    // Room for four pitches of 2665 beside the 160 the frame keeps from PicMain.
    window.setWidth(4 * 2665 + 160 + 100);

    // Layer "0" comes with the drawing; a list file names the 26 others.
    const QString list = drawings.filePath(QStringLiteral("26.csv"));
    QFile f(list);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    for (int i = 0; i < 26; ++i)
        f.write(QStringLiteral("L%1\n").arg(i, 2, 10, QLatin1Char('0')).toUtf8());
    f.close();
    window.setLayerListFile(list);
    window.pu_subCmdRefresh_Click();
    for (const auto& b : boxes.boxes)
        ADD_FAILURE() << b.prompt.toStdString();

    EXPECT_EQ(window.proDWFUBound(), 26);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("画層ビューワ (7×4)"));
    EXPECT_EQ(tile(26).iRow(), 7);
    EXPECT_EQ(tile(26).iCol(), 2);
    EXPECT_EQ(window.ScrBarV->maximum(), 7);
    // Scrolled to row 3: its first tile stands at the top margin, row 2 above the box.
    window.ScrBarV->setValue(3);
    EXPECT_EQ(ControlGeometry::Top(tile(9).FraOne()), 30);
    EXPECT_LT(ControlGeometry::Top(tile(8).FraOne()), 0);

    // Every tile has its picture, but only those painted have played their records.
    window.repaint();
    const auto pictureOf = [this](int i) {
        auto shown = std::dynamic_pointer_cast<
            const platform::SharedPictureAdapter<metafile::MetafilePicture>>(
            tile(i).ImgOne()->Picture());
        return shown ? shown->source() : nullptr;
    };
    ASSERT_TRUE(pictureOf(9));
    ASSERT_TRUE(pictureOf(26));
    EXPECT_TRUE(pictureOf(9)->isPlayed());
    EXPECT_FALSE(pictureOf(26)->isPlayed()) << "row 7 was never in view";
    window.ScrBarV->setValue(7);
    window.repaint();
    EXPECT_TRUE(pictureOf(26)->isPlayed());
    EXPECT_EQ(pictureOf(26)->primitiveCount(), 1);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
