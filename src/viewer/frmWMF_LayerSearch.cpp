// Picking layers by name: the search field after the toolbar's buttons selects in the
// layer list every layer whose name matches what is typed, marks their tiles and brings
// the first into view; Enter steps to the next match, Esc clears. The list commands then
// act on that selection as on one made by hand.

#include "frmWMF.h"

#include "LayerNamePattern.h"
#include "platform/VbListBox.h"
#include "tiles/clsDWF.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolBar>

namespace {

// Esc empties the field, which clears what it selected.
class LayerSearchField : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
            clear();
            event->accept();
            return;
        }
        QLineEdit::keyPressEvent(event);
    }
};

} // namespace

void frmWMF::pr_subCreateLayerSearch() {
    Toolbar1->addSeparator();
    m_layerSearch = new LayerSearchField(Toolbar1);
    m_layerSearch->setObjectName(QStringLiteral("layerSearch"));
    m_layerSearch->setPlaceholderText(QStringLiteral("画層名で選択"));
    m_layerSearch->setToolTip(
        QStringLiteral("入力した文字を含む画層を選択します（* ? で名前全体を照合）\n"
                       "Enter: 次の画層へ　Esc: 選択を解除"));
    m_layerSearch->setClearButtonEnabled(true);
    // Fixed, not the line edit's own expanding policy: a toolbar that holds an expanding
    // item spreads its spare room over every item, and the described buttons would move.
    m_layerSearch->setFixedWidth(150);
    m_layerSearch->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    Toolbar1->addWidget(m_layerSearch);
    connect(m_layerSearch, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (!text.isEmpty())
            pr_subLayerSearch(text);
    });
    // The clear button changes the text without an edit.
    connect(m_layerSearch, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty())
            pr_subLayerSearch(text);
    });
    connect(m_layerSearch, &QLineEdit::returnPressed, this, [this] { pr_subLayerSearchNext(); });
    // Rows the list no longer holds in their places (a refresh, a removal) are no
    // matches to step to; the next key searches again.
    auto forget = [this] {
        m_searchMatches.clear();
        m_searchCursor = -1;
    };
    QAbstractItemModel* rows = LstLayers->model();
    connect(rows, &QAbstractItemModel::rowsInserted, this, forget);
    connect(rows, &QAbstractItemModel::rowsRemoved, this, forget);
    connect(rows, &QAbstractItemModel::modelReset, this, forget);
}

void frmWMF::pr_subLayerSearch(const QString& sPattern) {
    const LayerNamePattern pattern(sPattern);
    const int count = LstLayers->ListCount();
    m_searchMatches.clear();
    m_searchCursor = -1;

    // One selection change for the whole list, made of the runs of matching rows: a
    // change per item would repaint and notify ten thousand times at every key.
    QItemSelection selection;
    QAbstractItemModel* model = LstLayers->model();
    int runStart = -1;
    for (int i = 0; i <= count; ++i) {
        const bool match = i < count && pattern.matches(LstLayers->item(i)->text());
        if (match) {
            m_searchMatches.push_back(i);
            if (runStart < 0)
                runStart = i;
        } else if (runStart >= 0) {
            selection.append(
                QItemSelectionRange(model->index(runStart, 0), model->index(i - 1, 0)));
            runStart = -1;
        }
    }
    LstLayers->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);

    // Only the tiles whose mark changes are touched.
    std::vector<bool> wanted(std::size_t(count), false);
    for (int row : m_searchMatches)
        wanted[std::size_t(row)] = true;
    for (int i = 0; i < count; ++i) {
        clsDWF* t = tile(i + 1);
        if (!t || t->isSelected() == wanted[std::size_t(i)])
            continue;
        if (wanted[std::size_t(i)])
            t->SelectView();
        else
            t->ResetSelect();
    }

    if (!m_searchMatches.empty())
        pr_subLayerSearchShow(0);
}

void frmWMF::pr_subLayerSearchNext() {
    if (m_searchMatches.empty())
        return;
    pr_subLayerSearchShow((m_searchCursor + 1) % int(m_searchMatches.size()));
}

// The match becomes the list's current item without changing the selection, and both
// list and grid scroll to it.
void frmWMF::pr_subLayerSearchShow(int k) {
    m_searchCursor = k;
    const int row = m_searchMatches[std::size_t(k)];
    const QModelIndex index = LstLayers->model()->index(row, 0);
    LstLayers->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    LstLayers->scrollTo(index);
    pr_subScrollGridToListIndex();
}

QLineEdit* frmWMF::layerSearch() const {
    return m_layerSearch;
}
