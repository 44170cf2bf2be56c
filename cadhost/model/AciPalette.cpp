#include "cadhost/model/AciPalette.h"

#include <array>

namespace cadhost {

namespace {

// Colours 10..249 run through 24 hues in steps of 15 degrees; inside each group of ten
// the brightness falls in five steps, every second colour at half saturation.
std::array<QColor, 256> buildTable() {
    std::array<QColor, 256> t;
    t.fill(QColor(0, 0, 0));
    t[1] = QColor(255, 0, 0);
    t[2] = QColor(255, 255, 0);
    t[3] = QColor(0, 255, 0);
    t[4] = QColor(0, 255, 255);
    t[5] = QColor(0, 0, 255);
    t[6] = QColor(255, 0, 255);
    t[7] = QColor(0, 0, 0); // white on the CAD's black screen, black on our white one
    t[8] = QColor(128, 128, 128);
    t[9] = QColor(192, 192, 192);
    static constexpr std::array<double, 5> kValue = {1.0, 0.8, 0.6, 0.5, 0.3};
    for (int i = 10; i <= 249; ++i) {
        const int hueStep = (i - 10) / 10;
        const int inGroup = (i - 10) % 10;
        const double saturation = (inGroup % 2) ? 0.5 : 1.0;
        t[std::size_t(i)] = QColor::fromHsvF(float(hueStep * 15) / 360.0f, float(saturation),
                                             float(kValue[std::size_t(inGroup / 2)]))
                                .toRgb();
    }
    static constexpr std::array<int, 6> kGrey = {51, 91, 132, 173, 214, 255};
    for (int i = 0; i < 6; ++i)
        t[std::size_t(250 + i)] =
            QColor(kGrey[std::size_t(i)], kGrey[std::size_t(i)], kGrey[std::size_t(i)]);
    return t;
}

} // namespace

QColor AciPalette::color(int aci) {
    static const std::array<QColor, 256> kTable = buildTable();
    if (aci < 1 || aci > 255)
        return QColor(0, 0, 0);
    return kTable[std::size_t(aci)];
}

} // namespace cadhost
