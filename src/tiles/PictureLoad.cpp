#include "PictureLoad.h"

#include "platform/VbError.h"
#include "platform/VbErrorText.h"
#include "platform/VbImage.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <functional>

namespace basDWF {

void pu_subLoadPicture(platform::VbImage& oImage, const QString& sPath,
                       metafile::MetafilePicture::Play play) {
    if (!QFileInfo(sPath).isFile())
        throw platform::vbError(platform::vberr::FileNotFound);
    std::function<void()> played;
    if (play == metafile::MetafilePicture::Play::InBackground) {
        // Played on a worker: the repaint must happen on the window's thread, and only
        // if the image is still there.
        played = [target = QPointer<platform::VbImage>(&oImage)] {
            QMetaObject::invokeMethod(
                qApp,
                [target] {
                    if (target)
                        target->update();
                },
                Qt::QueuedConnection);
        };
    }
    auto picture = metafile::MetafilePicture::load(sPath, play, std::move(played));
    if (!picture)
        throw platform::vbError(platform::vberr::InvalidPicture);
    oImage.setPicture(std::move(picture));
}

} // namespace basDWF
