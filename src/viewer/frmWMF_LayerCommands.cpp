// The layer list's commands: Ctrl+A, a click that brings the item's tile into view and
// marks the chosen tiles, the chosen or all layers switched on and off in the drawing,
// and the chosen layers taken out of list and grid. List item i (from 0) and tile i + 1
// stay one layer throughout.

#include "frmWMF.h"

#include "acad/AcadDocument.h"
#include "platform/ControlGeometry.h"
#include "platform/ErrorTrap.h"
#include "platform/VbError.h"
#include "platform/VbErrorText.h"
#include "platform/VbFrame.h"
#include "platform/VbListBox.h"
#include "platform/VbTextBox.h"
#include "tiles/LayerStateRecorder.h"
#include "tiles/TileGrid.h"
#include "tiles/TileLayout.h"
#include "tiles/clsDWF.h"

#include <QScrollBar>

using platform::ControlGeometry;

namespace {

// The drawing of the last refresh; before the first one there is none, and every
// statement that needs it fails as a call on Nothing does.
acad::AcadDocument& drawing(const std::shared_ptr<acad::AcadDocument>& oAcadDoc) {
    if (!oAcadDoc)
        throw platform::vbError(platform::vberr::ObjectNotSet);
    return *oAcadDoc;
}

clsDWF& tileOrFail(clsDWF* oTile) {
    if (!oTile)
        throw platform::vbError(platform::vberr::SubscriptOutOfRange);
    return *oTile;
}

// A scroll bar refuses a value outside its range instead of pinning it to the nearer end.
void setScrollValue(QScrollBar& bar, qint32 value) {
    if (value < bar.minimum() || value > bar.maximum())
        throw platform::vbError(platform::vberr::InvalidPropertyValue);
    bar.setValue(value);
}

} // namespace

void frmWMF::pr_subConnectLayerList() {
    connect(
        LstLayers, &platform::VbListBox::KeyDown, this,
        [this](int keyCode, Qt::KeyboardModifiers shift) { LstLayers_KeyDown(keyCode, shift); });
    connect(LstLayers, &platform::VbListBox::Click, this, [this] { LstLayers_Click(); });
}

void frmWMF::LstLayers_KeyDown(int keyCode, Qt::KeyboardModifiers shift) {
    // Exactly Ctrl: the keypad flag says where the key was, not which modifiers are down.
    const Qt::KeyboardModifiers modifiers = shift & ~Qt::KeypadModifier;
    if (keyCode != Qt::Key_A || modifiers != Qt::ControlModifier)
        return;
    // One selection change for the whole list rather than one per item: a thousand
    // separate changes each repaint and notify.
    if (LstLayers->ListCount() > 0)
        LstLayers->selectionModel()->select(
            QItemSelection(LstLayers->model()->index(0, 0),
                           LstLayers->model()->index(LstLayers->ListCount() - 1, 0)),
            QItemSelectionModel::Select);
}

void frmWMF::LstLayers_Click() {
    using ErrorTrap::skip;
    pr_subScrollGridToListIndex();

    for (int i = 0; i < LstLayers->ListCount(); ++i) {
        const bool selected = LstLayers->Selected(i);
        skip([&] {
            clsDWF& t = tileOrFail(tile(i + 1));
            if (selected)
                t.SelectView();
            else
                t.ResetSelect();
        });
    }
}

void frmWMF::pr_subScrollGridToListIndex() {
    using ErrorTrap::skip;
    // The window's outer size, not the grid's box: the grid shows fewer rows than this
    // counts, which the margins below make up for.
    qint32 visRows = 0;
    qint32 cols = 0;
    skip([&] { visRows = TileLayout::rowsIn(Height(), ControlGeometry::Height(FraOne1)); });
    skip([&] { cols = TileLayout::columnsFor(Width(), ControlGeometry::Width(FraOne1)); });

    const qint32 k = LstLayers->ListIndex() + 1;
    qint32 row = 0;
    skip([&] {
        if (cols == 0)
            throw platform::vbError(platform::vberr::DivisionByZero);
        row = TileLayout::cellOf(k, cols).row;
    });

    skip([&] {
        const qint32 v = ScrBarV->value();
        const qint32 r = tileOrFail(tile(k)).iRow();
        if (r < v)
            setScrollValue(*ScrBarV, row);
        else if (r > v + visRows - 3)
            setScrollValue(*ScrBarV, row - visRows + 2);
    });
}

void frmWMF::pr_subSelectLayerSet(const QString& sMode) {
    using ErrorTrap::skip;
    const bool bOn = sMode == QStringLiteral("View");
    {
        LayerStateRecorder step(bOn ? QStringLiteral("選択画層表示")
                                    : QStringLiteral("選択画層非表示"),
                                pr_fun_StepSink());
        for (int i = 0; i < LstLayers->ListCount(); ++i) {
            if (!LstLayers->Selected(i))
                continue;
            const QString name = LstLayers->List(i);
            skip([&] {
                acad::AcadLayer oLayer = drawing(proAcadDoc).Layers().Item(name);
                step.setLayerOn(oLayer, bOn);
            });
        }
    }
    skip([&] { drawing(proAcadDoc).Regen(acad::acAllViewports); });
    pu_subCtrlViewUpdate();
}

void frmWMF::pr_subAllLayerOn() {
    pr_subAllLayerSet(true);
}

void frmWMF::pr_subAllLayerOff() {
    pr_subAllLayerSet(false);
}

void frmWMF::pr_subAllLayerSet(bool bOn) {
    using ErrorTrap::skip;
    // Each layer on its own: one the drawing refuses leaves the others switched.
    // The current layer is switched too; the CAD shows it off like any other.
    {
        LayerStateRecorder step(bOn ? QStringLiteral("全画層表示") : QStringLiteral("全画層非表示"),
                                pr_fun_StepSink());
        skip([&] {
            acad::AcadLayers layers = drawing(proAcadDoc).Layers();
            for (acad::AcadLayer oLayer : layers)
                skip([&] { step.setLayerOn(oLayer, bOn); });
        });
    }
    skip([&] { drawing(proAcadDoc).Regen(acad::acAllViewports); });
    pu_subCtrlViewUpdate();
}

void frmWMF::CmdSelectRemove_Click() {
    ErrorTrap::trap(QStringLiteral("CmdSelectRemove_Click"), [this] {
        TileGrid& grid = *tileGrid();
        // From the last item up, so that removing one leaves the places of the items
        // still to visit as they were.
        for (int n = LstLayers->ListCount() - 1; n >= 0; --n) {
            if (!LstLayers->Selected(n))
                continue;
            // The grid keeps at least one tile.
            if (proDWFUBound() == 1)
                break;

            // The frames stay until the next refresh; hidden, they are out of the grid.
            const QString name = LstLayers->List(n);
            for (qint32 t = 1; t <= prlnDWFCount; ++t) {
                auto* txtOne = grid.control<platform::VbTextBox>(QStringLiteral("TxtOne%1").arg(t));
                if (!txtOne)
                    throw platform::vbError(platform::vberr::ControlNotFound,
                                            QStringLiteral("TxtOne%1").arg(t));
                if (txtOne->Text() != name)
                    continue;
                auto* fraOne = grid.control<platform::VbFrame>(QStringLiteral("FraOne%1").arg(t));
                if (!fraOne)
                    throw platform::vbError(platform::vberr::ControlNotFound,
                                            QStringLiteral("FraOne%1").arg(t));
                fraOne->setVisible(false);
            }
            LstLayers->RemoveItem(n);

            // The tiles after the removed one move up a place and take its number.
            const int upper = proDWFUBound();
            for (int k = n + 1; k <= upper - 1; ++k) {
                proDWF[std::size_t(k)] = proDWF[std::size_t(k + 1)];
                proDWF[std::size_t(k)]->SetIndex(k);
            }
            proDWF.pop_back();
        }
        Form_Resize();
    });
}
