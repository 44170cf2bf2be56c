// Picking layers by name: the search field after the toolbar's buttons selects in the
// layer list every layer whose name matches what is typed, marks their tiles and brings
// the first into view; Enter steps to the next match, Esc clears. The list commands then
// act on that selection as on one made by hand.

#include "frmWMF.h"

#include "LayerNamePattern.h"
#include "platform/VbListBox.h"
#include "platform/VbPictureBox.h"
#include "tiles/clsDWF.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTimer>
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
    m_searchScrollTimer = new QTimer(this);
    m_searchScrollTimer->setSingleShot(true);
    m_searchScrollTimer->setInterval(0);
    connect(m_searchScrollTimer, &QTimer::timeout, this, [this] { pr_subLayerSearchScrollGrid(); });
    m_searchMarkTimer = new QTimer(this);
    m_searchMarkTimer->setSingleShot(true);
    m_searchMarkTimer->setInterval(0);
    connect(m_searchMarkTimer, &QTimer::timeout, this, [this] { pr_subLayerSearchMarkSlice(); });
    connect(m_layerSearch, &QLineEdit::returnPressed, this, [this] { pr_subLayerSearchNext(); });
    // Rows the list no longer holds in their places (a refresh, a removal) are no
    // matches to step to; the next key searches again.
    auto forget = [this] {
        m_searchMatches.clear();
        m_searchCursor = -1;
        m_searchWanted.clear();
        m_searchMarkPending.clear();
        m_searchMarkTimer->stop();
        m_searchScrollTimer->stop();
    };
    QAbstractItemModel* rows = LstLayers->model();
    connect(rows, &QAbstractItemModel::rowsInserted, this, forget);
    connect(rows, &QAbstractItemModel::rowsRemoved, this, forget);
    connect(rows, &QAbstractItemModel::modelReset, this, forget);
    // A click in the list marks every tile by the list's selection: what the search
    // had left to mark is out of date.
    connect(LstLayers, &platform::VbListBox::Click, this,
            [this] { pr_subLayerSearchStopMarking(); });
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
    {
        // The view would work out the screen region of every changed row, ten thousand
        // rectangles when the selection goes from all rows to a scattered few; one
        // repaint of the visible rows does instead. The list box only counts selection
        // changes while the user's own key or click is handled.
        // Cleared first, then selected: replacing one large range by many scattered ones
        // in one call splits the old range at every new one, which at ten thousand rows
        // takes longer than the key may.
        const QSignalBlocker quiet(LstLayers->selectionModel());
        LstLayers->selectionModel()->clearSelection();
        LstLayers->selectionModel()->select(selection, QItemSelectionModel::Select);
    }
    LstLayers->viewport()->update();

    if (!m_searchMatches.empty())
        pr_subLayerSearchShow(0);

    m_searchWanted.assign(std::size_t(count), false);
    for (int row : m_searchMatches)
        m_searchWanted[std::size_t(row)] = true;
    // The tiles in view are marked at once; the others, each a few widgets to recolour,
    // a slice at a time while the window waits for the next key, so that a key costs
    // about the same with ten tiles or ten thousand.
    m_searchMarkPending.clear();
    const int visibleHeight = PicMain->height();
    for (int i = 0; i < count; ++i) {
        clsDWF* t = tile(i + 1);
        if (!t || t->isSelected() == m_searchWanted[std::size_t(i)])
            continue;
        const QWidget* frame = t->FraOne();
        const bool inView = frame && frame->isVisible() && frame->y() + frame->height() > 0 &&
                            frame->y() < visibleHeight;
        if (inView)
            pr_subLayerSearchMark(i);
        else
            m_searchMarkPending.push_back(i);
    }
    if (!m_searchMarkPending.empty())
        m_searchMarkTimer->start();
}

void frmWMF::pr_subLayerSearchMark(int row) {
    clsDWF* t = tile(row + 1);
    if (!t || row >= int(m_searchWanted.size()) ||
        t->isSelected() == m_searchWanted[std::size_t(row)])
        return;
    if (m_searchWanted[std::size_t(row)])
        t->SelectView();
    else
        t->ResetSelect();
}

void frmWMF::pr_subLayerSearchMarkSlice() {
    // A slice of tiles, then the window's other events (a key typed meanwhile above all).
    constexpr std::size_t kSlice = 64;
    for (std::size_t done = 0; done < kSlice && !m_searchMarkPending.empty(); ++done) {
        pr_subLayerSearchMark(m_searchMarkPending.back());
        m_searchMarkPending.pop_back();
    }
    if (!m_searchMarkPending.empty())
        m_searchMarkTimer->start();
}

void frmWMF::pr_subLayerSearchStopMarking() {
    m_searchMarkTimer->stop();
    m_searchScrollTimer->stop();
    m_searchMarkPending.clear();
}

void frmWMF::pr_subLayerSearchMarkAll() {
    if (m_searchScrollTimer->isActive()) {
        m_searchScrollTimer->stop();
        pr_subLayerSearchScrollGrid();
    }
    m_searchMarkTimer->stop();
    while (!m_searchMarkPending.empty()) {
        pr_subLayerSearchMark(m_searchMarkPending.back());
        m_searchMarkPending.pop_back();
    }
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
    // The grid places every tile when it scrolls; that waits for the keys typed in a
    // row and is done once for them.
    m_searchScrollTimer->start();
}

void frmWMF::pr_subLayerSearchScrollGrid() {
    pr_subScrollGridToListIndex();
    // Tiles now in view that are still to be marked go first.
    const int visibleHeight = PicMain->height();
    std::vector<int> later;
    for (int row : m_searchMarkPending) {
        clsDWF* t = tile(row + 1);
        const QWidget* frame = t ? t->FraOne() : nullptr;
        if (frame && frame->y() + frame->height() > 0 && frame->y() < visibleHeight)
            pr_subLayerSearchMark(row);
        else
            later.push_back(row);
    }
    m_searchMarkPending.swap(later);
}

QLineEdit* frmWMF::layerSearch() const {
    return m_layerSearch;
}
