#include "metafile/TextCodec.h"

#include "metafile/WmfRecords.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <array>
#include <map>

namespace metafile {

namespace {

// Where a character goes when Japanese cannot hold it: the Western, Greek, Cyrillic
// and Central European code pages hold what drawings mostly add (accents, the
// diameter's Ø, Greek), then the rest of the world's; the symbol font's own encoding
// has the mathematical signs (∅, ≤, ≈) that no code page has.
constexpr std::array<uint8_t, 16> kPreference = {
    SHIFTJIS_CHARSET,   ANSI_CHARSET,        GREEK_CHARSET,      RUSSIAN_CHARSET,
    EASTEUROPE_CHARSET, TURKISH_CHARSET,     BALTIC_CHARSET,     HEBREW_CHARSET,
    ARABIC_CHARSET,     THAI_CHARSET,        VIETNAMESE_CHARSET, HANGUL_CHARSET,
    GB2312_CHARSET,     CHINESEBIG5_CHARSET, SYMBOL_CHARSET,     UTF8_CHARSET};

const char* codecName(uint8_t charset) {
    switch (charset) {
    case SHIFTJIS_CHARSET:
        return "Shift_JIS";
    case HANGUL_CHARSET:
        return "windows-949";
    case GB2312_CHARSET:
        return "GBK";
    case CHINESEBIG5_CHARSET:
        return "Big5";
    case GREEK_CHARSET:
        return "windows-1253";
    case TURKISH_CHARSET:
        return "windows-1254";
    case VIETNAMESE_CHARSET:
        return "windows-1258";
    case HEBREW_CHARSET:
        return "windows-1255";
    case ARABIC_CHARSET:
        return "windows-1256";
    case BALTIC_CHARSET:
        return "windows-1257";
    case RUSSIAN_CHARSET:
        return "windows-1251";
    case THAI_CHARSET:
        return "windows-874";
    case EASTEUROPE_CHARSET:
        return "windows-1250";
    case MAC_CHARSET:
        return "macintosh";
    case OEM_CHARSET:
        return "IBM437";
    case UTF8_CHARSET:
        return "UTF-8";
    default:
        // ANSI, DEFAULT, and sets we do not know: all of them share the Western code
        // page's first half, so a label in a set we lack keeps its digits and letters.
        return "windows-1252";
    }
}

// The symbol font's encoding from 0x20 on, as Unicode; 0 where it has no character.
constexpr std::array<char16_t, 224> kSymbol = {
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B, // 0x20
    0x0028, 0x0029, 0x2217, 0x002B, 0x002C, 0x2212, 0x002E, 0x002F, // 0x28
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037, // 0x30
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F, // 0x38
    0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393, // 0x40
    0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F, // 0x48
    0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9, // 0x50
    0x039E, 0x03A8, 0x0396, 0x005B, 0x2234, 0x005D, 0x22A5, 0x005F, // 0x58
    0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3, // 0x60
    0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF, // 0x68
    0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9, // 0x70
    0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D, 0x223C, 0,      // 0x78
    0,      0,      0,      0,      0,      0,      0,      0,      // 0x80
    0,      0,      0,      0,      0,      0,      0,      0,      // 0x88
    0,      0,      0,      0,      0,      0,      0,      0,      // 0x90
    0,      0,      0,      0,      0,      0,      0,      0,      // 0x98
    0,      0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663, // 0xA0
    0x2666, 0x2665, 0x2660, 0x2194, 0x2190, 0x2191, 0x2192, 0x2193, // 0xA8
    0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022, // 0xB0
    0x00F7, 0x2260, 0x2261, 0x2248, 0x2026, 0,      0,      0x21B5, // 0xB8
    0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229, // 0xC0
    0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209, // 0xC8
    0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5, // 0xD0
    0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3, // 0xD8
    0x25CA, 0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0,      0,      // 0xE0
    0,      0,      0,      0,      0,      0,      0,      0,      // 0xE8
    0,      0x232A, 0x222B, 0x2320, 0,      0x2321, 0,      0,      // 0xF0
    0,      0,      0,      0,      0,      0,      0,      0,      // 0xF8
};

QString decodeSymbol(QByteArrayView bytes) {
    QString out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<uint8_t>(c);
        const char16_t u = b >= 0x20 ? kSymbol[b - 0x20] : char16_t(b);
        out.append(u ? QChar(u) : QChar::ReplacementCharacter);
    }
    return out;
}

double emsOf(char32_t c) {
    return c < 0x0300 || (c >= 0xFF61 && c <= 0xFF9F) ? 0.5 : 1.0;
}

} // namespace

struct TextCodec::Converters {
    std::map<uint8_t, QStringEncoder> encoders;
    std::map<uint8_t, QStringDecoder> decoders;

    QStringEncoder& encoder(uint8_t charset) {
        auto it = encoders.find(charset);
        if (it == encoders.end())
            it = encoders
                     .emplace(charset,
                              QStringEncoder(codecName(charset), QStringConverter::Flag::Stateless))
                     .first;
        return it->second;
    }
    QStringDecoder& decoder(uint8_t charset) {
        auto it = decoders.find(charset);
        if (it == decoders.end())
            it = decoders
                     .emplace(charset,
                              QStringDecoder(codecName(charset), QStringConverter::Flag::Stateless))
                     .first;
        return it->second;
    }
};

TextCodec::TextCodec() : m_converters(std::make_unique<Converters>()) {}
TextCodec::~TextCodec() = default;
TextCodec::TextCodec(TextCodec&&) noexcept = default;
TextCodec& TextCodec::operator=(TextCodec&&) noexcept = default;

const char* TextCodec::faceFor(uint8_t charset) {
    return charset == SYMBOL_CHARSET ? "Symbol" : "MS Gothic";
}

QString TextCodec::decode(QByteArrayView bytes, uint8_t charset) {
    if (charset == SYMBOL_CHARSET)
        return decodeSymbol(bytes);
    QStringDecoder& decoder = m_converters->decoder(charset);
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    decoder.resetState();
    return decoder.decode(bytes);
}

bool TextCodec::encodeOne(uint8_t charset, QStringView piece, QByteArray& out) {
    if (charset == SYMBOL_CHARSET) {
        if (piece.size() != 1)
            return false;
        const auto at = std::find(kSymbol.begin(), kSymbol.end(), piece.front().unicode());
        if (at == kSymbol.end() || *at == 0)
            return false;
        out = QByteArray(1, char(0x20 + (at - kSymbol.begin())));
        return true;
    }
    QStringEncoder& encoder = m_converters->encoder(charset);
    if (!encoder.isValid())
        return false;
    encoder.resetState();
    out = encoder.encode(piece);
    // A converter may put a look-alike in place of what its set lacks, without saying
    // so; only a character that comes back as itself is held.
    return !encoder.hasError() && !out.isEmpty() && decode(out, charset) == piece;
}

std::vector<TextCodec::Run> TextCodec::encode(QStringView text, qsizetype maxBytes) {
    std::vector<Run> runs;
    maxBytes = std::max<qsizetype>(maxBytes, 4); // room for any one character
    // Nearly every text of a drawing is Japanese or plain Latin: one conversion.
    if (!text.contains(QChar(0))) {
        QByteArray bytes;
        if (encodeOne(SHIFTJIS_CHARSET, text, bytes) && bytes.size() <= maxBytes) {
            Run run{SHIFTJIS_CHARSET, std::move(bytes), 0};
            for (const QChar c : text)
                run.ems += emsOf(c.unicode());
            runs.push_back(std::move(run));
            return runs;
        }
    }
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length =
            text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2
                                                                                             : 1;
        const QStringView piece = text.mid(i, length);
        const char32_t c =
            length == 2 ? QChar::surrogateToUcs4(piece[0], piece[1]) : piece[0].unicode();
        i += length;
        if (c == 0)
            continue;
        // A character stays in the run it comes in when that run's set holds it, so that
        // the digits after a Ø do not start a run of their own. A run of our UTF-8
        // keeps only what no code page holds, and the digits and spaces around it.
        bool held = !runs.empty() && (runs.back().charset != UTF8_CHARSET || c < 0x80) &&
                    encodeOne(runs.back().charset, piece, bytes);
        for (auto charset = kPreference.begin(); !held && charset != kPreference.end(); ++charset) {
            held = encodeOne(*charset, piece, bytes);
            if (held && (runs.empty() || runs.back().charset != *charset))
                runs.push_back(Run{*charset, {}, 0});
        }
        if (!held)
            continue; // half a surrogate pair is no character, not even in UTF-8
        if (runs.back().bytes.size() + bytes.size() > maxBytes)
            runs.push_back(Run{runs.back().charset, {}, 0});
        runs.back().bytes += bytes;
        runs.back().ems += emsOf(c);
    }
    return runs;
}

} // namespace metafile
