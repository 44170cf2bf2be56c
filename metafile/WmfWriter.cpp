#include "metafile/WmfWriter.h"

#include "metafile/WmfRecords.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace metafile {

namespace {

constexpr uint16_t kMaxPointsPerRecord = 32767; // point counts are signed 16-bit

int16_t clamp16(double v) {
    if (!(v > -32768.0)) // also catches NaN
        return -32768;
    if (v > 32767.0)
        return 32767;
    return static_cast<int16_t>(std::lround(v));
}

uint16_t textAlignFor(Qt::Alignment align) {
    uint16_t ta = TA_LEFT;
    if (align & Qt::AlignRight)
        ta = TA_RIGHT;
    else if (align & Qt::AlignHCenter)
        ta = TA_CENTER;
    if (align & Qt::AlignTop)
        ta |= TA_TOP;
    else if (align & Qt::AlignBottom)
        ta |= TA_BOTTOM;
    else
        ta |= TA_BASELINE; // baseline, and vertical centre which is placed from the baseline
    return ta;
}

} // namespace

WmfWriter::WmfWriter(const QRectF& worldWindow, double naturalLongSideInches) {
    QRectF window = worldWindow.normalized();
    const bool finite = std::isfinite(window.left()) && std::isfinite(window.top()) &&
                        std::isfinite(window.width()) && std::isfinite(window.height());
    if (!finite)
        window = QRectF(0, 0, 1, 1);
    // An empty drawing or a single horizontal line still needs a window with
    // area; widen the degenerate sides around the centre rather than divide by zero.
    double w = window.width();
    double h = window.height();
    const double longSide = std::max(w, h);
    if (longSide <= 0.0) {
        window = QRectF(window.center() - QPointF(0.5, 0.5), QSizeF(1, 1));
        w = h = 1.0;
    }
    const double side = std::max(w, h);
    m_scale = kLogicalLongSide / side;
    m_logicalWidth = std::max(1, static_cast<int>(std::lround(w * m_scale)));
    m_logicalHeight = std::max(1, static_cast<int>(std::lround(h * m_scale)));
    m_worldLeft = window.left();
    m_worldTop = window.bottom(); // y up: the top of the picture is the window's greatest y

    if (!(naturalLongSideInches > 0.0) || !std::isfinite(naturalLongSideInches))
        naturalLongSideInches = 10.0;
    // The inch field is 16 bits: a tiny natural size cannot be expressed exactly.
    const double upi = kLogicalLongSide / naturalLongSideInches;
    m_unitsPerInch = static_cast<int>(std::clamp(std::lround(upi), 1L, 65535L));

    m_words.reserve(4096);
    m_scratch.reserve(256);

    // Fixed prologue: the logical space is the same for every picture of a window.
    beginRecord(META_SETWINDOWORG, 5);
    word(0);
    word(0);
    beginRecord(META_SETWINDOWEXT, 5);
    word(static_cast<uint16_t>(m_logicalHeight));
    word(static_cast<uint16_t>(m_logicalWidth));
    beginRecord(META_SETBKMODE, 4);
    word(TRANSPARENT);
    beginRecord(META_SETPOLYFILLMODE, 4);
    word(ALTERNATE);

    // An invisible diagonal across the whole box: readers that size a picture
    // by what it draws (libwmf's converters) then see the same box in every
    // file of a window, empty layers included.
    m_pen = allocateObject();
    m_penNull = true;
    beginRecord(META_CREATEPENINDIRECT, 8);
    word(PS_NULL);
    word(0);
    word(0);
    word(0);
    word(0);
    beginRecord(META_SELECTOBJECT, 4);
    word(static_cast<uint16_t>(m_pen));
    const Point16 corners[2] = {
        {0, 0}, {static_cast<int16_t>(m_logicalWidth), static_cast<int16_t>(m_logicalHeight)}};
    emitPoints(META_POLYLINE, corners, 2);
}

QPointF WmfWriter::toLogical(const QPointF& world) const {
    return QPointF((world.x() - m_worldLeft) * m_scale, (m_worldTop - world.y()) * m_scale);
}

void WmfWriter::setColor(QColor color) {
    m_color = color.isValid() ? color : QColor(Qt::black);
}

void WmfWriter::beginRecord(uint16_t function, uint32_t sizeWords) {
    word(static_cast<uint16_t>(sizeWords & 0xFFFF));
    word(static_cast<uint16_t>(sizeWords >> 16));
    word(function);
    m_maxRecordWords = std::max(m_maxRecordWords, sizeWords);
    ++m_recordCount;
}

int WmfWriter::allocateObject() {
    // GDI hands out the lowest free slot; the reader replays the same rule.
    auto it = std::find(m_slots.begin(), m_slots.end(), false);
    int index = static_cast<int>(it - m_slots.begin());
    if (it == m_slots.end())
        m_slots.push_back(true);
    else
        *it = true;
    m_maxObjects = std::max<int>(m_maxObjects, static_cast<int>(m_slots.size()));
    return index;
}

void WmfWriter::deleteObject(int index) {
    if (index < 0)
        return;
    beginRecord(META_DELETEOBJECT, 4);
    word(static_cast<uint16_t>(index));
    m_slots[static_cast<size_t>(index)] = false;
}

static uint32_t colorRef(QRgb rgb) {
    return static_cast<uint32_t>(qRed(rgb)) | (static_cast<uint32_t>(qGreen(rgb)) << 8) |
           (static_cast<uint32_t>(qBlue(rgb)) << 16);
}

namespace {
// An overview keeps at most this many pens and as many brushes: every colour of the
// CAD's index (255 and white) has room, and a table past this is emptied but for the
// object just selected.
constexpr std::size_t kMaxKeptObjects = 512;
} // namespace

bool WmfWriter::selectKept(std::vector<std::pair<QRgb, int>>& kept, QRgb rgb, int& current) {
    for (const auto& [colour, index] : kept) {
        if (colour != rgb)
            continue;
        if (current != index) {
            beginRecord(META_SELECTOBJECT, 4);
            word(static_cast<uint16_t>(index));
            current = index;
        }
        return true;
    }
    return false;
}

void WmfWriter::keep(std::vector<std::pair<QRgb, int>>& kept, QRgb rgb, int selected) {
    if (kept.size() >= kMaxKeptObjects) {
        // Everything but the object just selected goes.
        for (const auto& [colour, index] : kept)
            deleteObject(index);
        kept.clear();
    }
    kept.emplace_back(rgb, selected);
}

void WmfWriter::ensurePen() {
    const QRgb rgb = m_color.rgb();
    if (m_pen >= 0 && !m_penNull && m_penColor == rgb)
        return;
    const int old = m_pen;
    const bool oldKept = m_overview && !m_penNull;
    m_penNull = false;
    m_penColor = rgb;
    if (m_overview && selectKept(m_keptPens, rgb, m_pen)) {
        if (!oldKept)
            deleteObject(old); // the extent pen is not drawn with again
        return;
    }
    m_pen = allocateObject();
    beginRecord(META_CREATEPENINDIRECT, 8);
    word(PS_SOLID);
    word(0); // width 0: one device pixel at every scale
    word(0);
    const uint32_t cr = colorRef(rgb);
    word(static_cast<uint16_t>(cr & 0xFFFF));
    word(static_cast<uint16_t>(cr >> 16));
    beginRecord(META_SELECTOBJECT, 4);
    word(static_cast<uint16_t>(m_pen));
    if (!oldKept)
        deleteObject(old);
    if (m_overview)
        keep(m_keptPens, rgb, m_pen);
}

void WmfWriter::ensureBrush() {
    const QRgb rgb = m_color.rgb();
    if (m_brush >= 0 && m_brushColor == rgb)
        return;
    const int old = m_brush;
    m_brushColor = rgb;
    if (m_overview && selectKept(m_keptBrushes, rgb, m_brush))
        return;
    m_brush = allocateObject();
    beginRecord(META_CREATEBRUSHINDIRECT, 7);
    word(BS_SOLID);
    const uint32_t cr = colorRef(rgb);
    word(static_cast<uint16_t>(cr & 0xFFFF));
    word(static_cast<uint16_t>(cr >> 16));
    word(0); // hatch
    beginRecord(META_SELECTOBJECT, 4);
    word(static_cast<uint16_t>(m_brush));
    if (m_overview)
        keep(m_keptBrushes, rgb, m_brush);
    else
        deleteObject(old);
}

void WmfWriter::ensureTextColor() {
    const QRgb rgb = m_color.rgb();
    if (m_textColorSet && m_textColor == rgb)
        return;
    m_textColorSet = true;
    m_textColor = rgb;
    beginRecord(META_SETTEXTCOLOR, 5);
    const uint32_t cr = colorRef(rgb);
    word(static_cast<uint16_t>(cr & 0xFFFF));
    word(static_cast<uint16_t>(cr >> 16));
}

void WmfWriter::ensureFont(int height, int escapement, uint8_t charset) {
    if (m_font >= 0 && m_fontHeight == height && m_fontEscapement == escapement &&
        m_fontCharset == charset)
        return;
    const int old = m_font;
    m_font = allocateObject();
    m_fontHeight = height;
    m_fontEscapement = escapement;
    m_fontCharset = charset;
    // LOGFONT16: 9 words of metrics and flags, then a 32-byte face name.
    char face[32] = {};
    std::strncpy(face, TextCodec::faceFor(charset), sizeof face - 1);
    beginRecord(META_CREATEFONTINDIRECT, 3 + 9 + 16);
    word(static_cast<uint16_t>(-height)); // negative: character height, not cell height
    word(0);                              // width: the font's own proportions
    word(static_cast<uint16_t>(escapement));
    word(static_cast<uint16_t>(escapement));         // orientation follows the escapement
    word(400);                                       // normal weight
    word(0);                                         // italic, underline
    word(static_cast<uint16_t>(0 | (charset << 8))); // strike-out, charset
    word(0);                                         // out and clip precision
    word(0);                                         // quality, pitch and family
    for (int i = 0; i < 32; i += 2)
        word(static_cast<uint16_t>(static_cast<uint8_t>(face[i]) |
                                   (static_cast<uint8_t>(face[i + 1]) << 8)));
    beginRecord(META_SELECTOBJECT, 4);
    word(static_cast<uint16_t>(m_font));
    deleteObject(old);
}

void WmfWriter::ensureTextAlign(uint16_t align) {
    if (m_textAlign == align)
        return;
    m_textAlign = align;
    beginRecord(META_SETTEXTALIGN, 4);
    word(align);
}

void WmfWriter::toLogicalPoints(const QPolygonF& world, bool closed) {
    m_scratch.clear();
    for (const QPointF& p : world) {
        if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
            continue;
        const Point16 q{clamp16((p.x() - m_worldLeft) * m_scale),
                        clamp16((m_worldTop - p.y()) * m_scale)};
        // Points that fall on the same logical unit add bytes but nothing visible.
        if (!m_scratch.empty() && m_scratch.back().x == q.x && m_scratch.back().y == q.y)
            continue;
        m_scratch.push_back(q);
    }
    if (closed && m_scratch.size() > 2 &&
        (m_scratch.front().x != m_scratch.back().x || m_scratch.front().y != m_scratch.back().y))
        m_scratch.push_back(m_scratch.front());
}

void WmfWriter::emitPoints(uint16_t function, const Point16* points, int count) {
    beginRecord(function, 4 + 2 * static_cast<uint32_t>(count));
    word(static_cast<uint16_t>(count));
    for (int i = 0; i < count; ++i) {
        word(static_cast<uint16_t>(points[i].x));
        word(static_cast<uint16_t>(points[i].y));
    }
}

void WmfWriter::simplifyScratch() {
    // From each point kept, the chord reaches as far along the outline as every point
    // it passes lies within the tolerance of it; the point where it ends is kept next.
    // Greedy rather than halving (Douglas-Peucker): a tessellated circle, the commonest
    // outline, then keeps about the fewest points the tolerance allows. A chord passes
    // at most kMaxReach points, so that a long straight run costs no quadratic time.
    constexpr std::size_t kMaxReach = 256;
    const std::size_t n = m_scratch.size();
    if (n < 3)
        return;
    const double tolerance2 = kOverviewTolerance * kOverviewTolerance;
    const auto within = [&](std::size_t from, std::size_t to) {
        const double ax = m_scratch[from].x, ay = m_scratch[from].y;
        const double dx = m_scratch[to].x - ax, dy = m_scratch[to].y - ay;
        const double length2 = dx * dx + dy * dy;
        for (std::size_t i = from + 1; i < to; ++i) {
            const double px = m_scratch[i].x - ax, py = m_scratch[i].y - ay;
            // From the chord, or from its single point when both ends meet.
            const double cross = px * dy - py * dx;
            const double d2 = length2 > 0.0 ? cross * cross / length2 : px * px + py * py;
            if (d2 > tolerance2)
                return false;
        }
        return true;
    };
    std::size_t out = 1;
    std::size_t anchor = 0;
    while (anchor + 1 < n) {
        std::size_t reach = anchor + 1;
        while (reach + 1 < n && reach + 1 - anchor <= kMaxReach && within(anchor, reach + 1))
            ++reach;
        m_scratch[out++] = m_scratch[reach];
        anchor = reach;
    }
    m_scratch.resize(out);
}

void WmfWriter::polyline(const QPolygonF& world, bool closed) {
    toLogicalPoints(world, closed);
    if (m_overview)
        simplifyScratch();
    if (m_scratch.empty())
        return;
    if (m_scratch.size() == 1) // a zero-length line still marks its point
        m_scratch.push_back(m_scratch.front());
    ensurePen();
    // Long polylines go out in pieces that share their end points, so the
    // line stays unbroken.
    const size_t n = m_scratch.size();
    size_t start = 0;
    while (start + 1 < n) {
        const size_t count = std::min<size_t>(kMaxPointsPerRecord, n - start);
        emitPoints(META_POLYLINE, m_scratch.data() + start, static_cast<int>(count));
        start += count - 1;
    }
}

void WmfWriter::filledPolygon(const QPolygonF& world) {
    toLogicalPoints(world, false);
    if (m_scratch.size() > 1 && m_scratch.front().x == m_scratch.back().x &&
        m_scratch.front().y == m_scratch.back().y)
        m_scratch.pop_back(); // a polygon closes itself
    if (m_overview)
        simplifyScratch();
    if (m_scratch.empty())
        return;
    // A polygon cannot be cut into pieces without changing its fill; one with
    // more points than a record holds is thinned evenly instead. At that
    // density neighbouring points are about one logical unit apart.
    if (m_scratch.size() > kMaxPointsPerRecord) {
        const size_t n = m_scratch.size();
        for (size_t i = 0; i < kMaxPointsPerRecord; ++i)
            m_scratch[i] = m_scratch[i * n / kMaxPointsPerRecord];
        m_scratch.resize(kMaxPointsPerRecord);
    }
    ensurePen();
    ensureBrush();
    emitPoints(META_POLYGON, m_scratch.data(), static_cast<int>(m_scratch.size()));
}

void WmfWriter::text(const QPointF& world, const QString& str, double heightWorld,
                     double rotationDegrees, Qt::Alignment align) {
    if (str.isEmpty() || !std::isfinite(world.x()) || !std::isfinite(world.y()))
        return;
    // The byte count is a signed 16-bit field: a longer text goes on in further runs.
    const std::vector<TextCodec::Run> runs = m_codec.encode(str, 32766);
    if (runs.empty())
        return;
    const double h = std::abs(heightWorld) * m_scale;
    const int height = static_cast<int>(std::clamp(std::lround(h), 1L, 32767L));
    double rot = std::isfinite(rotationDegrees) ? std::fmod(rotationDegrees, 360.0) : 0.0;
    if (rot < 0)
        rot += 360.0;
    const int escapement = static_cast<int>(std::lround(rot * 10.0)) % 3600;
    const double rad = rot * M_PI / 180.0;

    QPointF anchor = world;
    if ((align & Qt::AlignVCenter) && !(align & (Qt::AlignTop | Qt::AlignBottom))) {
        // No vertical-centre alignment exists in the format: put the baseline
        // half a character height below the point, along the text's own up direction.
        const double half = std::abs(heightWorld) * 0.5;
        anchor -= QPointF(-std::sin(rad) * half, std::cos(rad) * half);
    }

    const uint16_t ta = textAlignFor(align);
    if (runs.size() == 1) {
        ensureFont(height, escapement, runs.front().charset);
        ensureTextColor();
        ensureTextAlign(ta);
        textOut(toLogical(anchor), runs.front().bytes);
        return;
    }
    // Each run starts where the one before it ended, as every reader measures it in
    // its own fonts. A right-aligned text is written from its end: each run then ends
    // where the one after it starts. Text centred on the current position leaves it
    // where it was, so a centred text starts half its width before its point, by the
    // widths of the face it names.
    const uint16_t horizontal = ta & TA_CENTER;
    QPointF start = anchor;
    if (horizontal == TA_CENTER) {
        double ems = 0;
        for (const TextCodec::Run& run : runs)
            ems += run.ems;
        const double half = ems * std::abs(heightWorld) / 2;
        start -= QPointF(std::cos(rad) * half, std::sin(rad) * half);
    }
    const QPointF l = toLogical(start);
    beginRecord(META_MOVETO, 5);
    word(static_cast<uint16_t>(clamp16(l.y())));
    word(static_cast<uint16_t>(clamp16(l.x())));
    ensureTextColor();
    ensureTextAlign(static_cast<uint16_t>((horizontal == TA_RIGHT ? TA_RIGHT : TA_LEFT) |
                                          (ta & TA_BASELINE) | TA_UPDATECP));
    const bool fromEnd = horizontal == TA_RIGHT;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const TextCodec::Run& run = runs[fromEnd ? runs.size() - 1 - i : i];
        ensureFont(height, escapement, run.charset);
        textOut(l, run.bytes);
    }
}

void WmfWriter::textOut(const QPointF& l, const QByteArray& bytes) {
    const int count = static_cast<int>(bytes.size());
    const uint32_t strWords = static_cast<uint32_t>((count + 1) / 2);
    beginRecord(META_EXTTEXTOUT, 3 + 4 + strWords);
    word(static_cast<uint16_t>(clamp16(l.y())));
    word(static_cast<uint16_t>(clamp16(l.x())));
    word(static_cast<uint16_t>(count));
    word(0); // no options, so no rectangle and no spacing array
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    for (int i = 0; i < count; i += 2)
        word(static_cast<uint16_t>(data[i] | ((i + 1 < count ? data[i + 1] : 0) << 8)));
}

QByteArray WmfWriter::headerBytes() const {
    const uint32_t bodyWords = static_cast<uint32_t>(m_words.size()) + 3; // + end record
    const uint32_t totalWords = 9 + bodyWords;
    QByteArray out;
    out.resize(22 + 18);
    auto* p = reinterpret_cast<uint8_t*>(out.data());
    // Placeable header: the bounding box is the whole logical space.
    uint16_t aldus[11];
    aldus[0] = static_cast<uint16_t>(kAldusKey & 0xFFFF);
    aldus[1] = static_cast<uint16_t>(kAldusKey >> 16);
    aldus[2] = 0; // handle
    aldus[3] = 0; // left
    aldus[4] = 0; // top
    aldus[5] = static_cast<uint16_t>(m_logicalWidth);
    aldus[6] = static_cast<uint16_t>(m_logicalHeight);
    aldus[7] = static_cast<uint16_t>(m_unitsPerInch);
    aldus[8] = 0; // reserved
    aldus[9] = 0;
    aldus[10] = aldusChecksum(aldus);
    for (int i = 0; i < 11; ++i)
        qToLittleEndian<uint16_t>(aldus[i], p + 2 * i);
    p += 22;

    uint16_t head[9];
    head[0] = 1;      // on disk
    head[1] = 9;      // header size in words
    head[2] = 0x0300; // Windows 3.0 records
    head[3] = static_cast<uint16_t>(totalWords & 0xFFFF);
    head[4] = static_cast<uint16_t>(totalWords >> 16);
    head[5] = static_cast<uint16_t>(m_maxObjects);
    head[6] = static_cast<uint16_t>(m_maxRecordWords & 0xFFFF);
    head[7] = static_cast<uint16_t>(m_maxRecordWords >> 16);
    head[8] = 0;
    for (int i = 0; i < 9; ++i)
        qToLittleEndian<uint16_t>(head[i], p + 2 * i);
    return out;
}

QByteArray WmfWriter::toBytes() const {
    QByteArray out = headerBytes();
    const qsizetype headerSize = out.size();
    out.resize(headerSize + qsizetype(m_words.size()) * 2 + 6);
    auto* p = reinterpret_cast<uint8_t*>(out.data()) + headerSize;
    if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
        std::memcpy(p, m_words.data(), m_words.size() * 2);
        p += m_words.size() * 2;
    } else {
        for (uint16_t w : m_words) {
            qToLittleEndian<uint16_t>(w, p);
            p += 2;
        }
    }
    const uint16_t eof[3] = {3, 0, 0};
    for (uint16_t w : eof) {
        qToLittleEndian<uint16_t>(w, p);
        p += 2;
    }
    return out;
}

bool WmfWriter::writeTo(int fd) const {
    const auto put = [fd](const void* data, std::size_t size) {
        const auto* p = static_cast<const char*>(data);
        while (size > 0) {
            const ssize_t done = ::write(fd, p, size);
            if (done < 0 && errno == EINTR)
                continue;
            if (done <= 0)
                return false;
            p += done;
            size -= std::size_t(done);
        }
        return true;
    };
    if constexpr (Q_BYTE_ORDER != Q_LITTLE_ENDIAN) {
        const QByteArray bytes = toBytes();
        return put(bytes.constData(), std::size_t(bytes.size()));
    }
    // The records go out from where they were built: a copy of the largest picture
    // (over a hundred megabytes for a million entities) would double the peak.
    const QByteArray header = headerBytes();
    const uint16_t eof[3] = {3, 0, 0};
    return put(header.constData(), std::size_t(header.size())) &&
           put(m_words.data(), m_words.size() * 2) && put(eof, sizeof eof);
}

bool WmfWriter::save(const QString& path) const {
    // Pictures are rewritten where they are, never made under a temporary name and
    // renamed: each new file takes a new inode and each replaced one frees one, and a
    // file system that has just freed a thousand of them (a refresh's worth) searches
    // past all of them for every file it makes next; that search was a third of the
    // time of writing a thousand pictures. Nobody reads a picture while a macro writes
    // it: the viewer waits for the macro. A write that fails removes the file, so that
    // what is there is a whole picture or none. Not synced to disk: the folder is
    // rebuilt by every refresh.
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    const bool written = writeTo(fd);
    if (::close(fd) != 0 || !written) {
        ::unlink(name.constData());
        return false;
    }
    return true;
}

} // namespace metafile
