#pragma once

class QWidget;

namespace platform {

// A widget's place and size as a VB control holds them: twips in and out, whole pixels
// inside. Top-level windows report and take their outer (frame) geometry, as a form's
// Left/Top/Width/Height did; child controls their geometry within the container.
// Sizes are never negative and never beyond the largest picture box a side.
class ControlGeometry {
public:
    static double Left(const QWidget* control);
    static double Top(const QWidget* control);
    static double Width(const QWidget* control);
    static double Height(const QWidget* control);

    static void setLeft(QWidget* control, double twips);
    static void setTop(QWidget* control, double twips);
    static void setWidth(QWidget* control, double twips);
    static void setHeight(QWidget* control, double twips);

    // All four in one step, as VB's Move: one geometry change, one repaint.
    static void Move(QWidget* control, double left, double top, double width, double height);

    // Pixels of a size measure in twips: rounded half to even, 0..32767.
    static int sizePixels(double twips);
};

} // namespace platform
