#pragma once

#include <QCollator>
#include <QListWidget>

namespace platform {

// VB's ListBox with its design-time Sorted property. A sorted box keeps its entries in
// ascending, case-insensitive order by the user's locale collation as they are added,
// so reading it back from the first to the last entry gives the sorted list; the
// refresh sorts layer names this way.
//
// Its events are the list box's own: KeyDown before the box acts on a key, and Click
// once per user gesture that picks items, after the selection has settled. A mouse
// click on an item is one Click whether or not it changed the selection (clicking the
// item already chosen is how a user asks to be shown it again); a drag over several
// items is one Click at the release; a key that moves the current item or changes the
// selection is one Click after it. Selections made by the program raise no Click.
// Like the platform's list box, it has no select-all key of its own: Ctrl+A reaches
// KeyDown and does nothing more unless a handler makes it.
class VbListBox : public QListWidget {
    Q_OBJECT
public:
    explicit VbListBox(bool sorted = false, QWidget* parent = nullptr);

    bool Sorted() const { return m_sorted; }
    void AddItem(const QString& item);
    int ListCount() const { return count(); }
    QString List(int index) const;
    // The current item (-1 for none), as the last click or key left it.
    int ListIndex() const { return currentRow(); }
    void Clear() { clear(); }
    bool Selected(int index) const;
    void setSelected(int index, bool selected);
    // The item as the current one and the only one selected, in one change. Deselecting
    // item by item and then setting the current row would not do: the view's current row
    // undoes the last deselection, leaving that item selected as well.
    void selectOnly(int index);
    void RemoveItem(int index);

signals:
    void KeyDown(int keyCode, Qt::KeyboardModifiers shift);
    void Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_sorted;
    QCollator m_collator;
    // Set by any change of selection or current item while a gesture is handled.
    bool m_changed = false;
    // A left press landed on an item and its release is still to come.
    bool m_pressedOnItem = false;
    // Between a press and its release.
    bool m_gesture = false;
};

} // namespace platform
