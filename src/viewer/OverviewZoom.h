#pragma once

#include <QString>

// The arithmetic of one zoom step of the overview, apart from the window so that the
// figures can be checked without one. All measures are twips; a box's place and size
// are what its picture box holds (whole pixels, sizes within the box's largest size).
namespace OverviewZoom {

struct Box {
    double left, top, width, height;
    bool operator==(const Box&) const = default;
};

// The factor one step scales by: 1 + z/100 towards a positive direction, 1 - z/100
// otherwise. A zoom text that is no number counts as 0: a step that changes nothing,
// and is refused as such.
double factor(const QString& zoomText, const QString& sDirection);

// Where the step asks the box to be: each side times f, and the point of the picture
// at (cx, cy) kept at (cx, cy). The distances from that point to the box's edges are
// rounded to whole twips, halves to even, before the box is placed.
Box asked(const Box& saved, double f, double cx, double cy);

// What a picture box holds when asked for this place and size: whole pixels, sizes
// within 0..the largest box.
Box held(const Box& asked);

// Whether the box could not take the size asked of it: a side beyond the largest box.
bool capped(const Box& asked);

// Whether the step from `saved` to `now` (asked for as `asked`) must be undone: a box
// without width; sides made equal by the size cap rather than by the picture; a size
// the step could not change at all (the box is as small or as large as it gets); or a
// height-to-width ratio, rounded to 2 decimals, more than 0.1 from allRatio.
bool refused(float allRatio, const Box& saved, const Box& asked, const Box& now);

} // namespace OverviewZoom
