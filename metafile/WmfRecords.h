#pragma once

#include <cstdint>

// Record numbers and constants of the Windows metafile format shared by the
// writer, the validating walker and the tests. Kept here rather than taken
// from libwmf so the writer does not depend on libwmf's headers.
namespace metafile {

constexpr uint32_t kAldusKey = 0x9AC6CDD7u;

enum : uint16_t {
    META_EOF = 0x0000,
    META_SETBKMODE = 0x0102,
    META_SETMAPMODE = 0x0103,
    META_SETPOLYFILLMODE = 0x0106,
    META_SETTEXTALIGN = 0x012E,
    META_SETTEXTCOLOR = 0x0209,
    META_SETWINDOWORG = 0x020B,
    META_SETWINDOWEXT = 0x020C,
    META_MOVETO = 0x0214,
    META_SELECTOBJECT = 0x012D,
    META_DELETEOBJECT = 0x01F0,
    META_CREATEPENINDIRECT = 0x02FA,
    META_CREATEBRUSHINDIRECT = 0x02FC,
    META_CREATEFONTINDIRECT = 0x02FB,
    META_POLYGON = 0x0324,
    META_POLYLINE = 0x0325,
    META_POLYPOLYGON = 0x0538,
    META_TEXTOUT = 0x0521,
    META_EXTTEXTOUT = 0x0A32,
};

constexpr uint16_t MM_ANISOTROPIC = 8;
constexpr uint16_t TRANSPARENT = 1;
constexpr uint16_t ALTERNATE = 1;
constexpr uint16_t PS_SOLID = 0;
constexpr uint16_t PS_NULL = 5;
constexpr uint16_t BS_SOLID = 0;

// Character sets of a font, which say how its texts' bytes are read.
constexpr uint8_t ANSI_CHARSET = 0;
constexpr uint8_t SYMBOL_CHARSET = 2;
constexpr uint8_t MAC_CHARSET = 77;
constexpr uint8_t SHIFTJIS_CHARSET = 128;
constexpr uint8_t HANGUL_CHARSET = 129;
constexpr uint8_t GB2312_CHARSET = 134;
constexpr uint8_t CHINESEBIG5_CHARSET = 136;
constexpr uint8_t GREEK_CHARSET = 161;
constexpr uint8_t TURKISH_CHARSET = 162;
constexpr uint8_t VIETNAMESE_CHARSET = 163;
constexpr uint8_t HEBREW_CHARSET = 177;
constexpr uint8_t ARABIC_CHARSET = 178;
constexpr uint8_t BALTIC_CHARSET = 186;
constexpr uint8_t RUSSIAN_CHARSET = 204;
constexpr uint8_t THAI_CHARSET = 222;
constexpr uint8_t EASTEUROPE_CHARSET = 238;
constexpr uint8_t OEM_CHARSET = 255;
// Ours, for characters no code page holds: the text's bytes are UTF-8. No other
// character set uses this number; a reader that does not know it shows the bytes as
// its default code page does, and libwmf passes them through untouched.
constexpr uint8_t UTF8_CHARSET = 253;

constexpr uint16_t TA_UPDATECP = 1;
constexpr uint16_t TA_LEFT = 0;
constexpr uint16_t TA_RIGHT = 2;
constexpr uint16_t TA_CENTER = 6;
constexpr uint16_t TA_TOP = 0;
constexpr uint16_t TA_BOTTOM = 8;
constexpr uint16_t TA_BASELINE = 24;

// XOR of the ten words before the checksum field of the placeable header.
inline uint16_t aldusChecksum(const uint16_t words[10]) {
    uint16_t sum = 0;
    for (int i = 0; i < 10; ++i)
        sum ^= words[i];
    return sum;
}

} // namespace metafile
