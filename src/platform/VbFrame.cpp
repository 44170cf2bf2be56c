#include "VbFrame.h"

#include "platform/VbColor.h"

#include <QPainter>

namespace platform {

VbFrame::VbFrame(QWidget* parent) : QWidget(parent), m_backColor(vbButtonFace) {}

void VbFrame::setBackColor(quint32 vbColorValue) {
    m_backColor = vbColorValue;
    update();
}

void VbFrame::setBorderStyle(int style) {
    m_borderStyle = style;
    update();
}

void VbFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), vbColor(m_backColor, palette()));
    if (m_borderStyle == 0)
        return;
    // The etched line of a Windows frame: a shadow line with a light line inside it.
    const QRect r = rect().adjusted(0, 0, -2, -2);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(r);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(r.translated(1, 1));
}

} // namespace platform
