#pragma once

#include <QWidget>

namespace platform {

// VB's Frame without a caption: a container with a background colour and either no
// border (BorderStyle 0) or the etched rectangle of a frame (BorderStyle 1). Captioned
// frames are plain group boxes.
class VbFrame : public QWidget {
    Q_OBJECT
public:
    explicit VbFrame(QWidget* parent = nullptr);

    quint32 BackColor() const { return m_backColor; }
    void setBackColor(quint32 vbColor);
    int BorderStyle() const { return m_borderStyle; }
    void setBorderStyle(int style);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    quint32 m_backColor;
    int m_borderStyle = 1;
};

} // namespace platform
