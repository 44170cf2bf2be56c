#pragma once

#include <QCollator>
#include <QListWidget>

namespace platform {

// VB's ListBox with its design-time Sorted property. A sorted box keeps its entries in
// ascending, case-insensitive order by the user's locale collation as they are added,
// so reading it back from the first to the last entry gives the sorted list; the
// refresh sorts layer names this way.
class VbListBox : public QListWidget {
    Q_OBJECT
public:
    explicit VbListBox(bool sorted = false, QWidget* parent = nullptr);

    bool Sorted() const { return m_sorted; }
    void AddItem(const QString& item);
    int ListCount() const { return count(); }
    QString List(int index) const;
    void Clear() { clear(); }
    bool Selected(int index) const;
    void setSelected(int index, bool selected);

private:
    bool m_sorted;
    QCollator m_collator;
};

} // namespace platform
