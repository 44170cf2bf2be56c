#include "VbListBox.h"

namespace platform {

VbListBox::VbListBox(bool sorted, QWidget* parent) : QListWidget(parent), m_sorted(sorted) {
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
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

} // namespace platform
