#include "VbColor.h"

#include <QGuiApplication>
#include <QPalette>

namespace platform {

QColor vbColor(quint32 value) {
    return vbColor(value, QGuiApplication::palette());
}

QColor vbColor(quint32 value, const QPalette& palette) {
    if ((value & 0x80000000u) == 0)
        return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
    switch (value & 0xFF) {
    case 0x05: // COLOR_WINDOW
        return palette.color(QPalette::Base);
    case 0x08: // COLOR_WINDOWTEXT
        return palette.color(QPalette::Text);
    case 0x0D: // COLOR_HIGHLIGHT
        return palette.color(QPalette::Highlight);
    case 0x0E: // COLOR_HIGHLIGHTTEXT
        return palette.color(QPalette::HighlightedText);
    case 0x0F: // COLOR_BTNFACE
        return palette.color(QPalette::Button);
    case 0x10: // COLOR_BTNSHADOW
        return palette.color(QPalette::Dark);
    case 0x11: // COLOR_GRAYTEXT
        return palette.color(QPalette::Disabled, QPalette::Text);
    case 0x12: // COLOR_BTNTEXT
        return palette.color(QPalette::ButtonText);
    case 0x0C: // COLOR_APPWORKSPACE
        return palette.color(QPalette::Mid);
    default:
        return palette.color(QPalette::Window);
    }
}

quint32 vbColorValue(const QColor& color) {
    return quint32(color.red()) | (quint32(color.green()) << 8) | (quint32(color.blue()) << 16);
}

} // namespace platform
