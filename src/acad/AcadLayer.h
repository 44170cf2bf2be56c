#pragma once

#include "acad/AcadBackend.h"

#include <QString>
#include <memory>

namespace acad {

// A layer addressed by name, as the CAD's Layers.Item(name) hands it out. Holding one
// costs nothing: the CAD is asked only when a property is read or written, one call per
// property, so a layer the drawing no longer has fails there (0x80200014), not here.
class AcadLayer {
public:
    AcadLayer() = default;
    AcadLayer(std::shared_ptr<DocumentBackend> doc, QString name)
        : m_doc(std::move(doc)), m_name(std::move(name)) {}

    QString Name();
    QString Linetype();
    void setLinetype(const QString& sLinetype);
    QString PlotStyleName();
    bool Freeze();
    void setFreeze(bool bFreeze);
    bool LayerOn();
    void setLayerOn(bool bLayerOn);
    bool Lock();
    void setLock(bool bLock);
    bool ViewportDefault();
    bool Plottable();
    qint32 Color();
    void setColor(qint32 lnColor);
    qint32 Lineweight();

    // The name this reference was made with (no call); the CAD's own spelling comes
    // from Name().
    const QString& addressedName() const { return m_name; }
    bool isNull() const { return !m_doc; }

private:
    QVariant get(const QString& property);
    void set(const QString& property, const QVariant& value);

    std::shared_ptr<DocumentBackend> m_doc;
    QString m_name;
};

} // namespace acad
