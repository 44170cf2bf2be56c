#pragma once

#include <QColor>

namespace cadhost {

// The CAD's 255-colour index as RGB, for drawing on a white background: colour 7
// (white on the CAD's black screen) is drawn black.
class AciPalette {
public:
    // ACI 1..255; anything else gives black.
    static QColor color(int aci);
};

} // namespace cadhost
