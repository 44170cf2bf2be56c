#pragma once

namespace platform {

// Lets a window hold thousands of side-by-side child widgets (the tile grid) without
// each paint costing all of them. To be called before the first widget is painted.
//
// Before painting a widget, Qt takes from its region every opaque sibling stacked above
// it, walking all those siblings at every paint: with ten thousand tiles that walk was
// most of a scroll's or a search key's time. The tiles never overlap, so there is
// nothing to take; where widgets of the window do overlap, painting in stacking order
// still gives the same picture.
void paintManySiblingsCheaply();

} // namespace platform
