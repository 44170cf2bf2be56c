#include "basDWF.h"

#include "platform/VbNumeric.h"

#include <array>

namespace basDWF {
namespace {

constexpr qint32 rgb(int r, int g, int b) {
    return r + 256 * g + 65536 * b;
}

// Indexes 10 to 249 step through 24 hues of 15 degrees; within a hue the last digit picks
// one of five brightness levels, odd digits at half saturation. Components are rounded
// down from the exact value, which the arithmetic in eighths below keeps exact.
qint32 ruleColour(int index) {
    static constexpr int kValue[5] = {255, 204, 153, 127, 76};
    const int h = index / 10;
    const int k = index % 10;
    const int hue = (h - 1) * 15;
    const int v = kValue[k / 2];
    const int s2 = (k % 2 == 0) ? 2 : 1; // saturation in halves
    const int sector = hue / 60;
    const int f4 = (hue % 60) / 15; // fraction in quarters
    const int p = v * (2 - s2) / 2;
    const int q = v * (8 - s2 * f4) / 8;
    const int t = v * (8 - s2 * (4 - f4)) / 8;
    switch (sector) {
    case 0:
        return rgb(v, t, p);
    case 1:
        return rgb(q, v, p);
    case 2:
        return rgb(p, v, t);
    case 3:
        return rgb(p, q, v);
    case 4:
        return rgb(t, p, v);
    default:
        return rgb(v, p, q);
    }
}

const std::array<qint32, 256>& palette() {
    static const std::array<qint32, 256> table = [] {
        std::array<qint32, 256> t{};
        const qint32 listed[] = {rgb(255, 0, 0),     rgb(255, 255, 0),   rgb(0, 255, 0),
                                 rgb(0, 255, 255),   rgb(0, 0, 255),     rgb(255, 0, 255),
                                 rgb(255, 255, 255), rgb(128, 128, 128), rgb(192, 192, 192)};
        for (int i = 1; i <= 9; ++i)
            t[i] = listed[i - 1];
        for (int i = 10; i <= 249; ++i)
            t[i] = ruleColour(i);
        const int greys[] = {51, 91, 132, 173, 214, 255};
        for (int i = 250; i <= 255; ++i)
            t[i] = rgb(greys[i - 250], greys[i - 250], greys[i - 250]);
        return t;
    }();
    return table;
}

} // namespace

qint32 pu_fun_lnColorToRGB(const QVariant& vColor) {
    // Empty compares as 0 and booleans as -1/0: neither is an index.
    const auto number = platform::vb::variantToNumber(vColor);
    if (!number || *number < 1 || *number > 255 || *number != double(int(*number)))
        return 0;
    return palette()[int(*number)];
}

} // namespace basDWF
