#pragma once

#include <QString>
#include <QtGlobal>
#include <vector>

// One layer's state as the snapshot took it, fields in the order the rebuild reads them.
struct typLayerState {
    QString sName;
    bool bLayerOn = false;
    bool bFreeze = false;
    bool bLock = false;
    qint32 lnColor = 0;
    QString sLineType;
    qint32 lnLineWeight = 0;
    QString sPlotStyleName;
    bool bPlottable = false;
    bool bViewportDefault = false;
};

// Layers 1..n of the last snapshot, in the drawing's own order. Element 0 exists and
// stays default, as every 1-based array of this program holds it: size() is n + 1.
inline std::vector<typLayerState> pu_typLayerState;

// Layers.Count of pu_oAcadDoc. Passes errors on.
qint32 pu_fun_lnLayerCount();

// Rebuilds pu_typLayerState from pu_oAcadDoc. An error ends it part-way and reaches the
// caller; the records read so far stay, the rest are default.
void pu_subLayerSnapshot();
