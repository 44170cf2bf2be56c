#include "cadhost/dbus/DocumentObject.h"

#include "cadhost/dbus/AutomationCall.h"
#include "cadhost/model/CadErrors.h"
#include "cadhost/model/Drawing.h"

#include <QDBusArgument>

namespace cadhost::dbus {

namespace {
// Values inside an "av" may arrive still wrapped; the model wants plain values.
QVariant unwrap(const QVariant& v) {
    if (v.userType() == qMetaTypeId<QDBusVariant>())
        return qvariant_cast<QDBusVariant>(v).variant();
    return v;
}
} // namespace

DocumentObject::DocumentObject(Drawing* drawing, QObject* parent)
    : QObject(parent), m_drawing(drawing) {}

Drawing& DocumentObject::drawing() {
    if (!m_drawing)
        throwCadError(caderr::NoDocument, QStringLiteral("The document has been closed"));
    return *m_drawing;
}

QString DocumentObject::name() const {
    return m_drawing ? m_drawing->name() : QString();
}

QString DocumentObject::fullName() const {
    return m_drawing ? m_drawing->fullName() : QString();
}

QString DocumentObject::GetActiveLayer() {
    return guarded(*this, [&] { return drawing().getActiveLayer(); });
}

void DocumentObject::SetActiveLayer(const QString& name) {
    guarded(*this, [&] { drawing().setActiveLayer(name); });
}

void DocumentObject::Regen(int which) {
    guarded(*this, [&] { drawing().regen(which); });
}

int DocumentObject::LayerCount() {
    return guarded(*this, [&] { return drawing().layerCount(); });
}

QString DocumentObject::LayerName(int index) {
    return guarded(*this, [&] { return drawing().layerName(index); });
}

QDBusVariant DocumentObject::GetLayerProperty(const QString& layer, const QString& property) {
    return guarded(*this,
                   [&] { return QDBusVariant(drawing().getLayerProperty(layer, property)); });
}

void DocumentObject::SetLayerProperty(const QString& layer, const QString& property,
                                      const QDBusVariant& value) {
    guarded(*this, [&] { drawing().setLayerProperty(layer, property, unwrap(value.variant())); });
}

QStringList DocumentObject::LinetypeNames() {
    return guarded(*this, [&] { return drawing().linetypeNames(); });
}

int DocumentObject::SelectionSetCount() {
    return guarded(*this, [&] { return drawing().selectionSetCount(); });
}

void DocumentObject::DeleteSelectionSet(int index) {
    guarded(*this, [&] { drawing().deleteSelectionSet(index); });
}

void DocumentObject::AddSelectionSet(const QString& name) {
    guarded(*this, [&] { drawing().addSelectionSet(name); });
}

void DocumentObject::ClearSelectionSet(const QString& name) {
    guarded(*this, [&] { drawing().clearSelectionSet(name); });
}

void DocumentObject::SelectAll(const QString& name, const QList<int>& codes,
                               const QVariantList& values) {
    guarded(*this, [&] {
        QVariantList plain;
        plain.reserve(values.size());
        for (const QVariant& v : values)
            plain << unwrap(v);
        drawing().selectAll(name, codes, plain);
    });
}

int DocumentObject::SelectionSetSize(const QString& name) {
    return guarded(*this, [&] { return drawing().selectionSetSize(name); });
}

void DocumentObject::AddLayer(const QString& name) {
    guarded(*this, [&] { drawing().addLayer(name); });
}

void DocumentObject::DeleteLayer(const QString& name) {
    guarded(*this, [&] { drawing().deleteLayer(name); });
}

void DocumentObject::Save() {
    guarded(*this, [&] { drawing().save(); });
}

void DocumentObject::SaveAs(const QString& path) {
    guarded(*this, [&] { drawing().saveAs(path); });
}

} // namespace cadhost::dbus
