#pragma once

#include "acad/AcadLayer.h"
#include "acad/AcadLayers.h"
#include "acad/AcadLinetypes.h"
#include "acad/AcadSelectionSet.h"

#include <memory>

namespace acad {

// Regen argument: every viewport.
inline constexpr int acAllViewports = 1;

// One open drawing of the CAD. A reference stays bound to the drawing it was taken
// from; when the user closes that drawing, calls fail with the CAD's error.
class AcadDocument {
public:
    explicit AcadDocument(std::shared_ptr<DocumentBackend> backend)
        : m_backend(std::move(backend)) {}

    QString Name();
    QString FullName();
    AcadLayers Layers() { return AcadLayers(m_backend); }
    // Reads the linetype names (one call).
    AcadLinetypes Linetypes() { return AcadLinetypes(m_backend); }
    AcadSelectionSets SelectionSets() { return AcadSelectionSets(m_backend); }
    AcadLayer ActiveLayer();
    void setActiveLayer(const AcadLayer& oLayer);
    void Regen(int iWhich);

    const std::shared_ptr<DocumentBackend>& backend() const { return m_backend; }

private:
    std::shared_ptr<DocumentBackend> m_backend;
};

} // namespace acad
