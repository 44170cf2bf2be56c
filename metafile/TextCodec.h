#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <memory>
#include <vector>

namespace metafile {

// A metafile's text is bytes in the character set of the font it is drawn with. The
// writer puts each character in the first character set of a fixed order that holds
// it (Japanese first), so that any reader of metafiles shows it; what none holds goes
// out as UTF-8 under a character set of our own (UTF8_CHARSET). The reader turns each
// text back by its font's character set.
//
// One codec per writer or player, used by one thread: it keeps a converter for each
// character set once one is needed, as opening one costs more than converting a label.
class TextCodec {
public:
    TextCodec();
    ~TextCodec();
    TextCodec(TextCodec&&) noexcept;
    TextCodec& operator=(TextCodec&&) noexcept;

    QString decode(QByteArrayView bytes, uint8_t charset);

    struct Run {
        uint8_t charset = 0;
        QByteArray bytes;
        // Advance at a height of one in the fixed-pitch Japanese face the writer names
        // (half-width Latin, full-width the rest): the best a writer without the
        // reader's fonts can say about how wide the run is.
        double ems = 0;
    };
    // The text as runs of one character set each, every run at most maxBytes long and
    // cut between characters. Characters are never lost or changed; NUL, which ends a
    // text for most readers, is left out. Most texts are one run.
    std::vector<Run> encode(QStringView text, qsizetype maxBytes);

    // The face a run of this character set is written with.
    static const char* faceFor(uint8_t charset);

private:
    struct Converters;
    bool encodeOne(uint8_t charset, QStringView piece, QByteArray& out);
    std::unique_ptr<Converters> m_converters;
};

} // namespace metafile
