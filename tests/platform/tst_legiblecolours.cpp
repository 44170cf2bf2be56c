// Pictures stay legible on a tile's grey: colours close to the background move away
// from it in brightness, the rest stay as the drawing has them.

#include "platform/LegibleColours.h"

#include <QImage>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

const QColor kTileGrey(128, 128, 128);

int lightness(QRgb c) {
    return (qRed(c) * 299 + qGreen(c) * 587 + qBlue(c) * 114) / 1000;
}

TEST(LegibleColours, GreysNearTheBackgroundMoveAwayFarColoursStay) {
    const struct {
        const char* what;
        QRgb colour;
        bool moves;
    } cases[] = {
        {"colour 8 is the background itself", qRgb(128, 128, 128), true},
        {"colour 253", qRgb(130, 130, 130), true},
        {"colour 252", qRgb(105, 105, 105), true},
        {"colour 251", qRgb(80, 80, 80), true},
        {"colour 250", qRgb(51, 51, 51), false},
        {"colour 9", qRgb(192, 192, 192), false},
        {"red", qRgb(255, 0, 0), true}, // as bright as the grey: it moves, keeping its hue
        {"blue", qRgb(0, 0, 255), false},
        {"white", qRgb(255, 255, 255), false},
        {"black", qRgb(0, 0, 0), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QRgb shown = platform::legibleAgainst(c.colour, kTileGrey);
        EXPECT_EQ(shown != c.colour, c.moves);
        EXPECT_GE(std::abs(lightness(shown) - 128), 64);
        EXPECT_EQ(qAlpha(shown), 255);
    }
    // Red keeps being the reddest channel.
    const QRgb red = platform::legibleAgainst(qRgb(255, 0, 0), kTileGrey);
    EXPECT_GT(qRed(red), qGreen(red));
    EXPECT_EQ(qGreen(red), qBlue(red));
}

TEST(LegibleColours, TransparencyIsKeptAndABrightBackgroundTurnsTheOtherWay) {
    EXPECT_EQ(platform::legibleAgainst(qRgba(0, 0, 0, 0), kTileGrey), qRgba(0, 0, 0, 0));
    // Half covered anti-aliased edge: moved, still half covered.
    const QRgb edge = platform::legibleAgainst(qPremultiply(qRgba(128, 128, 128, 128)), kTileGrey);
    EXPECT_EQ(qAlpha(edge), 128);
    EXPECT_NE(qUnpremultiply(edge), qRgba(128, 128, 128, 128));
    // On white there is no lighter: near-white goes darker.
    const QRgb onWhite = platform::legibleAgainst(qRgb(250, 250, 250), QColor(Qt::white));
    EXPECT_LE(lightness(onWhite), 255 - 64);
}

TEST(LegibleColours, AWholeImageIsAdjustedPixelByPixel) {
    QImage image(4, 1, QImage::Format_ARGB32_Premultiplied);
    image.setPixel(0, 0, qRgb(128, 128, 128));
    image.setPixel(1, 0, qRgb(0, 0, 255));
    image.setPixel(2, 0, qRgba(0, 0, 0, 0));
    image.setPixel(3, 0, qRgb(130, 130, 130));
    platform::makeLegible(image, kTileGrey);
    EXPECT_GE(std::abs(lightness(image.pixel(0, 0)) - 128), 64);
    EXPECT_EQ(image.pixel(1, 0), qRgb(0, 0, 255));
    EXPECT_EQ(qAlpha(image.pixel(2, 0)), 0);
    EXPECT_GE(std::abs(lightness(image.pixel(3, 0)) - 128), 64);
}

} // namespace
