#include "basAcadUse.h"

#include "acad/basAcadConnect.h"
#include "platform/VbError.h"
#include "platform/VbErrorText.h"

namespace {

acad::AcadDocument& document() {
    if (!pu_oAcadDoc)
        throw platform::vbError(platform::vberr::ObjectNotSet);
    return *pu_oAcadDoc;
}

} // namespace

qint32 pu_fun_lnLayerCount() {
    return document().Layers().Count();
}

void pu_subLayerSnapshot() {
    const qint32 n = pu_fun_lnLayerCount();
    pu_typLayerState.assign(static_cast<std::size_t>(std::max<qint32>(n, 0)) + 1, typLayerState{});

    acad::AcadLayers layers = document().Layers();
    std::size_t k = 1;
    for (acad::AcadLayer oLayer : layers) {
        // A layer added between the count and the enumeration has no record to go
        // into: report it as the array bound it oversteps, never write past the end.
        if (k >= pu_typLayerState.size())
            throw platform::vbError(platform::vberr::SubscriptOutOfRange);
        typLayerState& rec = pu_typLayerState[k];
        rec.sName = oLayer.Name();
        rec.sLineType = oLayer.Linetype();
        rec.sPlotStyleName = oLayer.PlotStyleName();
        rec.bFreeze = oLayer.Freeze();
        rec.bLayerOn = oLayer.LayerOn();
        rec.bLock = oLayer.Lock();
        rec.bViewportDefault = oLayer.ViewportDefault();
        rec.bPlottable = oLayer.Plottable();
        rec.lnColor = oLayer.Color();
        rec.lnLineWeight = oLayer.Lineweight();
        ++k;
    }
}
