#pragma once

#include "VbPicture.h"

#include <QWidget>

namespace platform {

// VB's Image control: a lightweight, transparent box showing a picture. With Stretch
// off the control takes the picture's natural size; with Stretch on the picture is
// scaled into whatever size the control has. Mouse events carry X/Y in twips relative
// to the control, buttons and shift state as VB numbers them (1 left, 2 right,
// 4 middle; 1 shift, 2 ctrl, 4 alt).
class VbImage : public QWidget {
    Q_OBJECT
public:
    explicit VbImage(QWidget* parent = nullptr);

    const VbPicturePtr& Picture() const { return m_picture; }
    void setPicture(VbPicturePtr picture);
    template <class P> void setPicture(std::shared_ptr<const P> picture) {
        setPicture(makeVbPicture(std::move(picture)));
    }
    // Convenience for artwork: an icon shown at sizePixels.
    void setPicture(const QIcon& icon, QSize sizePixels);

    bool Stretch() const { return m_stretch; }
    void setStretch(bool stretch);

    // The colour the picture is seen on, when the picture must stay legible on it
    // (see LegibleColours.h); an invalid colour paints the picture as it is.
    void setLegibleOn(const QColor& background);

    // The buttons whose press and release make a Click. VB's Image clicks with any
    // button; an image that serves as a push button clicks with the left one alone, as
    // every push button does.
    Qt::MouseButtons ClickButtons() const { return m_clickButtons; }
    void setClickButtons(Qt::MouseButtons buttons) { m_clickButtons = buttons; }

    static int vbButton(Qt::MouseButton button);
    static int vbShift(Qt::KeyboardModifiers modifiers);

signals:
    void Click();
    void DblClick();
    void MouseDown(int button, int shift, double x, double y);
    void MouseMove(int button, int shift, double x, double y);
    void MouseUp(int button, int shift, double x, double y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void takeNaturalSize();
    void paintPicture(QPainter& painter) const;

    VbPicturePtr m_picture;
    bool m_stretch = false;
    QColor m_legibleOn;
    bool m_pressed = false;
    Qt::MouseButton m_pressedButton = Qt::NoButton;
    Qt::MouseButtons m_clickButtons = Qt::AllButtons;
};

} // namespace platform
