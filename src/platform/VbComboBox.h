#pragma once

#include <QComboBox>

class QCompleter;

namespace platform {

// VB's ComboBox in its two kinds: the drop-down combo (Style 0, editable) and the
// drop-down list (Style 2, its text always one of its items). Its Click is a choice of
// the user's only: an item picked from the open list, or stepped to with the arrow keys.
// The mouse wheel over the box is not a choice, and goes to whatever scrolls around the
// box; typed text changes nothing but the box's text (Enter neither chooses a matching
// item nor adds the text to the list).
class VbComboBox : public QComboBox {
    Q_OBJECT
public:
    enum class Style { DropDownCombo, DropDownList };
    explicit VbComboBox(Style style, QWidget* parent = nullptr);

    Style style() const { return m_style; }

    void showPopup() override;
    void hidePopup() override;

signals:
    void Click();

protected:
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    void makeEditable();
    void onActivated();

    Style m_style;
    // The list is open, or was until the choice that closed it has been reported.
    bool m_listOpen = false;
    // A key that steps through the items is being handled.
    bool m_stepping = false;
};

} // namespace platform
