#include "VbTextBox.h"

#include "platform/VbColor.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <algorithm>

namespace platform {

VbTextBox::VbTextBox(bool multiLine, QWidget* parent)
    : QWidget(parent), m_multiLine(multiLine), m_backColor(vbWindowBackground),
      m_foreColor(vbWindowText) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (m_multiLine) {
        m_multi = new QPlainTextEdit(this);
        m_multi->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        m_multi->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_multi->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_multi->document()->setDocumentMargin(1);
        layout->addWidget(m_multi);
        m_multi->viewport()->installEventFilter(this);
    } else {
        m_line = new QLineEdit(this);
        m_line->setTextMargins(1, 0, 1, 0);
        layout->addWidget(m_line);
        m_line->installEventFilter(this);
    }
    applyColors();
    applyBorder();
}

QWidget* VbTextBox::editor() const {
    return m_multiLine ? static_cast<QWidget*>(m_multi) : static_cast<QWidget*>(m_line);
}

QString VbTextBox::Text() const {
    if (!m_multiLine)
        return m_line->text();
    QString text = m_multi->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

void VbTextBox::setText(const QString& text) {
    if (!m_multiLine) {
        m_line->setText(text);
        m_line->setCursorPosition(0);
        return;
    }
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_multi->setPlainText(shown);
    fitFont();
}

void VbTextBox::setFitText(bool fit) {
    m_fitText = fit;
    fitFont();
}

void VbTextBox::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitFont();
}

void VbTextBox::fitFont() {
    if (!m_multiLine || !m_fitText)
        return;
    // Smaller than this no text is read anyway.
    constexpr qreal kLeastPoints = 5;
    // What the editor leaves the text: its margins, its frame, the document's margin and
    // the cursor's width at a line's end.
    const QMargins margins = layout()->contentsMargins();
    const qreal inset = 2 * (m_multi->frameWidth() + m_multi->document()->documentMargin()) + 2;
    const qreal width = this->width() - margins.left() - margins.right() - inset;
    const qreal height = this->height() - margins.top() - margins.bottom() - inset;
    const QStringList lines = m_multi->toPlainText().split(QLatin1Char('\n'));

    QFont font = QWidget::font();
    qreal points = font.pointSizeF() > 0 ? font.pointSizeF() : 9;
    for (; points > kLeastPoints; points -= 0.5) {
        font.setPointSizeF(points);
        const QFontMetricsF metrics(font);
        qreal widest = 0;
        for (const QString& line : lines)
            widest = std::max(widest, metrics.horizontalAdvance(line));
        if (widest <= width && metrics.lineSpacing() * qreal(lines.size()) <= height)
            break;
    }
    font.setPointSizeF(std::max(points, kLeastPoints));
    m_multi->setFont(font);
}

void VbTextBox::setBackColor(quint32 value) {
    m_backColor = value;
    applyColors();
}

void VbTextBox::setForeColor(quint32 value) {
    m_foreColor = value;
    applyColors();
}

void VbTextBox::setBorderStyle(int style) {
    m_borderStyle = style;
    applyBorder();
}

void VbTextBox::setAppearance(int appearance) {
    m_appearance = appearance;
    applyBorder();
}

bool VbTextBox::Locked() const {
    return m_multiLine ? m_multi->isReadOnly() : m_line->isReadOnly();
}

void VbTextBox::setLocked(bool locked) {
    if (m_multiLine)
        m_multi->setReadOnly(locked);
    else
        m_line->setReadOnly(locked);
}

void VbTextBox::applyColors() {
    QWidget* e = editor();
    QPalette pal = e->palette();
    const QColor back = vbColor(m_backColor, QWidget::palette());
    const QColor fore = vbColor(m_foreColor, QWidget::palette());
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Base, back);
        pal.setColor(group, QPalette::Text, fore);
    }
    e->setPalette(pal);
    e->setAutoFillBackground(true);
}

void VbTextBox::applyBorder() {
    // Flat single borders are drawn here as one pixel line; 3D ones are the editor's.
    const bool ownLine = m_borderStyle == 1 && m_appearance == 0;
    const bool editorFrame = m_borderStyle == 1 && m_appearance != 0;
    layout()->setContentsMargins(ownLine ? 1 : 0, ownLine ? 1 : 0, ownLine ? 1 : 0,
                                 ownLine ? 1 : 0);
    if (m_multiLine)
        m_multi->setFrameShape(editorFrame ? QFrame::StyledPanel : QFrame::NoFrame);
    else
        m_line->setFrame(editorFrame);
    update();
}

void VbTextBox::paintEvent(QPaintEvent*) {
    if (!(m_borderStyle == 1 && m_appearance == 0))
        return;
    QPainter painter(this);
    painter.setPen(vbColor(vbWindowText, palette()));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

bool VbTextBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* me = static_cast<QMouseEvent*>(event);
        auto* w = qobject_cast<QWidget*>(watched);
        if (w && w->rect().contains(me->position().toPoint()))
            emit Click();
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace platform
