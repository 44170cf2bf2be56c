#include "LayerHistory.h"

#include "acad/AcadDocument.h"
#include "platform/ErrorTrap.h"
#include "platform/VbError.h"
#include "platform/VbErrorText.h"

#include <QUndoCommand>
#include <QUndoStack>

namespace {

// One step on the stack. Its command has run already when the step is pushed, so the
// push's own redo does nothing; every later redo writes the step again.
class LayerStateCommand : public QUndoCommand {
public:
    LayerStateCommand(LayerHistory& history, LayerStateStep step)
        : QUndoCommand(step.text), m_history(history), m_step(std::move(step)) {}

    void undo() override { m_history.apply(m_step, true); }
    void redo() override {
        if (m_pushed)
            m_history.apply(m_step, false);
        m_pushed = true;
    }

private:
    LayerHistory& m_history;
    LayerStateStep m_step;
    bool m_pushed = false;
};

} // namespace

LayerHistory::LayerHistory(DrawingSource drawing, AfterStep after, QObject* parent)
    : QObject(parent), m_drawing(std::move(drawing)), m_after(std::move(after)),
      m_stack(new QUndoStack(this)) {}

LayerHistory::~LayerHistory() {
    // The stack empties itself as it goes and says so; whoever listened may be gone.
    m_stack->disconnect();
}

void LayerHistory::record(LayerStateStep&& step) {
    m_stack->push(new LayerStateCommand(*this, std::move(step)));
}

void LayerHistory::followDrawing(const QString& sDrawingKey) {
    if (sDrawingKey != m_drawingKey)
        m_stack->clear();
    m_drawingKey = sDrawingKey;
}

void LayerHistory::apply(const LayerStateStep& step, bool back) {
    std::exception_ptr failure;
    try {
        std::shared_ptr<acad::AcadDocument> doc = m_drawing();
        if (!doc)
            throw platform::vbError(platform::vberr::ObjectNotSet);
        failure = back ? step.putBack(*doc) : step.doAgain(*doc);
        // Once for the whole step, however many layers it holds.
        ErrorTrap::skip([&] { doc->Regen(acad::acAllViewports); });
    } catch (const std::exception&) {
        failure = std::current_exception();
    }
    if (m_after)
        m_after(step);
    if (failure)
        // A layer gone from the drawing reads as the stale-drawing message, once for
        // the step, while its other layers are back.
        ErrorTrap::trapLayerCommand(back ? QStringLiteral("LayerUndo")
                                         : QStringLiteral("LayerRedo"),
                                    [&] { std::rethrow_exception(failure); });
}
