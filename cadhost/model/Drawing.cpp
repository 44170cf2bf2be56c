#include "cadhost/model/Drawing.h"

#include "cadhost/model/CadErrors.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace cadhost {

using platform::acaderr::FrozenLayerCurrent;
using platform::acaderr::KeyNotFound;

namespace {

// Automation callers hand over whatever their language holds: VB's True is -1, a
// D-Bus client may send an int or a bool. Texts are not taken as flags or numbers,
// because "False" as a string would silently turn into True.
bool toFlag(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::Char:
    case QMetaType::SChar:
        return value.toLongLong() != 0;
    default:
        throwCadError(hosterr::TypeMismatch);
    }
}

int toInteger(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::Char:
    case QMetaType::SChar: {
        const qlonglong v = value.toLongLong();
        if (v < INT_MIN || v > INT_MAX)
            throwCadError(hosterr::InvalidArgument);
        return int(v);
    }
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        if (!std::isfinite(d) || d != std::floor(d) || std::fabs(d) > INT_MAX)
            throwCadError(hosterr::TypeMismatch);
        return int(d);
    }
    default:
        throwCadError(hosterr::TypeMismatch);
    }
}

QString toText(const QVariant& value) {
    if (value.typeId() != QMetaType::QString)
        throwCadError(hosterr::TypeMismatch);
    return value.toString();
}

enum class Prop {
    Name,
    Linetype,
    PlotStyleName,
    Freeze,
    LayerOn,
    Lock,
    ViewportDefault,
    Plottable,
    Color,
    Lineweight
};

Prop propertyOf(const QString& name) {
    static const QHash<QString, Prop> kProps = {
        {QStringLiteral("name"), Prop::Name},
        {QStringLiteral("linetype"), Prop::Linetype},
        {QStringLiteral("plotstylename"), Prop::PlotStyleName},
        {QStringLiteral("freeze"), Prop::Freeze},
        {QStringLiteral("layeron"), Prop::LayerOn},
        {QStringLiteral("lock"), Prop::Lock},
        {QStringLiteral("viewportdefault"), Prop::ViewportDefault},
        {QStringLiteral("plottable"), Prop::Plottable},
        {QStringLiteral("color"), Prop::Color},
        {QStringLiteral("lineweight"), Prop::Lineweight},
    };
    const auto it = kProps.constFind(name.toLower());
    if (it == kProps.constEnd())
        throwCadError(hosterr::UnknownName,
                      QStringLiteral("Unknown name: layer has no property %1").arg(name));
    return *it;
}

} // namespace

Drawing::Drawing(QObject* parent) : QObject(parent), m_name(QStringLiteral("Drawing1.dxf")) {
    Layer zero;
    zero.name = QStringLiteral("0");
    m_layers.push_back(zero);
    rebuildLayerIndex();
    m_linetypes = {QStringLiteral("ByBlock"), QStringLiteral("ByLayer"),
                   QStringLiteral("Continuous")};
}

Drawing::~Drawing() = default;

void Drawing::setName(const QString& name) {
    if (name == m_name)
        return;
    m_name = name;
    emit nameChanged();
}

void Drawing::setFullName(const QString& path) {
    m_fullName = path;
    m_name = path.isEmpty() ? m_name : QFileInfo(path).fileName();
    emit nameChanged();
}

bool Drawing::isValidLayerName(const QString& name) {
    if (name.trimmed().isEmpty() || name.size() > 255)
        return false;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || QStringLiteral("<>/\\\":;?*|,=`").contains(c))
            return false;
    }
    return true;
}

// --- layers ----------------------------------------------------------------------

void Drawing::rebuildLayerIndex() {
    m_layerIndex.clear();
    m_layerIndex.reserve(qsizetype(m_layers.size()));
    for (int i = 0; i < int(m_layers.size()); ++i)
        m_layerIndex.insert(nameKey(m_layers[std::size_t(i)].name), i);
}

int Drawing::layerIndex(const QString& name) const {
    return m_layerIndex.value(nameKey(name), -1);
}

const Layer* Drawing::findLayer(const QString& name) const {
    const int i = layerIndex(name);
    return i < 0 ? nullptr : &m_layers[std::size_t(i)];
}

Layer& Drawing::layerRef(const QString& name) {
    const int i = layerIndex(name);
    if (i < 0)
        throwCadError(KeyNotFound);
    return m_layers[std::size_t(i)];
}

const Layer& Drawing::layerRef(const QString& name) const {
    const int i = layerIndex(name);
    if (i < 0)
        throwCadError(KeyNotFound);
    return m_layers[std::size_t(i)];
}

void Drawing::putLayer(const Layer& layer) {
    if (!isValidLayerName(layer.name))
        throwCadError(hosterr::InvalidArgument,
                      QStringLiteral("Invalid layer name \"%1\"").arg(layer.name));
    const int i = layerIndex(layer.name);
    if (i >= 0) {
        m_layers[std::size_t(i)] = layer;
        return;
    }
    m_layers.push_back(layer);
    m_layerIndex.insert(nameKey(layer.name), int(m_layers.size()) - 1);
}

QString Drawing::getActiveLayer() const {
    return m_activeLayer;
}

void Drawing::setActiveLayer(const QString& name) {
    const Layer& layer = layerRef(name);
    if (layer.freeze)
        throwCadError(FrozenLayerCurrent);
    m_activeLayer = layer.name;
}

void Drawing::regen(int which) {
    Q_UNUSED(which); // one view here: all viewports and the active one are the same
    ++m_regenCount;
    emit regenerated();
}

QString Drawing::layerName(int index) const {
    if (index < 0 || index >= layerCount())
        throwCadError(KeyNotFound);
    return m_layers[std::size_t(index)].name;
}

QVariant Drawing::getLayerProperty(const QString& layerName, const QString& property) const {
    const Prop prop = propertyOf(property);
    const Layer& l = layerRef(layerName);
    switch (prop) {
    case Prop::Name:
        return l.name;
    case Prop::Linetype:
        return l.linetype;
    case Prop::PlotStyleName:
        return l.plotStyleName;
    case Prop::Freeze:
        return l.freeze;
    case Prop::LayerOn:
        return l.layerOn;
    case Prop::Lock:
        return l.lock;
    case Prop::ViewportDefault:
        return l.viewportDefault;
    case Prop::Plottable:
        return l.plottable;
    case Prop::Color:
        return l.color;
    case Prop::Lineweight:
        return l.lineweight;
    }
    return {};
}

void Drawing::setLayerProperty(const QString& layerName, const QString& property,
                               const QVariant& value) {
    const Prop prop = propertyOf(property);
    Layer& l = layerRef(layerName);
    const bool isCurrent = nameKey(l.name) == nameKey(m_activeLayer);
    switch (prop) {
    case Prop::Name: {
        const QString newName = toText(value);
        if (!isValidLayerName(newName))
            throwCadError(hosterr::InvalidArgument);
        if (l.name == QLatin1String("0"))
            throwCadError(hosterr::InvalidArgument,
                          QStringLiteral("Layer \"0\" cannot be renamed"));
        const int other = layerIndex(newName);
        if (other >= 0 && &m_layers[std::size_t(other)] != &l)
            throwCadError(hosterr::DuplicateKey);
        const QString oldKey = nameKey(l.name);
        m_entitiesByLayerValid = false;
        for (Entity& e : m_entities) {
            if (nameKey(e.layer) == oldKey)
                e.layer = newName;
            for (Primitive& p : e.primitives)
                if (nameKey(p.layer) == oldKey)
                    p.layer = newName;
        }
        if (isCurrent)
            m_activeLayer = newName;
        l.name = newName;
        rebuildLayerIndex();
        break;
    }
    case Prop::Linetype: {
        const QString name = toText(value);
        const auto it =
            std::find_if(m_linetypes.cbegin(), m_linetypes.cend(), [&](const QString& t) {
                return t.compare(name, Qt::CaseInsensitive) == 0;
            });
        if (it == m_linetypes.cend())
            throwCadError(KeyNotFound);
        const QString stored = *it;
        if (stored.compare(QLatin1String("ByLayer"), Qt::CaseInsensitive) == 0 ||
            stored.compare(QLatin1String("ByBlock"), Qt::CaseInsensitive) == 0)
            throwCadError(hosterr::InvalidArgument,
                          QStringLiteral("A layer cannot take linetype %1").arg(stored));
        l.linetype = stored;
        break;
    }
    case Prop::PlotStyleName:
        l.plotStyleName = toText(value);
        break;
    case Prop::Freeze: {
        const bool freeze = toFlag(value);
        if (freeze && isCurrent)
            throwCadError(FrozenLayerCurrent,
                          QStringLiteral("Invalid layer: the current layer cannot be frozen"));
        l.freeze = freeze;
        break;
    }
    case Prop::LayerOn:
        l.layerOn = toFlag(value);
        break;
    case Prop::Lock:
        l.lock = toFlag(value);
        break;
    case Prop::ViewportDefault:
        l.viewportDefault = toFlag(value);
        break;
    case Prop::Plottable:
        l.plottable = toFlag(value);
        break;
    case Prop::Color: {
        const int c = toInteger(value);
        if (c < 1 || c > 255)
            throwCadError(hosterr::InvalidArgument);
        l.color = c;
        break;
    }
    case Prop::Lineweight: {
        const int w = toInteger(value);
        if (!Layer::isValidLineweight(w))
            throwCadError(hosterr::InvalidArgument);
        l.lineweight = w;
        break;
    }
    }
}

QString Drawing::addLayer(const QString& name) {
    if (!isValidLayerName(name))
        throwCadError(hosterr::InvalidArgument,
                      QStringLiteral("Invalid layer name \"%1\"").arg(name));
    if (const Layer* existing = findLayer(name))
        return existing->name;
    Layer layer;
    layer.name = name;
    putLayer(layer);
    return name;
}

void Drawing::deleteLayer(const QString& name) {
    const int i = layerIndex(name);
    if (i < 0)
        throwCadError(KeyNotFound);
    const QString key = nameKey(name);
    if (key == QLatin1String("0") || key == nameKey(m_activeLayer) || entityCountOnLayer(name) > 0)
        throwCadError(hosterr::ObjectReferenced);
    m_layers.erase(m_layers.begin() + i);
    rebuildLayerIndex();
}

int Drawing::entityCountOnLayer(const QString& layer) const {
    const QString key = nameKey(layer);
    return int(std::count_if(m_entities.begin(), m_entities.end(),
                             [&](const Entity& e) { return nameKey(e.layer) == key; }));
}

// --- linetypes -------------------------------------------------------------------

bool Drawing::hasLinetype(const QString& name) const {
    return m_linetypes.contains(name, Qt::CaseInsensitive);
}

void Drawing::addLinetype(const QString& name) {
    if (name.isEmpty() || hasLinetype(name))
        return;
    m_linetypes.append(name);
}

// --- selection sets --------------------------------------------------------------

int Drawing::selectionSetIndex(const QString& name) const {
    const QString key = nameKey(name);
    for (int i = 0; i < int(m_selectionSets.size()); ++i)
        if (nameKey(m_selectionSets[std::size_t(i)].name) == key)
            return i;
    return -1;
}

QString Drawing::selectionSetName(int index) const {
    if (index < 0 || index >= selectionSetCount())
        throwCadError(KeyNotFound);
    return m_selectionSets[std::size_t(index)].name;
}

void Drawing::deleteSelectionSet(int index) {
    if (index < 0 || index >= selectionSetCount())
        throwCadError(KeyNotFound);
    m_selectionSets.erase(m_selectionSets.begin() + index);
}

void Drawing::addSelectionSet(const QString& name) {
    if (name.isEmpty())
        throwCadError(hosterr::InvalidArgument);
    if (selectionSetIndex(name) >= 0)
        throwCadError(hosterr::DuplicateKey);
    m_selectionSets.push_back({name, {}});
}

void Drawing::clearSelectionSet(const QString& name) {
    const int i = selectionSetIndex(name);
    if (i < 0)
        throwCadError(KeyNotFound);
    m_selectionSets[std::size_t(i)].members.clear();
}

void Drawing::selectAll(const QString& name, const QList<int>& codes, const QVariantList& values) {
    const int setIndex = selectionSetIndex(name);
    if (setIndex < 0)
        throwCadError(KeyNotFound);
    if (codes.size() != values.size())
        throwCadError(hosterr::InvalidArgument,
                      QStringLiteral("Filter type and data lists differ in length"));

    QString layerKey, typeKey;
    bool byLayer = false, byType = false;
    for (qsizetype i = 0; i < codes.size(); ++i) {
        if (codes[i] != 8 && codes[i] != 0)
            throwCadError(hosterr::InvalidArgument,
                          QStringLiteral("Unsupported filter group code %1").arg(codes[i]));
        const QString text = toText(values[i]);
        if (codes[i] == 8) {
            byLayer = true;
            layerKey = nameKey(text);
        } else {
            byType = true;
            typeKey = nameKey(text);
        }
    }

    std::vector<int> matches;
    if (byLayer) {
        for (int i : entitiesOnLayerKey(layerKey))
            if (!byType || nameKey(m_entities[std::size_t(i)].type) == typeKey)
                matches.push_back(i);
    } else {
        for (int i = 0; i < int(m_entities.size()); ++i)
            if (!byType || nameKey(m_entities[std::size_t(i)].type) == typeKey)
                matches.push_back(i);
    }
    std::vector<int>& members = m_selectionSets[std::size_t(setIndex)].members;
    std::vector<int> merged;
    merged.reserve(members.size() + matches.size());
    std::set_union(members.begin(), members.end(), matches.begin(), matches.end(),
                   std::back_inserter(merged));
    members = std::move(merged);
}

int Drawing::selectionSetSize(const QString& name) const {
    const int i = selectionSetIndex(name);
    if (i < 0)
        throwCadError(KeyNotFound);
    return int(m_selectionSets[std::size_t(i)].members.size());
}

// --- entities --------------------------------------------------------------------

const std::vector<int>& Drawing::entitiesOnLayerKey(const QString& key) const {
    if (!m_entitiesByLayerValid) {
        m_entitiesByLayer.clear();
        for (int i = 0; i < int(m_entities.size()); ++i)
            m_entitiesByLayer[nameKey(m_entities[std::size_t(i)].layer)].push_back(i);
        m_entitiesByLayerValid = true;
    }
    static const std::vector<int> none;
    const auto it = m_entitiesByLayer.constFind(key);
    return it == m_entitiesByLayer.constEnd() ? none : it.value();
}

void Drawing::addEntity(Entity entity) {
    m_entitiesByLayerValid = false;
    const bool hasGeometry = !entity.primitives.isEmpty();
    const QRectF box = hasGeometry ? entity.extents() : QRectF();
    m_entities.push_back(std::move(entity));
    if (!hasGeometry)
        return;
    // A flag rather than QRectF::isNull: a single point at the origin is a valid extent.
    if (!m_hasExtents) {
        m_extents = box;
        m_hasExtents = true;
        return;
    }
    const double l = std::min(m_extents.left(), box.left());
    const double t = std::min(m_extents.top(), box.top());
    const double r = std::max(m_extents.right(), box.right());
    const double b = std::max(m_extents.bottom(), box.bottom());
    m_extents = QRectF(QPointF(l, t), QPointF(r, b));
}

// --- files -----------------------------------------------------------------------

void Drawing::save() {
    if (m_fullName.isEmpty())
        throwCadError(hosterr::Failed,
                      QStringLiteral("%1 has never been saved: use SaveAs").arg(m_name));
    saveAs(m_fullName);
}

void Drawing::saveAs(const QString& path) {
    if (!m_writer)
        throwCadError(hosterr::Failed, QStringLiteral("No file format is available to save"));
    if (path.isEmpty())
        throwCadError(hosterr::InvalidArgument);
    const QString absolute = QFileInfo(path).absoluteFilePath();
    m_writer(*this, absolute);
    if (absolute != m_fullName)
        setFullName(absolute);
}

} // namespace cadhost
