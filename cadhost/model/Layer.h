#pragma once

#include <QString>

namespace cadhost {

// One layer of a drawing with the properties the automation interface exposes.
// A plain value: the rules that tie layers together (layer "0", the current layer
// cannot be frozen, ...) are kept by Drawing, which owns every Layer.
struct Layer {
    QString name;
    QString linetype = QStringLiteral("Continuous");
    QString plotStyleName = QStringLiteral("Normal");
    bool freeze = false;
    bool layerOn = true;
    bool lock = false;
    bool viewportDefault = false; // frozen in new viewports
    bool plottable = true;
    int color = 7;       // ACI 1..255
    int lineweight = -3; // -3 = default, otherwise hundredths of a millimetre
    // The layer's place in the drawing when it was read from its file, kept through
    // renames; -1 for a layer made since (see Drawing::setSource).
    int sourceEntry = -1;

    // Entities on a layer are drawn only when it is on and thawed.
    bool isVisible() const { return layerOn && !freeze; }

    // Lineweights a layer may take, as the CAD accepts them.
    static bool isValidLineweight(int value);
};

} // namespace cadhost
