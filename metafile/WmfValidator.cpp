#include "metafile/WmfValidator.h"

#include "metafile/WmfRecords.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>
#include <set>
#include <vector>

namespace metafile {

namespace {

uint16_t u16(const uint8_t* p) {
    return qFromLittleEndian<uint16_t>(p);
}
uint32_t u32(const uint8_t* p) {
    return qFromLittleEndian<uint32_t>(p);
}

bool draws(uint16_t function) {
    switch (function) {
    case META_POLYLINE:
    case META_POLYGON:
    case META_POLYPOLYGON:
    case META_TEXTOUT:
    case META_EXTTEXTOUT:
    case 0x0213: // LINETO
    case 0x041B: // RECTANGLE
    case 0x061C: // ROUNDRECT
    case 0x0418: // ELLIPSE
    case 0x0817: // ARC
    case 0x081A: // PIE
    case 0x0830: // CHORD
    case 0x041F: // SETPIXEL
    case 0x061D: // PATBLT
    case 0x0922: // BITBLT
    case 0x0940: // DIBBITBLT
    case 0x0B23: // STRETCHBLT
    case 0x0B41: // DIBSTRETCHBLT
    case 0x0F43: // STRETCHDIB
    case 0x0228: // FILLREGION
    case 0x0429: // FRAMEREGION
    case 0x012B: // PAINTREGION
        return true;
    default:
        return false;
    }
}

// Smallest parameter count each record needs, and for records with their own
// counts, whether those counts fit inside the record.
bool paramsFit(uint16_t function, const uint8_t* p, uint32_t words) {
    auto need = [&](uint32_t n) { return words >= n; };
    switch (function) {
    case META_POLYLINE:
    case META_POLYGON: {
        if (!need(1))
            return false;
        const int16_t n = static_cast<int16_t>(u16(p));
        return n >= 0 && 1u + 2u * static_cast<uint32_t>(n) <= words;
    }
    case META_POLYPOLYGON: {
        if (!need(1))
            return false;
        const int16_t polys = static_cast<int16_t>(u16(p));
        if (polys < 0 || 1u + static_cast<uint32_t>(polys) > words)
            return false;
        uint32_t points = 0;
        for (int i = 0; i < polys; ++i) {
            const int16_t n = static_cast<int16_t>(u16(p + 2 + 2 * i));
            if (n < 0)
                return false;
            points += static_cast<uint32_t>(n);
        }
        return 1u + static_cast<uint32_t>(polys) + 2u * points <= words;
    }
    case META_TEXTOUT: {
        if (!need(1))
            return false;
        const int16_t n = static_cast<int16_t>(u16(p));
        return n >= 0 && 1u + (static_cast<uint32_t>(n) + 1) / 2 + 2 <= words;
    }
    case META_EXTTEXTOUT: {
        if (!need(4))
            return false;
        const int16_t n = static_cast<int16_t>(u16(p + 4));
        const uint16_t options = u16(p + 6);
        const uint32_t rect = (options & 0x0006) ? 4 : 0;
        return n >= 0 && 4u + rect + (static_cast<uint32_t>(n) + 1) / 2 <= words;
    }
    case META_CREATEFONTINDIRECT:
        return need(9);
    case META_CREATEPENINDIRECT:
        return need(5);
    case META_CREATEBRUSHINDIRECT:
        return need(4);
    case META_SELECTOBJECT:
    case META_DELETEOBJECT:
    case 0x0127: // RESTOREDC
    case 0x0234: // SELECTPALETTE
    case META_SETMAPMODE:
    case META_SETBKMODE:
    case META_SETPOLYFILLMODE:
    case META_SETTEXTALIGN:
        return need(1);
    case META_SETWINDOWORG:
    case META_SETWINDOWEXT:
    case META_SETTEXTCOLOR:
    case 0x020D: // SETVIEWPORTORG
    case 0x020E: // SETVIEWPORTEXT
    case 0x0213: // LINETO
    case 0x0214: // MOVETO
    case 0x0201: // SETBKCOLOR
        return need(2);
    case 0x041B: // RECTANGLE
    case 0x0418: // ELLIPSE
    case 0x0416: // INTERSECTCLIPRECT
    case 0x0415: // EXCLUDECLIPRECT
        return need(4);
    case 0x061C: // ROUNDRECT
        return need(6);
    case 0x0817: // ARC
    case 0x081A: // PIE
    case 0x0830: // CHORD
        return need(8);
    // The bitmap records: the player reads their fixed words before it looks at the
    // bitmap's size, and takes the rest of the record for the bitmap.
    case 0x0142: // DIBCREATEPATTERNBRUSH
        return need(2);
    case 0x0940: // DIBBITBLT
        return need(8);
    case 0x0B41: // DIBSTRETCHBLT
        return need(10);
    case 0x0F43: // STRETCHDIB
        return need(11);
    case 0x0D33: // SETDIBTODEV
        return need(9);
    default:
        return true;
    }
}

// The kind of GDI object a record creates, or None.
enum class ObjectKind { None, Pen, Brush, Font, Palette, Region };

ObjectKind kindCreated(uint16_t function) {
    switch (function) {
    case META_CREATEPENINDIRECT:
        return ObjectKind::Pen;
    case META_CREATEBRUSHINDIRECT:
    case 0x01F9: // CREATEPATTERNBRUSH
    case 0x0142: // DIBCREATEPATTERNBRUSH
        return ObjectKind::Brush;
    case META_CREATEFONTINDIRECT:
        return ObjectKind::Font;
    case 0x00F7: // CREATEPALETTE
        return ObjectKind::Palette;
    case 0x06FF: // CREATEREGION
        return ObjectKind::Region;
    default:
        return ObjectKind::None;
    }
}

// The object table as GDI fills it (a new object takes the lowest free slot) and the
// objects the device context may still be using. libwmf keeps a selected object's data
// in its table slot: once that object is deleted and the slot reused, the context reads
// the new object's bytes as the old one's (a pen's colour as a font's face-name
// pointer). Deleting an object the context may still use is therefore skipped, as if
// GDI had refused it; the object lives on and the slot is not reused.
//
// Saved contexts are never copied: a file of thousands of fonts and thousands of saves
// once took seconds and gigabytes here. A slot knows instead since when it is in the
// context, and, once it has left, the lowest and the highest saved context that still
// hold it; a saved context lists the slots whose highest it is, so that taking it off
// the stack puts exactly those back. Every record then costs a bounded number of steps
// (`work` counts them), the search of the stack aside, whose depth is capped, and but
// for a restore that puts back what its context held: at most the live objects, once
// per saved context taken off.
class ObjectTable {
public:
    // The slot the new object takes; -1 past the table's limit.
    int create(ObjectKind kind) {
        int slot = int(m_slots.size());
        if (!m_free.empty()) {
            slot = *m_free.begin();
            m_free.erase(m_free.begin());
        } else if (slot > 0xFFFF) {
            return -1;
        } else {
            m_slots.emplace_back();
        }
        ++m_work;
        m_slots[std::size_t(slot)] = Slot{};
        m_slots[std::size_t(slot)].kind = kind;
        // The player hands a font to the context as it is made, selected or not: text
        // drawn later may read it from its slot.
        if (kind == ObjectKind::Font)
            enter(uint16_t(slot));
        return slot;
    }
    int size() const { return int(m_slots.size()); }

    void select(uint16_t slot) {
        if (slot >= m_slots.size() || m_slots[slot].kind == ObjectKind::None)
            return;
        std::vector<uint16_t>& chosen = m_current[std::size_t(m_slots[slot].kind)];
        bool held = false;
        for (const uint16_t other : chosen) {
            ++m_work;
            if (other == slot)
                held = true;
            else
                leave(other);
        }
        chosen.clear();
        if (held)
            chosen.push_back(slot);
        else
            enter(slot);
    }
    // False past the depth a file may nest saved contexts (see WmfValidator.h).
    bool save() {
        if (m_saved.size() >= WmfValidator::kMaxSavedContexts)
            return false;
        ++m_work;
        m_saved.push_back(Saved{++m_saves, {}});
        return true;
    }
    // GDI counts a negative level back from the newest saved context and a positive
    // one from the oldest; a player may count otherwise or ignore the record. So the
    // context may afterwards hold what it held before or anything of the contexts
    // taken off the stack, and the contexts left on it stay as they were.
    void restore(int16_t level) {
        const qsizetype saved = qsizetype(m_saved.size());
        qsizetype pops = level < 0 ? -qsizetype(level) : saved - qsizetype(level) + 1;
        if (level == 0 || pops <= 0 || pops > saved)
            return; // GDI refuses it: nothing is taken off
        for (; pops > 0; --pops) {
            const uint32_t depth = uint32_t(m_saved.size());
            const Saved popped = std::move(m_saved.back());
            m_saved.pop_back();
            for (const uint16_t slot : popped.highestOf) {
                ++m_work;
                Slot& s = m_slots[slot];
                if (s.inContext || s.highDepth != depth || s.highSeq != popped.seq)
                    continue; // back in the context since, or held higher up
                // It may have been in every context from its lowest on: as far as
                // the stack left tells, it was.
                enter(slot, s.lowDepth && holds(s.lowDepth, s.lowSeq) ? s.lowSeq - 1 : m_saves);
            }
        }
    }
    // False when the delete must not reach the player.
    bool remove(uint16_t slot) {
        if (slot >= m_slots.size() || m_slots[slot].kind == ObjectKind::None)
            return true; // the player refuses it on its own
        ++m_work;
        const Slot& s = m_slots[slot];
        if (s.inContext || (s.lowDepth && holds(s.lowDepth, s.lowSeq)))
            return false;
        m_slots[slot].kind = ObjectKind::None;
        m_free.insert(slot);
        return true;
    }
    qint64 work() const { return m_work; }

private:
    struct Slot {
        ObjectKind kind = ObjectKind::None;
        bool inContext = false;
        // In the context: every saved context numbered above this holds it.
        uint32_t since = 0;
        // Out of it: the lowest and highest saved contexts that hold it (depth on the
        // stack from 1, and number), valid while that depth still holds that number.
        uint32_t lowDepth = 0, lowSeq = 0;
        uint32_t highDepth = 0, highSeq = 0;
    };
    struct Saved {
        uint32_t seq;                    // saves are numbered in the order made
        std::vector<uint16_t> highestOf; // slots that left the context while it was on top
    };

    bool holds(uint32_t depth, uint32_t seq) const {
        return depth <= m_saved.size() && m_saved[depth - 1].seq == seq;
    }
    void enter(uint16_t slot, uint32_t since) {
        Slot& s = m_slots[slot];
        s.inContext = true;
        s.since = since;
        m_current[std::size_t(s.kind)].push_back(slot);
        ++m_work;
    }
    void enter(uint16_t slot) { enter(slot, m_saves); }
    void leave(uint16_t slot) {
        Slot& s = m_slots[slot];
        s.inContext = false;
        ++m_work;
        // The contexts saved while it was in this one hold it: those numbered above
        // `since`, the newest ones on the stack. Contexts saved during an earlier stay
        // may hold it too, from its lowest on.
        const bool savedSince = !m_saved.empty() && m_saved.back().seq > s.since;
        const bool heldBefore = s.lowDepth && holds(s.lowDepth, s.lowSeq);
        if (!savedSince && !heldBefore)
            return;
        if (!heldBefore) {
            const auto first =
                std::upper_bound(m_saved.begin(), m_saved.end(), s.since,
                                 [](uint32_t since, const Saved& c) { return since < c.seq; });
            s.lowDepth = uint32_t(first - m_saved.begin()) + 1;
            s.lowSeq = first->seq;
        }
        const uint32_t top = uint32_t(m_saved.size());
        if (s.highDepth && holds(s.highDepth, s.highSeq) && (!savedSince || s.highDepth == top))
            return; // its highest is listed already
        // Held by the newest context, or by one of an earlier stay whose highest has
        // gone since: the newest then stands for it, which at worst keeps it longer.
        s.highDepth = top;
        s.highSeq = m_saved.back().seq;
        m_saved.back().highestOf.push_back(slot);
    }

    std::vector<Slot> m_slots;
    std::set<int> m_free;
    // Per kind, the slots the context may have selected.
    std::array<std::vector<uint16_t>, 6> m_current;
    std::vector<Saved> m_saved;
    uint32_t m_saves = 0;
    qint64 m_work = 0;
};

// What a skipped delete is turned into: a record of the same size that every player
// ignores (SETRELABS has no effect in GDI either).
constexpr uint16_t kNoOpFunction = 0x0105;

// A font record: the fixed part of the logical font, then the face name.
constexpr uint32_t kLogFontWords = 9;
constexpr qsizetype kFaceNameBytes = 32;

// The placeable header, if any, into `r`, and the metafile header after it; `pos` is
// then where that header starts.
bool readHeaders(const uint8_t* data, qsizetype size, WmfValidator::Result& r, qsizetype& pos) {
    pos = 0;
    if (size < 18)
        return false;
    if (u32(data) == kAldusKey) {
        if (size < 22 + 18)
            return false;
        r.placeable = true;
        r.left = static_cast<int16_t>(u16(data + 6));
        r.top = static_cast<int16_t>(u16(data + 8));
        r.right = static_cast<int16_t>(u16(data + 10));
        r.bottom = static_cast<int16_t>(u16(data + 12));
        r.unitsPerInch = u16(data + 14);
        pos = 22;
    }
    const uint16_t type = u16(data + pos);
    const uint16_t headerWords = u16(data + pos + 2);
    return (type == 1 || type == 2) && headerWords == 9;
}

WmfValidator::Result& refuse(WmfValidator::Result& r, const char* why) {
    r.refusal = why;
    return r;
}

} // namespace

WmfValidator::Result WmfValidator::headers(const QByteArray& start) {
    Result r;
    qsizetype pos = 0;
    r.ok = readHeaders(reinterpret_cast<const uint8_t*>(start.constData()), start.size(), r, pos);
    if (r.placeable && r.unitsPerInch == 0)
        r.unitsPerInch = 1440; // as check() makes it
    return r;
}

WmfValidator::Result WmfValidator::check(QByteArray bytes, const RecordVisitor& visit) {
    Result r;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    const qsizetype size = bytes.size();
    qsizetype pos = 0;
    if (!readHeaders(data, size, r, pos)) {
        r.refusal = "no metafile header";
        return r;
    }
    const qsizetype headerPos = pos;
    pos += 18;

    // Replay the object table the way GDI fills it, to know how many slots the
    // records really use and which deletes the player must not see.
    ObjectTable table;
    std::vector<qsizetype> skippedDeletes;
    // The last byte of each face name that has no NUL of its own.
    std::vector<qsizetype> unterminatedNames;
    int maxSlots = 0;
    uint32_t maxRecord = 3;
    bool sawEnd = false;
    bool moved = true;

    while (pos + 6 <= size) {
        const uint32_t words = u32(data + pos);
        const uint16_t function = u16(data + pos + 4);
        if (words < 3 || static_cast<qsizetype>(words) > (size - pos) / 2)
            return refuse(r, "a record's size is shorter than its header or runs past the end");
        if (function == META_EOF) {
            pos += static_cast<qsizetype>(words) * 2;
            sawEnd = true;
            break;
        }
        ++r.records;
        const uint8_t* params = data + pos + 6;
        const uint32_t paramWords = words - 3;
        if (!paramsFit(function, params, paramWords))
            return refuse(r, "a record is too short for what it holds");
        if (function == META_CREATEFONTINDIRECT) {
            // The player reads the face name after the fixed part as a C string: it
            // must end inside the record, and within the 32 bytes a face name has.
            const qsizetype nameBytes =
                std::min<qsizetype>(kFaceNameBytes, qsizetype(paramWords - kLogFontWords) * 2);
            if (nameBytes <= 0)
                return refuse(r, "a font record has no room for its name");
            const uint8_t* name = params + kLogFontWords * 2;
            if (!std::memchr(name, 0, std::size_t(nameBytes)))
                unterminatedNames.push_back((name - data) + nameBytes - 1);
        }
        if (const ObjectKind kind = kindCreated(function); kind != ObjectKind::None) {
            if (table.create(kind) < 0)
                return refuse(r, "more objects than the object table can hold");
            maxSlots = std::max(maxSlots, table.size());
        } else if (function == META_SELECTOBJECT || function == 0x0234 /* SELECTPALETTE */) {
            table.select(u16(params));
        } else if (function == 0x001E) { // SAVEDC
            if (!table.save())
                return refuse(r, "device contexts saved more than 1024 deep");
        } else if (function == 0x0127) { // RESTOREDC
            table.restore(static_cast<int16_t>(u16(params)));
        } else if (function == META_DELETEOBJECT && !table.remove(u16(params))) {
            skippedDeletes.push_back(pos);
        }
        if (function == 0x0214 /* MOVETO */ || function == 0x0213 /* LINETO */) {
            moved = true;
        } else if ((function == META_TEXTOUT && u16(params) > 0) ||
                   (function == META_EXTTEXTOUT && u16(params + 4) > 0)) {
            r.textsMoved.push_back(moved);
            moved = false;
        }
        if (draws(function)) {
            ++r.drawingRecords;
            // Counts were checked against the record's size above.
            if (function == META_POLYLINE || function == META_POLYGON)
                r.polyPoints += static_cast<int16_t>(u16(params));
            else if (function == 0x0213)
                r.polyPoints += 2; // a line is kept as two points
        }
        maxRecord = std::max(maxRecord, words);
        if (visit)
            visit(function, params, paramWords);
        pos += static_cast<qsizetype>(words) * 2;
    }
    r.work = table.work();
    if (!sawEnd)
        return refuse(r, "no end record");

    bytes.truncate(pos);
    r.playable = std::move(bytes);
    auto* out = reinterpret_cast<uint8_t*>(r.playable.data());
    for (const qsizetype at : skippedDeletes)
        qToLittleEndian<uint16_t>(kNoOpFunction, out + at + 4);
    for (const qsizetype at : unterminatedNames)
        out[at] = 0;
    if (r.placeable) {
        if (r.unitsPerInch == 0)
            qToLittleEndian<uint16_t>(r.unitsPerInch = 1440, out + 14);
        uint16_t head[10];
        for (int i = 0; i < 10; ++i)
            head[i] = u16(out + 2 * i);
        qToLittleEndian<uint16_t>(aldusChecksum(head), out + 20);
    }
    const uint32_t fileWords = static_cast<uint32_t>((pos - headerPos) / 2);
    uint8_t* h = out + headerPos;
    qToLittleEndian<uint16_t>(static_cast<uint16_t>(fileWords & 0xFFFF), h + 6);
    qToLittleEndian<uint16_t>(static_cast<uint16_t>(fileWords >> 16), h + 8);
    const uint16_t declared = u16(h + 10);
    r.objects = std::max<uint16_t>(declared, static_cast<uint16_t>(maxSlots));
    qToLittleEndian<uint16_t>(r.objects, h + 10);
    qToLittleEndian<uint16_t>(static_cast<uint16_t>(maxRecord & 0xFFFF), h + 12);
    qToLittleEndian<uint16_t>(static_cast<uint16_t>(maxRecord >> 16), h + 14);
    r.ok = true;
    return r;
}

} // namespace metafile
