#include "tiles/basDWF.h"

#include <gtest/gtest.h>

namespace {

qint32 rgb(int r, int g, int b) {
    return r + 256 * g + 65536 * b;
}
int red(qint32 c) {
    return c & 0xff;
}
int green(qint32 c) {
    return (c >> 8) & 0xff;
}
int blue(qint32 c) {
    return (c >> 16) & 0xff;
}

TEST(ColourPalette, ListedEntriesAndRowsOfTheRule) {
    struct Row {
        int index, r, g, b;
    };
    const Row rows[] = {
        {1, 255, 0, 0},       {2, 255, 255, 0},     {3, 0, 255, 0},       {4, 0, 255, 255},
        {5, 0, 0, 255},       {6, 255, 0, 255},     {7, 255, 255, 255},   {8, 128, 128, 128},
        {9, 192, 192, 192},   {10, 255, 0, 0},      {11, 255, 127, 127},  {12, 204, 0, 0},
        {13, 204, 102, 102},  {14, 153, 0, 0},      {15, 153, 76, 76},    {16, 127, 0, 0},
        {17, 127, 63, 63},    {18, 76, 0, 0},       {19, 76, 38, 38},     {20, 255, 63, 0},
        {21, 255, 159, 127},  {22, 204, 51, 0},     {30, 255, 127, 0},    {31, 255, 191, 127},
        {40, 255, 191, 0},    {50, 255, 255, 0},    {60, 191, 255, 0},    {90, 0, 255, 0},
        {130, 0, 255, 255},   {170, 0, 0, 255},     {210, 255, 0, 255},   {230, 255, 0, 127},
        {249, 76, 38, 47},    {250, 51, 51, 51},    {251, 91, 91, 91},    {252, 132, 132, 132},
        {253, 173, 173, 173}, {254, 214, 214, 214}, {255, 255, 255, 255},
    };
    for (const Row& row : rows)
        EXPECT_EQ(basDWF::pu_fun_lnColorToRGB(row.index), rgb(row.r, row.g, row.b))
            << "index " << row.index;
    EXPECT_EQ(basDWF::pu_fun_lnColorToRGB(7), 16777215);
}

TEST(ColourPalette, OutsideTheIndexesIsBlack) {
    for (const QVariant& v :
         {QVariant(0), QVariant(256), QVariant(257), QVariant(-1), QVariant(1000), QVariant(7.5),
          QVariant(), QVariant(true), QVariant(QStringLiteral("abc")), QVariant(QString())})
        EXPECT_EQ(basDWF::pu_fun_lnColorToRGB(v), 0) << v.toString().toStdString();
}

TEST(ColourPalette, NumericEqualityAcrossVariantTypes) {
    const qint32 yellow = rgb(255, 255, 0);
    EXPECT_EQ(basDWF::pu_fun_lnColorToRGB(QVariant(2.0)), yellow);
    EXPECT_EQ(basDWF::pu_fun_lnColorToRGB(QVariant(qint64(2))), yellow);
    EXPECT_EQ(basDWF::pu_fun_lnColorToRGB(QVariant(QStringLiteral("2"))), yellow);
    EXPECT_EQ(basDWF::pu_fun_lnColorToRGB(QVariant(QStringLiteral(" 2 "))), yellow);
}

TEST(ColourPalette, OddIndexesAreTheLighterTwinOfTheEvenBelow) {
    for (int even = 10; even <= 248; even += 2) {
        const qint32 strong = basDWF::pu_fun_lnColorToRGB(even);
        const qint32 pale = basDWF::pu_fun_lnColorToRGB(even + 1);
        const int strongMax = std::max({red(strong), green(strong), blue(strong)});
        const int strongMin = std::min({red(strong), green(strong), blue(strong)});
        const int paleMax = std::max({red(pale), green(pale), blue(pale)});
        const int paleMin = std::min({red(pale), green(pale), blue(pale)});
        // Same value level, half the saturation: the brightest component stays, the
        // darkest rises to half of it.
        EXPECT_EQ(paleMax, strongMax) << even;
        EXPECT_EQ(strongMin, 0) << even;
        EXPECT_EQ(paleMin, strongMax / 2) << even;
    }
}

TEST(ColourPalette, EveryHueStepsThroughFiveValueLevels) {
    const int levels[] = {255, 204, 153, 127, 76};
    for (int h = 1; h <= 24; ++h) {
        for (int k = 0; k < 10; k += 2) {
            const qint32 c = basDWF::pu_fun_lnColorToRGB(10 * h + k);
            EXPECT_EQ(std::max({red(c), green(c), blue(c)}), levels[k / 2]) << 10 * h + k;
        }
    }
}

} // namespace
