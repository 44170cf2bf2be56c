#pragma once

#include <QIcon>
#include <QSize>
#include <QString>

// The viewer's own artwork (toolbar commands and layer state icons), drawn as SVG and
// rendered at 1x, 2x and 3x so it stays crisp on HiDPI screens.
namespace ViewerIcons {

// name is the file's base name under icons/ ("refresh", "view_on", ...).
QIcon icon(const QString& name, QSize logicalSize);

} // namespace ViewerIcons
