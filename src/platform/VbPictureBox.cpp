#include "VbPictureBox.h"

#include "platform/Twips.h"
#include "platform/VbColor.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace platform {

VbPictureBox::VbPictureBox(QWidget* parent) : QWidget(parent), m_backColor(vbButtonFace) {
    setMaximumSize(kMaxPictureBoxPixels, kMaxPictureBoxPixels);
}

void VbPictureBox::setBackColor(quint32 vbColorValue) {
    m_backColor = vbColorValue;
    update();
}

void VbPictureBox::setBorderStyle(int style) {
    m_borderStyle = style;
    update();
}

void VbPictureBox::setAppearance(int appearance) {
    m_appearance = appearance;
    update();
}

void VbPictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), vbColor(m_backColor, palette()));
    if (m_borderStyle == 0)
        return;
    if (m_appearance == 0) {
        painter.setPen(vbColor(vbWindowText, palette()));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        return;
    }
    QStyleOptionFrame option;
    option.initFrom(this);
    option.frameShape = QFrame::StyledPanel;
    option.state |= QStyle::State_Sunken;
    option.lineWidth = 2;
    style()->drawPrimitive(QStyle::PE_Frame, &option, &painter, this);
}

void VbPictureBox::mouseReleaseEvent(QMouseEvent* e) {
    if (rect().contains(e->position().toPoint()))
        emit Click();
}

void VbPictureBox::mouseDoubleClickEvent(QMouseEvent*) {
    emit DblClick();
}

} // namespace platform
