#pragma once

#include <QString>
#include <QWidget>

class QLineEdit;
class QPlainTextEdit;

namespace platform {

// VB's TextBox, single-line or multi-line (fixed at creation, as MultiLine is a
// design-time property). Text keeps VB's line breaks: a multi-line box hands back
// CR LF between lines, whatever the editor uses inside.
class VbTextBox : public QWidget {
    Q_OBJECT
public:
    explicit VbTextBox(bool multiLine = false, QWidget* parent = nullptr);

    bool MultiLine() const { return m_multiLine; }
    QString Text() const;
    void setText(const QString& text);

    quint32 BackColor() const { return m_backColor; }
    void setBackColor(quint32 vbColor);
    quint32 ForeColor() const { return m_foreColor; }
    void setForeColor(quint32 vbColor);
    // 0 none, 1 fixed single.
    int BorderStyle() const { return m_borderStyle; }
    void setBorderStyle(int style);
    // 0 flat (one-pixel line), 1 3D (the editor's own sunken frame).
    int Appearance() const { return m_appearance; }
    void setAppearance(int appearance);
    bool Locked() const;
    void setLocked(bool locked);
    // A multi-line box whose text must be read whole, without scrolling: its font gets
    // smaller, down to a least size, until every line fits the box.
    void setFitText(bool fit);

    QWidget* editor() const;

signals:
    void Click();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyColors();
    void applyBorder();
    void fitFont();

    bool m_multiLine;
    QLineEdit* m_line = nullptr;
    QPlainTextEdit* m_multi = nullptr;
    quint32 m_backColor;
    quint32 m_foreColor;
    int m_borderStyle = 1;
    int m_appearance = 1;
    bool m_fitText = false;
};

} // namespace platform
