#pragma once

#include <QList>
#include <QRectF>
#include <QSizeF>

// Where the window opens, from the position saved in the settings file. The saved
// values are taken as they are whenever the window can be used there; a damaged file
// (sizes of 0, negative or huge, a place on no screen) must not open the window
// invisible, unclosable, gigantic or out of reach. All measures are twips.
namespace WindowPlacement {

// How much of the window's top strip (where its title bar is) must lie on a screen for
// the user to reach it with the mouse.
inline constexpr double kReachableWidth = 1500;
inline constexpr double kTitleStrip = 450;

// The saved outer geometry, its size kept between the window's minimum and the screen's
// available area, and moved onto the first screen when no screen shows enough of its
// top strip. `screens` are the screens' available areas, the first the primary one; with
// none the saved geometry is only held to the minimum size.
QRectF onScreen(const QRectF& saved, const QSizeF& minimum, const QList<QRectF>& screens);

} // namespace WindowPlacement
