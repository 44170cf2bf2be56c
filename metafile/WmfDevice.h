#pragma once

// The device libwmf draws on while a metafile plays: it records every drawing call
// into a DisplayList and keeps the text, the extent and the mapping the picture needs
// afterwards. Internal to the metafile reader; the callbacks that feed it are declared
// in WmfDeviceCallbacks.h.

#include "metafile/DisplayList.h"
#include "metafile/MetafilePicture.h"
#include "metafile/TextCodec.h"

#include <QBrush>
#include <QColor>
#include <QElapsedTimer>
#include <QFont>
#include <QHash>
#include <QPen>
#include <QRectF>
#include <QStringList>

#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

extern "C" {
#include <libwmf/api.h>
#include <libwmf/defs.h>
#include <libwmf/ipa.h>
#include <libwmf/macro.h>
}

namespace metafile::detail {

// Text is laid out at this pixel size and scaled: small sizes are not rounded.
inline constexpr int kTextDesignSize = 100;

// What one picture's bitmaps may take together, decoded: 256 MiB. A layer's picture
// holds an image's frame, not the image; a pixel beyond this is a damaged file's.
inline constexpr qint64 kBitmapPixelsPerPicture = qint64(1) << 26;

struct WmfDevice {
    DisplayList list;
    bool anyDrawn = false;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    QStringList texts;
    std::vector<MetafilePicture::TextItem> textItems;
    // One QFont per face and style: resolving a font is costly. Its ascent and descent
    // at the design size are measured when a text is first aligned by them.
    struct Font {
        QFont font;
        bool measured = false;
        double ascent = 0, descent = 0;
    };
    QHash<QString, Font> fonts;
    TextCodec codec;
    // libwmf measures each text with our stringWidth before placing it; while playing
    // (as opposed to scanning the extent) that width is 0, so that its own placement,
    // which misreads the alignment flags, moves no text sideways (see drawText).
    bool playing = false;
    // The current position as texts drawn from it (TA_UPDATECP) move it, which libwmf
    // does not do: where libwmf will report the next such text if nothing moved the
    // position meanwhile, and where it really is then; in device units.
    struct TextPosition {
        bool valid = false;
        QPointF reported;
        QPointF actual;
        qsizetype text = -1; // the entry of texts that a following run continues
    } position;
    // From the checked records (see WmfValidator::Result::textsMoved), and how many of
    // them the texts drawn so far have taken.
    std::vector<bool> textsMoved;
    std::size_t textsTaken = 0;
    // A text with a spacing array reaches us a character at a time: how far every
    // character of the text being drawn is moved from where libwmf puts it.
    QPointF spacedShift;
    // Face names libwmf's fonts point at, one copy per distinct name, alive
    // until the player is gone (see fontMap).
    std::unordered_set<std::string> faceNames;

    Font& fontFor(const wmfFont* font);
    // The state last recorded. A metafile typically creates, selects and
    // deletes a pen around every single line; recording each one would
    // store a pen, a brush and a background per line, and set all three
    // again per line on every paint.
    QPen pen{Qt::NoPen};
    QBrush brush{Qt::NoBrush};
    Qt::BGMode backgroundMode = Qt::TransparentMode;
    QColor background{Qt::white};

    void usePen(const QPen& p) {
        penFrom.reset();
        if (p == pen)
            return;
        pen = p;
        list.setPen(p);
    }
    void useBrush(const QBrush& b) {
        brushFrom.reset();
        if (b == brush)
            return;
        brush = b;
        list.setBrush(b);
    }

    // The fields of libwmf's pen and brush that our pen and brush are made from. Most
    // records draw with the pen of the record before (or one seen before), so the
    // QPen made for those fields is kept and nothing is built or allocated again;
    // penFrom and brushFrom tell which fields the recorded pen and brush came from.
    struct PenSource {
        bool none = true; // no pen selected
        U16 style = 0;    // style, end cap and join together
        double width = 0;
        double unit = 0; // the device context's logical unit
        wmfRGB color{};
        bool operator==(const PenSource& o) const {
            return none == o.none && style == o.style && width == o.width && unit == o.unit &&
                   color.r == o.color.r && color.g == o.color.g && color.b == o.color.b;
        }
    };
    struct BrushSource {
        bool none = true; // no brush selected
        U16 style = 0;
        U16 hatch = 0;
        wmfRGB color{};
        bool pattern = false; // a bitmap's brush: made anew every time
        bool operator==(const BrushSource& o) const {
            return none == o.none && style == o.style && hatch == o.hatch && color.r == o.color.r &&
                   color.g == o.color.g && color.b == o.color.b && pattern == o.pattern;
        }
    };
    struct SourceHash {
        std::size_t operator()(const PenSource& s) const;
        std::size_t operator()(const BrushSource& s) const;
    };
    std::optional<PenSource> penFrom;
    std::optional<BrushSource> brushFrom;
    std::unordered_map<PenSource, QPen, SourceHash> pens;
    std::unordered_map<BrushSource, QBrush, SourceHash> brushes;
    void useBackground(Qt::BGMode mode, const QColor& color) {
        if (mode == backgroundMode && color == background)
            return;
        backgroundMode = mode;
        background = color;
        list.setBackground(mode, color);
    }
    // Records the state the members above describe: the target painter's
    // own state is not ours to assume.
    void resetState() {
        list.setPen(pen);
        list.setBrush(brush);
        list.setBackground(backgroundMode, background);
    }

    int primitives = 0;
    // Pixels of the bitmaps decoded so far (see bmpRead).
    qint64 bitmapPixels = 0;
    QElapsedTimer clock;
    unsigned statusCalls = 0;
    // Window origin and unit size of the first drawing call: how libwmf maps
    // the file's logical units onto the device units we record in.
    bool mapped = false;
    double originX = 0, originY = 0, unitX = 1, unitY = 1;
};

// Helpers the callbacks share: the device behind libwmf's handle, conversions of
// libwmf's types, the extent bookkeeping and the pen and brush of the device context.
void track(WmfDevice* d, const wmfDC* dc);
WmfDevice* device(wmfAPI* api);
QColor qcolor(const wmfRGB& c);
QPointF qpoint(const wmfD_Coord& c);
void note(WmfDevice* d, const QRectF& r);
void notePoints(WmfDevice* d, const wmfD_Coord* pt, int count);
QPen penFor(wmfDC* dc);
QBrush brushFor(wmfDC* dc);
void applyState(WmfDevice* d, wmfDC* dc, bool fill);
Qt::FillRule fillRule(wmfDC* dc);

} // namespace metafile::detail
