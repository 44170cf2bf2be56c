#include "VbListBox.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace platform {

VbListBox::VbListBox(bool sorted, QWidget* parent) : QListWidget(parent), m_sorted(sorted) {
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    // QListWidget keeps the one selection model it made for its own model.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { m_changed = true; });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { m_changed = true; });
}

void VbListBox::AddItem(const QString& item) {
    if (!m_sorted) {
        addItem(item);
        return;
    }
    // After every entry that does not sort after the new one: equal names keep the
    // order they were added in.
    int lo = 0;
    int hi = count();
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (m_collator.compare(this->item(mid)->text(), item) <= 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    insertItem(lo, item);
}

QString VbListBox::List(int index) const {
    const QListWidgetItem* it = item(index);
    return it ? it->text() : QString();
}

bool VbListBox::Selected(int index) const {
    const QListWidgetItem* it = item(index);
    return it && it->isSelected();
}

void VbListBox::setSelected(int index, bool selected) {
    if (QListWidgetItem* it = item(index))
        it->setSelected(selected);
}

void VbListBox::selectOnly(int index) {
    selectionModel()->setCurrentIndex(model()->index(index, 0),
                                      QItemSelectionModel::ClearAndSelect);
}

void VbListBox::RemoveItem(int index) {
    delete takeItem(index);
}

void VbListBox::keyPressEvent(QKeyEvent* event) {
    m_changed = false;
    emit KeyDown(event->key(), event->modifiers());
    // The view's own select-all would make Ctrl+A work in every list box; the
    // platform's list box leaves that key to its window.
    if (event->matches(QKeySequence::SelectAll))
        event->accept();
    else
        QListWidget::keyPressEvent(event);
    if (m_changed) {
        m_changed = false;
        emit Click();
    }
}

void VbListBox::mousePressEvent(QMouseEvent* event) {
    m_changed = false;
    m_gesture = true;
    m_pressedOnItem =
        event->button() == Qt::LeftButton && itemAt(event->position().toPoint()) != nullptr;
    QListWidget::mousePressEvent(event);
}

void VbListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    // The first click of the pair has had its Click; the second press only reports
    // what it changes.
    m_changed = false;
    m_gesture = true;
    m_pressedOnItem = false;
    QListWidget::mouseDoubleClickEvent(event);
}

void VbListBox::mouseReleaseEvent(QMouseEvent* event) {
    QListWidget::mouseReleaseEvent(event);
    if (!m_gesture)
        return;
    const bool click = m_pressedOnItem || m_changed;
    m_gesture = false;
    m_pressedOnItem = false;
    m_changed = false;
    if (click)
        emit Click();
}

} // namespace platform
