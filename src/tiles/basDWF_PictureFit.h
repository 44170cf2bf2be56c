#pragma once

#include <QtGlobal>

class QWidget;

namespace platform {
class VbImage;
}

namespace basDWF {

// Shows oImage's picture as large as it can be inside oFrame without enlarging or
// distorting it: at its own size when it fits, else scaled down to the frame's width
// and then to the frame's height less lnReserve. Centred across the frame and in the
// height less the reserve, then moved down by lnTop. All measures are twips. Errors
// reach the caller.
void pu_subPictureFit(platform::VbImage& oImage, QWidget& oFrame, qint32 lnReserve, qint32 lnTop);

} // namespace basDWF
