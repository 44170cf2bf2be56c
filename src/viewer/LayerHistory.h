#pragma once

#include "tiles/LayerStateRecorder.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QUndoStack;

namespace acad {
class AcadDocument;
}

// The way back through the layer commands: one step per command that changed layer
// states, on a QUndoStack. A step is put back into whichever drawing the window shows,
// by layer name, so it outlives a refresh of the same drawing; a refresh of another
// drawing forgets every step.
class LayerHistory : public QObject {
public:
    // The drawing the steps are written to, and what the window does once a step was
    // written (regenerate, let the tiles re-read); both belong to the window.
    using DrawingSource = std::function<std::shared_ptr<acad::AcadDocument>()>;
    using AfterStep = std::function<void(const LayerStateStep&)>;

    LayerHistory(DrawingSource drawing, AfterStep after, QObject* parent = nullptr);
    ~LayerHistory() override;

    QUndoStack* stack() const { return m_stack; }
    // A command's step, already done in the drawing.
    void record(LayerStateStep&& step);
    // Called at every refresh with the drawing's full path: another drawing starts an
    // empty history.
    void followDrawing(const QString& sDrawingKey);
    const QString& drawingKey() const { return m_drawingKey; }

    // Writes a step into the drawing: back to its earlier states, or forward again. A
    // failure is reported once, after the rest of the step was written.
    void apply(const LayerStateStep& step, bool back);

private:
    DrawingSource m_drawing;
    AfterStep m_after;
    QUndoStack* m_stack = nullptr;
    QString m_drawingKey;
};
