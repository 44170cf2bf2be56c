#include "WheelScroll.h"

#include <QAbstractSlider>
#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace platform {

WheelScroll::WheelScroll(QWidget* area, QAbstractSlider* bar) : QObject(area), m_bar(bar) {
    area->installEventFilter(this);
}

bool WheelScroll::eventFilter(QObject* watched, QEvent* event) {
    // A wheel over a child reaches the area too once the child has left it alone.
    if (event->type() != QEvent::Wheel || !m_bar)
        return QObject::eventFilter(watched, event);
    QCoreApplication::sendEvent(m_bar, event);
    // Taken, so that it goes no further up than the area.
    event->accept();
    return true;
}

} // namespace platform
