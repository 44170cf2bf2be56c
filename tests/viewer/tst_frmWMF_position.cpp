// Where the window opens and what it writes back: under a window manager that frames
// it, as on a desktop, a start and a close write back exactly what was read; damaged
// settings open a usable window on the screen.

#include "viewer/WindowPlacement.h"

#include "PrivateXServer.h"
#include "ViewerProcess.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <gtest/gtest.h>

namespace {

using WindowPlacement::onScreen;

const QSizeF kMinimum(3090, 4380);
// A 1280 x 1024 screen less a 450-twip panel at the top, and one to its right.
const QRectF kPrimary(0, 450, 19200, 14910);
const QRectF kRight(19200, 0, 19200, 15360);

TEST(WindowPlacement, SaneValuesAreKeptDamagedOnesGiveAUsableWindow) {
    const struct {
        const char* what;
        QRectF saved;
        QRectF placed;
    } cases[] = {
        {"a place on the primary screen", {450, 600, 5820, 8625}, {450, 600, 5820, 8625}},
        {"under the top panel", {0, 0, 5820, 8625}, {0, 450, 5820, 8625}},
        {"a place on the second screen", {20000, 300, 6000, 7000}, {20000, 300, 6000, 7000}},
        {"partly off the edge, title bar in reach",
         {-2000, 600, 6000, 7000},
         {-2000, 600, 6000, 7000}},
        {"no size", {450, 600, 0, 0}, {450, 600, 3090, 4380}},
        {"negative sizes", {450, 600, -500, -20}, {450, 600, 3090, 4380}},
        {"too small a height springs back", {450, 600, 9000, 100}, {450, 600, 9000, 4380}},
        {"huge sizes are held to the largest screen",
         {0, 450, 99999999, 99999999},
         {0, 450, 19200, 15360}},
        {"far off every screen", {-99999, 99999, 6000, 7000}, {0, 8360, 6000, 7000}},
        {"above every screen", {3000, -9000, 6000, 7000}, {3000, 450, 6000, 7000}},
        {"huge and away: the primary screen's size, in its corner",
         {50000000, 50000000, 99999999, 99999999},
         {0, 450, 19200, 14910}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(onScreen(c.saved, kMinimum, {kPrimary, kRight}), c.placed);
    }
    // Without a screen to go by only the minimum holds.
    EXPECT_EQ(onScreen({-99999, 5, 0, 99999}, kMinimum, {}), QRectF(-99999, 5, 3090, 99999));
}

// The saved position as the viewer wrote it.
struct Saved {
    int left, top, width, height;
    bool operator==(const Saved&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Saved& s) {
    return os << s.left << "," << s.top << " " << s.width << "x" << s.height;
}

Saved readSaved(const QString& ini) {
    QSettings settings(ini, QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("WMFPosi"));
    return {settings.value(QStringLiteral("left"), -1).toInt(),
            settings.value(QStringLiteral("top"), -1).toInt(),
            settings.value(QStringLiteral("width"), -1).toInt(),
            settings.value(QStringLiteral("height"), -1).toInt()};
}

TEST(WindowUnderAWindowManager, AStartAndACloseWriteBackExactlyWhatWasRead) {
    korvel::test::PrivateXServer x(korvel::test::PrivateXServer::WithWindowManager);
    if (!x.isRunning())
        GTEST_SKIP() << x.whyNot().toStdString();
    korvel::test::ViewerProcess viewer;
    ASSERT_TRUE(viewer.isValid());
    const QString ini = viewer.filePath(QStringLiteral("TARNIX.ini"));

    // The first start: no settings file, the defaults.
    ASSERT_TRUE(viewer.start(x.display())) << viewer.output().toStdString();
    ASSERT_TRUE(viewer.terminate()) << viewer.output().toStdString();
    const Saved first = readSaved(ini);
    EXPECT_EQ(first.width, 5820);
    EXPECT_EQ(first.height, 8625);

    // Every later start reads and writes the same.
    for (int start = 2; start <= 3; ++start) {
        SCOPED_TRACE(start);
        ASSERT_TRUE(viewer.start(x.display())) << viewer.output().toStdString();
        ASSERT_TRUE(viewer.terminate()) << viewer.output().toStdString();
        EXPECT_EQ(readSaved(ini), first);
    }

    // A place the user chose comes back as it was.
    QFile file(ini);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("[WMFPosi]\nleft=1500\ntop=900\nwidth=6000\nheight=7005\n");
    file.close();
    ASSERT_TRUE(viewer.start(x.display())) << viewer.output().toStdString();
    ASSERT_TRUE(viewer.terminate()) << viewer.output().toStdString();
    EXPECT_EQ(readSaved(ini), (Saved{1500, 900, 6000, 7005}));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
