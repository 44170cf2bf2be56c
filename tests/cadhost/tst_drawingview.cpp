// The host's window draws the sample plan in layer colours and follows layer states.
#include "cadhost/dxf/DxfReader.h"
#include "cadhost/model/AciPalette.h"
#include "cadhost/model/Drawing.h"
#include "cadhost/ui/DrawingView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// Lines are antialiased: a pixel counts when it is clearly of the colour's kind
// (strong in the colour's own channels, weak in the others) rather than equal to it.
int pixelsOf(const QImage& image, QColor colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) < 90 &&
                std::abs(c.green() - colour.green()) < 90 &&
                std::abs(c.blue() - colour.blue()) < 90)
                ++n;
        }
    return n;
}

std::unique_ptr<cadhost::Drawing> samplePlan() {
    return cadhost::dxf::DxfReader::readFile(QStringLiteral(KORVEL_SOURCE_DIR) +
                                             QStringLiteral("/samples/plan.dxf"));
}

} // namespace

TEST(DrawingViewTest, SamplePlanHasTheAdvertisedLayerStates) {
    const auto d = samplePlan();
    EXPECT_GE(d->layerCount(), 12);
    EXPECT_FALSE(d->findLayer(QStringLiteral("A-FURN"))->layerOn);
    EXPECT_TRUE(d->findLayer(QStringLiteral("E-POWER"))->freeze);
    EXPECT_TRUE(d->findLayer(QStringLiteral("A-GRID"))->lock);
    EXPECT_EQ(d->findLayer(QStringLiteral("A-GRID"))->linetype, QStringLiteral("CENTER"));
    EXPECT_TRUE(d->findLayer(QStringLiteral("居間")));
    EXPECT_GT(d->entityCountOnLayer(QStringLiteral("A-WALL")), 0);
}

// Counts the paints a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Scripts regenerate again and again; the window shows the result once they settle,
// and waits longer while calls keep coming, but never forgets the repaint.
TEST(DrawingViewTest, RepaintsAfterRegenerationsSettle) {
    const auto d = samplePlan();
    cadhost::DrawingView view;
    view.setDrawing(d.get());
    view.resize(400, 300);
    view.show();
    PaintCounter counter;
    view.installEventFilter(&counter);
    QTRY_VERIFY_WITH_TIMEOUT(counter.paints > 0, 5000); // the first showing is at once

    counter.paints = 0;
    d->regen(1);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(counter.paints, 0) << "not painted in the middle of a script";

    // A client still at work keeps the repaint waiting; where this machine stalled too
    // long between two of its calls, the window was entitled to paint, so only
    // uninterrupted stretches are judged.
    QElapsedTimer busy;
    busy.start();
    qint64 longestGap = 0;
    qint64 last = 0;
    while (busy.elapsed() < 3 * cadhost::DrawingView::kRegenSettleMs) {
        view.postponeRepaint();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(10);
        longestGap = std::max(longestGap, busy.elapsed() - last);
        last = busy.elapsed();
    }
    if (longestGap < cadhost::DrawingView::kRegenSettleMs / 2) {
        EXPECT_EQ(counter.paints, 0) << "painted while calls kept coming";
    }

    QTRY_VERIFY_WITH_TIMEOUT(counter.paints > 0, 5000);

    // A viewer rebuilding its window pauses between its calls for longer than the
    // regenerations take to settle; the window still waits for it to finish.
    counter.paints = 0;
    d->regen(1);
    view.postponeRepaint(); // the call that regenerated has been answered
    QElapsedTimer script;
    script.start();
    qint64 lastCall = 0;
    bool punctual = true;
    const int pause = 3 * cadhost::DrawingView::kRegenSettleMs;
    while (script.elapsed() < 4 * pause) {
        QTest::qWait(pause);
        punctual =
            punctual && script.elapsed() - lastCall < cadhost::DrawingView::kClientQuietMs - 200;
        lastCall = script.elapsed();
        view.postponeRepaint();
    }
    if (punctual) {
        EXPECT_EQ(counter.paints, 0) << "painted in a pause of a client still at work";
    }
    QTRY_VERIFY_WITH_TIMEOUT(counter.paints > 0, 5000);

    counter.paints = 0;
    view.postponeRepaint(); // nothing pending: nothing scheduled
    QTest::qWait(3 * cadhost::DrawingView::kRegenSettleMs);
    EXPECT_EQ(counter.paints, 0);
}

TEST(DrawingViewTest, DrawsLayerColoursAndHidesLayersThatAreOffOrFrozen) {
    const auto d = samplePlan();
    cadhost::DrawingView view;
    view.setDrawing(d.get());
    const QSize size(800, 600);
    const QColor red = cadhost::AciPalette::color(1);   // A-DOOR
    const QColor black = cadhost::AciPalette::color(7); // A-WALL: white on the CAD, black here
    EXPECT_EQ(black, QColor(Qt::black));

    const QImage shown = view.render(size);
    if (qEnvironmentVariableIsSet("KORVEL_SAVE_RENDER"))
        shown.save(qEnvironmentVariable("KORVEL_SAVE_RENDER"));
    EXPECT_GT(pixelsOf(shown, red), 20);
    EXPECT_GT(pixelsOf(shown, black), 100);

    d->setLayerProperty(QStringLiteral("A-DOOR"), QStringLiteral("LayerOn"), false);
    d->regen(1);
    EXPECT_EQ(pixelsOf(view.render(size), red), 0);

    d->setLayerProperty(QStringLiteral("A-DOOR"), QStringLiteral("LayerOn"), true);
    d->setLayerProperty(QStringLiteral("A-DOOR"), QStringLiteral("Freeze"), true);
    d->regen(1);
    EXPECT_EQ(pixelsOf(view.render(size), red), 0);

    // Every layer off: nothing but the white paper.
    for (const cadhost::Layer& l : std::vector<cadhost::Layer>(d->layers()))
        d->setLayerProperty(l.name, QStringLiteral("LayerOn"), false);
    const QImage empty = view.render(size);
    EXPECT_EQ(empty.pixelColor(400, 300), QColor(Qt::white));
    EXPECT_EQ(pixelsOf(empty, Qt::black), 0);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
