#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace cadhost {

// A layer as macros see it: the states a picture depends on, read-only.
struct MacroLayer {
    QString name;
    bool on = true;
    bool frozen = false;
    bool locked = false;
    int color = 7;
};

// What a running macro may do to the host: read the active drawing's layers, regenerate
// it, and have pictures of it written. The Lua bindings call only this, so the engine
// knows nothing of the drawing model and tests can run macros against a double.
// Paths handed to the export members have already been checked to lie below the
// project's LAYER folder.
class MacroHost {
public:
    virtual ~MacroHost() = default;

    virtual QList<MacroLayer> layers() const = 0; // in the drawing's collection order
    // Layer names compare without regard to case, as the drawing's own lookup does.
    virtual std::optional<MacroLayer> layer(const QString& name) const = 0;
    virtual QString activeLayer() const = 0;
    virtual void regen() = 0;

    // Every entity whose layer is on and thawed now.
    virtual void exportVisible(const QString& path) = 0;
    // Every entity of one layer, whatever the layer's state.
    virtual void exportLayer(const QString& layer, const QString& path) = 0;

    // Called when a macro has ended, so that anything prepared for a run of exports
    // (entities grouped by layer, extents) is dropped before the drawing can change.
    virtual void endRun() {}
};

} // namespace cadhost
