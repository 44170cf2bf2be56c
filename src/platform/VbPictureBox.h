#pragma once

#include <QString>
#include <QWidget>

namespace platform {

// VB's PictureBox as the viewer uses it: a container with a background colour, an
// optional border and a Tag the grid keeps its tile count in. Like the Image control
// it never grows beyond 32767 pixels a side.
class VbPictureBox : public QWidget {
    Q_OBJECT
public:
    explicit VbPictureBox(QWidget* parent = nullptr);

    quint32 BackColor() const { return m_backColor; }
    void setBackColor(quint32 vbColor);
    // 0 none, 1 fixed single.
    int BorderStyle() const { return m_borderStyle; }
    void setBorderStyle(int style);
    // 0 flat (a one-pixel line for the border), 1 3D (a sunken edge).
    int Appearance() const { return m_appearance; }
    void setAppearance(int appearance);

    QString Tag;

signals:
    void Click();
    void DblClick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    quint32 m_backColor;
    int m_borderStyle = 1;
    int m_appearance = 1;
};

} // namespace platform
