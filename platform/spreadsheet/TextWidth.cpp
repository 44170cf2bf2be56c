#include "platform/spreadsheet/TextWidth.h"

#include <algorithm>

namespace spreadsheet {

namespace {

struct CodeRange {
    char32_t first;
    char32_t last;
};

// The wide (W) and fullwidth (F) blocks of Unicode's East Asian Width, coarsely: what a
// Japanese table holds is covered exactly; rare scripts may be off by a character.
constexpr CodeRange kWide[] = {
    {0x1100, 0x115F},   // Hangul Jamo initials
    {0x2E80, 0x303E},   // CJK radicals, Kangxi, ideographic description, CJK punctuation
    {0x3041, 0x33FF},   // Hiragana, Katakana, Bopomofo, Hangul compatibility, CJK compat.
    {0x3400, 0x4DBF},   // CJK extension A
    {0x4E00, 0x9FFF},   // CJK unified ideographs
    {0xA000, 0xA4CF},   // Yi
    {0xA960, 0xA97F},   // Hangul Jamo extended A
    {0xAC00, 0xD7A3},   // Hangul syllables
    {0xF900, 0xFAFF},   // CJK compatibility ideographs
    {0xFE10, 0xFE19},   // vertical forms
    {0xFE30, 0xFE6F},   // CJK compatibility forms, small form variants
    {0xFF00, 0xFF60},   // fullwidth ASCII and punctuation
    {0xFFE0, 0xFFE6},   // fullwidth signs
    {0x1F300, 0x1F64F}, // pictographs, emoticons
    {0x1F900, 0x1F9FF}, // supplemental pictographs
    {0x20000, 0x2FFFD}, // CJK extensions B to F, compatibility supplement
    {0x30000, 0x3FFFD}, // CJK extension G and later
};

int columnsOf(char32_t c) {
    if (c == 0x3099 || c == 0x309A || (c >= 0x0300 && c <= 0x036F) ||
        (c >= 0xFE00 && c <= 0xFE0F) || c == 0x200B || c == 0x200D)
        return 0;
    for (const CodeRange& r : kWide) {
        if (c >= r.first && c <= r.last)
            return 2;
    }
    return 1;
}

} // namespace

double displayWidth(const QString& text) {
    int widest = 0;
    int line = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        if (c == U'\n' || c == U'\r') {
            line = 0;
            continue;
        }
        line += columnsOf(c);
        widest = std::max(widest, line);
    }
    return widest;
}

} // namespace spreadsheet
