// The overview's zoom, fit and drag: the arithmetic of a step on its own, then the
// window after a real refresh against cadhost's drawing model in this process (the
// shipped macro project writing real metafiles), with the part overview and the tiles
// following the overview.

#include "viewer/OverviewZoom.h"
#include "viewer/frmWMF.h"

#include "DxfFixture.h"
#include "InProcessBackend.h"
#include "ViewerTestSupport.h"
#include "acad/basAcadConnect.h"
#include "app/frmSplash.h"
#include "cadhost/dxf/DxfStore.h"
#include "cadhost/macro/DrawingMacroHost.h"
#include "cadhost/model/CadApplication.h"
#include "platform/ControlGeometry.h"
#include "platform/ErrorReport.h"
#include "platform/Twips.h"
#include "platform/VbFrame.h"
#include "platform/VbImage.h"
#include "platform/VbPictureBox.h"
#include "platform/VbTextBox.h"
#include "tiles/clsDWF.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QScrollBar>
#include <QTest>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

using platform::ControlGeometry;
using Box = OverviewZoom::Box;

namespace OverviewZoom {
// Boxes in failure messages as the four measures, in twips.
void PrintTo(const Box& b, std::ostream* os) {
    *os << "{" << b.left << ", " << b.top << ", " << b.width << ", " << b.height << "}";
}
} // namespace OverviewZoom

namespace {

constexpr double kPixel = platform::kTwipsPerPixel;
constexpr double kCap = platform::kMaxPictureBoxPixels * kPixel;
const QString kCannotEnlarge = QStringLiteral("これ以上大きくすることが出来ません。");
const QString kCannotReduce = QStringLiteral("これ以上小さくすることが出来ません。");

Box boxOf(const QWidget* w) {
    return {ControlGeometry::Left(w), ControlGeometry::Top(w), ControlGeometry::Width(w),
            ControlGeometry::Height(w)};
}

// A twips measure as a control keeps it, worked out here from the pixel size alone.
double inPixels(double twips) {
    return std::nearbyint(twips / kPixel) * kPixel;
}

// --- the arithmetic of one step -----------------------------------------------------

TEST(OverviewZoomArithmetic, FactorComesFromTheZoomTextAndTheDirection) {
    EXPECT_DOUBLE_EQ(OverviewZoom::factor(QStringLiteral("40"), QStringLiteral("1")), 1.4);
    EXPECT_DOUBLE_EQ(OverviewZoom::factor(QStringLiteral("40"), QStringLiteral("-1")), 0.6);
    EXPECT_DOUBLE_EQ(OverviewZoom::factor(QStringLiteral("5"), QStringLiteral("1")), 1.05);
    EXPECT_DOUBLE_EQ(OverviewZoom::factor(QStringLiteral("95"), QStringLiteral("-1")),
                     1 - 95 * 0.01);
    // Only a direction above 0 enlarges.
    EXPECT_DOUBLE_EQ(OverviewZoom::factor(QStringLiteral("40"), QStringLiteral("0")), 0.6);
    // No zoom text (a window whose list was never filled): a step that changes nothing.
    EXPECT_DOUBLE_EQ(OverviewZoom::factor(QString(), QStringLiteral("1")), 1.0);
}

TEST(OverviewZoomArithmetic, TheCentreStaysAndDistancesRoundHalvesToEven) {
    const Box saved{100, 200, 3000, 2000};
    const Box a = OverviewZoom::asked(saved, 1.4, 1282.5, 1230);
    EXPECT_DOUBLE_EQ(a.width, 3000 * 1.4);
    EXPECT_DOUBLE_EQ(a.height, 2000 * 1.4);
    // (1282.5 - 100) x 1.4 = 1655.5 rounds to the even 1656; (1230 - 200) x 1.4 = 1442.
    EXPECT_DOUBLE_EQ(a.left, 1282.5 - 1656);
    EXPECT_DOUBLE_EQ(a.top, 1230 - 1442);
    // 0.5 x 1 and 2.5 x 1 round down to the even neighbour, 1.5 up.
    EXPECT_DOUBLE_EQ(OverviewZoom::asked({0, 0, 10, 10}, 1, 0.5, 2.5).left, 0.5);
    EXPECT_DOUBLE_EQ(OverviewZoom::asked({0, 0, 10, 10}, 1, 0.5, 2.5).top, 0.5);
    EXPECT_DOUBLE_EQ(OverviewZoom::asked({0, 0, 10, 10}, 1, 1.5, 0).left, -0.5);
}

TEST(OverviewZoomArithmetic, TheBoxHoldsWholePixelsWithinItsLargestSize) {
    const Box h = OverviewZoom::held({-7.4, 22.5, 2551.5, 40});
    EXPECT_EQ(h, (Box{0, 30, 2550, 45}));
    EXPECT_EQ(OverviewZoom::held({0, 0, kCap + 100, -30}).width, kCap);
    EXPECT_EQ(OverviewZoom::held({0, 0, kCap + 100, -30}).height, 0);
    EXPECT_FALSE(OverviewZoom::capped({0, 0, kCap, kCap}));
    EXPECT_TRUE(OverviewZoom::capped({0, 0, kCap + kPixel, 10}));
    EXPECT_TRUE(OverviewZoom::capped({0, 0, 10, kCap + kPixel}));
}

TEST(OverviewZoomArithmetic, RefusalsOfTheRatioTest) {
    const Box saved{0, 0, 1500, 1050};
    const Box bigger{0, 0, 2100, 1470};
    // Within 0.1 of the refresh's ratio: taken, either side of it.
    EXPECT_FALSE(OverviewZoom::refused(0.7f, saved, bigger, bigger));
    EXPECT_FALSE(OverviewZoom::refused(0.65f, saved, bigger, bigger));
    EXPECT_FALSE(OverviewZoom::refused(0.75f, saved, bigger, bigger));
    // Beyond it: refused, both ways.
    EXPECT_TRUE(OverviewZoom::refused(0.55f, saved, bigger, bigger));
    EXPECT_TRUE(OverviewZoom::refused(0.85f, saved, bigger, bigger));
    // Before the first refresh the reference is 0.
    EXPECT_TRUE(OverviewZoom::refused(0.0f, saved, bigger, bigger));
    // A box without width is refused rather than divided by.
    EXPECT_TRUE(OverviewZoom::refused(0.7f, saved, {0, 0, 0, 9}, {0, 0, 0, 15}));
}

TEST(OverviewZoomArithmetic, EqualSidesAreRefusedOnlyWhereTheCapMadeThem) {
    // A square picture grows square: taken.
    const Box square{0, 0, 2460, 2460};
    const Box squareAsked{0, 0, 2460 * 1.4, 2460 * 1.4};
    EXPECT_FALSE(OverviewZoom::refused(1.0f, square, squareAsked, OverviewZoom::held(squareAsked)));
    // An almost square one whose sides round to the same pixels (12 x 11 pixels times
    // 0.6 are 7 x 7): taken too.
    const Box nearly{0, 0, 12 * kPixel, 11 * kPixel};
    const Box nearlyAsked{0, 0, nearly.width * 0.6, nearly.height * 0.6};
    ASSERT_EQ(OverviewZoom::held(nearlyAsked).width, OverviewZoom::held(nearlyAsked).height);
    EXPECT_FALSE(
        OverviewZoom::refused(0.92f, nearly, nearlyAsked, OverviewZoom::held(nearlyAsked)));
    // Sides made equal by the cap: refused, even though the ratio is near enough.
    const Box large{0, 0, kCap - 50 * kPixel, kCap * 0.96};
    const Box largeAsked{0, 0, large.width * 1.4, large.height * 1.4};
    ASSERT_EQ(OverviewZoom::held(largeAsked).width, OverviewZoom::held(largeAsked).height);
    EXPECT_TRUE(OverviewZoom::refused(0.96f, large, largeAsked, OverviewZoom::held(largeAsked)));
}

TEST(OverviewZoomArithmetic, AStepTheBoxCannotTakeAtAllIsRefused) {
    // One pixel times 0.6 is still one pixel: nothing left to reduce.
    const Box one{0, 0, kPixel, kPixel};
    const Box asked{0, 0, kPixel * 0.6, kPixel * 0.6};
    EXPECT_TRUE(OverviewZoom::refused(1.0f, one, asked, OverviewZoom::held(asked)));
    // Ten pixels times 1.05 round back to ten.
    const Box ten{0, 0, 10 * kPixel, 10 * kPixel};
    const Box little{0, 0, 10 * kPixel * 1.05, 10 * kPixel * 1.05};
    EXPECT_TRUE(OverviewZoom::refused(1.0f, ten, little, OverviewZoom::held(little)));
}

// --- the window after a refresh -----------------------------------------------------

// The window against cadhost's drawing model in this process: a refresh writes and
// loads real pictures, as it does against the host on the bus.
class OverviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        QFile::copy(QStringLiteral(KORVEL_SOURCE_DIR "/src/acad/TARNIX.dvb"),
                    folder.path() + QStringLiteral("/TARNIX.dvb"));
        cad.setDrawingStore(std::make_unique<cadhost::dxf::DxfStore>());
        cad.setMacroEngine(cadhost::makeLuaMacroEngine(cad));
        connector->setRunning(&cad);
        acad::setConnector(connector);
        pu_oAcadApp.reset();
        pu_oAcadDoc.reset();
        window.Form_Load(QString());
        window.setWidth(5820);
        window.setHeight(8625);
    }
    void TearDown() override {
        acad::resetConnector();
        frmSplash::Unload();
        pu_oAcadApp.reset();
        pu_oAcadDoc.reset();
    }

    // A drawing of `layers` layers spanning width x height drawing units, every third
    // layer off so that the part overview is shown too, and the refresh of it.
    void refresh(int layers, double width, double height) {
        korvel::test::DxfFixture dxf;
        dxf.addLayer(QStringLiteral("0"));
        for (int i = 1; i < layers; ++i) {
            korvel::test::DxfFixture::LayerState state;
            state.on = i % 3 != 0;
            dxf.addLayer(QStringLiteral("L%1").arg(i, 2, 10, QLatin1Char('0')), 1 + i, state);
        }
        dxf.addLine(QStringLiteral("0"), 0, 0, width, height);
        for (int i = 1; i < layers; ++i)
            dxf.addCircle(QStringLiteral("L%1").arg(i, 2, 10, QLatin1Char('0')),
                          width * (i % 7 + 1) / 8, height * (i % 5 + 1) / 6, 2);
        const QString path = drawings.filePath(QStringLiteral("plan.dxf"));
        ASSERT_TRUE(dxf.write(path));
        ASSERT_TRUE(cad.open(path));
        // Only the layers that are on get tiles, and the part overview is shown.
        window.ChkViewOnly->setChecked(true);
        window.pu_subCmdRefresh_Click();
        for (const auto& b : boxes.boxes)
            ADD_FAILURE() << "refresh: " << b.prompt.toStdString();
        boxes.boxes.clear();
        ASSERT_TRUE(window.state().prbShowEnd);
        fitted = overview();
    }

    Box overview() const { return boxOf(window.ImgALL); }
    // Takes steps until one is refused (or `limit` were taken); `accepted` ends as the
    // overview's box before the refused step. Returns the steps taken.
    int stepUntilRefused(const std::function<void()>& step, int limit, Box& accepted) {
        int steps = 0;
        while (boxes.boxes.empty() && steps < limit) {
            accepted = overview();
            step();
            ++steps;
        }
        return steps;
    }
    void zoomIn() { window.Toolbar1_ButtonClick(3); }
    void zoomOut() { window.Toolbar1_ButtonClick(4); }
    void fit() { window.Toolbar1_ButtonClick(5); }
    void drag(double fromX, double fromY, double dx, double dy) {
        emit window.ImgALL->MouseDown(1, 0, fromX, fromY);
        emit window.ImgALL->MouseMove(1, 0, fromX + dx, fromY + dy);
        emit window.ImgALL->MouseUp(1, 0, fromX + dx, fromY + dy);
    }

    // The centre of the picture area: the frame less the count box below it.
    double cx() const { return ControlGeometry::Width(window.FraALL) / 2; }
    double cy() const {
        return (ControlGeometry::Height(window.FraALL) - ControlGeometry::Height(window.TxtALL)) /
               2;
    }
    // Where the drawing point under the centre lies across the picture (0..1 each way).
    QPointF centreShare(const Box& b) const {
        return {(cx() - b.left) / b.width, (cy() - b.top) / b.height};
    }
    // The box one accepted step gives, worked out from the pixel box alone.
    Box stepFrom(const Box& b, double f) const {
        const double dx = std::nearbyint((cx() - b.left) * f);
        const double dy = std::nearbyint((cy() - b.top) * f);
        return {inPixels(cx() - dx), inPixels(cy() - dy), inPixels(b.width * f),
                inPixels(b.height * f)};
    }

    // Every picture that follows the overview has its geometry; a tile's sits below its
    // name box.
    void expectAllFollow(const char* when) {
        SCOPED_TRACE(when);
        const Box o = overview();
        EXPECT_EQ(boxOf(window.ImgPart), o);
        // Tiles of rows far out of view are hidden and follow when shown.
        int shown = 0;
        for (int i = 1; i <= window.proDWFUBound(); ++i) {
            clsDWF& t = *window.tile(i);
            if (t.FraOne()->isHidden())
                continue;
            ++shown;
            const Box expected{o.left, o.top + ControlGeometry::Height(t.TxtOne()), o.width,
                               o.height};
            ASSERT_EQ(boxOf(t.ImgOne()), expected) << "tile " << i;
            ASSERT_TRUE(t.ImgOne()->Stretch()) << "tile " << i;
        }
        EXPECT_GT(shown, 0);
    }

    void expectOneBox(const QString& prompt) {
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].prompt, prompt);
        EXPECT_EQ(boxes.boxes[0].buttons, platform::vbOKOnly | platform::vbExclamation);
        EXPECT_EQ(boxes.boxes[0].title, ErrorReport::kTitle);
        boxes.boxes.clear();
    }

    viewertest::ScratchProgramFolder folder;
    viewertest::MsgBoxRecorder boxes;
    QTemporaryDir drawings;
    cadhost::CadApplication cad;
    std::shared_ptr<acad::inprocess::Connector> connector =
        std::make_shared<acad::inprocess::Connector>();
    frmWMF window;
    Box fitted{};
};

TEST_F(OverviewTest, ZoomStepsScaleByTheChosenStepAboutTheCentreAndEverythingFollows) {
    refresh(6, 100, 70);
    ASSERT_EQ(window.CboZoom->currentText(), QStringLiteral("40"));
    const QPointF centre = centreShare(fitted);

    Box b = fitted;
    for (int i = 0; i < 3; ++i) {
        zoomIn();
        b = stepFrom(b, 1.4);
        ASSERT_EQ(overview(), b) << "zoom-in " << i + 1;
    }
    EXPECT_TRUE(boxes.boxes.empty());
    // 1.4^3 = 2.744, but for the rounding to whole pixels at each step.
    EXPECT_NEAR(overview().width / fitted.width, 2.744, 3 * kPixel / fitted.width);
    EXPECT_NEAR(overview().height / fitted.height, 2.744, 3 * kPixel / fitted.height);
    // The point at the centre of the picture area stayed there, within a pixel.
    EXPECT_NEAR(centreShare(overview()).x(), centre.x(), 2 * kPixel / overview().width);
    EXPECT_NEAR(centreShare(overview()).y(), centre.y(), 2 * kPixel / overview().height);
    expectAllFollow("after three zoom-ins");

    // Out by 0.6 of the present size: not back to where the last step started.
    const Box enlarged = overview();
    zoomOut();
    EXPECT_EQ(overview(), stepFrom(enlarged, 0.6));
    EXPECT_NEAR(overview().width / enlarged.width, 0.6, kPixel / enlarged.width);
    EXPECT_GT(std::abs(overview().width - enlarged.width / 1.4), 10 * kPixel);
    EXPECT_NEAR(centreShare(overview()).x(), centre.x(), 2 * kPixel / overview().width);
    EXPECT_TRUE(boxes.boxes.empty());
    expectAllFollow("after a zoom-out");

    // Another step size from the list is used as it stands.
    window.CboZoom->setCurrentText(QStringLiteral("15"));
    const Box before = overview();
    zoomIn();
    EXPECT_EQ(overview(), stepFrom(before, 1.15));
    expectAllFollow("after a zoom-in by 15");
}

TEST_F(OverviewTest, ADragMovesOnlyTheOverviewUntilReleasedAndZoomingThenKeepsTheFrameCentre) {
    refresh(6, 100, 70);
    zoomIn();
    const Box zoomed = overview();
    clsDWF& first = *window.tile(1);
    const Box tileBefore = boxOf(first.ImgOne());

    // Grabbed at (300, 450) within the picture, the pointer goes 600 left and 300 down.
    emit window.ImgALL->MouseDown(1, 0, 300.4, 450.6);
    emit window.ImgALL->MouseMove(1, 0, 300.4 - 600, 450.6 + 300);
    const Box moved = overview();
    EXPECT_EQ(moved, (Box{inPixels(zoomed.left + 300.4 - 600 - 300),
                          inPixels(zoomed.top + 450.6 + 300 - 451), zoomed.width, zoomed.height}));
    // Only the overview moves while the button is held.
    EXPECT_EQ(boxOf(window.ImgPart), zoomed);
    EXPECT_EQ(boxOf(first.ImgOne()), tileBefore);
    // Without the button, moving the pointer moves nothing.
    emit window.ImgALL->MouseUp(1, 0, 300.4 - 600, 450.6 + 300);
    expectAllFollow("after the drag");
    emit window.ImgALL->MouseMove(0, 0, 900, 900);
    EXPECT_EQ(overview(), moved);

    // The next step enlarges about the centre of the frame, not the picture's own.
    const QPointF centre = centreShare(moved);
    zoomIn();
    EXPECT_EQ(overview(), stepFrom(moved, 1.4));
    EXPECT_NEAR(centreShare(overview()).x(), centre.x(), 2 * kPixel / overview().width);
    EXPECT_NEAR(centreShare(overview()).y(), centre.y(), 2 * kPixel / overview().height);
    const double pictureCentreX = moved.left + moved.width / 2;
    const double aboutPictureCentre = pictureCentreX - moved.width * 1.4 / 2;
    EXPECT_GT(std::abs(overview().left - aboutPictureCentre), 10 * kPixel);
    expectAllFollow("after the zoom that followed the drag");
}

TEST_F(OverviewTest, TheMouseDragsThePictureWithTheGrabbedPointUnderThePointer) {
    refresh(4, 100, 70);
    QApplication::processEvents();
    const Box before = overview();
    const QPoint grabbed(40, 30);
    const QPoint pointerBefore = window.ImgALL->mapToGlobal(grabbed);
    QTest::mousePress(window.ImgALL, Qt::LeftButton, {}, grabbed);
    QTest::mouseMove(window.ImgALL, grabbed + QPoint(-25, 12));
    // The pointer went 25 pixels left and 12 down; the picture with it.
    EXPECT_EQ(overview(), (Box{before.left - 25 * kPixel, before.top + 12 * kPixel, before.width,
                               before.height}));
    EXPECT_EQ(window.ImgALL->mapToGlobal(grabbed), pointerBefore + QPoint(-25, 12));
    QTest::mouseRelease(window.ImgALL, Qt::LeftButton, {}, grabbed);
    expectAllFollow("after the mouse let go");
    // A custom cursor tells that the overview can be grabbed.
    EXPECT_EQ(window.ImgALL->cursor().shape(), Qt::BitmapCursor);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(OverviewTest, RepeatedZoomInsEndWithTheRefusalAndKeepTheLastAcceptedBox) {
    refresh(4, 100, 70);
    Box accepted = overview();
    int steps = stepUntilRefused([this] { zoomIn(); }, 40, accepted);
    ASSERT_LT(steps, 40) << "never refused";
    expectOneBox(kCannotEnlarge);
    EXPECT_EQ(overview(), accepted);
    EXPECT_TRUE(window.ImgALL->isVisible());
    expectAllFollow("after the refusal");
    // It was the largest box that stopped it, many steps on: the refused step asked
    // for a width beyond it, and the box could not keep the picture's ratio.
    EXPECT_GT(steps, 10);
    EXPECT_GT(accepted.width * 1.4, kCap);
    // Once refused, refused again, the box unchanged.
    zoomIn();
    expectOneBox(kCannotEnlarge);
    EXPECT_EQ(overview(), accepted);

    // Zooming out all the way ends the same way at the small end.
    steps = stepUntilRefused([this] { zoomOut(); }, 60, accepted);
    ASSERT_LT(steps, 60) << "never refused";
    expectOneBox(kCannotReduce);
    EXPECT_EQ(overview(), accepted);
    EXPECT_LT(accepted.width, 30 * kPixel);
    EXPECT_GT(accepted.width, 0);
    expectAllFollow("after the refusal to reduce");
}

TEST_F(OverviewTest, FitAfterZoomAndDragGivesBackTheRefreshGeometry) {
    refresh(6, 100, 70);
    // The refresh scaled the picture down into the frame, never up.
    const QSizeF natural = window.ImgALL->Picture()->naturalSizeTwips();
    EXPECT_LE(fitted.width, natural.width());
    EXPECT_LE(fitted.height, natural.height());
    EXPECT_NEAR(window.state().prsnAllRatio, 0.7, 0.011);

    zoomIn();
    zoomIn();
    drag(200, 200, -750, 420);
    zoomOut();
    ASSERT_NE(overview(), fitted);
    fit();
    EXPECT_EQ(overview(), fitted);
    expectAllFollow("after the fit");
    EXPECT_TRUE(boxes.boxes.empty());
    // Fitting what is fitted changes nothing.
    fit();
    EXPECT_EQ(overview(), fitted);
}

TEST_F(OverviewTest, ASquarePictureZoomsLikeAnyOtherUntilTheCapMakesItsSidesEqual) {
    refresh(4, 100, 100);
    ASSERT_EQ(fitted.width, fitted.height);
    EXPECT_EQ(window.state().prsnAllRatio, 1.0f);

    zoomIn();
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(overview(), stepFrom(fitted, 1.4));
    EXPECT_EQ(overview().width, overview().height);
    zoomOut();
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(overview(), stepFrom(stepFrom(fitted, 1.4), 0.6));
    expectAllFollow("after zooming a square picture");

    // At the top the cap makes the sides equal: that is the refusal.
    Box accepted = overview();
    int steps = 0;
    while (boxes.boxes.empty() && steps < 40) {
        accepted = overview();
        zoomIn();
        ++steps;
    }
    ASSERT_LT(steps, 40);
    expectOneBox(kCannotEnlarge);
    EXPECT_EQ(overview(), accepted);
    EXPECT_LT(accepted.width, kCap);
    EXPECT_GT(accepted.width * 1.4, kCap);
    // At the bottom a square pixel box is as small as it gets.
    steps = 0;
    while (boxes.boxes.empty() && steps < 60) {
        accepted = overview();
        zoomOut();
        ++steps;
    }
    ASSERT_LT(steps, 60);
    expectOneBox(kCannotReduce);
    EXPECT_EQ(overview(), accepted);
    EXPECT_EQ(accepted.width, accepted.height);
}

TEST_F(OverviewTest, ATileFarDownTheGridFollowsAZoomAndADrag) {
    refresh(40, 100, 70);
    ASSERT_EQ(window.proDWFUBound(), 27); // the layers that are on
    ASSERT_TRUE(window.FraPart->isVisible());
    clsDWF& last = *window.tile(window.proDWFUBound());
    window.ScrBarV->setValue(window.ScrBarV->maximum());
    QApplication::processEvents();
    // Scrolled into view: the last tile lies inside the grid's box.
    const QRect inGrid = last.FraOne()->geometry();
    ASSERT_TRUE(window.PicMain->rect().intersects(inGrid));
    ASSERT_TRUE(last.ImgOne()->isVisible());

    zoomIn();
    const Box o = overview();
    EXPECT_EQ(boxOf(window.ImgPart), o);
    EXPECT_EQ(boxOf(last.ImgOne()),
              (Box{o.left, o.top + ControlGeometry::Height(last.TxtOne()), o.width, o.height}));

    drag(100, 100, 450, -300);
    const Box d = overview();
    ASSERT_NE(d, o);
    EXPECT_EQ(boxOf(window.ImgPart), d);
    EXPECT_EQ(boxOf(last.ImgOne()),
              (Box{d.left, d.top + ControlGeometry::Height(last.TxtOne()), d.width, d.height}));
    EXPECT_TRUE(last.ImgOne()->isVisible());
    expectAllFollow("every tile");
}

// A zoom costs the rows in view: tiles far down a long grid are hidden and follow the
// overview when they are scrolled into view.
TEST_F(OverviewTest, TilesOutOfViewFollowWhenScrolledIntoView) {
    refresh(150, 100, 70);
    clsDWF& last = *window.tile(window.proDWFUBound());
    ASSERT_TRUE(last.FraOne()->isHidden()) << "the grid is long enough to hide its end";

    zoomIn();
    drag(100, 100, 450, -300);
    expectAllFollow("the rows in view");

    window.ScrBarV->setValue(window.ScrBarV->maximum());
    QApplication::processEvents();
    ASSERT_FALSE(last.FraOne()->isHidden());
    const Box o = overview();
    EXPECT_EQ(boxOf(last.ImgOne()),
              (Box{o.left, o.top + ControlGeometry::Height(last.TxtOne()), o.width, o.height}));
    EXPECT_TRUE(last.ImgOne()->Stretch());
    expectAllFollow("after scrolling to the end");
}

TEST_F(OverviewTest, EachStepShowsTheOverviewOnceAndPaintsIt) {
    refresh(4, 100, 70);
    QApplication::processEvents();
    struct Counter : QObject {
        int shows = 0, hides = 0, paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            shows += e->type() == QEvent::Show;
            hides += e->type() == QEvent::Hide;
            paints += e->type() == QEvent::Paint;
            return false;
        }
    } counter;
    window.ImgALL->installEventFilter(&counter);
    zoomIn();
    // Hidden while resized and moved, shown once at its final place.
    EXPECT_EQ(counter.hides, 1);
    EXPECT_EQ(counter.shows, 1);
    window.repaint();
    EXPECT_EQ(counter.paints, 1);
    window.ImgALL->removeEventFilter(&counter);
}

// --- the window before any refresh -------------------------------------------------

class OverviewBeforeRefreshTest : public ::testing::Test {
protected:
    viewertest::ScratchProgramFolder folder;
    viewertest::MsgBoxRecorder boxes;
    frmWMF window;
};

TEST_F(OverviewBeforeRefreshTest, EveryZoomStepIsRefusedWhileFitAndDragActOnTheBox) {
    window.Form_Load(QString());
    const Box design = boxOf(window.ImgALL);
    window.Toolbar1_ButtonClick(3);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].prompt, kCannotEnlarge);
    EXPECT_EQ(boxes.boxes[0].buttons, platform::vbOKOnly | platform::vbExclamation);
    EXPECT_EQ(boxes.boxes[0].title, ErrorReport::kTitle);
    EXPECT_EQ(boxOf(window.ImgALL), design);
    window.Toolbar1_ButtonClick(4);
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[1].prompt, kCannotReduce);
    EXPECT_EQ(boxOf(window.ImgALL), design);
    // The part overview takes the unchanged box.
    EXPECT_EQ(boxOf(window.ImgPart), design);

    // A drag moves the empty box; the fit centres it in the picture area again.
    emit window.ImgALL->MouseDown(1, 0, 30, 30);
    emit window.ImgALL->MouseMove(1, 0, 330, 180);
    emit window.ImgALL->MouseUp(1, 0, 330, 180);
    const Box dragged = boxOf(window.ImgALL);
    EXPECT_EQ(dragged, (Box{design.left + 300, design.top + 150, design.width, design.height}));
    EXPECT_EQ(boxOf(window.ImgPart), dragged);
    window.Toolbar1_ButtonClick(5);
    const double frameWidth = ControlGeometry::Width(window.FraALL);
    const double area =
        ControlGeometry::Height(window.FraALL) - ControlGeometry::Height(window.TxtALL);
    EXPECT_EQ(boxOf(window.ImgALL),
              (Box{inPixels((frameWidth - design.width) / 2), inPixels((area - design.height) / 2),
                   design.width, design.height}));
    EXPECT_EQ(boxes.boxes.size(), 2u);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
