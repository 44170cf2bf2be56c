// The refresh from end to end: tarnix's window against a real cadhost started by D-Bus
// activation on a private bus, a drawing of a dozen layers in mixed states, and the
// shipped macro project writing real metafiles.

#include "viewer/frmWMF.h"

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

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

using platform::ControlGeometry;

namespace {

struct States {
    bool on, frozen, locked;
    bool operator==(const States&) const = default;
};
using StateMap = std::map<QString, States>;

// Twelve layers: on, off, frozen, off and frozen, locked, names differing in case
// order, one without entities; the current layer "Cur" is off.
const QStringList kLayers = {
    QStringLiteral("0"),      QStringLiteral("Walls"), QStringLiteral("Doors"),
    QStringLiteral("Hidden"), QStringLiteral("Gone"),  QStringLiteral("alpha"),
    QStringLiteral("Beta"),   QStringLiteral("gamma"), QStringLiteral("Dims"),
    QStringLiteral("Text"),   QStringLiteral("Empty"), QStringLiteral("Cur")};

class RefreshCadHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus.isValid()) << bus.errorString().toStdString();
        connector = std::make_shared<acad::DBusConnector>(bus.connection());
        acad::setConnector(connector);
        QFile::copy(QStringLiteral(KORVEL_SOURCE_DIR "/src/acad/TARNIX.dvb"),
                    folder.path() + QStringLiteral("/TARNIX.dvb"));
        pu_oAcadApp.reset();
        pu_oAcadDoc.reset();
        window.show();
        // Two tile columns, as in the window's default width.
        window.setWidth(5820);
    }
    void TearDown() override {
        acad::resetConnector();
        frmSplash::Unload();
        pu_oAcadApp.reset();
        pu_oAcadDoc.reset();
    }

    // Starts the host and opens the plan in it, the layer "Cur" current.
    void openPlan() {
        korvel::test::DxfFixture dxf;
        dxf.addLinetype(QStringLiteral("DASHED"), QStringLiteral("Dashed"));
        korvel::test::DxfFixture::LayerState off, frozen, offFrozen, locked;
        off.on = false;
        frozen.frozen = true;
        frozen.linetype = QStringLiteral("DASHED");
        offFrozen.on = false;
        offFrozen.frozen = true;
        locked.locked = true;
        dxf.addLayer(QStringLiteral("0"));
        dxf.addLayer(QStringLiteral("Walls"), 1);
        dxf.addLayer(QStringLiteral("Doors"), 3, frozen);
        dxf.addLayer(QStringLiteral("Hidden"), 5, off);
        dxf.addLayer(QStringLiteral("Gone"), 6, offFrozen);
        dxf.addLayer(QStringLiteral("alpha"), 2, locked);
        dxf.addLayer(QStringLiteral("Beta"), 4);
        dxf.addLayer(QStringLiteral("gamma"), 30);
        dxf.addLayer(QStringLiteral("Dims"), 8);
        dxf.addLayer(QStringLiteral("Text"), 7);
        dxf.addLayer(QStringLiteral("Empty"), 9);
        dxf.addLayer(QStringLiteral("Cur"), 1, off);
        int k = 0;
        for (const QString& layer : kLayers) {
            if (layer == QStringLiteral("Empty"))
                continue;
            dxf.addLine(layer, 0, k, 100, k + 10);
            dxf.addCircle(layer, 50, 50, 5 + k);
            ++k;
        }
        dxf.addText(QStringLiteral("Doors"), 10, 10, 2.5, QStringLiteral("FROZENTEXT"));
        dxf.addText(QStringLiteral("Cur"), 20, 20, 2.5, QStringLiteral("CURTEXT"));
        path = drawings.filePath(QStringLiteral("plan.dxf"));
        ASSERT_TRUE(dxf.write(path));
        auto app = std::dynamic_pointer_cast<acad::DBusApplicationBackend>(connector->create());
        ASSERT_TRUE(app);
        app->setVisible(true);
        host = app;
        doc = std::make_shared<acad::AcadDocument>(app->open(path));
        doc->setActiveLayer(doc->Layers().Item(QStringLiteral("Cur")));
        before = states();
    }

    StateMap states() {
        StateMap map;
        acad::AcadLayers layers = doc->Layers();
        for (acad::AcadLayer layer : layers)
            map[layer.addressedName()] = {layer.LayerOn(), layer.Freeze(), layer.Lock()};
        return map;
    }

    clsDWF& tile(int i) { return *window.proDWF.at(std::size_t(i)); }
    QStringList tileNames() {
        QStringList names;
        for (int i = 1; i <= window.proDWFUBound(); ++i)
            names << tile(i).sLayerName();
        return names;
    }
    QStringList listItems() {
        QStringList items;
        for (int i = 0; i < window.LstLayers->ListCount(); ++i)
            items << window.LstLayers->List(i);
        return items;
    }
    int tileOf(const QString& name) { return int(tileNames().indexOf(name)) + 1; }

    void expectStatusDone() {
        static const QRegularExpression done(
            QStringLiteral("^plan\\.dxf \\[\\d\\d:\\d\\d\\] 更新$"));
        EXPECT_TRUE(done.match(window.StatusMain->currentMessage()).hasMatch())
            << window.StatusMain->currentMessage().toStdString();
    }

    korvel::test::PrivateSessionBus bus;
    viewertest::ScratchProgramFolder folder;
    viewertest::MsgBoxRecorder boxes;
    QTemporaryDir drawings;
    std::shared_ptr<acad::DBusConnector> connector;
    std::shared_ptr<acad::ApplicationBackend> host;
    std::shared_ptr<acad::AcadDocument> doc;
    QString path;
    StateMap before;
    frmWMF window;
};

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
    EXPECT_TRUE(window.prbShowEnd);
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
    EXPECT_NEAR(window.prsnAllRatio,
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

    const QString list = drawings.filePath(QStringLiteral("layers.csv"));
    QFile f(list);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Walls,x\nAAA-None\nalpha\n");
    f.close();
    window.prsCsvPath = list;
    window.pu_subCmdRefresh_Click();

    EXPECT_EQ(tileNames(), (QStringList{"AAA-None", "alpha", "Walls"}));
    EXPECT_TRUE(window.prsCsvPath.isEmpty());
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
    EXPECT_FALSE(window.prbShowEnd);
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
    EXPECT_EQ(states(), before);
    EXPECT_TRUE(pu_bUpdateEnd);
    expectStatusDone();

    // An empty list file names no layer either: the same empty grid, and the file is
    // used up like any list that was read.
    const QString list = drawings.filePath(QStringLiteral("empty.csv"));
    QFile f(list);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    window.prsCsvPath = list;
    window.pu_subCmdRefresh_Click();
    for (const auto& b : boxes.boxes)
        ADD_FAILURE() << b.prompt.toStdString();
    EXPECT_EQ(window.proDWFUBound(), 0);
    EXPECT_TRUE(window.prsCsvPath.isEmpty());
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
    window.prsCsvPath = list;
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
