#pragma once

#include <QString>

// What the export run needs of the window it was started from: where a layer's
// picture lies, the desktop's program for the finished workbook, and a place to say
// where the workbook went when no program could open it.
class ExportHost {
public:
    virtual ~ExportHost() = default;
    // The refresh's picture file of the layer; empty when the name cannot be a file name.
    virtual QString layerPicturePath(const QString& sLayerName) = 0;
    // False when the desktop has no program that could open it.
    virtual bool openWorkbook(const QString& sPath) = 0;
    virtual void showStatusText(const QString& sText) = 0;
};
