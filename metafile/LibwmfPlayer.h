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
    static std::shared_ptr<const MetafilePicture> play(const WmfValidator::Result& checked);
};

} // namespace metafile
