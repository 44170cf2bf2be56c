#include "OverviewZoom.h"

#include "platform/ControlGeometry.h"
#include "platform/Twips.h"
#include "platform/VbNumeric.h"

#include <QLocale>
#include <cmath>

namespace OverviewZoom {

double factor(const QString& zoomText, const QString& sDirection) {
    // The list holds plain whole numbers; read them the same whatever the user's locale.
    const double z = platform::vb::textToNumber(zoomText, QLocale::c()).value_or(0.0);
    const double direction = platform::vb::textToNumber(sDirection, QLocale::c()).value_or(0.0);
    return direction > 0 ? 1 + z * 0.01 : 1 - z * 0.01;
}

Box asked(const Box& saved, double f, double cx, double cy) {
    const qint32 dy = platform::vb::CLng((cy - saved.top) * f);
    const qint32 dx = platform::vb::CLng((cx - saved.left) * f);
    return {cx - dx, cy - dy, saved.width * f, saved.height * f};
}

Box held(const Box& a) {
    using platform::ControlGeometry;
    return {platform::pixelsToTwips(platform::twipsToPixels(a.left)),
            platform::pixelsToTwips(platform::twipsToPixels(a.top)),
            platform::pixelsToTwips(ControlGeometry::sizePixels(a.width)),
            platform::pixelsToTwips(ControlGeometry::sizePixels(a.height))};
}

bool capped(const Box& a) {
    return platform::twipsToPixels(a.width) > platform::kMaxPictureBoxPixels ||
           platform::twipsToPixels(a.height) > platform::kMaxPictureBoxPixels;
}

bool refused(float allRatio, const Box& saved, const Box& a, const Box& now) {
    if (now.width <= 0)
        return true;
    // A square picture stays square at every size; only sides the cap made equal say
    // that the picture no longer fits the box.
    if (now.height == now.width && capped(a))
        return true;
    // A box already at its smallest (or largest) whole-pixel size takes the step without
    // changing: a square picture would otherwise go on "zooming" at one pixel forever.
    if (now.width == saved.width && now.height == saved.height)
        return true;
    const double ratio = std::nearbyint(now.height / now.width * 100.0) / 100.0;
    return std::abs(double(allRatio) - ratio) > 0.1;
}

} // namespace OverviewZoom
