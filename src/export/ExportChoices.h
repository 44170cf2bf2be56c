#pragma once

#include <QString>
#include <QStringList>
#include <memory>

namespace acad {
class AcadDocument;
}

// What the export dialog's OK hands to the export run, read from its controls at that
// moment. Rows, columns and spacing are handed over in both layouts; one picture a
// sheet does not use them.
struct ExportChoices {
    std::shared_ptr<acad::AcadDocument> oAcadDoc;
    // The selected layers in list order, top to bottom.
    QStringList sLayers;
    bool bSeparateSheet = false;
    qint32 lnRowNum = 3;
    qint32 lnColNum = 2;
    float snWidth = 9.0f;  // centimetres
    float snOffset = 1.0f; // centimetres
    bool bFrame = true;
    float snFrame = 1.0f; // points
};
