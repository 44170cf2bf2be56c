#pragma once

#include "acad/basAcadUse.h"

#include <QString>
#include <vector>

namespace acad {
class AcadDocument;
}

// Puts the snapshot's on and frozen states back into the drawing, the current layer left
// alone. It remembers which layers are back, so that after a failure a second attempt
// does only the rest and can tell the user which layers may still be switched on and
// thawed (a call that timed out may yet be carried out by the CAD, or may not).
class LayerStateRestore {
public:
    LayerStateRestore(acad::AcadDocument& oAcadDoc, QString sActiveLayer);

    // Every layer not yet back, in the snapshot's order; the first failure passes on.
    void all();
    // Every layer not yet back, each on its own; the snapshot's records of those that
    // failed.
    std::vector<typLayerState> rest();

private:
    // Raises when the layer's states could not be written.
    void restore(std::size_t k);

    acad::AcadDocument& m_doc;
    QString m_activeLayer;
    std::vector<bool> m_done;
};
