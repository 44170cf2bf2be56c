// A layer's properties as the automation interface reads and writes them by name,
// with the CAD's rules for each (layer "0" keeps its name, the current layer cannot
// be frozen, colours and lineweights within their ranges).
#include "cadhost/model/Drawing.h"

#include "cadhost/model/CadErrors.h"
#include "cadhost/model/DrawingArguments.h"

#include <algorithm>

namespace cadhost {

using caderr::FrozenLayerCurrent;
using caderr::KeyNotFound;
using detail::toFlag;
using detail::toInteger;
using detail::toText;

namespace {

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
        throwCadError(caderr::UnknownName,
                      QStringLiteral("Unknown name: layer has no property %1").arg(name));
    return *it;
}

} // namespace

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
            refuseLayerName(newName);
        if (l.name == QLatin1String("0"))
            throwCadError(caderr::InvalidArgument, QStringLiteral("Layer \"0\" cannot be renamed"));
        const int other = layerIndex(newName);
        if (other >= 0 && &m_layers[std::size_t(other)] != &l)
            throwCadError(caderr::DuplicateKey);
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
        if (m_outsideReferences.remove(oldKey))
            m_outsideReferences.insert(nameKey(newName));
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
            throwCadError(caderr::InvalidArgument,
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
            throwCadError(caderr::InvalidArgument);
        l.color = c;
        break;
    }
    case Prop::Lineweight: {
        const int w = toInteger(value);
        if (!Layer::isValidLineweight(w))
            throwCadError(caderr::InvalidArgument);
        l.lineweight = w;
        break;
    }
    }
}

} // namespace cadhost
