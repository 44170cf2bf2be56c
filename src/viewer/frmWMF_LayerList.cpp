// The procedures through which the tiles ask the window to update every tile, and the
// layer list's side of a tile's selection.

#include "frmWMF.h"

#include "acad/AcadDocument.h"
#include "acad/basAcadConnect.h"
#include "app/basWindowAPI.h"
#include "platform/ErrorReport.h"
#include "platform/VbError.h"
#include "platform/VbListBox.h"
#include "tiles/clsDWF.h"

clsDWF* frmWMF::tile(int i) const {
    if (i < 1 || i > proDWFUBound())
        return nullptr;
    return proDWF[std::size_t(i)].get();
}

void frmWMF::pu_subResetSelect(qint32 iIndex) {
    pr_subLayerSearchStopMarking();
    for (int i = 1; i <= proDWFUBound(); ++i) {
        clsDWF* t = tile(i);
        if (t && t->index() != iIndex)
            t->ResetSelect();
    }
}

void frmWMF::pu_subActiveLayerUpdate() {
    // Read once here: a tile that cannot read it asks again and reports its own error.
    const clsDWF* first = tile(1);
    m_knownCurrentLayer.reset();
    if (first && first->document()) {
        try {
            m_knownCurrentLayer = first->document()->ActiveLayer().addressedName();
        } catch (const platform::VbError&) {
        }
    }
    const ErrorReport::Batch oneBox;
    for (int i = 1; i <= proDWFUBound(); ++i) {
        if (clsDWF* t = tile(i)) {
            const ErrorReport::AboutLayer about(t->sLayerName());
            t->pu_subActiveLayerCheck();
        }
    }
    m_knownCurrentLayer.reset();
}

void frmWMF::pu_subCtrlViewUpdate() {
    // With its events off a tile's switches can be set without starting its commands.
    const ErrorReport::Batch oneBox;
    for (int i = 1; i <= proDWFUBound(); ++i) {
        if (clsDWF* t = tile(i)) {
            const ErrorReport::AboutLayer about(t->sLayerName());
            t->SetEnableEvent(false);
            t->SetLayerState();
            t->SetEnableEvent(true);
        }
    }
}

void frmWMF::selectOnlyListItem(qint32 iListIndex) {
    LstLayers->selectOnly(iListIndex);
    // Setting the list's index raises its Click, as a click of the user's does: the grid
    // scrolls to the tile and the tiles mark the list's selection.
    LstLayers_Click();
}

void frmWMF::bringCadToFront() {
    basWindowAPI::pu_subSetForeground(pu_lnAcadHwnd);
}
