#pragma once

#include <QVariant>

// Module basDWF: helpers the layer tiles share.
namespace basDWF {

// The screen colour (red + 256 * green + 65536 * blue) of a CAD colour index 1 to 255.
// The index may be any number or numeric text; it must equal a whole index exactly
// (7.0 and "7" are index 7, 7.5 is none). Anything else, 0 and 256 included, is black.
qint32 pu_fun_lnColorToRGB(const QVariant& vColor);

} // namespace basDWF
