#include "VbComboBox.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <QWheelEvent>

namespace platform {

namespace {

// A box's own completer, made when a box is first typed into: made with the box, a
// completer for each of thousands of boxes costs more than the rest of the grid.
QCompleter* noCompleter() {
    static QCompleter* none = new QCompleter;
    return none;
}

} // namespace

VbComboBox::VbComboBox(Style style, QWidget* parent) : QComboBox(parent), m_style(style) {
    if (style == Style::DropDownCombo)
        makeEditable();
    connect(this, &QComboBox::activated, this, &VbComboBox::onActivated);
}

void VbComboBox::makeEditable() {
    // Editable through a line edit of our own: setEditable would also build the drop-down's
    // popup at once, which for a thousand boxes costs more than the rest of the box; the
    // popup is built when first opened instead. Lent a completer while it is set, the box
    // makes none of its own either.
    auto* edit = new QLineEdit(this);
    edit->setPalette(palette());
    edit->setCompleter(noCompleter());
    setLineEdit(edit);
    edit->setCompleter(nullptr);
    // Typed text is never an item of the list.
    setInsertPolicy(QComboBox::NoInsert);
}

void VbComboBox::focusInEvent(QFocusEvent* event) {
    if (isEditable() && !completer()) {
        auto* made = new QCompleter(model(), this);
        made->setCaseSensitivity(Qt::CaseInsensitive);
        made->setCompletionMode(QCompleter::InlineCompletion);
        made->setCompletionColumn(modelColumn());
        setCompleter(made);
    }
    QComboBox::focusInEvent(event);
}

void VbComboBox::showPopup() {
    m_listOpen = true;
    QComboBox::showPopup();
}

void VbComboBox::hidePopup() {
    QComboBox::hidePopup();
    // The choice that closes the list is reported right after it closes; a list closed
    // without one leaves nothing to report.
    QTimer::singleShot(0, this, [this] { m_listOpen = false; });
}

void VbComboBox::wheelEvent(QWheelEvent* event) {
    // Left to the box, a wheel turned over it while scrolling past would step its item:
    // the container scrolls instead.
    event->ignore();
}

void VbComboBox::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Enter in the text would pick the item that matches the text typed: typing is no
        // choice. (With the list open, the list takes its keys itself.)
        if (isEditable()) {
            event->accept();
            return;
        }
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        m_stepping = true;
        QComboBox::keyPressEvent(event);
        m_stepping = false;
        return;
    default:
        break;
    }
    QComboBox::keyPressEvent(event);
}

void VbComboBox::onActivated() {
    if (m_listOpen || m_stepping) {
        m_listOpen = false;
        emit Click();
    }
}

} // namespace platform
