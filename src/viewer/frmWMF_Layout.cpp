#include "frmWMF.h"

#include "platform/ControlGeometry.h"
#include "platform/Twips.h"
#include "platform/VbFrame.h"
#include "platform/VbPictureBox.h"

#include <QComboBox>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <algorithm>
#include <cmath>

#include "platform/VbImage.h"
#include "platform/VbTextBox.h"
#include "tiles/TileLayout.h"
#include "tiles/clsDWF.h"

using platform::ControlGeometry;

double frmWMF::Left() const {
    return ControlGeometry::Left(this);
}
double frmWMF::Top() const {
    return ControlGeometry::Top(this);
}
double frmWMF::Width() const {
    return ControlGeometry::Width(this);
}
double frmWMF::Height() const {
    return ControlGeometry::Height(this);
}
void frmWMF::setLeft(double twips) {
    ControlGeometry::setLeft(this, twips);
}
void frmWMF::setTop(double twips) {
    ControlGeometry::setTop(this, twips);
}
void frmWMF::setWidth(double twips) {
    ControlGeometry::setWidth(this, twips);
}
void frmWMF::setHeight(double twips) {
    ControlGeometry::setHeight(this, twips);
}

void frmWMF::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    pr_subAlignBars();
    Form_Resize();
}

// The toolbar and the status bar are aligned controls: the platform keeps them at the
// top and the bottom at full width before the form's own resize handler runs.
void frmWMF::pr_subAlignBars() {
    const double clientWidth = platform::pixelsToTwips(width());
    const double clientHeight = platform::pixelsToTwips(height());
    ControlGeometry::Move(Toolbar1, 0, 0, clientWidth, 360);
    ControlGeometry::Move(StatusMain, 0, clientHeight - 285, clientWidth, 285);
    CboZoom->raise();
}

void frmWMF::pr_subCtrlLayout() {
    if (isMinimized())
        return;
    // Too small: spring back and let the resize this causes lay the controls out.
    if (Width() < kMinWidth) {
        setWidth(kMinWidth);
        return;
    }
    if (Height() < kMinHeight) {
        setHeight(kMinHeight);
        return;
    }
    ControlGeometry::setWidth(PicMain, Width() - 160);
    ControlGeometry::setHeight(PicMain, ControlGeometry::Top(StatusMain) - 3480);
    ControlGeometry::setLeft(ScrBarV, Width() - 420);
    ControlGeometry::setHeight(ScrBarV, ControlGeometry::Height(PicMain) - 60);
}

void frmWMF::Form_Resize() {
    pr_subCtrlLayout();
    if (!prbShowEnd)
        return;

    const int n = proDWFUBound();
    if (n > 0)
        pr_subPlaceTiles(0);

    // With no tile at all (a refresh that found no layer to show) the grid is 0 x 0 and
    // the scroll bar has the single position 1: nothing to divide by, nothing to scroll.
    int cols = 0;
    int rows = 0;
    if (n > 0) {
        cols = TileLayout::columnsFor(ControlGeometry::Width(PicMain),
                                      ControlGeometry::Width(FraOne1));
        if (n < cols)
            cols = n;
        // PicMain is never narrower than one pitch at the minimum window width; guard
        // anyway rather than divide by zero.
        if (cols < 1)
            cols = 1;
        rows = TileLayout::rowsFor(n, cols);
    }
    setWindowTitle(QStringLiteral("画層ビューワ (%1×%2)").arg(rows).arg(cols));

    ScrBarV->setMinimum(1);
    ScrBarV->setMaximum(std::max(rows, 1));
    ScrBarV->setSingleStep(1);
    ScrBarV->setPageStep(1);
    ScrBarV_Change();
}

frmWMF::ShownRows frmWMF::pr_fun_shownRows(qint32 iTopScrol) const {
    // The rows the box shows, and a boxful more on either side, so that a tile scrolled
    // just out of view is still there as it always was.
    const qint32 boxful =
        TileLayout::rowsIn(ControlGeometry::Height(PicMain), ControlGeometry::Height(FraOne1)) + 2;
    return {iTopScrol + 1 - boxful, iTopScrol + 2 * boxful};
}

bool frmWMF::isRowInView(qint32 row) const {
    // A grid being built stands at its top until it is laid out.
    const ShownRows rows = pr_fun_shownRows(prbShowEnd ? ScrBarV->value() - 1 : 0);
    return row >= rows.first && row <= rows.last;
}

void frmWMF::ScrBarV_Change() {
    if (proDWFUBound() < 1)
        return;
    pr_subPlaceTiles(ScrBarV->value() - 1, true);
}

void frmWMF::pr_subPlaceTiles(int iTopScrol, bool bOnlyInView) {
    const qint32 lnWidth = qint32(std::nearbyint(ControlGeometry::Width(PicMain)));
    const int n = proDWFUBound();
    PlacedGrid grid;
    grid.width = lnWidth;
    grid.height = qint32(std::nearbyint(ControlGeometry::Height(PicMain)));
    grid.tiles = n;
    const clsDWF* first = n >= 1 ? proDWF[1].get() : nullptr;
    if (first && first->FraOne()) {
        grid.tileWidth = ControlGeometry::Width(first->FraOne());
        grid.tileHeight = ControlGeometry::Height(first->FraOne());
    }
    const qint32 columns = TileLayout::columnsFor(lnWidth, grid.tileWidth);
    // Every tile of a finished grid has the first one's size: a zoom changes them all,
    // and so does any change of the grid's box or its number of tiles.
    const int fromTop = m_placedGrid ? m_placedGrid->top : 0;
    grid.top = fromTop;
    const bool partial = bOnlyInView && prbShowEnd && columns > 0 && m_placedGrid == grid;
    grid.top = iTopScrol;
    m_placedGrid = grid;
    // Rows far out of view are hidden as well as placed out of sight: the platform
    // looks at every shown sibling of a control it repaints, and thousands of shown
    // tiles made each repaint in the grid cost far more than the tiles in view.
    const ShownRows shown = pr_fun_shownRows(iTopScrol);
    const auto placeTile = [&](clsDWF& t) {
        t.pu_subUpdateLocation(lnWidth, iTopScrol);
        if (t.FraOne() && columns > 0) {
            const bool wasHidden = t.FraOne()->isHidden();
            const bool show = t.iRow() >= shown.first && t.iRow() <= shown.last;
            t.FraOne()->setVisible(show);
            // Hidden tiles were passed over by the overview's zoom and drag.
            if (wasHidden && show && prbShowEnd)
                t.pu_subImageUpdate();
        }
    };
    if (partial) {
        // The shown rows before and after: the others were hidden and stay so.
        const auto place = [&](const ShownRows& rows) {
            const int firstTile = std::max(1, (rows.first - 1) * columns + 1);
            const int lastTile = std::min(n, rows.last * columns);
            for (int i = firstTile; i <= lastTile; ++i)
                if (clsDWF* t = proDWF[std::size_t(i)].get())
                    placeTile(*t);
        };
        if (fromTop != iTopScrol)
            place(pr_fun_shownRows(fromTop));
        place(shown);
        return;
    }
    for (int i = 1; i <= n; ++i) {
        // A build in progress has not made every tile yet; those are skipped.
        if (proDWF[std::size_t(i)])
            placeTile(*proDWF[std::size_t(i)]);
    }
}
