#pragma once

#include <QColor>

class QImage;

namespace platform {

// Keeps a picture legible on the background it is shown on. A drawing's grey objects
// (colour 8, the greys 251 to 253) vanish on a grey tile; their pixels are moved in
// brightness away from the background until they stand out, keeping their hue.
// Colours far enough from the background, and transparent pixels, are left as they
// are. Only what the screen shows changes: the files keep the drawing's colours.
QRgb legibleAgainst(QRgb pixel, QColor background);
void makeLegible(QImage& image, QColor background);

} // namespace platform
