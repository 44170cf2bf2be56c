#pragma once

// The device-independent bitmaps that metafile records carry (stretched, blitted, or as
// a brush's pattern), decoded here rather than by an image reader: a file's bitmap may
// index past its colour table, end its runs early or hold fewer rows than it claims,
// and each of those once reached the painter as memory nobody had written.

#include <QImage>

#include <cstddef>
#include <cstdint>

namespace metafile::detail {

// The bitmap in `data` (its header, colour table and pixels, without a file header) as
// a premultiplied image whose every pixel is defined: an index past the colour table is
// black, as the system shows it; what a run-length bitmap's runs skip is transparent,
// as the system leaves what lies beneath. A null image when the bytes do not hold the
// bitmap they describe (runs or rows cut short, an unknown format) or when it would have
// more than `maxPixels` pixels.
QImage decodeDib(const uint8_t* data, std::size_t length, qint64 maxPixels);

} // namespace metafile::detail
