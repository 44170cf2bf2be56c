#include "metafile/DibImage.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <bit>

namespace metafile::detail {

namespace {

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3;
constexpr QRgb kBlack = 0xFF000000u;

// One channel of a 16- or 32-bit pixel through its mask, scaled to eight bits.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;
    explicit Channel(uint32_t m) : mask(m) {
        if (!m)
            return;
        shift = std::countr_zero(m);
        max = m >> shift;
    }
    int of(uint32_t pixel) const {
        if (!max)
            return 0;
        return int((uint64_t((pixel & mask) >> shift) * 255 + max / 2) / max);
    }
};

struct Layout {
    int width = 0, height = 0;
    bool topDown = false;
    int bits = 0;
    uint32_t compression = kRgb;
    std::array<QRgb, 256> palette{};
    uint32_t masks[3] = {0, 0, 0};
    std::size_t pixelsAt = 0;
};

bool readLayout(const uint8_t* data, std::size_t length, Layout& l) {
    if (length < 12)
        return false;
    const uint32_t headerSize = qFromLittleEndian<uint32_t>(data);
    if (headerSize > length || (headerSize != 12 && headerSize < 40))
        return false;
    uint64_t colours = 0;
    std::size_t entryBytes = 4;
    if (headerSize == 12) { // the old core header: sizes are words, colours three bytes
        l.width = qFromLittleEndian<uint16_t>(data + 4);
        l.height = qFromLittleEndian<uint16_t>(data + 6);
        l.bits = qFromLittleEndian<uint16_t>(data + 10);
        colours = l.bits <= 8 ? 1u << l.bits : 0;
        entryBytes = 3;
    } else {
        const int32_t width = qFromLittleEndian<int32_t>(data + 4);
        const int32_t height = qFromLittleEndian<int32_t>(data + 8);
        if (width <= 0 || height == 0 || height < -65535 || height > 65535)
            return false;
        l.width = width;
        l.topDown = height < 0;
        l.height = height < 0 ? -height : height;
        l.bits = qFromLittleEndian<uint16_t>(data + 14);
        l.compression = qFromLittleEndian<uint32_t>(data + 16);
        colours = qFromLittleEndian<uint32_t>(data + 32);
        if (colours == 0 && l.bits <= 8)
            colours = 1u << l.bits;
    }
    if (l.width <= 0 || l.height <= 0 || l.width > 65535)
        return false;
    switch (l.compression) {
    case kRgb:
        if (l.bits != 1 && l.bits != 4 && l.bits != 8 && l.bits != 16 && l.bits != 24 &&
            l.bits != 32)
            return false;
        break;
    case kRle8:
    case kRle4:
        // Runs are written bottom-up only.
        if (l.bits != (l.compression == kRle8 ? 8 : 4) || l.topDown)
            return false;
        break;
    case kBitFields:
        if (l.bits != 16 && l.bits != 32)
            return false;
        break;
    default:
        return false;
    }
    uint64_t at = headerSize;
    if (l.compression == kBitFields) {
        // After a 40-byte header the masks follow it; longer headers hold them.
        const uint64_t masksAt = headerSize == 40 ? headerSize : 40;
        if (masksAt + 12 > length)
            return false;
        for (int i = 0; i < 3; ++i)
            l.masks[i] = qFromLittleEndian<uint32_t>(data + masksAt + 4 * i);
        if (headerSize == 40)
            at += 12;
    } else if (l.bits == 16) {
        l.masks[0] = 0x7C00, l.masks[1] = 0x03E0, l.masks[2] = 0x001F;
    } else {
        l.masks[0] = 0xFF0000, l.masks[1] = 0x00FF00, l.masks[2] = 0x0000FF;
    }
    // The table as declared lies before the pixels, however many of its entries the
    // pixels can index; entries it lacks are black.
    if (colours > (length - at) / entryBytes)
        return false;
    l.palette.fill(kBlack);
    if (l.bits <= 8) {
        const std::size_t used = std::size_t(std::min<uint64_t>(colours, 1u << l.bits));
        for (std::size_t i = 0; i < used; ++i) {
            const uint8_t* e = data + at + i * entryBytes;
            l.palette[i] = qRgb(e[2], e[1], e[0]);
        }
    }
    l.pixelsAt = std::size_t(at + colours * entryBytes);
    return true;
}

uint64_t rowBytes(const Layout& l) {
    return (uint64_t(l.width) * l.bits + 31) / 32 * 4;
}

void decodeRows(const Layout& l, const uint8_t* pixels, QImage& image) {
    const uint64_t stride = rowBytes(l);
    const Channel r(l.masks[0]), g(l.masks[1]), b(l.masks[2]);
    for (int row = 0; row < l.height; ++row) {
        const uint8_t* in = pixels + std::size_t(stride) * std::size_t(row);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(l.topDown ? row : l.height - 1 - row));
        for (int x = 0; x < l.width; ++x) {
            switch (l.bits) {
            case 1:
                out[x] = l.palette[(in[x >> 3] >> (7 - (x & 7))) & 1];
                break;
            case 4:
                out[x] = l.palette[(in[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F];
                break;
            case 8:
                out[x] = l.palette[in[x]];
                break;
            case 24: {
                const uint8_t* p = in + 3 * x;
                out[x] = qRgb(p[2], p[1], p[0]);
                break;
            }
            default: { // 16 or 32 bits through the masks; any alpha is not the picture's
                const uint32_t v = l.bits == 16 ? qFromLittleEndian<uint16_t>(in + 2 * x)
                                                : qFromLittleEndian<uint32_t>(in + 4 * x);
                out[x] = qRgb(r.of(v), g.of(v), b.of(v));
                break;
            }
            }
        }
    }
}

// Runs of eight or four bits a pixel. Rows count from the bottom; what the runs do not
// reach keeps the image's transparent fill, and pixels past a row's end are dropped.
bool decodeRuns(const Layout& l, const uint8_t* in, std::size_t bytes, QImage& image) {
    const bool four = l.compression == kRle4;
    int x = 0, row = 0;
    auto put = [&](uint8_t index) {
        if (x < l.width && row < l.height)
            reinterpret_cast<QRgb*>(image.scanLine(l.height - 1 - row))[x] = l.palette[index];
        ++x;
    };
    std::size_t at = 0;
    while (row < l.height) {
        if (bytes - at < 2)
            return false; // the data ends before the bitmap does
        const uint8_t count = in[at], value = in[at + 1];
        at += 2;
        if (count > 0) {
            // Beyond the row's end a run draws nothing: stop there, not 255 steps later.
            const int n = std::min<int>(count, std::max(0, l.width - x));
            for (int i = 0; i < n; ++i)
                put(four ? ((i & 1) ? value & 0x0F : value >> 4) : value);
            x += count - n;
            continue;
        }
        switch (value) {
        case 0: // end of the row
            x = 0;
            ++row;
            break;
        case 1: // end of the bitmap
            return true;
        case 2: // a jump right and up
            if (bytes - at < 2)
                return false;
            x += in[at];
            row += in[at + 1];
            at += 2;
            break;
        default: { // `value` pixels as they are, padded to a whole word
            const std::size_t used = four ? (value + 1u) / 2 : value;
            const std::size_t padded = (used + 1) & ~std::size_t(1);
            if (bytes - at < padded)
                return false;
            for (int i = 0; i < value; ++i) {
                const uint8_t byte = in[at + std::size_t(four ? i / 2 : i)];
                put(four ? ((i & 1) ? byte & 0x0F : byte >> 4) : byte);
            }
            at += padded;
            break;
        }
        }
    }
    return true; // every row is reached: what follows cannot change the bitmap
}

} // namespace

QImage decodeDib(const uint8_t* data, std::size_t length, qint64 maxPixels) {
    Layout l;
    if (!data || !readLayout(data, length, l))
        return QImage();
    const bool runs = l.compression == kRle8 || l.compression == kRle4;
    const uint8_t* pixels = data + l.pixelsAt;
    const std::size_t bytes = length - l.pixelsAt;
    if (qint64(l.width) * l.height > maxPixels ||
        (!runs && rowBytes(l) * uint64_t(l.height) > bytes))
        return QImage();
    QImage image(l.width, l.height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return QImage();
    if (!runs) {
        decodeRows(l, pixels, image);
        return image;
    }
    image.fill(Qt::transparent);
    return decodeRuns(l, pixels, bytes, image) ? image : QImage();
}

} // namespace metafile::detail
