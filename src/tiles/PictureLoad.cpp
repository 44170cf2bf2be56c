#include "PictureLoad.h"

#include "platform/VbError.h"
#include "platform/VbErrorText.h"
#include "platform/VbImage.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <functional>

namespace basDWF {

std::shared_ptr<const metafile::MetafilePicture>
pu_subLoadPicture(platform::VbImage& oImage, const QString& sPath,
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
    oImage.setPicture(picture);
    return picture;
}

void pu_subAwaitPicture(const std::shared_ptr<const metafile::MetafilePicture>& picture,
                        const std::function<void()>& whileWaiting) {
    if (!picture)
        return;
    constexpr int kWaitStepMs = 10;
    while (!picture->waitChecked(kWaitStepMs))
        whileWaiting();
    if (!picture->isSound())
        throw platform::vbError(platform::vberr::InvalidPicture);
}

void pu_subPreparePicture(const std::shared_ptr<const metafile::MetafilePicture>& picture,
                          const platform::VbImage& oImage) {
    if (!picture)
        return;
    // The hints the image paints with: a painter's own, and smooth scaling.
    QImage probe(1, 1, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&probe);
    picture->prepare(oImage.size(), painter.renderHints() | QPainter::SmoothPixmapTransform);
}

} // namespace basDWF
