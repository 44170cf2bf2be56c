// The way back through the layer commands: the undo and redo buttons after the
// toolbar's last described button, their keys, and the window's side of a step (the
// drawing it goes to, the tiles catching up once it was written).

#include "frmWMF.h"

#include "LayerHistory.h"
#include "ViewerIcons.h"
#include "tiles/clsDWF.h"

#include <QAction>
#include <QToolBar>
#include <QUndoStack>

void frmWMF::pr_subCreateHistoryTools() {
    m_layerHistory = new LayerHistory([this] { return proAcadDoc; },
                                      [this](const LayerStateStep& step) {
                                          pu_subCtrlViewUpdate();
                                          if (step.touchesActiveLayer())
                                              pu_subActiveLayerUpdate();
                                      },
                                      this);

    Toolbar1->addSeparator();
    m_undoButton = Toolbar1->addAction(ViewerIcons::icon(QStringLiteral("undo"), QSize(16, 16)),
                                       QStringLiteral("元に戻す"));
    m_undoButton->setObjectName(QStringLiteral("layerUndo"));
    m_undoButton->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_redoButton = Toolbar1->addAction(ViewerIcons::icon(QStringLiteral("redo"), QSize(16, 16)),
                                       QStringLiteral("やり直し"));
    m_redoButton->setObjectName(QStringLiteral("layerRedo"));
    m_redoButton->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    connect(m_undoButton, &QAction::triggered, this, [this] { pr_subLayerUndo(); });
    connect(m_redoButton, &QAction::triggered, this, [this] { pr_subLayerRedo(); });

    QUndoStack* stack = m_layerHistory->stack();
    auto showSteps = [this, stack] {
        // The tooltip names the step the button takes back or does again.
        const QString undoText = stack->undoText();
        const QString redoText = stack->redoText();
        m_undoButton->setEnabled(stack->canUndo());
        m_undoButton->setToolTip(undoText.isEmpty()
                                     ? QStringLiteral("元に戻す")
                                     : QStringLiteral("元に戻す（%1）").arg(undoText));
        m_redoButton->setEnabled(stack->canRedo());
        m_redoButton->setToolTip(redoText.isEmpty()
                                     ? QStringLiteral("やり直し")
                                     : QStringLiteral("やり直し（%1）").arg(redoText));
    };
    // Tied to the button: the toolbar goes before the history when the window closes,
    // and the stack's last change must not reach buttons that are gone.
    connect(stack, &QUndoStack::indexChanged, m_undoButton, showSteps);
    showSteps();
}

LayerStateRecorder::Sink frmWMF::pr_fun_StepSink() {
    return [this](LayerStateStep&& step) { recordLayerStep(std::move(step)); };
}

void frmWMF::recordLayerStep(LayerStateStep&& step) {
    m_layerHistory->record(std::move(step));
}

QUndoStack* frmWMF::layerSteps() const {
    return m_layerHistory->stack();
}

void frmWMF::pr_subHistoryFollowDrawing(const QString& sFullName) {
    m_layerHistory->followDrawing(sFullName);
}

// Not while a refresh runs: it changes layer states itself and puts them back, and the
// tiles it builds are not yet the drawing's.
void frmWMF::pr_subLayerUndo() {
    if (m_refreshRunning || !pu_bUpdateEnd)
        return;
    m_layerHistory->stack()->undo();
}

void frmWMF::pr_subLayerRedo() {
    if (m_refreshRunning || !pu_bUpdateEnd)
        return;
    m_layerHistory->stack()->redo();
}
