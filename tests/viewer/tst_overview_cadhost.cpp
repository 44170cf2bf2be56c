// The overview's zoom from end to end: tarnix's window against a real cadhost on a
// private bus. After two zoom-ins a tile's painted picture must show the same part of
// the drawing, at the same scale, as the overview.

#include "CadHostWindowTest.h"
#include "viewer/frmWMF.h"

#include "DxfFixture.h"
#include "PrivateSessionBus.h"
#include "ViewerTestSupport.h"
#include "acad/AcadApplication.h"
#include "acad/DBusBackend.h"
#include "acad/DBusConnector.h"
#include "acad/basAcadConnect.h"
#include "app/frmSplash.h"
#include "platform/ControlGeometry.h"
#include "platform/VbImage.h"
#include "tiles/clsDWF.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

using platform::ControlGeometry;

namespace {

// The crossing of the one vertical and the one horizontal line of the mark: the column
// and the row holding the most pixels unlike the picture's background (its corner).
std::optional<QPoint> markCentre(const QImage& image) {
    if (image.isNull())
        return std::nullopt;
    const QRgb background = image.pixel(0, 0);
    auto ink = [&](int x, int y) {
        const QRgb p = image.pixel(x, y);
        return std::abs(qRed(p) - qRed(background)) + std::abs(qGreen(p) - qGreen(background)) +
                   std::abs(qBlue(p) - qBlue(background)) >
               90;
    };
    int bestX = -1, bestXCount = 0, bestY = -1, bestYCount = 0;
    for (int x = 0; x < image.width(); ++x) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            count += ink(x, y);
        if (count > bestXCount)
            bestX = x, bestXCount = count;
    }
    for (int y = 0; y < image.height(); ++y) {
        int count = 0;
        for (int x = 0; x < image.width(); ++x)
            count += ink(x, y);
        if (count > bestYCount)
            bestY = y, bestYCount = count;
    }
    if (bestXCount < 10 || bestYCount < 10)
        return std::nullopt;
    return QPoint(bestX, bestY);
}

// The overview is played on a worker and paints nothing until it is: grab until the
// mark shows, or give up.
std::optional<QPoint> paintedMark(QWidget* image) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 20000) {
        QApplication::processEvents();
        if (auto centre = markCentre(image->grab().toImage()))
            return centre;
    }
    return std::nullopt;
}

class OverviewCadHostTest : public viewertest::CadHostWindowTest {
protected:
    void SetUp() override {
        CadHostWindowTest::SetUp();
        window.Form_Load(QString());
        window.setWidth(5820);
        window.setHeight(8625);
    }
};

TEST_F(OverviewCadHostTest, AfterTwoZoomInsATileShowsTheOverviewsPartOfTheDrawing) {
    // The mark, a cross on a layer of its own, lies off the drawing's centre but inside
    // what two zoom-ins about it leave in view; two small circles in the corners only
    // span the drawing.
    korvel::test::DxfFixture dxf;
    dxf.addLayer(QStringLiteral("0"));
    dxf.addLayer(QStringLiteral("Border"), 5);
    dxf.addLayer(QStringLiteral("Mark"), 1);
    dxf.addCircle(QStringLiteral("Border"), 1, 1, 1);
    dxf.addCircle(QStringLiteral("Border"), 99, 69, 1);
    dxf.addLine(QStringLiteral("Mark"), 58, 30, 58, 50);
    dxf.addLine(QStringLiteral("Mark"), 48, 41, 68, 41);
    const QString path = drawings.filePath(QStringLiteral("mark.dxf"));
    ASSERT_TRUE(dxf.write(path));
    auto app = std::dynamic_pointer_cast<acad::DBusApplicationBackend>(connector->create());
    ASSERT_TRUE(app);
    app->open(path);

    window.pu_subCmdRefresh_Click();
    ASSERT_TRUE(window.state().prbShowEnd);
    int markTile = 0;
    for (int i = 1; i <= window.proDWFUBound(); ++i)
        if (window.tile(i)->sLayerName() == QStringLiteral("Mark"))
            markTile = i;
    ASSERT_GT(markTile, 0);
    clsDWF& tile = *window.tile(markTile);
    const auto fitted = paintedMark(window.ImgALL);
    ASSERT_TRUE(fitted);

    window.Toolbar1_ButtonClick(3);
    window.Toolbar1_ButtonClick(3);
    for (const auto& b : boxes.boxes)
        ADD_FAILURE() << b.prompt.toStdString();
    ASSERT_EQ(ControlGeometry::Width(tile.ImgOne()), ControlGeometry::Width(window.ImgALL));
    ASSERT_EQ(ControlGeometry::Height(tile.ImgOne()), ControlGeometry::Height(window.ImgALL));

    const auto inOverview = paintedMark(window.ImgALL);
    const auto inTile = paintedMark(tile.ImgOne());
    ASSERT_TRUE(inOverview);
    ASSERT_TRUE(inTile);
    // The same pixel of the same-sized boxes, within the pixel a line may be cut apart.
    EXPECT_NEAR(inTile->x(), inOverview->x(), 1);
    EXPECT_NEAR(inTile->y(), inOverview->y(), 1);
    // Drawn at the new scale: the mark is 1.96 times as far from the box's corner.
    EXPECT_NEAR(inOverview->x(), fitted->x() * 1.96, 3);
    EXPECT_NEAR(inOverview->y(), fitted->y() * 1.96, 3);

    // Both boxes stand at the same place in their frames: the tile's picture below its
    // name box, so on screen the mark is where the overview has it.
    const QPoint overviewMark = window.ImgALL->mapTo(window.FraALL, *inOverview);
    const QPoint tileMark = tile.ImgOne()->mapTo(tile.FraOne(), *inTile);
    const int nameBox = tile.TxtOne()->height();
    EXPECT_NEAR(tileMark.x(), overviewMark.x(), 1);
    EXPECT_NEAR(tileMark.y() - nameBox, overviewMark.y(), 1);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
