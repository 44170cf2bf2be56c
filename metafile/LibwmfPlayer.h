#pragma once

#include "metafile/MetafilePicture.h"
#include "metafile/WmfValidator.h"

#include <memory>

namespace metafile {

// Plays validated metafile bytes through libwmf into a DisplayList. libwmf
// parses the records and keeps the device context; our device layer (the
// function reference callbacks) turns each drawing call into QPainter calls.
class LibwmfPlayer {
public:
    // Plays the checked records into `out` and tells the picture's natural size;
    // false (and `out` untouched) when libwmf refuses them. Takes the playable bytes
    // over: `checked.playable` is empty afterwards.
    static bool play(WmfValidator::Result& checked, MetafilePicture::Recording& out,
                     QSizeF& naturalTwips);

    // The natural size a placeable header gives; empty without one.
    static QSizeF placeableSizeTwips(const WmfValidator::Result& checked);
};

} // namespace metafile
