#pragma once

#include <QHash>
#include <QString>
#include <QVariant>
#include <exception>
#include <functional>
#include <vector>

namespace acad {
class AcadDocument;
class AcadLayer;
} // namespace acad

// The layer states a command may change, and the drawing's current layer.
enum class LayerStateProperty { LayerOn, Freeze, Lock, Linetype, Color, ActiveLayer };

// One state a command changed: what it was before and what the command made it. The
// layer is kept by name, so a step stays valid across a refresh of the same drawing.
struct LayerStateChange {
    QString layer; // empty for the current layer
    LayerStateProperty property;
    QVariant before;
    QVariant after;
};

// What one command did to the drawing, as a single step of the way back.
struct LayerStateStep {
    QString text;
    std::vector<LayerStateChange> changes;

    bool touchesActiveLayer() const;
    // Writes the states back (undo) or again (redo), last change first when going back.
    // Each change is written on its own, so that a layer gone from the drawing costs only
    // its own states; the first failure is handed back for the caller to report.
    std::exception_ptr putBack(acad::AcadDocument& doc) const;
    std::exception_ptr doAgain(acad::AcadDocument& doc) const;
};

// The one place a layer command writes layer states through. Each write reads the state
// first and is remembered only once the CAD took it, so a command that stops part-way
// leaves a step holding exactly what was done. The step goes to the sink when the
// recorder ends, whichever way the command ended; a command that changed nothing leaves
// no step.
class LayerStateRecorder {
public:
    using Sink = std::function<void(LayerStateStep&&)>;

    LayerStateRecorder(QString text, Sink sink);
    ~LayerStateRecorder();
    LayerStateRecorder(const LayerStateRecorder&) = delete;
    LayerStateRecorder& operator=(const LayerStateRecorder&) = delete;

    void setLayerOn(acad::AcadLayer& layer, bool bOn);
    void setFreeze(acad::AcadLayer& layer, bool bFreeze);
    void setLock(acad::AcadLayer& layer, bool bLock);
    void setLinetype(acad::AcadLayer& layer, const QString& sLinetype);
    void setColor(acad::AcadLayer& layer, qint32 lnColor);
    void setActiveLayer(acad::AcadDocument& doc, const QString& sLayerName);

    // The same for a property chosen at run time.
    void set(acad::AcadLayer& layer, LayerStateProperty property, const QVariant& value);

    // Hands the step over now instead of at the end; later writes start a new step.
    void finish();

    static QVariant read(acad::AcadLayer& layer, LayerStateProperty property);
    static void write(acad::AcadLayer& layer, LayerStateProperty property, const QVariant& value);

private:
    void remember(const QString& layer, LayerStateProperty property, QVariant before,
                  QVariant after);

    QString m_text;
    Sink m_sink;
    std::vector<LayerStateChange> m_changes;
    // Where each layer's state stands in m_changes; the CAD compares layer names without
    // regard to case, so the key is the folded name.
    QHash<QString, std::size_t> m_index;
};
