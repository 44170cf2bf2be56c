#pragma once

#include "metafile/MetafilePicture.h"

#include <QString>

#include <functional>
#include <memory>

namespace platform {
class VbImage;
}

namespace basDWF {

// Loads a metafile into an image as loading a picture does: a missing file raises 53,
// a file that is there but is no picture raises 481, and the image keeps what it
// showed. A picture played in the background shows blank until it is played and is
// painted then; a deferred one is played when first painted.
std::shared_ptr<const metafile::MetafilePicture>
pu_subLoadPicture(platform::VbImage& oImage, const QString& sPath,
                  metafile::MetafilePicture::Play play);

// A picture played in the background is read and checked on the worker, its headers
// only on loading: waits for the worker's verdict, calling `whileWaiting` every few
// milliseconds so that the window goes on answering, and raises 481 for a file that
// is no picture, as loading it raises for any other. The image then shows nothing.
void pu_subAwaitPicture(const std::shared_ptr<const metafile::MetafilePicture>& picture,
                        const std::function<void()>& whileWaiting);

// Has a picture played in the background make its pixels for the image's present size
// on the worker as well (see MetafilePicture::prepare), as the image will paint it.
void pu_subPreparePicture(const std::shared_ptr<const metafile::MetafilePicture>& picture,
                          const platform::VbImage& oImage);

} // namespace basDWF
