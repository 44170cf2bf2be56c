#include "AcadLayer.h"

#include "platform/VbError.h"
#include "platform/VbErrorText.h"

namespace acad {
namespace {

// A layer reference made without a document (default-constructed) is VB's Nothing.
[[noreturn]] void throwNothing() {
    throw platform::vbError(platform::vberr::ObjectNotSet);
}

// The CAD's properties are typed; a value of the wrong type from the host would
// otherwise turn silently into false or 0.
bool toBool(const QVariant& v) {
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    if (!ok)
        throw platform::vbError(platform::vberr::TypeMismatch);
    return n != 0;
}

qint32 toLong(const QVariant& v) {
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    if (!ok || v.typeId() == QMetaType::QString || n < INT32_MIN || n > INT32_MAX)
        throw platform::vbError(platform::vberr::TypeMismatch);
    return static_cast<qint32>(n);
}

QString toText(const QVariant& v) {
    if (v.typeId() != QMetaType::QString)
        throw platform::vbError(platform::vberr::TypeMismatch);
    return v.toString();
}

} // namespace

QVariant AcadLayer::get(const QString& property) {
    if (!m_doc)
        throwNothing();
    return m_doc->getLayerProperty(m_name, property);
}

void AcadLayer::set(const QString& property, const QVariant& value) {
    if (!m_doc)
        throwNothing();
    m_doc->setLayerProperty(m_name, property, value);
}

QString AcadLayer::Name() {
    return toText(get(QStringLiteral("Name")));
}
QString AcadLayer::Linetype() {
    return toText(get(QStringLiteral("Linetype")));
}
void AcadLayer::setLinetype(const QString& sLinetype) {
    set(QStringLiteral("Linetype"), sLinetype);
}
QString AcadLayer::PlotStyleName() {
    return toText(get(QStringLiteral("PlotStyleName")));
}
bool AcadLayer::Freeze() {
    return toBool(get(QStringLiteral("Freeze")));
}
void AcadLayer::setFreeze(bool bFreeze) {
    set(QStringLiteral("Freeze"), bFreeze);
}
bool AcadLayer::LayerOn() {
    return toBool(get(QStringLiteral("LayerOn")));
}
void AcadLayer::setLayerOn(bool bLayerOn) {
    set(QStringLiteral("LayerOn"), bLayerOn);
}
bool AcadLayer::Lock() {
    return toBool(get(QStringLiteral("Lock")));
}
void AcadLayer::setLock(bool bLock) {
    set(QStringLiteral("Lock"), bLock);
}
bool AcadLayer::ViewportDefault() {
    return toBool(get(QStringLiteral("ViewportDefault")));
}
bool AcadLayer::Plottable() {
    return toBool(get(QStringLiteral("Plottable")));
}
qint32 AcadLayer::Color() {
    return toLong(get(QStringLiteral("Color")));
}
void AcadLayer::setColor(qint32 lnColor) {
    set(QStringLiteral("Color"), lnColor);
}
qint32 AcadLayer::Lineweight() {
    return toLong(get(QStringLiteral("Lineweight")));
}

} // namespace acad
