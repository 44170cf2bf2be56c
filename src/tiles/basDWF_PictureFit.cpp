#include "basDWF_PictureFit.h"

#include "platform/ControlGeometry.h"
#include "platform/VbImage.h"

using platform::ControlGeometry;

namespace basDWF {

void pu_subPictureFit(platform::VbImage& oImage, QWidget& oFrame, qint32 lnReserve, qint32 lnTop) {
    // Hidden while it changes, so the picture is drawn once, at its final place.
    oImage.setVisible(false);
    // Without stretching the box takes the picture's own size: the size never to exceed.
    oImage.setStretch(false);

    const double frameWidth = ControlGeometry::Width(&oFrame);
    const double frameHeight = ControlGeometry::Height(&oFrame);
    double width = ControlGeometry::Width(&oImage);
    double height = ControlGeometry::Height(&oImage);

    if (width > frameWidth) {
        oImage.setStretch(true);
        ControlGeometry::setHeight(&oImage, frameWidth / width * height);
        ControlGeometry::setWidth(&oImage, frameWidth);
        // The box holds whole pixels: go on from what it holds, as the next test does.
        width = ControlGeometry::Width(&oImage);
        height = ControlGeometry::Height(&oImage);
    }
    const float freeHeight = float(frameHeight - lnReserve);
    if (freeHeight < height) {
        oImage.setStretch(true);
        ControlGeometry::setWidth(&oImage, (frameHeight - lnReserve) / height * width);
        ControlGeometry::setHeight(&oImage, frameHeight - lnReserve);
        width = ControlGeometry::Width(&oImage);
        height = ControlGeometry::Height(&oImage);
    }

    ControlGeometry::setLeft(&oImage, (frameWidth - width) / 2);
    ControlGeometry::setTop(&oImage, (frameHeight - lnReserve - height) / 2 + lnTop);
    oImage.setVisible(true);
}

} // namespace basDWF
