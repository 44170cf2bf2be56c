#pragma once

#include "acad/AcadDocument.h"

#include <QStringList>
#include <QVariant>

// The CAD-reading half of module basDWF: the linetype list and the object count.

// Element 0 is always empty and never shown; 1..m are the drawing's linetypes in its own
// order without ByLayer and ByBlock (in any letter case).
inline QStringList pu_sLineTypeArray{QString()};

// Rebuilds pu_sLineTypeArray from pu_oAcadDoc. Passes errors on, keeping what was built.
void pu_subLineTypeList();

// Objects of oDoc on one layer (vLayerName a QString) or on layers 1..upper bound of a
// name array (QStringList or QVariantList; element 0 ignored). Deletes every selection
// set of the drawing first (ignoring failures there), then counts with one set "cSet",
// which stays in the drawing. Errors after the deletion reach the caller.
qint32 pu_fun_lnObjectCount(acad::AcadDocument& oDoc, const QVariant& vLayerName);
