#include "cadhost/dxf/DxfSource.h"

#include <QHash>
#include <algorithm>
#include <cstring>

namespace cadhost::dxf {

namespace {

// One group of the file: its code line and its value line, as byte offsets.
struct Pair {
    int code = -1;
    qsizetype begin = 0;      // the code line
    qsizetype valueBegin = 0; // the value line
    qsizetype valueEnd = 0;   // the value line without its line end
    qsizetype end = 0;        // after the value line's line end
};

// Walks the groups of a file DxfPrescan passed, so every step here is sound; it stops
// at anything else rather than guess.
class Pairs {
public:
    Pairs(const QByteArray& bytes, qsizetype from, qsizetype to)
        : m_data(bytes.constData()), m_pos(from), m_end(to) {}
    explicit Pairs(const QByteArray& bytes) : Pairs(bytes, 0, bytes.size()) {}

    bool next(Pair& p) {
        if (m_pos >= m_end)
            return false;
        qsizetype codeEnd = 0;
        const qsizetype valueBegin = line(m_pos, codeEnd);
        if (valueBegin >= m_end && codeEnd == m_end)
            return false;
        bool ok = false;
        const int code = QByteArray(m_data + m_pos, codeEnd - m_pos).trimmed().toInt(&ok);
        if (!ok)
            return false;
        qsizetype valueEnd = 0;
        const qsizetype end = line(valueBegin, valueEnd);
        p = Pair{code, m_pos, valueBegin, valueEnd, end};
        m_pos = end;
        return true;
    }
    // dxflib takes a value as the line holds it, spaces and all.
    QByteArray value(const Pair& p) const {
        return QByteArray(m_data + p.valueBegin, p.valueEnd - p.valueBegin);
    }
    // The same without a copy.
    std::string_view view(const Pair& p) const {
        return std::string_view(m_data + p.valueBegin, std::size_t(p.valueEnd - p.valueBegin));
    }
    bool is(const Pair& p, int code, const char* value) const {
        const auto length = qsizetype(std::strlen(value));
        return p.code == code && p.valueEnd - p.valueBegin == length &&
               std::memcmp(m_data + p.valueBegin, value, std::size_t(length)) == 0;
    }

private:
    // The offset after the line at `from`; `contentEnd` is where its line end starts.
    qsizetype line(qsizetype from, qsizetype& contentEnd) const {
        const auto* nl =
            static_cast<const char*>(std::memchr(m_data + from, '\n', std::size_t(m_end - from)));
        qsizetype stop = nl ? nl - m_data : m_end;
        const qsizetype next = nl ? stop + 1 : m_end;
        while (stop > from && m_data[stop - 1] == '\r')
            --stop;
        contentEnd = stop;
        return next;
    }

    const char* m_data;
    qsizetype m_pos;
    qsizetype m_end;
};

int intOf(const QByteArray& value, int fallback) {
    bool ok = false;
    const int n = value.trimmed().toInt(&ok);
    return ok ? n : fallback;
}

int flagsOf(const Layer& l) {
    return (l.freeze ? 1 : 0) | (l.viewportDefault ? 2 : 0) | (l.lock ? 4 : 0);
}

int colorOf(const Layer& l) {
    return l.layerOn ? l.color : -l.color;
}

bool sameLinetype(const Layer& a, const Layer& b) {
    return a.linetype.compare(b.linetype, Qt::CaseInsensitive) == 0;
}

// What of a layer a DXF LAYER record holds, compared as the file would store it.
bool sameRecord(const Layer& a, const Layer& b) {
    return a.name == b.name && flagsOf(a) == flagsOf(b) && colorOf(a) == colorOf(b) &&
           sameLinetype(a, b) && a.lineweight == b.lineweight && a.plottable == b.plottable;
}

struct Edit {
    qsizetype begin;
    qsizetype end;
    QByteArray text;
};

} // namespace

std::shared_ptr<DxfSource> DxfSource::read(QByteArray bytes, const QString& acadVersion,
                                           const QString& codePage, const Drawing& drawing,
                                           const detail::LayerNameLimit& names) {
    auto source = std::make_shared<DxfSource>();
    DxfSource& s = *source;
    s.m_bytes = std::move(bytes);
    s.m_text = DxfText(acadVersion, codePage);
    s.m_names = names;
    bool ok = false;
    const int version = acadVersion.mid(2).toInt(&ok);
    if (ok)
        s.m_version = version;
    const qsizetype firstNl = s.m_bytes.indexOf('\n');
    if (firstNl > 0 && s.m_bytes[firstNl - 1] == '\r')
        s.m_eol = "\r\n";
    if (firstNl > 0) {
        const QByteArray first = s.m_bytes.left(firstNl).chopped(s.m_eol.size() - 1);
        if (first.startsWith(' '))
            s.m_codeWidth = int(first.size());
    }

    Pairs pairs(s.m_bytes);
    Pair p;
    QByteArray section;
    qsizetype sectionStart = -1;
    bool sectionNamed = true;
    bool inLayerTable = false;
    bool tableNamed = true;
    QByteArray variable;
    int record = -1; // into m_records
    bool recordNamed = false;
    auto endRecord = [&](qsizetype at) {
        if (record >= 0)
            s.m_records[std::size_t(record)].bytes.end = at;
        record = -1;
    };
    bool done = false;
    while (!done && pairs.next(p)) {
        if (p.code == 0) {
            endRecord(p.begin);
            if (pairs.is(p, 0, "SECTION")) {
                if (s.m_firstSection < 0)
                    s.m_firstSection = p.begin;
                sectionStart = p.begin;
                sectionNamed = false;
                section.clear();
            } else if (pairs.is(p, 0, "ENDSEC")) {
                if (section == "HEADER")
                    s.m_header = Span{p.begin, p.end};
                // Everything the host changes lies before the end of the tables.
                if (section == "TABLES") {
                    s.m_tablesEnd = p.begin;
                    done = true;
                }
                section.clear();
            } else if (pairs.is(p, 0, "EOF")) {
                s.m_tablesBefore = p.begin;
                done = true;
            } else if (section == "TABLES") {
                if (pairs.is(p, 0, "TABLE")) {
                    tableNamed = false;
                } else if (pairs.is(p, 0, "ENDTAB")) {
                    if (inLayerTable)
                        s.m_layerTableEnd = p.begin;
                    inLayerTable = false;
                } else if (inLayerTable && pairs.is(p, 0, "LAYER")) {
                    s.m_records.push_back(Record{Span{p.begin, -1}, QString(), -1});
                    record = int(s.m_records.size()) - 1;
                    recordNamed = false;
                }
            }
            continue;
        }
        if (!sectionNamed) {
            sectionNamed = true;
            section = p.code == 2 ? pairs.value(p).trimmed() : QByteArray();
            // A file without tables gets them before the first section that follows them.
            if (section == "BLOCKS" || section == "ENTITIES" || section == "OBJECTS" ||
                section == "ACDSDATA" || section == "THUMBNAILIMAGE") {
                s.m_tablesBefore = sectionStart;
                done = true;
            }
            continue;
        }
        if (section == "HEADER") {
            if (p.code == 9) {
                variable = pairs.value(p).trimmed();
            } else if (variable == "$CLAYER" && p.code == 8 && !s.m_clayerValue.found()) {
                s.m_clayerValue = Span{p.valueBegin, p.valueEnd};
            } else if (variable == "$HANDSEED" && p.code == 5 && !s.m_handseedValue.found()) {
                s.m_handseedValue = Span{p.valueBegin, p.valueEnd};
            }
        } else if (section == "TABLES") {
            if (!tableNamed) {
                tableNamed = true;
                inLayerTable = p.code == 2 && pairs.value(p).trimmed() == "LAYER";
            } else if (inLayerTable && record < 0) {
                if (p.code == 70 && !s.m_layerTableCount.found())
                    s.m_layerTableCount = Span{p.valueBegin, p.valueEnd};
                else if (p.code == 5 && s.m_layerTableHandle.isEmpty())
                    s.m_layerTableHandle = pairs.value(p).trimmed();
            } else if (record >= 0 && p.code == 2 && !recordNamed) {
                recordNamed = true;
                s.m_records[std::size_t(record)].name = s.layerName(pairs.view(p));
            }
        }
    }
    endRecord(p.end);

    // The drawing took each named record, a later one of the same name (in any case)
    // in place of an earlier one, and made layers the table lacked for objects on them.
    QHash<QString, int> recordOf;
    for (int r = 0; r < int(s.m_records.size()); ++r)
        if (!s.m_records[std::size_t(r)].name.isEmpty())
            recordOf.insert(Drawing::nameKey(s.m_records[std::size_t(r)].name), r);
    for (const Layer& layer : drawing.layers()) {
        const int r = recordOf.value(Drawing::nameKey(layer.name), -1);
        s.m_entries.push_back(Entry{layer, r});
        if (r >= 0)
            s.m_records[std::size_t(r)].entry = int(s.m_entries.size()) - 1;
    }
    s.m_activeLayer = drawing.getActiveLayer();
    return source;
}

QByteArray DxfSource::pair(int code, const QByteArray& value) const {
    QByteArray codeText = QByteArray::number(code);
    if (codeText.size() < m_codeWidth)
        codeText.prepend(QByteArray(m_codeWidth - codeText.size(), ' '));
    return codeText + m_eol + value + m_eol;
}

quint64 DxfSource::highestHandle() const {
    quint64 highest = 0;
    Pairs pairs(m_bytes);
    Pair p;
    while (pairs.next(p)) {
        if (p.code != 5 && p.code != 105)
            continue;
        bool ok = false;
        const quint64 h = pairs.value(p).trimmed().toULongLong(&ok, 16);
        if (ok)
            highest = std::max(highest, h);
    }
    return highest;
}

QByteArray DxfSource::patchedRecord(const Record& record, const Layer& was,
                                    const Layer& now) const {
    const bool nameChanged = was.name != now.name;
    const bool flagsChanged = flagsOf(was) != flagsOf(now);
    const bool colorChanged = colorOf(was) != colorOf(now);
    const bool linetypeChanged = !sameLinetype(was, now);
    const bool weightChanged = was.lineweight != now.lineweight;
    const bool plotChanged = was.plottable != now.plottable;

    // Which of the groups the record holds; extended data (1000 and up) is not the
    // record's own.
    Pairs pairs(m_bytes, record.bytes.begin, record.bytes.end);
    Pair p;
    bool has70 = false, has62 = false, has6 = false, has370 = false, has290 = false;
    while (pairs.next(p) && p.code < 1000) {
        has70 |= p.code == 70;
        has62 |= p.code == 62;
        has6 |= p.code == 6;
        has370 |= p.code == 370;
        has290 |= p.code == 290;
    }

    QByteArray out;
    auto replaced = [&](const Pair& q, const QByteArray& value) {
        out += m_bytes.mid(q.begin, q.valueBegin - q.begin);
        out += value;
        out += m_bytes.mid(q.valueEnd, q.end - q.valueEnd);
    };
    Pairs again(m_bytes, record.bytes.begin, record.bytes.end);
    bool named = false, own = true;
    while (again.next(p)) {
        own = own && p.code < 1000;
        if (own && p.code == 2 && !named) {
            named = true;
            if (nameChanged)
                replaced(p, name(now.name));
            else
                out += m_bytes.mid(p.begin, p.end - p.begin);
            // Groups the record lacked and that now differ from what a reader assumes.
            if (flagsChanged && !has70)
                out += pair(70, QByteArray::number(flagsOf(now)));
            if (colorChanged && !has62)
                out += pair(62, QByteArray::number(colorOf(now)));
            if (linetypeChanged && !has6)
                out += pair(6, name(now.linetype));
            if (hasLineweights() && weightChanged && !has370)
                out += pair(370, QByteArray::number(now.lineweight));
            if (hasLineweights() && plotChanged && !has290)
                out += pair(290, now.plottable ? "1" : "0");
            continue;
        }
        if (own && p.code == 70 && flagsChanged) {
            // Bits other than frozen, frozen in new viewports and locked (external
            // references) stay as they were.
            const int flags = (intOf(again.value(p), 0) & ~7) | flagsOf(now);
            replaced(p, QByteArray::number(flags));
        } else if (own && p.code == 62 && colorChanged) {
            replaced(p, QByteArray::number(colorOf(now)));
        } else if (own && p.code == 6 && linetypeChanged) {
            replaced(p, name(now.linetype));
        } else if (own && p.code == 370 && weightChanged) {
            replaced(p, QByteArray::number(now.lineweight));
        } else if (own && p.code == 290 && plotChanged) {
            replaced(p, now.plottable ? "1" : "0");
        } else {
            out += m_bytes.mid(p.begin, p.end - p.begin);
        }
    }
    return out;
}

QByteArray DxfSource::layerRecord(const Layer& layer, const Record* templ, QByteArray handle,
                                  const QByteArray& owner) const {
    QByteArray out;
    auto values = [&] {
        out += pair(70, QByteArray::number(flagsOf(layer)));
        out += pair(62, QByteArray::number(colorOf(layer)));
        out += pair(6, name(layer.linetype));
        if (hasLineweights()) {
            out += pair(290, layer.plottable ? "1" : "0");
            out += pair(370, QByteArray::number(layer.lineweight));
        }
    };
    if (!templ) {
        out += pair(0, "LAYER");
        if (!handle.isEmpty()) {
            out += pair(5, handle);
            out += pair(330, owner.isEmpty() ? QByteArray("0") : owner);
            out += pair(100, "AcDbSymbolTableRecord");
            out += pair(100, "AcDbLayerTableRecord");
        }
        out += pair(2, name(layer.name));
        values();
        return out;
    }
    // A record of the file's own layout: its owner, subclass markers and plot style go
    // over as the file has them; its reactors, dictionary and extended data belong to
    // that layer alone.
    Pairs pairs(m_bytes, templ->bytes.begin, templ->bytes.end);
    Pair p;
    bool inGroup = false;
    while (pairs.next(p) && p.code < 1000) {
        if (p.code == 102) {
            inGroup = pairs.value(p).trimmed().startsWith('{');
            continue;
        }
        if (inGroup || p.code == 360 || p.code == 70 || p.code == 62 || p.code == 6 ||
            p.code == 290 || p.code == 370)
            continue;
        if (p.code == 5) {
            if (!handle.isEmpty())
                out += pair(5, handle);
            continue;
        }
        if (p.code == 2) {
            out += pair(2, name(layer.name));
            values();
            continue;
        }
        out += m_bytes.mid(p.begin, p.end - p.begin);
    }
    return out;
}

QByteArray DxfSource::rewrite(const Drawing& drawing) const {
    std::vector<const Layer*> now(m_entries.size(), nullptr);
    std::vector<const Layer*> added;
    for (const Layer& layer : drawing.layers()) {
        if (layer.sourceEntry >= 0 && layer.sourceEntry < int(now.size()))
            now[std::size_t(layer.sourceEntry)] = &layer;
        else
            added.push_back(&layer);
    }
    // A layer the table lacked is written once it differs from what was made for it.
    QHash<QString, QString> renamed; // old key -> new name
    for (std::size_t e = 0; e < m_entries.size(); ++e) {
        const Layer* layer = now[e];
        if (!layer)
            continue;
        if (layer->name != m_entries[e].asRead.name)
            renamed.insert(Drawing::nameKey(m_entries[e].asRead.name), layer->name);
        if (m_entries[e].record < 0 && !sameRecord(*layer, m_entries[e].asRead))
            added.push_back(layer);
    }
    std::sort(added.begin(), added.end(), [&](const Layer* a, const Layer* b) {
        return drawing.layerIndex(a->name) < drawing.layerIndex(b->name);
    });

    std::vector<Edit> edits;
    auto replace = [&](const Span& span, QByteArray text) {
        edits.push_back(Edit{span.begin, span.end, std::move(text)});
    };
    auto insert = [&](qsizetype at, QByteArray text) {
        edits.push_back(Edit{at, at, std::move(text)});
    };

    int dropped = 0;
    const Record* templ = nullptr;
    for (const Record& record : m_records) {
        if (record.entry < 0 || record.bytes.end < 0)
            continue; // nothing took it: a nameless or shadowed record stays as it is
        const Entry& entry = m_entries[std::size_t(record.entry)];
        const Layer* layer = now[std::size_t(record.entry)];
        if (!templ || Drawing::nameKey(entry.asRead.name) == QLatin1String("0"))
            templ = &record;
        if (!layer) {
            replace(record.bytes, QByteArray());
            ++dropped;
        } else if (!sameRecord(*layer, entry.asRead)) {
            replace(record.bytes, patchedRecord(record, entry.asRead, *layer));
        }
    }

    if (!added.empty()) {
        // Handles where the file's records carry them (or its version wants them).
        bool handles = hasHandles();
        if (templ) {
            Pairs pairs(m_bytes, templ->bytes.begin, templ->bytes.end);
            Pair p;
            handles = false;
            while (pairs.next(p))
                handles |= p.code == 5;
        }
        quint64 next = 0;
        if (handles) {
            bool ok = false;
            if (m_handseedValue.found())
                next =
                    m_bytes.mid(m_handseedValue.begin, m_handseedValue.end - m_handseedValue.begin)
                        .trimmed()
                        .toULongLong(&ok, 16);
            if (!ok || next == 0)
                next = highestHandle() + 1;
        }
        auto newHandle = [&] {
            return handles ? QByteArray::number(next++, 16).toUpper() : QByteArray();
        };
        QByteArray tableHandle = m_layerTableHandle;
        QByteArray table;
        if (m_layerTableEnd < 0) {
            // No layer table: one of the file's own kind, among the tables or in a
            // section of its own.
            table = pair(0, "TABLE") + pair(2, "LAYER");
            if (handles) {
                tableHandle = newHandle();
                table += pair(5, tableHandle) + pair(330, "0") + pair(100, "AcDbSymbolTable");
            }
            table += pair(70, QByteArray::number(added.size()));
        }
        QByteArray records;
        for (const Layer* layer : added)
            records += layerRecord(*layer, templ, newHandle(), tableHandle);
        if (handles && m_handseedValue.found())
            replace(m_handseedValue, QByteArray::number(next, 16).toUpper());
        if (m_layerTableEnd >= 0) {
            insert(m_layerTableEnd, records);
        } else {
            table += records + pair(0, "ENDTAB");
            if (m_tablesEnd >= 0)
                insert(m_tablesEnd, table);
            else
                insert(std::max<qsizetype>(m_tablesBefore, 0),
                       pair(0, "SECTION") + pair(2, "TABLES") + table + pair(0, "ENDSEC"));
        }
    }
    if ((dropped > 0 || !added.empty()) && m_layerTableCount.found()) {
        const int count = std::max(0, int(m_records.size()) - dropped + int(added.size()));
        replace(m_layerTableCount, QByteArray::number(count));
    }

    const QString active = drawing.getActiveLayer();
    if (active != m_activeLayer) {
        if (m_clayerValue.found())
            replace(m_clayerValue, name(active));
        else if (m_header.found())
            insert(m_header.begin, pair(9, "$CLAYER") + pair(8, name(active)));
        else
            insert(std::max<qsizetype>(m_firstSection, 0),
                   pair(0, "SECTION") + pair(2, "HEADER") + pair(9, "$CLAYER") +
                       pair(8, name(active)) + pair(0, "ENDSEC"));
    }

    // Objects name their layer: they follow a renamed one.
    if (!renamed.isEmpty()) {
        Pairs pairs(m_bytes, std::max<qsizetype>(m_tablesEnd, 0), m_bytes.size());
        Pair p;
        QByteArray section;
        bool sectionNamed = true;
        while (pairs.next(p)) {
            if (pairs.is(p, 0, "SECTION")) {
                sectionNamed = false;
                continue;
            }
            if (!sectionNamed) {
                sectionNamed = true;
                section = p.code == 2 ? pairs.value(p).trimmed() : QByteArray();
                continue;
            }
            if (pairs.is(p, 0, "EOF"))
                break;
            if (p.code != 8 ||
                !(section == "BLOCKS" || section == "ENTITIES" || section == "OBJECTS"))
                continue;
            const auto it = renamed.constFind(Drawing::nameKey(layerName(pairs.view(p))));
            if (it != renamed.constEnd())
                replace(Span{p.valueBegin, p.valueEnd}, name(*it));
        }
    }

    std::stable_sort(edits.begin(), edits.end(),
                     [](const Edit& a, const Edit& b) { return a.begin < b.begin; });
    QByteArray out;
    out.reserve(m_bytes.size() + 4096);
    qsizetype at = 0;
    for (const Edit& edit : edits) {
        if (edit.begin > at)
            out += QByteArrayView(m_bytes).sliced(at, edit.begin - at);
        out += edit.text;
        at = std::max(at, edit.end);
    }
    out += QByteArrayView(m_bytes).sliced(at);
    return out;
}

} // namespace cadhost::dxf
