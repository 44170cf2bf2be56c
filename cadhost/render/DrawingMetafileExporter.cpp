#include "cadhost/render/DrawingMetafileExporter.h"

#include "automation/CadErrorNumbers.h"
#include "cadhost/model/AciPalette.h"
#include "cadhost/model/Drawing.h"
#include "metafile/WmfWriter.h"
#include "platform/SafeFile.h"
#include "platform/VbError.h"

#include <QFile>
#include <QHash>
#include <QPolygonF>
#include <cmath>
#include <cstdlib>
#include <unistd.h>
#include <unordered_map>

namespace cadhost {

namespace {

// The work folder may be one others can write (a portable copy in a shared folder), and
// what they put under a picture's name is not ours to write into: the picture goes into
// a file checked to be this user's alone. The metafile writer takes a path; it is given
// the descriptor's own name, which stays that checked file whatever is put under the
// picture's name meanwhile. A failed write leaves no picture, as the writer promises.
bool savePicture(const metafile::WmfWriter& writer, const QString& path, QString& why) {
    const int fd = platform::SafeFile::openToRewrite(path, &why);
    if (fd < 0)
        return false;
    bool written = writer.save(QStringLiteral("/proc/self/fd/%1").arg(fd));
    written = ::close(fd) == 0 && written;
    if (!written) {
        ::unlink(QFile::encodeName(path).constData());
        if (why.isEmpty())
            why = QStringLiteral("the picture could not be written");
    }
    return written;
}

Qt::Alignment alignmentOf(int halign) {
    switch (halign) {
    case 1:
        return Qt::AlignHCenter | Qt::AlignBaseline;
    case 2:
        return Qt::AlignRight | Qt::AlignBaseline;
    default:
        return Qt::AlignLeft | Qt::AlignBaseline;
    }
}

} // namespace

QRectF DrawingMetafileExporter::windowFor(const QRectF& extents) {
    const QRectF box = extents.normalized();
    if (extents.isNull() || !std::isfinite(box.width()) || !std::isfinite(box.height()))
        return QRectF(-0.5, -0.5, 1, 1); // empty, or one point at the origin
    double margin = std::max(box.width(), box.height()) * kMargin;
    if (margin <= 0.0)
        margin = 0.5; // a single point: a unit square around it
    return box.adjusted(-margin, -margin, margin, margin);
}

DrawingMetafileExporter::DrawingMetafileExporter(const Drawing& drawing)
    : m_drawing(drawing), m_window(windowFor(drawing.extents())) {
    const std::vector<Layer>& layers = drawing.layers();
    m_byLayer.resize(layers.size());

    // Layer lookups by name happen once per distinct name, not per primitive; the parts
    // of one entity mostly share a layer, so the last answer is tried first. Names come
    // interned from the reader, so most primitives' names share their text with many
    // others: an address seen before answers without hashing the text again (all
    // names stay alive and unchanged while this runs, so one address is one name).
    QHash<QString, int> indexOf;
    std::unordered_map<const QChar*, int> indexAt;
    std::size_t count = 0;
    for (const Entity& entity : drawing.entities())
        count += std::size_t(entity.primitives.size());
    m_items.reserve(count);
    std::vector<std::size_t> perLayer(layers.size(), 0);
    const QString* lastName = nullptr;
    int lastIndex = -1;
    for (const Entity& entity : drawing.entities()) {
        for (const Primitive& primitive : entity.primitives) {
            if (!lastName || (primitive.layer.constData() != lastName->constData() &&
                              primitive.layer != *lastName)) {
                auto at = indexAt.find(primitive.layer.constData());
                if (at == indexAt.end()) {
                    auto it = indexOf.constFind(primitive.layer);
                    if (it == indexOf.constEnd())
                        it = indexOf.insert(primitive.layer, drawing.layerIndex(primitive.layer));
                    at = indexAt.emplace(primitive.layer.constData(), *it).first;
                }
                lastName = &primitive.layer;
                lastIndex = at->second;
            }
            m_items.push_back({&primitive, lastIndex});
            if (lastIndex >= 0)
                ++perLayer[std::size_t(lastIndex)];
        }
    }
    for (std::size_t i = 0; i < perLayer.size(); ++i)
        m_byLayer[i].reserve(perLayer[i]);
    for (const Item& item : m_items) {
        if (item.layer >= 0)
            m_byLayer[std::size_t(item.layer)].push_back(item);
    }
}

template <typename Accept>
void DrawingMetafileExporter::write(const QString& path, Accept accept,
                                    const std::vector<Item>& items, bool overview) const {
    const std::vector<Layer>& layers = m_drawing.layers();
    metafile::WmfWriter writer(m_window, kNaturalLongSideInches);
    writer.setOverview(overview);
    // A record is 3 words of head, a count and two words a point (one more piece per
    // 32,767 points); a change of colour makes and selects a pen or a brush and deletes
    // the old one, and a text selects its font too: 64 words cover either.
    std::size_t words = 0;
    int lastColor = -1;
    for (const Item& item : items) {
        if (!accept(item))
            continue;
        const Primitive& p = *item.primitive;
        words += p.kind == Primitive::Kind::Text ? 64 + std::size_t(p.text.size()) * 2
                                                 : 8 + 2 * std::size_t(p.points.size()) * 33 / 32;
        if (p.color != lastColor || p.color == aci::ByLayer)
            words += 64;
        lastColor = p.color;
    }
    writer.reserveWords(words + 64);
    QPolygonF polygon;
    bool drawn = false;
    for (const Item& item : items) {
        if (!accept(item))
            continue;
        drawn = true;
        const Primitive& p = *item.primitive;
        int aci = p.color;
        if (aci == aci::ByLayer || aci == aci::ByBlock)
            aci = item.layer >= 0 ? std::abs(layers[std::size_t(item.layer)].color) : 7;
        writer.setColor(AciPalette::color(aci)); // 7 is black on the white picture

        switch (p.kind) {
        case Primitive::Kind::Polyline:
            polygon = QPolygonF(p.points);
            writer.polyline(polygon, p.closed);
            break;
        case Primitive::Kind::FilledPolygon:
            polygon = QPolygonF(p.points);
            writer.filledPolygon(polygon);
            break;
        case Primitive::Kind::Text:
            writer.text(p.position, p.text, p.height, p.rotation, alignmentOf(p.halign));
            break;
        }
    }
    if (!drawn) {
        // libwmf sizes a picture by what it draws and refuses one that draws nothing, so
        // an empty layer's picture marks two corners of its window with white points.
        writer.setColor(Qt::white);
        writer.polyline(QPolygonF({m_window.topLeft()}));
        writer.polyline(QPolygonF({m_window.bottomRight()}));
    }
    QString why;
    if (!savePicture(writer, path, why)) {
        throw platform::AutomationError(
            platform::vberr::PathFileAccess,
            QStringLiteral("Cannot write picture %1: %2").arg(path, why));
    }
}

void DrawingMetafileExporter::writeVisible(const QString& path) const {
    const std::vector<Layer>& layers = m_drawing.layers();
    std::vector<char> visible(layers.size());
    for (std::size_t i = 0; i < layers.size(); ++i)
        visible[i] = layers[i].isVisible();
    // A primitive on a layer the drawing does not list has nothing to hide it.
    write(
        path, [&](const Item& item) { return item.layer < 0 || visible[std::size_t(item.layer)]; },
        m_items, true);
}

void DrawingMetafileExporter::writeLayer(const QString& layer, const QString& path) const {
    const int index = m_drawing.layerIndex(layer);
    if (index < 0 || std::size_t(index) >= m_byLayer.size()) {
        throw platform::AutomationError(caderr::KeyNotFound,
                                        QStringLiteral("Key not found: layer %1").arg(layer));
    }
    write(
        path, [](const Item&) { return true; }, m_byLayer[std::size_t(index)], false);
}

} // namespace cadhost
