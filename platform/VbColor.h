#pragma once

#include <QColor>
#include <QtGlobal>

class QPalette;

namespace platform {

// Windows colour values as the forms store them: &HBBGGRR, or from &H80000000 up a
// system colour whose low byte is the GetSysColor index.
inline constexpr quint32 vbWindowBackground = 0x80000005u;
inline constexpr quint32 vbWindowText = 0x80000008u;
inline constexpr quint32 vbButtonFace = 0x8000000Fu;
inline constexpr quint32 vbButtonText = 0x80000012u;

// System colours resolve through the palette, so the controls follow the desktop theme.
QColor vbColor(quint32 value);
QColor vbColor(quint32 value, const QPalette& palette);

// &HBBGGRR of a plain colour (the inverse of vbColor for values below &H80000000).
quint32 vbColorValue(const QColor& color);

} // namespace platform
