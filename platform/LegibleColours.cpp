#include "platform/LegibleColours.h"

#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace platform {

namespace {

// Brightness as the eye weighs the channels, 0 to 255.
int lightness(int r, int g, int b) {
    return (r * 299 + g * 587 + b * 114) / 1000;
}

// The least brightness difference that still reads at a glance on a tile, and the one
// a colour that has less is given.
constexpr int kLeastContrast = 64;
constexpr int kGivenContrast = 80;

} // namespace

QRgb legibleAgainst(QRgb pixel, QColor background) {
    const int alpha = qAlpha(pixel);
    if (alpha == 0)
        return pixel;
    const QRgb plain = qUnpremultiply(pixel);
    const int r = qRed(plain), g = qGreen(plain), b = qBlue(plain);
    const int own = lightness(r, g, b);
    const int behind = lightness(background.red(), background.green(), background.blue());
    if (std::abs(own - behind) >= kLeastContrast)
        return pixel;
    // Away from the background, lighter when it is as light or lighter; to the other
    // side when the way is blocked (a background near white or black).
    int target = own >= behind ? behind + kGivenContrast : behind - kGivenContrast;
    if (target > 255)
        target = behind - kGivenContrast;
    if (target < 0)
        target = behind + kGivenContrast;
    // Darker by scaling towards black, lighter by mixing with white: both keep the hue
    // and reach the target brightness without a channel running out of range.
    double (*toward)(int, double) = nullptr;
    double amount = 0;
    if (target < own) {
        amount = double(target) / own;
        toward = [](int channel, double factor) { return channel * factor; };
    } else {
        amount = double(target - own) / (255 - own);
        toward = [](int channel, double mix) { return channel + (255 - channel) * mix; };
    }
    const auto moved = [&](int channel) {
        return std::clamp(int(std::lround(toward(channel, amount))), 0, 255);
    };
    return qPremultiply(qRgba(moved(r), moved(g), moved(b), alpha));
}

void makeLegible(QImage& image, QColor background) {
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        image.convertTo(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = legibleAgainst(line[x], background);
    }
}

} // namespace platform
