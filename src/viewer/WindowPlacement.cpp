#include "WindowPlacement.h"

#include <algorithm>
#include <cmath>

namespace WindowPlacement {

namespace {

// A size from the file that is no number at all reads as 0 and is held to the minimum
// like any other size too small.
double held(double value, double least, double most) {
    if (!std::isfinite(value) || value < least)
        return least;
    return std::min(value, std::max(least, most));
}

bool reachable(const QRectF& window, const QRectF& screen) {
    const QRectF strip(window.left(), window.top(), window.width(), kTitleStrip);
    const QRectF shown = strip.intersected(screen);
    return shown.width() >= std::min(kReachableWidth, window.width()) && shown.height() > 0;
}

} // namespace

QRectF onScreen(const QRectF& saved, const QSizeF& minimum, const QList<QRectF>& screens) {
    if (screens.isEmpty())
        return {saved.left(), saved.top(), held(saved.width(), minimum.width(), saved.width()),
                held(saved.height(), minimum.height(), saved.height())};
    // The size a screen can show: the largest available area of any screen.
    QSizeF largest;
    for (const QRectF& s : screens)
        largest = largest.expandedTo(s.size());
    QRectF window(saved.left(), saved.top(), held(saved.width(), minimum.width(), largest.width()),
                  held(saved.height(), minimum.height(), largest.height()));
    for (const QRectF& s : screens)
        if (reachable(window, s))
            return window;
    // On no screen: the nearest place on the primary one that shows the whole window.
    const QRectF& primary = screens.front();
    window.setWidth(std::min(window.width(), std::max(minimum.width(), primary.width())));
    window.setHeight(std::min(window.height(), std::max(minimum.height(), primary.height())));
    window.moveLeft(std::clamp(window.left(), primary.left(),
                               std::max(primary.left(), primary.right() - window.width())));
    window.moveTop(std::clamp(window.top(), primary.top(),
                              std::max(primary.top(), primary.bottom() - window.height())));
    return window;
}

} // namespace WindowPlacement
