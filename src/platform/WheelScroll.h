#pragma once

#include <QObject>
#include <QPointer>

class QAbstractSlider;
class QWidget;

namespace platform {

// Hands the mouse wheel turned over a container, or over any control inside it that does
// not scroll itself, to the scroll bar that scrolls the container: a user scrolling a
// grid of controls expects it to move wherever the pointer is.
class WheelScroll : public QObject {
public:
    // Lives as long as `area`.
    WheelScroll(QWidget* area, QAbstractSlider* bar);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QAbstractSlider> m_bar;
};

} // namespace platform
