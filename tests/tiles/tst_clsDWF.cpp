// The layer tile against real controls and an in-process drawing: placement arithmetic,
// picture fitting, the current-layer bar, the state buttons and swatch, the linetype box.

#include "tiles/TileGrid.h"
#include "tiles/TileHost.h"
#include "tiles/TileLayout.h"
#include "tiles/basDWF_PictureFit.h"
#include "tiles/clsDWF.h"

#include "InProcessBackend.h"
#include "acad/AcadDocument.h"
#include "acad/basAcadConnect.h"
#include "acad/basDWF_Acad.h"
#include "cadhost/model/Drawing.h"
#include "platform/ControlGeometry.h"
#include "platform/ErrorReport.h"
#include "platform/MsgBox.h"
#include "platform/Twips.h"
#include "platform/VbColor.h"
#include "platform/VbComboBox.h"
#include "platform/VbError.h"

#include <QApplication>
#include <QCompleter>
#include <QFocusEvent>
#include <QLineEdit>
#include <QStyleHints>
#include <QTest>
#include <array>
#include <gtest/gtest.h>

using platform::ControlGeometry;
using platform::snapTwips;

namespace {

struct Box {
    QString prompt;
    int buttons;
    QString title;
};

class BoxRecorder {
public:
    BoxRecorder() {
        platform::setMsgBoxHandler([this](const QString& p, int b, const QString& t) {
            boxes.push_back({p, b, t});
            return int(platform::vbOK);
        });
    }
    ~BoxRecorder() { platform::resetMsgBoxHandler(); }
    std::vector<Box> boxes;
};

// A picture of a fixed natural size that paints nothing: the fit only reads the size.
class SizedPicture : public platform::VbPicture {
public:
    explicit SizedPicture(QSizeF twips) : m_size(twips) {}
    QSizeF naturalSizeTwips() const override { return m_size; }
    void paint(QPainter&, const QRectF&) const override {}

private:
    QSizeF m_size;
};

// The window as a tile sees it: six state pictures told apart by their widths, the
// overview's place, the double-click option, and a record of the updates asked for.
class FakeTileHost : public TileHost {
public:
    FakeTileHost() {
        double width = 195;
        for (auto& picture : pictures) {
            picture = std::make_shared<SizedPicture>(QSizeF(width, 195));
            width -= 15;
        }
    }
    platform::VbPicturePtr picture(StatePicture which) const {
        return pictures[std::size_t(which)];
    }
    platform::VbPicturePtr statePicture(StatePicture which) const override {
        return picture(which);
    }
    TileLayout::Rect overviewPictureGeometry() const override { return overview; }
    DoubleClickAction doubleClickAction() const override { return action; }
    void pu_subResetSelect(qint32 iIndex) override { resetSelects.push_back(iIndex); }
    void pu_subActiveLayerUpdate() override { ++activeLayerUpdates; }
    void pu_subCtrlViewUpdate() override { ++ctrlViewUpdates; }
    void selectOnlyListItem(qint32 iListIndex) override { listSelections.push_back(iListIndex); }
    void bringCadToFront() override { ++cadRaised; }

    std::array<platform::VbPicturePtr, 6> pictures;
    TileLayout::Rect overview{105, 30, 2355, 1770};
    DoubleClickAction action = DoubleClickAction::MakeCurrent;
    std::vector<qint32> resetSelects;
    int activeLayerUpdates = 0;
    int ctrlViewUpdates = 0;
    std::vector<qint32> listSelections;
    int cadRaised = 0;
};

// PicMain with tile 1's templates, named as the main window names them, and the host
// the tiles are handed.
class TileWindow {
public:
    TileWindow() {
        window.resize(800, 600);
        picMain = new platform::VbPictureBox(&window);
        picMain->setObjectName(QStringLiteral("PicMain"));
        ControlGeometry::Move(picMain, 30, 3480, 5625, 4425);

        auto* fraOne = new platform::VbFrame(picMain);
        fraOne->setObjectName(QStringLiteral("FraOne1"));
        auto* fraBar = new platform::VbFrame(fraOne);
        fraBar->setObjectName(QStringLiteral("FraBar1"));
        auto named = [](QWidget* w, const char* name) {
            w->setObjectName(QString::fromLatin1(name));
        };
        named(new platform::VbImage(fraOne), "ImgOne1");
        named(new platform::VbImage(fraBar), "CmdView1");
        named(new platform::VbImage(fraBar), "CmdFreeze1");
        named(new platform::VbImage(fraBar), "CmdLock1");
        named(new platform::VbPictureBox(fraBar), "CmdColor1");
        // Tile 1's box is a drop-down list.
        named(new platform::VbComboBox(platform::VbComboBox::Style::DropDownList, fraBar),
              "CboLineType1");
        named(new platform::VbTextBox(false, fraOne), "TxtOne1");
        fraOne->hide();

        grid = std::make_unique<TileGrid>(picMain);
        window.show();
    }

    // Builds tile i (1 on the templates) for the layer, as the rebuild does.
    std::shared_ptr<clsDWF> tile(int i, const QString& layer,
                                 std::shared_ptr<acad::AcadDocument> doc, qint32 width = 5625) {
        const TileControls c = i == 1 ? grid->templateControls() : grid->addTileControls(i);
        auto t = std::make_shared<clsDWF>();
        t->InitialSettingAutoCAD(layer, std::move(doc));
        t->InitialSetting(i, c.FraOne, c.FraBar, c.ImgOne, c.CmdView, c.CmdFreeze, c.CmdLock,
                          c.CmdColor, c.CboLineType, c.TxtOne, width, &host);
        return t;
    }

    QWidget window;
    platform::VbPictureBox* picMain;
    FakeTileHost host;
    std::unique_ptr<TileGrid> grid;
};

double left(const clsDWF& t) {
    return ControlGeometry::Left(t.FraOne());
}
double top(const clsDWF& t) {
    return ControlGeometry::Top(t.FraOne());
}

// --- placement --------------------------------------------------------------------

TEST(TilePlacement, TwoColumnsInTheDesignWidthAndRowsScrolledOffGoAbove) {
    BoxRecorder boxes;
    TileWindow w;
    std::vector<std::shared_ptr<clsDWF>> tiles{nullptr};
    for (int i = 1; i <= 5; ++i)
        tiles.push_back(w.tile(i, QStringLiteral("L%1").arg(i), nullptr));

    EXPECT_EQ(tiles[1]->iRow(), 1);
    EXPECT_EQ(tiles[1]->iCol(), 1);
    EXPECT_EQ(left(*tiles[1]), 30);
    EXPECT_EQ(top(*tiles[1]), 30);
    EXPECT_EQ(tiles[2]->iCol(), 2);
    EXPECT_EQ(left(*tiles[2]), snapTwips(2695));
    EXPECT_EQ(tiles[5]->iRow(), 3);
    EXPECT_EQ(tiles[5]->iCol(), 1);
    EXPECT_EQ(top(*tiles[5]), snapTwips(6260));
    // Every tile is shown once it stands in its place.
    EXPECT_TRUE(tiles[5]->FraOne()->isVisible());

    for (int i = 1; i <= 5; ++i)
        tiles[i]->pu_subUpdateLocation(5625, 1);
    EXPECT_EQ(top(*tiles[5]), snapTwips(3145));
    EXPECT_EQ(top(*tiles[1]), snapTwips(-3085));

    // Scrolled to the third row: rows 1 and 2 lie above, row 3 starts at the margin.
    for (int i = 1; i <= 5; ++i)
        tiles[i]->pu_subUpdateLocation(5625, 2);
    EXPECT_LT(top(*tiles[4]) + ControlGeometry::Height(tiles[4]->FraOne()), 0);
    EXPECT_EQ(top(*tiles[5]), 30);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST(TilePlacement, ColumnsChangeExactlyAtWholePitches) {
    BoxRecorder boxes;
    TileWindow w;
    std::vector<std::shared_ptr<clsDWF>> tiles{nullptr};
    for (int i = 1; i <= 4; ++i)
        tiles.push_back(w.tile(i, QStringLiteral("L%1").arg(i), nullptr, 7995));
    EXPECT_EQ(tiles[3]->iRow(), 1);
    EXPECT_EQ(tiles[3]->iCol(), 3);
    EXPECT_EQ(tiles[4]->iRow(), 2);
    EXPECT_EQ(tiles[4]->iCol(), 1);

    for (int i = 1; i <= 4; ++i)
        tiles[i]->pu_subUpdateLocation(7994, 0);
    EXPECT_EQ(tiles[3]->iRow(), 2);
    EXPECT_EQ(tiles[3]->iCol(), 1);
    EXPECT_EQ(tiles[2]->iCol(), 2);
    EXPECT_EQ(top(*tiles[3]), snapTwips(3145));

    // Narrower than one pitch cannot happen in the window; the tile says so rather
    // than divide by zero.
    tiles[1]->pu_subUpdateLocation(2000, 0);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].prompt.contains(QStringLiteral("pu_subUpdateLocation")));
    EXPECT_EQ(boxes.boxes[0].buttons, platform::vbCritical);
}

// --- picture fit ----------------------------------------------------------------

struct FitCase {
    const char* what;
    QSizeF picture;
    bool stretch;
    double width, height, left, top;
};

TEST(PictureFit, NeverEnlargesNeverDistortsAndCentresInTheFreeHeight) {
    // Frame 2565 x 3015 with the tile's reserve 450 and offset 255: free height 2565.
    const FitCase cases[] = {
        {"smaller keeps its own size", {1500, 1200}, false, 1500, 1200, 532.5, 937.5},
        {"wider shrinks to the frame's width", {3000, 1500}, true, 2565, 1290, 0, 892.5},
        {"taller shrinks to the free height", {1500, 4500}, true, 855, 2565, 855, 255},
        {"wider and then still too tall", {4500, 9000}, true, 1290, 2565, 637.5, 255},
    };
    QWidget host;
    for (const FitCase& c : cases) {
        SCOPED_TRACE(c.what);
        platform::VbFrame frame(&host);
        ControlGeometry::Move(&frame, 0, 0, 2565, 3015);
        platform::VbImage image(&frame);
        ControlGeometry::Move(&image, 0, 270, 2535, 2415);
        image.setStretch(true);
        image.setPicture(std::make_shared<SizedPicture>(c.picture));

        basDWF::pu_subPictureFit(image, frame, 450, 255);

        EXPECT_EQ(image.Stretch(), c.stretch);
        EXPECT_EQ(ControlGeometry::Width(&image), snapTwips(c.width));
        EXPECT_EQ(ControlGeometry::Height(&image), snapTwips(c.height));
        EXPECT_EQ(ControlGeometry::Left(&image), snapTwips(c.left));
        EXPECT_EQ(ControlGeometry::Top(&image), snapTwips(c.top));
        EXPECT_FALSE(image.isHidden());
    }
}

// --- state against a drawing ------------------------------------------------------

class TileStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        drawing.addLinetype(QStringLiteral("DASHED"));
        cadhost::Layer wall;
        wall.name = QStringLiteral("Wall");
        wall.color = 3;
        drawing.putLayer(wall);
        cadhost::Layer hidden;
        hidden.name = QStringLiteral("Hidden");
        hidden.layerOn = false;
        hidden.freeze = true;
        hidden.lock = true;
        hidden.color = 0;
        hidden.lineweight = 50;
        hidden.plotStyleName = QStringLiteral("Heavy");
        hidden.linetype = QStringLiteral("DASHED");
        drawing.putLayer(hidden);
        drawing.setActiveLayer(QStringLiteral("Wall"));
        doc = std::make_shared<acad::AcadDocument>(
            std::make_shared<acad::inprocess::DocumentBackend>(&drawing));
        pu_oAcadDoc = doc;
        // The list as the last refresh read it, before DASHED was made.
        pu_sLineTypeArray = QStringList{QString(), QStringLiteral("Continuous")};
    }
    void TearDown() override { pu_oAcadDoc.reset(); }

    BoxRecorder boxes;
    cadhost::Drawing drawing;
    std::shared_ptr<acad::AcadDocument> doc;
    TileWindow w;
};

TEST_F(TileStateTest, CaptionTooltipsAndTheRedBarOnlyForTheExactCurrentName) {
    auto wall = w.tile(1, QStringLiteral("Wall"), doc);
    auto lower = w.tile(2, QStringLiteral("wall"), doc); // a list file's spelling
    auto none = w.tile(3, QStringLiteral("Hidden"), nullptr);

    EXPECT_EQ(wall->TxtOne()->Text(), QStringLiteral("Wall"));
    EXPECT_EQ(lower->TxtOne()->toolTip(), QStringLiteral("No.2"));
    EXPECT_EQ(wall->ImgOne()->toolTip(),
              QStringLiteral("ダブルクリックにてオプション設定の動作を行います"));
    EXPECT_EQ(wall->FraBar()->BackColor(), 0xFFu);
    EXPECT_EQ(wall->FraBar()->property("ForeColor").toUInt(), 0xFFFFFFu);
    EXPECT_EQ(lower->FraBar()->BackColor(), platform::vbWindowBackground);
    // Without a document the check does nothing: the bar keeps the template's white.
    EXPECT_EQ(none->FraBar()->BackColor(), 0xFFFFFFu);

    // The current layer moves: each tile follows at its next check.
    drawing.setActiveLayer(QStringLiteral("0"));
    wall->pu_subActiveLayerCheck();
    EXPECT_EQ(wall->FraBar()->BackColor(), platform::vbWindowBackground);

    // Renumbering keeps the tooltip of the first number.
    lower->SetIndex(7);
    EXPECT_EQ(lower->TxtOne()->toolTip(), QStringLiteral("No.2"));
    EXPECT_EQ(lower->index(), 7);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(TileStateTest, StateButtonsAndSwatchShowTheLayerAndFieldsNotReadStayEmpty) {
    auto wall = w.tile(2, QStringLiteral("Wall"), doc);
    auto hidden = w.tile(3, QStringLiteral("Hidden"), doc);
    wall->SetLayerState();
    hidden->SetLayerState();

    EXPECT_TRUE(wall->bLayerOn());
    EXPECT_EQ(wall->CmdView()->Picture(), w.host.picture(TileHost::StatePicture::ViewOn));
    EXPECT_EQ(wall->CmdFreeze()->Picture(), w.host.picture(TileHost::StatePicture::FreezeOff));
    EXPECT_EQ(wall->CmdLock()->Picture(), w.host.picture(TileHost::StatePicture::LockOff));
    EXPECT_EQ(wall->CmdColor()->BackColor(), 0x00FF00u); // index 3, green

    EXPECT_FALSE(hidden->bLayerOn());
    EXPECT_TRUE(hidden->bAllViewportFreaze());
    EXPECT_TRUE(hidden->bLock());
    EXPECT_EQ(hidden->CmdView()->Picture(), w.host.picture(TileHost::StatePicture::ViewOff));
    EXPECT_EQ(hidden->CmdFreeze()->Picture(), w.host.picture(TileHost::StatePicture::FreezeOn));
    EXPECT_EQ(hidden->CmdLock()->Picture(), w.host.picture(TileHost::StatePicture::LockOn));
    EXPECT_EQ(hidden->CmdColor()->BackColor(), 0u); // index 0 has no colour: black
    EXPECT_EQ(hidden->lnLineWeight(), 0);
    EXPECT_TRUE(hidden->sPlotStyleName().isEmpty());
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(TileStateTest, TileOnesListReloadsForANewLinetypeOtherBoxesJustTakeTheText) {
    auto first = w.tile(1, QStringLiteral("Hidden"), doc);
    auto second = w.tile(2, QStringLiteral("Hidden"), doc);
    ASSERT_EQ(first->CboLineType()->count(), 1);

    first->SetLayerState();
    EXPECT_EQ(first->CboLineType()->currentText(), QStringLiteral("DASHED"));
    EXPECT_EQ(first->CboLineType()->count(), 2);
    EXPECT_TRUE(pu_sLineTypeArray.contains(QStringLiteral("DASHED")));

    pu_sLineTypeArray = QStringList{QString(), QStringLiteral("Continuous")};
    second->SetLayerState();
    EXPECT_EQ(second->CboLineType()->currentText(), QStringLiteral("DASHED"));
    EXPECT_EQ(second->CboLineType()->count(), 1);
    EXPECT_EQ(second->CboLineType()->findText(QStringLiteral("DASHED")), -1);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(TileStateTest, ALayerNotInTheDrawingShowsNoLinetype) {
    pu_sLineTypeArray =
        QStringList{QString(), QStringLiteral("Continuous"), QStringLiteral("DASHED")};
    auto first = w.tile(1, QStringLiteral("Nowhere"), doc);  // the drop-down list
    auto second = w.tile(2, QStringLiteral("Nowhere"), doc); // an editable box
    first->SetLayerState();
    second->SetLayerState();
    EXPECT_EQ(boxes.boxes.size(), 2u); // its state cannot be read
    EXPECT_EQ(first->CboLineType()->currentText(), QString());
    EXPECT_EQ(second->CboLineType()->currentText(), QString());
    EXPECT_EQ(first->CboLineType()->count(), 2);
}

TEST_F(TileStateTest, TheTitleAndTheButtonBarLieOverThePicture) {
    for (int i : {1, 2}) {
        auto tile = w.tile(i, QStringLiteral("Wall"), doc);
        // A tall picture following the overview covers the whole frame.
        ControlGeometry::Move(tile->ImgOne(), 0, 0, 2565, 3015);
        const QPoint inBar = tile->FraBar()->geometry().center();
        const QPoint inTitle = tile->TxtOne()->geometry().center();
        QWidget* atBar = tile->FraOne()->childAt(inBar);
        QWidget* atTitle = tile->FraOne()->childAt(inTitle);
        ASSERT_NE(atBar, nullptr);
        ASSERT_NE(atTitle, nullptr);
        EXPECT_TRUE(atBar == tile->FraBar() || tile->FraBar()->isAncestorOf(atBar)) << i;
        EXPECT_TRUE(atTitle == tile->TxtOne() || tile->TxtOne()->isAncestorOf(atTitle)) << i;
    }
}

TEST_F(TileStateTest, ALayerGoneFromTheDrawingIsReportedAndTheCacheKept) {
    auto tile = w.tile(2, QStringLiteral("Hidden"), doc);
    tile->SetLayerState();
    drawing.setLayerProperty(QStringLiteral("Hidden"), QStringLiteral("LayerOn"), true);
    drawing.deleteLayer(QStringLiteral("Hidden"));

    tile->SetLayerState();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].prompt.startsWith(
        QStringLiteral("予期せぬエラーが SetLayerState で発生しました。\r番号：%1\r内容：")
            .arg(qint32(0x80200014u))))
        << boxes.boxes[0].prompt.toStdString();
    EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("KORVEL Ver4.00"));
    EXPECT_FALSE(tile->bLayerOn());
    EXPECT_TRUE(tile->bLock());
}

TEST_F(TileStateTest, SelectionColoursTheTitleAndAMissingPictureFileRaises) {
    auto tile = w.tile(2, QStringLiteral("Wall"), doc);
    tile->SelectView();
    EXPECT_TRUE(tile->isSelected());
    EXPECT_EQ(tile->TxtOne()->BackColor(), 0x800000u);
    EXPECT_EQ(tile->TxtOne()->ForeColor(), platform::vbWindowBackground);
    tile->ResetSelect();
    EXPECT_FALSE(tile->isSelected());
    EXPECT_EQ(tile->TxtOne()->BackColor(), platform::vbWindowBackground);

    try {
        tile->SetWMF(QStringLiteral("/nonexistent/Wall.wmf"));
        ADD_FAILURE() << "a missing picture must raise";
    } catch (const platform::VbError& e) {
        EXPECT_EQ(e.number(), 53);
    }
}

TEST_F(TileStateTest, StatePicturesAndThePicturesPlaceComeFromTheHost) {
    auto wall = w.tile(2, QStringLiteral("Wall"), doc);
    // Another window hands other artwork: the tile shows what its own host gives.
    w.host.pictures[std::size_t(TileHost::StatePicture::ViewOn)] =
        std::make_shared<SizedPicture>(QSizeF(90, 90));
    wall->SetLayerState();
    EXPECT_EQ(wall->CmdView()->Picture(), w.host.picture(TileHost::StatePicture::ViewOn));

    // The picture follows the overview, below the title box.
    w.host.overview = {300, 60, 1500, 1200};
    wall->pu_subImageUpdate();
    EXPECT_EQ(ControlGeometry::Left(wall->ImgOne()), 300);
    EXPECT_EQ(ControlGeometry::Top(wall->ImgOne()),
              snapTwips(60 + ControlGeometry::Height(wall->TxtOne())));
    EXPECT_EQ(ControlGeometry::Width(wall->ImgOne()), 1500);
    EXPECT_EQ(ControlGeometry::Height(wall->ImgOne()), 1200);
    EXPECT_TRUE(wall->ImgOne()->isVisible());
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(TileStateTest, APictureShownAtItsOwnSizeIsScaledIntoAZoomedOverviewsBox) {
    auto wall = w.tile(2, QStringLiteral("Wall"), doc);
    // A drawing small enough to fit its frame is shown at its own size, unstretched.
    wall->ImgOne()->setPicture(std::make_shared<SizedPicture>(QSizeF(900, 600)));
    ASSERT_FALSE(wall->ImgOne()->Stretch());
    w.host.overview = {-300, -150, 900 * 1.96, 600 * 1.96};
    wall->pu_subImageUpdate();
    // Otherwise the box would grow and the picture in it stay as small as it was.
    EXPECT_TRUE(wall->ImgOne()->Stretch());
    EXPECT_EQ(ControlGeometry::Width(wall->ImgOne()), snapTwips(900 * 1.96));
    EXPECT_EQ(ControlGeometry::Height(wall->ImgOne()), snapTwips(600 * 1.96));
}

TEST_F(TileStateTest, ATileWithoutAWindowReportsInsteadOfCrashing) {
    const TileControls c = w.grid->addTileControls(2);
    clsDWF orphan;
    orphan.InitialSettingAutoCAD(QStringLiteral("Wall"), doc);
    orphan.InitialSetting(2, c.FraOne, c.FraBar, c.ImgOne, c.CmdView, c.CmdFreeze, c.CmdLock,
                          c.CmdColor, c.CboLineType, c.TxtOne, 5625, nullptr);
    orphan.SetLayerState();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].prompt.startsWith(
        QStringLiteral("予期せぬエラーが pr_subButtonUpdate で発生しました。\r番号：91\r")))
        << boxes.boxes[0].prompt.toStdString();
    // The state was read all the same; without a window to ask, the picture stays.
    EXPECT_TRUE(orphan.bLayerOn());
    orphan.pu_subImageUpdate();
    EXPECT_EQ(boxes.boxes.size(), 1u);
}

// --- commands ---------------------------------------------------------------------

class TileCommandTest : public TileStateTest {
protected:
    void SetUp() override {
        TileStateTest::SetUp();
        pu_bUpdateEnd = true;
    }
    void TearDown() override {
        pu_bUpdateEnd = false;
        TileStateTest::TearDown();
    }
    bool on(const char* layer) {
        return drawing.getLayerProperty(QString::fromLatin1(layer), QStringLiteral("LayerOn"))
            .toBool();
    }
    bool prop(const char* layer, const char* property) {
        return drawing.getLayerProperty(QString::fromLatin1(layer), QString::fromLatin1(property))
            .toBool();
    }
};

TEST_F(TileCommandTest, StateButtonsSwitchTheLayerShowItAndRegenerateOnce) {
    using Picture = TileHost::StatePicture;
    drawing.setActiveLayer(QStringLiteral("0")); // the current layer cannot be frozen
    auto wall = w.tile(2, QStringLiteral("Wall"), doc);
    wall->SetLayerState();
    const struct {
        const char* property;
        void (clsDWF::*click)();
        bool (clsDWF::*cached)() const;
        platform::VbImage* (clsDWF::*button)() const;
        Picture on, off;
    } buttons[] = {
        {"LayerOn", &clsDWF::pr_oCmdView_Click, &clsDWF::bLayerOn, &clsDWF::CmdView,
         Picture::ViewOn, Picture::ViewOff},
        {"Freeze", &clsDWF::pr_oCmdFreeze_Click, &clsDWF::bAllViewportFreaze, &clsDWF::CmdFreeze,
         Picture::FreezeOn, Picture::FreezeOff},
        {"Lock", &clsDWF::pr_oCmdLock_Click, &clsDWF::bLock, &clsDWF::CmdLock, Picture::LockOn,
         Picture::LockOff},
    };
    for (const auto& b : buttons) {
        SCOPED_TRACE(b.property);
        const bool before = prop("Wall", b.property);
        const int regens = drawing.regenCount();
        ((*wall).*b.click)();
        EXPECT_EQ(prop("Wall", b.property), !before);
        EXPECT_EQ(((*wall).*b.cached)(), !before);
        EXPECT_EQ(((*wall).*b.button)()->Picture(), w.host.picture(!before ? b.on : b.off));
        EXPECT_EQ(drawing.regenCount(), regens + 1);
        ((*wall).*b.click)(); // and back
        EXPECT_EQ(prop("Wall", b.property), before);
        EXPECT_EQ(((*wall).*b.button)()->Picture(), w.host.picture(before ? b.on : b.off));
    }
    // The swatch changes nothing.
    const int regens = drawing.regenCount();
    wall->pr_oCmdColor_Click();
    EXPECT_EQ(drawing.regenCount(), regens);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(TileCommandTest, NothingIsWrittenDuringARefreshOrWhileTheTilesEventsAreOff) {
    auto wall = w.tile(2, QStringLiteral("Wall"), doc);
    wall->SetLayerState();
    wall->CboLineType()->setEditText(QStringLiteral("DASHED"));
    const int regens = drawing.regenCount();
    for (const bool refreshDone : {false, true}) {
        pu_bUpdateEnd = refreshDone;
        wall->SetEnableEvent(refreshDone ? false : true);
        wall->pr_oCmdView_Click();
        wall->pr_oCmdFreeze_Click();
        wall->pr_oCmdLock_Click();
        wall->pr_oCboLineType_Click();
    }
    EXPECT_TRUE(on("Wall"));
    EXPECT_FALSE(prop("Wall", "Freeze"));
    EXPECT_FALSE(prop("Wall", "Lock"));
    EXPECT_NE(
        drawing.getLayerProperty(QStringLiteral("Wall"), QStringLiteral("Linetype")).toString(),
        QStringLiteral("DASHED"));
    EXPECT_EQ(drawing.regenCount(), regens);
    EXPECT_TRUE(wall->bLayerOn());
}

TEST_F(TileCommandTest, ALinetypeChosenBecomesTheLayersAndTheCacheStays) {
    auto wall = w.tile(2, QStringLiteral("Wall"), doc);
    wall->SetLayerState();
    const QString cached = wall->sLineType();
    wall->CboLineType()->setEditText(QStringLiteral("DASHED"));
    wall->pr_oCboLineType_Click();
    EXPECT_EQ(
        drawing.getLayerProperty(QStringLiteral("Wall"), QStringLiteral("Linetype")).toString(),
        QStringLiteral("DASHED"));
    EXPECT_EQ(wall->sLineType(), cached);
    // A linetype the drawing has not loaded: the stale-drawing message.
    wall->CboLineType()->setEditText(QStringLiteral("NOSUCH"));
    wall->pr_oCboLineType_Click();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].prompt, ErrorReport::staleDrawingText());
}

TEST_F(TileCommandTest, AWriteThatFailsLeavesTheTileAgreeingWithTheDrawing) {
    auto gone = w.tile(2, QStringLiteral("Hidden"), doc);
    gone->SetLayerState();
    ASSERT_FALSE(gone->bLayerOn());
    const auto shown = gone->CmdView()->Picture();
    drawing.deleteLayer(QStringLiteral("Hidden"));

    gone->pr_oCmdView_Click();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].prompt, ErrorReport::staleDrawingText());
    EXPECT_EQ(boxes.boxes[0].buttons, platform::vbCritical);
    // Still "off", as the picture and (had it the layer) the drawing say; the next click
    // asks for "on" again rather than writing "off".
    EXPECT_FALSE(gone->bLayerOn());
    EXPECT_EQ(gone->CmdView()->Picture(), shown);
    cadhost::Layer back;
    back.name = QStringLiteral("Hidden");
    back.layerOn = false;
    drawing.putLayer(back);
    gone->pr_oCmdView_Click();
    EXPECT_TRUE(on("Hidden"));
    EXPECT_TRUE(gone->bLayerOn());
}

TEST_F(TileCommandTest, APressSelectsAloneUnlessShiftAloneAndAgainDeselects) {
    auto a = w.tile(1, QStringLiteral("Wall"), doc);
    const struct {
        int shift;
        bool othersReset;
    } keys[] = {{0, true}, {1, false}, {2, true}, {3, true}, {4, true}};
    for (const auto& k : keys) {
        SCOPED_TRACE(k.shift);
        w.host.resetSelects.clear();
        a->ResetSelect();
        a->pr_oImgOne_MouseDown(1, k.shift, 10, 10);
        EXPECT_TRUE(a->isSelected());
        EXPECT_EQ(a->TxtOne()->BackColor(), 0x800000u);
        EXPECT_EQ(w.host.resetSelects,
                  k.othersReset ? std::vector<qint32>{1} : std::vector<qint32>{});
    }
    a->pr_oImgOne_MouseDown(2, 0, 0, 0); // any button; pressed again it lets go
    EXPECT_FALSE(a->isSelected());
    EXPECT_EQ(a->TxtOne()->BackColor(), platform::vbWindowBackground);
}

TEST_F(TileCommandTest, RealMouseEventsRunPressClickAndDoubleClickOnceEachInOrder) {
    auto wall = w.tile(2, QStringLiteral("Wall"), doc);
    pu_sLineTypeArray = QStringList{QString(), QStringLiteral("Continuous")};
    w.host.action = TileHost::DoubleClickAction::ExclusiveView;
    // Through the window system, as a user's double click arrives: press, release, double
    // click, release.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));
    const QPoint at = wall->ImgOne()->mapTo(&w.window, QPoint(5, 5));
    QTest::mouseDClick(w.window.windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
    // The first press selected the tile; its click made its layer the list's item.
    EXPECT_TRUE(wall->isSelected());
    EXPECT_EQ(w.host.resetSelects, std::vector<qint32>{2});
    EXPECT_EQ(w.host.listSelections, std::vector<qint32>{1});
    // And the double click's action ran once: the layer alone.
    EXPECT_EQ(w.host.ctrlViewUpdates, 1);
    EXPECT_TRUE(on("Wall"));
    EXPECT_FALSE(on("0"));
    // A click on a state button is the button's own command.
    wall->SetLayerState();
    const QPoint onButton = wall->CmdView()->mapTo(&w.window, QPoint(3, 3));
    ASSERT_EQ(w.window.childAt(onButton), wall->CmdView());
    QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 50);
    QTest::mouseClick(w.window.windowHandle(), Qt::LeftButton, Qt::NoModifier, onButton);
    EXPECT_FALSE(on("Wall"));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(TileCommandTest, DoubleClickMakesCurrentOrShowsTheLayerAlone) {
    auto wall = w.tile(2, QStringLiteral("Wall"), doc);
    auto hidden = w.tile(3, QStringLiteral("Hidden"), doc);
    drawing.setActiveLayer(QStringLiteral("0"));

    w.host.action = TileHost::DoubleClickAction::MakeCurrent;
    wall->pr_oImgOne_DblClick();
    EXPECT_EQ(drawing.getActiveLayer(), QStringLiteral("Wall"));
    EXPECT_EQ(w.host.activeLayerUpdates, 1);
    EXPECT_EQ(w.host.cadRaised, 1);
    // A frozen layer cannot be made current: its message, and nothing changes.
    hidden->pr_oImgOne_DblClick();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].prompt,
              QStringLiteral("フリーズされた画層をアクティブにすることはできません\r"));
    EXPECT_EQ(boxes.boxes[0].buttons, platform::vbExclamation);
    EXPECT_EQ(drawing.getActiveLayer(), QStringLiteral("Wall"));
    EXPECT_EQ(w.host.cadRaised, 1);

    // Alone: every other layer off, the current one too; the frozen one stays frozen.
    boxes.boxes.clear();
    w.host.action = TileHost::DoubleClickAction::ExclusiveView;
    const int regens = drawing.regenCount();
    hidden->pr_oImgOne_DblClick();
    EXPECT_TRUE(on("Hidden"));
    EXPECT_TRUE(prop("Hidden", "Freeze"));
    EXPECT_FALSE(on("Wall"));
    EXPECT_FALSE(on("0"));
    EXPECT_EQ(drawing.regenCount(), regens + 1);
    EXPECT_EQ(w.host.ctrlViewUpdates, 1);
    EXPECT_TRUE(boxes.boxes.empty());

    // Neither option: nothing.
    w.host.action = TileHost::DoubleClickAction::None;
    wall->pr_oImgOne_DblClick();
    EXPECT_FALSE(on("Wall"));
    // A layer gone from the drawing: the stale-drawing message, not the unexpected box.
    drawing.setActiveLayer(QStringLiteral("0"));
    drawing.deleteLayer(QStringLiteral("Wall"));
    w.host.action = TileHost::DoubleClickAction::MakeCurrent;
    wall->pr_oImgOne_DblClick();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].prompt, ErrorReport::staleDrawingText());
}

// --- grid -------------------------------------------------------------------------

TEST(TileGridControls, ClearRemovesTheLastBuildsFramesAndNamesCanBeMadeAgain) {
    BoxRecorder boxes;
    TileWindow w;
    EXPECT_EQ(w.grid->control(QStringLiteral("ImgOne1")),
              w.window.findChild<QWidget*>(QStringLiteral("ImgOne1")));
    w.grid->pr_subTileClear(); // first build: empty Tag, nothing to remove
    for (int i = 2; i <= 5; ++i)
        w.grid->addTileControls(i);
    w.picMain->Tag = QStringLiteral("5");
    EXPECT_THROW(w.grid->addTileControls(3), platform::VbError);

    const TileControls c4 = w.grid->tileControls(4);
    ASSERT_NE(c4.CboLineType, nullptr);
    EXPECT_TRUE(c4.CboLineType->isEditable());
    // Editable as the platform makes it: any text, completion of the items without
    // regard to case once the box is typed into (a completer per box made up front
    // cost more than the rest of a grid of thousands).
    ASSERT_NE(c4.CboLineType->lineEdit(), nullptr);
    EXPECT_EQ(c4.CboLineType->completer(), nullptr);
    QFocusEvent focusIn(QEvent::FocusIn, Qt::MouseFocusReason);
    QCoreApplication::sendEvent(c4.CboLineType, &focusIn);
    ASSERT_NE(c4.CboLineType->completer(), nullptr);
    EXPECT_EQ(c4.CboLineType->completer()->caseSensitivity(), Qt::CaseInsensitive);
    EXPECT_EQ(c4.CboLineType->completer()->model(), c4.CboLineType->model());
    c4.CboLineType->addItems({QStringLiteral("DASHED"), QStringLiteral("Continuous")});
    c4.CboLineType->setEditText(QStringLiteral("not loaded"));
    EXPECT_EQ(c4.CboLineType->currentText(), QStringLiteral("not loaded"));
    EXPECT_EQ(c4.CboLineType->count(), 2);
    EXPECT_EQ(c4.CmdView->parentWidget(), c4.FraBar);
    EXPECT_EQ(c4.FraOne->parentWidget(), w.picMain);

    w.grid->pr_subTileClear();
    EXPECT_EQ(w.window.findChild<QWidget*>(QStringLiteral("FraOne2")), nullptr);
    EXPECT_EQ(w.window.findChild<QWidget*>(QStringLiteral("CboLineType5")), nullptr);
    EXPECT_EQ(w.grid->control(QStringLiteral("TxtOne3")), nullptr);
    EXPECT_NE(w.grid->control(QStringLiteral("FraOne1")), nullptr);
    EXPECT_NO_THROW(w.grid->addTileControls(2));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
