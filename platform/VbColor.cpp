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
    // A system colour is the desktop's colour for that role, not the colour of the
    // state the control happens to be in: a text box made while its window is disabled
    // must not keep the disabled grey once the window is enabled again.
    const auto system = [&palette](QPalette::ColorRole role) {
        return palette.color(QPalette::Active, role);
    };
    switch (value & 0xFF) {
    case 0x05: // COLOR_WINDOW
        return system(QPalette::Base);
    case 0x08: // COLOR_WINDOWTEXT
        return system(QPalette::Text);
    case 0x0D: // COLOR_HIGHLIGHT
        return system(QPalette::Highlight);
    case 0x0E: // COLOR_HIGHLIGHTTEXT
        return system(QPalette::HighlightedText);
    case 0x0F: // COLOR_BTNFACE
        return system(QPalette::Button);
    case 0x10: // COLOR_BTNSHADOW
        return system(QPalette::Dark);
    case 0x11: // COLOR_GRAYTEXT
        return palette.color(QPalette::Disabled, QPalette::Text);
    case 0x12: // COLOR_BTNTEXT
        return system(QPalette::ButtonText);
    case 0x0C: // COLOR_APPWORKSPACE
        return system(QPalette::Mid);
    default:
        return system(QPalette::Window);
    }
}

quint32 vbColorValue(const QColor& color) {
    return quint32(color.red()) | (quint32(color.green()) << 8) | (quint32(color.blue()) << 16);
}

} // namespace platform
