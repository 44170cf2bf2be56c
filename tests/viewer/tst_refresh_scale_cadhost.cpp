// The refresh with drawings and macros that take the host a while: the window goes on
// answering while it waits, takes no command meanwhile, and reads a whole-drawing
// picture of any size the host writes. tarnix's window against the real cadhost on a
// private bus.

#include "viewer/frmWMF.h"

#include "CadHostWindowTest.h"
#include "viewer/RefreshPhases.h"

#include "platform/ControlGeometry.h"
#include "platform/VbImage.h"
#include "platform/VbPictureBox.h"
#include "tiles/TileLayout.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

namespace {

class RefreshScaleTest : public viewertest::CadHostWindowTest {
protected:
    void TearDown() override {
        RefreshPhases::setObserver(nullptr);
        viewertest::CadHostWindowTest::TearDown();
    }

    // The shipped project, with the layer macro keeping the host busy for a while
    // after it has written the pictures, as a large drawing does.
    void useSlowLayerMacro() {
        QFile shipped(QStringLiteral(KORVEL_SOURCE_DIR "/src/acad/TARNIX.dvb"));
        ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
        QFile project(folder.path() + QStringLiteral("/TARNIX.dvb"));
        ASSERT_TRUE(project.open(QIODevice::WriteOnly | QIODevice::Truncate));
        project.write(shipped.readAll());
        project.write("local writeAll = basWMF.pu_subMakeWMF_AllLayer\n"
                      "function basWMF.pu_subMakeWMF_AllLayer()\n"
                      "  writeAll()\n"
                      "  local n = 0\n"
                      "  for i = 1, 40000000 do n = n + i % 3 end\n"
                      "end\n");
    }
};

// Fires every few milliseconds from the start of the layer macro to its end, and
// notes when.
struct MacroTimer {
    static constexpr int kIntervalMs = 10;
    QTimer timer;
    QElapsedTimer clock;
    std::vector<qint64> fired;
    qint64 macroMs = -1;
    std::function<void()> onFirstFire;

    MacroTimer() {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(kIntervalMs);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            fired.push_back(clock.elapsed());
            if (fired.size() == 5 && onFirstFire)
                onFirstFire();
        });
        RefreshPhases::setObserver([this](const char* phase) {
            if (qstrcmp(phase, "tiles built") == 0) {
                clock.start();
                timer.start();
            } else if (qstrcmp(phase, "layer macro") == 0 && timer.isActive()) {
                macroMs = clock.elapsed();
                timer.stop();
            }
        });
    }
    qint64 longestGap() const {
        qint64 gap = fired.empty() ? macroMs : fired.front();
        for (std::size_t i = 1; i < fired.size(); ++i)
            gap = std::max(gap, fired[i] - fired[i - 1]);
        return std::max(gap, macroMs - (fired.empty() ? 0 : fired.back()));
    }
};

TEST_F(RefreshScaleTest, TheWindowKeepsAnsweringWhileTheHostWritesTheLayerPictures) {
    openPlan();
    useSlowLayerMacro();
    MacroTimer macro;
    window.pu_subCmdRefresh_Click();
    for (const auto& b : boxes.boxes)
        ADD_FAILURE() << b.prompt.toStdString();
    ASSERT_TRUE(pu_bUpdateEnd);

    // The host was busy long enough for the waiting to show.
    ASSERT_GE(macro.macroMs, 300);
    // The timer fired all along, never left waiting for the host for more than a few
    // of its intervals: once the call had waited a while, or only at its end, would
    // leave gaps of a hundred milliseconds and more.
    EXPECT_GE(qint64(macro.fired.size()), macro.macroMs / (4 * MacroTimer::kIntervalMs))
        << macro.fired.size() << " fires in " << macro.macroMs << " ms";
    EXPECT_LT(macro.longestGap(), 80) << "in " << macro.macroMs << " ms";
    EXPECT_EQ(states(), before);
}

TEST_F(RefreshScaleTest, WhileARefreshWaitsTheDisabledWindowStartsNoCommand) {
    openPlan();
    window.pu_subCmdRefresh_Click();
    ASSERT_TRUE(pu_bUpdateEnd);
    useSlowLayerMacro();

    // A double click on a tile's picture makes its layer current, with no guard of
    // its own; while the refresh from the toolbar waits for the macro it must not.
    const int walls = tileOf(QStringLiteral("Walls"));
    ASSERT_GT(walls, 0);
    bool enabledWhileWaiting = true;
    QString currentAfterMacro;
    MacroTimer macro;
    macro.onFirstFire = [&] {
        enabledWhileWaiting = window.isEnabled();
        QTest::mouseDClick(tile(walls).ImgOne(), Qt::LeftButton);
    };
    RefreshPhases::setObserver([&macro, &currentAfterMacro, this](const char* phase) {
        if (qstrcmp(phase, "tiles built") == 0) {
            macro.clock.start();
            macro.timer.start();
        } else if (qstrcmp(phase, "layer macro") == 0) {
            macro.timer.stop();
            currentAfterMacro = doc->ActiveLayer().Name();
        }
    });
    window.toolbarButton(7)->trigger();
    for (const auto& b : boxes.boxes)
        ADD_FAILURE() << b.prompt.toStdString();

    ASSERT_GE(macro.fired.size(), 5u);
    EXPECT_FALSE(enabledWhileWaiting);
    EXPECT_EQ(currentAfterMacro, QStringLiteral("Cur"));
    EXPECT_TRUE(window.isEnabled());
    EXPECT_TRUE(pu_bUpdateEnd);
    EXPECT_EQ(states(), before);
}

TEST_F(RefreshScaleTest, OnlyTheRowsNearTheViewAreShownAndEveryShownTileStandsInItsPlace) {
    korvel::test::DxfFixture dxf;
    for (int i = 0; i < 80; ++i) {
        const QString layer = QStringLiteral("L%1").arg(i, 2, 10, QLatin1Char('0'));
        dxf.addLayer(layer, 1 + i % 7);
        dxf.addLine(layer, i, 0, i + 10, 10);
    }
    path = drawings.filePath(QStringLiteral("many.dxf"));
    ASSERT_TRUE(dxf.write(path));
    auto app = std::dynamic_pointer_cast<acad::DBusApplicationBackend>(connector->create());
    ASSERT_TRUE(app);
    host = app;
    doc = std::make_shared<acad::AcadDocument>(app->open(path));
    window.pu_subCmdRefresh_Click();
    ASSERT_TRUE(pu_bUpdateEnd);
    const int n = window.proDWFUBound();
    ASSERT_EQ(n, 81);

    using platform::ControlGeometry;
    const double width = ControlGeometry::Width(tile(1).FraOne());
    const double height = ControlGeometry::Height(tile(1).FraOne());
    const int columns = TileLayout::columnsFor(ControlGeometry::Width(window.PicMain), width);
    const int inBox = TileLayout::rowsIn(ControlGeometry::Height(window.PicMain), height);
    ASSERT_GT(columns, 0);
    // Down the grid and back, in steps large and small: whatever was shown before, a
    // tile that is shown now stands where the present scroll puts it.
    for (const int value : {1, 2, 30, window.ScrBarV->maximum(), 29, 5, 1}) {
        SCOPED_TRACE(value);
        window.ScrBarV->setValue(value);
        int shown = 0;
        for (int i = 1; i <= n; ++i) {
            const TileLayout::Cell cell = TileLayout::cellOf(i, columns);
            const bool inView = cell.row >= value && cell.row < value + inBox;
            if (inView) {
                EXPECT_TRUE(tile(i).FraOne()->isVisible()) << i;
            }
            if (!tile(i).FraOne()->isVisible())
                continue;
            ++shown;
            EXPECT_NEAR(ControlGeometry::Top(tile(i).FraOne()),
                        TileLayout::topOf(cell.row, value - 1, height), 15)
                << i;
            EXPECT_NEAR(ControlGeometry::Left(tile(i).FraOne()),
                        TileLayout::leftOf(cell.col, width), 15)
                << i;
        }
        // Rows far from the view are not shown at all.
        EXPECT_LT(shown, n - 2 * columns);
    }
}

// Writes a drawing of `entities` circles on a few layers in the host's own
// format, streamed: held as strings it would take more memory than the test needs.
QString writeLargeDrawing(const QString& folder, int entities) {
    korvel::test::DxfFixture dxf;
    const QStringList layers = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
    for (const QString& layer : layers)
        dxf.addLayer(layer, 1);
    static const QByteArray kTail = "0\nENDSEC\n0\nEOF\n";
    const QByteArray text = dxf.text().toUtf8();
    const QString path = folder + QStringLiteral("/large.dxf");
    QFile file(path);
    if (!text.endsWith(kTail) || !file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    file.write(text.left(text.size() - kTail.size()));
    QByteArray chunk;
    for (int e = 0; e < entities; ++e) {
        const int x = (e * 37) % 1000, y = (e * 91) % 700;
        // Circles: the host writes each as a polyline of many points, as large as
        // the pictures of real drawings grow; large enough that the overview, which
        // drops detail below a pixel of its largest box, keeps them.
        chunk += "0\nCIRCLE\n8\n" + layers[e % layers.size()].toUtf8() + "\n10\n" +
                 QByteArray::number(x) + "\n20\n" + QByteArray::number(y) + "\n40\n" +
                 QByteArray::number(20 + 10 * (e % 13)) + "\n";
        if (chunk.size() > (1 << 20)) {
            file.write(chunk);
            chunk.clear();
        }
    }
    file.write(chunk + kTail);
    return file.error() == QFileDevice::NoError ? path : QString();
}

TEST_F(RefreshScaleTest, AWholeDrawingPictureOverSixtyFourMebibytesIsShown) {
    QElapsedTimer took;
    took.start();
    const QString large = writeLargeDrawing(drawings.path(), 240000);
    ASSERT_FALSE(large.isEmpty());
    auto app = std::dynamic_pointer_cast<acad::DBusApplicationBackend>(connector->create());
    ASSERT_TRUE(app);
    host = app;
    doc = std::make_shared<acad::AcadDocument>(app->open(large));
    window.pu_subCmdRefresh_Click();
    for (const auto& b : boxes.boxes)
        ADD_FAILURE() << b.prompt.toStdString();
    ASSERT_TRUE(pu_bUpdateEnd);
    EXPECT_EQ(window.proDWFUBound(), 4); // "0" and the three drawn layers
    const QFileInfo all(folder.path() + QStringLiteral("/LAYER/SYS/all.wmf"));
    ASSERT_GT(all.size(), qint64(64) << 20) << "the drawing no longer makes the picture it tests";
    ASSERT_TRUE(window.ImgALL->Picture() != nullptr);

    // Played in the background, the overview shows once it has been played.
    int drawn = 0;
    while (drawn == 0 && took.elapsed() < 25000) {
        QTest::qWait(50);
        const QImage shown = window.ImgALL->grab().toImage();
        for (int y = 0; y < shown.height(); y += 2)
            for (int x = 0; x < shown.width(); x += 2)
                drawn += qGray(shown.pixel(x, y)) < 100 ? 1 : 0;
    }
    EXPECT_GT(drawn, 50);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
