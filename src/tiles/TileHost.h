#pragma once

#include "LayerStateRecorder.h"
#include "TileLayout.h"
#include "platform/VbPicture.h"

#include <QString>
#include <QtGlobal>

#include <optional>

// What a tile needs of the window that shows it. The tiles sit below the window: they
// ask for the window's pictures and options and for the updates that concern every
// tile through this interface, which the main window implements and hands to each tile
// when it is set up. Tile commands are tested against a small fake of it.
class TileHost {
public:
    enum class StatePicture { ViewOn, ViewOff, FreezeOn, FreezeOff, LockOn, LockOff };
    enum class DoubleClickAction { None, MakeCurrent, ExclusiveView };

    virtual ~TileHost() = default;

    // The artwork a state button copies for its state.
    virtual platform::VbPicturePtr statePicture(StatePicture which) const = 0;
    // Where the overview picture stands in its frame (twips): a tile's picture takes
    // the same place and size below its title box, so both show the same part.
    virtual TileLayout::Rect overviewPictureGeometry() const = 0;
    // What a double click on a tile's picture does, as the window's options say.
    virtual DoubleClickAction doubleClickAction() const = 0;

    // Deselects every tile but the one numbered iIndex.
    virtual void pu_subResetSelect(qint32 iIndex) = 0;
    // Every tile marks whether its layer is now the current one.
    virtual void pu_subActiveLayerUpdate() = 0;
    // The drawing's current layer while the window marks a whole grid at once, read
    // once for all its tiles; none otherwise, and a tile asks the drawing itself.
    virtual std::optional<QString> knownCurrentLayer() const { return std::nullopt; }
    // Whether a tile in this row (1-based) is in view once placed. A tile out of view
    // stays hidden until it is scrolled near: thousands of shown tiles cost every
    // repaint of the grid. The window's placement shows and hides them from then on.
    virtual bool isRowInView(qint32 row) const {
        Q_UNUSED(row);
        return true;
    }
    // Every tile reads its layer's state from the drawing again.
    virtual void pu_subCtrlViewUpdate() = 0;
    // The layer list shows the item iListIndex (0-based) as its only selection.
    virtual void selectOnlyListItem(qint32 iListIndex) = 0;
    // Brings the CAD's main window to the front, over the viewer.
    virtual void bringCadToFront() = 0;
    // Takes what a tile command changed in the drawing as one step of the way back; a
    // window that keeps no way back lets it go.
    virtual void recordLayerStep(LayerStateStep&& step) { (void)step; }
};
