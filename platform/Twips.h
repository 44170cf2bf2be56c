#pragma once

#include <cmath>

namespace platform {

// Window coordinates are twips everywhere; pixels appear only at the widget boundary.
// At 96 dpi a pixel is 15 twips. Sizes are held in whole pixels, as a Windows control
// holds them, and a picture box cannot grow beyond kMaxPictureBoxPixels a side.
inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kMaxPictureBoxPixels = 32767;

inline int twipsToPixels(double twips) {
    return static_cast<int>(std::nearbyint(twips / kTwipsPerPixel));
}

inline double pixelsToTwips(int pixels) {
    return static_cast<double>(pixels) * kTwipsPerPixel;
}

// A twips measure as a control stores it: rounded to whole pixels, within the cap.
inline double snapTwips(double twips) {
    int px = twipsToPixels(twips);
    if (px > kMaxPictureBoxPixels)
        px = kMaxPictureBoxPixels;
    if (px < -kMaxPictureBoxPixels)
        px = -kMaxPictureBoxPixels;
    return pixelsToTwips(px);
}

} // namespace platform
