#include "LayerStateRecorder.h"

#include "acad/AcadDocument.h"
#include "acad/AcadLayer.h"
#include "acad/AcadLayers.h"

#include <algorithm>

namespace {

void writeChange(acad::AcadDocument& doc, const LayerStateChange& change, const QVariant& value) {
    if (change.property == LayerStateProperty::ActiveLayer) {
        doc.setActiveLayer(doc.Layers().Item(value.toString()));
        return;
    }
    acad::AcadLayer layer = doc.Layers().Item(change.layer);
    LayerStateRecorder::write(layer, change.property, value);
}

} // namespace

bool LayerStateStep::touchesActiveLayer() const {
    return std::any_of(changes.begin(), changes.end(), [](const LayerStateChange& c) {
        return c.property == LayerStateProperty::ActiveLayer;
    });
}

std::exception_ptr LayerStateStep::putBack(acad::AcadDocument& doc) const {
    std::exception_ptr first;
    for (auto it = changes.rbegin(); it != changes.rend(); ++it) {
        try {
            writeChange(doc, *it, it->before);
        } catch (const std::exception&) {
            if (!first)
                first = std::current_exception();
        }
    }
    return first;
}

std::exception_ptr LayerStateStep::doAgain(acad::AcadDocument& doc) const {
    std::exception_ptr first;
    for (const LayerStateChange& change : changes) {
        try {
            writeChange(doc, change, change.after);
        } catch (const std::exception&) {
            if (!first)
                first = std::current_exception();
        }
    }
    return first;
}

LayerStateRecorder::LayerStateRecorder(QString text, Sink sink)
    : m_text(std::move(text)), m_sink(std::move(sink)) {}

LayerStateRecorder::~LayerStateRecorder() {
    // Runs while a failure unwinds too: what the command did before it must be kept.
    try {
        finish();
    } catch (...) {
    }
}

void LayerStateRecorder::finish() {
    // A state written and then written back within the command is no change.
    m_index.clear();
    std::erase_if(m_changes, [](const LayerStateChange& c) { return c.before == c.after; });
    if (m_changes.empty() || !m_sink)
        return;
    LayerStateStep step{m_text, std::move(m_changes)};
    m_changes.clear();
    m_sink(std::move(step));
}

QVariant LayerStateRecorder::read(acad::AcadLayer& layer, LayerStateProperty property) {
    switch (property) {
    case LayerStateProperty::LayerOn:
        return layer.LayerOn();
    case LayerStateProperty::Freeze:
        return layer.Freeze();
    case LayerStateProperty::Lock:
        return layer.Lock();
    case LayerStateProperty::Linetype:
        return layer.Linetype();
    case LayerStateProperty::Color:
        return layer.Color();
    case LayerStateProperty::ActiveLayer:
        break;
    }
    return {};
}

void LayerStateRecorder::write(acad::AcadLayer& layer, LayerStateProperty property,
                               const QVariant& value) {
    switch (property) {
    case LayerStateProperty::LayerOn:
        layer.setLayerOn(value.toBool());
        break;
    case LayerStateProperty::Freeze:
        layer.setFreeze(value.toBool());
        break;
    case LayerStateProperty::Lock:
        layer.setLock(value.toBool());
        break;
    case LayerStateProperty::Linetype:
        layer.setLinetype(value.toString());
        break;
    case LayerStateProperty::Color:
        layer.setColor(value.toInt());
        break;
    case LayerStateProperty::ActiveLayer:
        break;
    }
}

void LayerStateRecorder::set(acad::AcadLayer& layer, LayerStateProperty property,
                             const QVariant& value) {
    QVariant before = read(layer, property);
    write(layer, property, value);
    remember(layer.addressedName(), property, std::move(before), value);
}

void LayerStateRecorder::setLayerOn(acad::AcadLayer& layer, bool bOn) {
    set(layer, LayerStateProperty::LayerOn, bOn);
}
void LayerStateRecorder::setFreeze(acad::AcadLayer& layer, bool bFreeze) {
    set(layer, LayerStateProperty::Freeze, bFreeze);
}
void LayerStateRecorder::setLock(acad::AcadLayer& layer, bool bLock) {
    set(layer, LayerStateProperty::Lock, bLock);
}
void LayerStateRecorder::setLinetype(acad::AcadLayer& layer, const QString& sLinetype) {
    set(layer, LayerStateProperty::Linetype, sLinetype);
}
void LayerStateRecorder::setColor(acad::AcadLayer& layer, qint32 lnColor) {
    set(layer, LayerStateProperty::Color, lnColor);
}

void LayerStateRecorder::setActiveLayer(acad::AcadDocument& doc, const QString& sLayerName) {
    QString before = doc.ActiveLayer().addressedName();
    doc.setActiveLayer(doc.Layers().Item(sLayerName));
    remember(QString(), LayerStateProperty::ActiveLayer, std::move(before), sLayerName);
}

void LayerStateRecorder::remember(const QString& layer, LayerStateProperty property,
                                  QVariant before, QVariant after) {
    // A state the command writes twice (the chosen layer of an exclusive view: off with
    // all others, then on) is one change from its first state to its last.
    const QString key = layer.toCaseFolded() + QChar(u'\x1f') + QString::number(int(property));
    const auto found = m_index.constFind(key);
    if (found != m_index.cend()) {
        m_changes[*found].after = std::move(after);
        return;
    }
    m_index.insert(key, m_changes.size());
    m_changes.push_back({layer, property, std::move(before), std::move(after)});
}
