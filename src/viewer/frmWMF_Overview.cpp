// The overview's commands: zoom in and out about the centre of the picture area, fit
// it back, drag it, and make the part overview and every tile follow it, so the whole
// window shows one part of the drawing at one scale.

#include "OverviewZoom.h"
#include "ViewerIcons.h"
#include "frmWMF.h"

#include "platform/ControlGeometry.h"
#include "platform/ErrorReport.h"
#include "platform/MsgBox.h"
#include "platform/VbFrame.h"
#include "platform/VbImage.h"
#include "platform/VbNumeric.h"
#include "platform/VbTextBox.h"
#include "tiles/basDWF_PictureFit.h"
#include "tiles/clsDWF.h"

#include <QComboBox>
#include <QCursor>
#include <QPixmap>

using platform::ControlGeometry;
using platform::vb::CLng;

namespace {

OverviewZoom::Box boxOf(const QWidget* image) {
    return {ControlGeometry::Left(image), ControlGeometry::Top(image),
            ControlGeometry::Width(image), ControlGeometry::Height(image)};
}

void moveTo(QWidget* image, const OverviewZoom::Box& b) {
    ControlGeometry::Move(image, b.left, b.top, b.width, b.height);
}

// The four arrows tell that the picture under the pointer can be grabbed and moved.
QCursor dragCursor() {
    const QSize size(32, 32);
    const QPixmap arrows = ViewerIcons::icon(QStringLiteral("pan"), size).pixmap(size);
    if (arrows.isNull())
        return QCursor(Qt::SizeAllCursor);
    return QCursor(arrows, size.width() / 2, size.height() / 2);
}

} // namespace

void frmWMF::pr_subOverviewEventsConnect() {
    ImgALL->setCursor(dragCursor());
    connect(ImgALL, &platform::VbImage::MouseDown, this, &frmWMF::ImgALL_MouseDown);
    connect(ImgALL, &platform::VbImage::MouseMove, this, &frmWMF::ImgALL_MouseMove);
    connect(ImgALL, &platform::VbImage::MouseUp, this, &frmWMF::ImgALL_MouseUp);
}

void frmWMF::pr_subZoomIn() {
    pr_subZoom(QStringLiteral("1"));
    pr_subPartImageUpdate();
}

void frmWMF::pr_subZoomOut() {
    pr_subZoom(QStringLiteral("-1"));
    pr_subPartImageUpdate();
}

void frmWMF::pr_subZoomFit() {
    basDWF::pu_subPictureFit(*ImgALL, *FraALL, CLng(ControlGeometry::Height(TxtALL)), 0);
    pr_subPartImageUpdate();
}

void frmWMF::pr_subZoom(const QString& sDirection) {
    const double f = OverviewZoom::factor(CboZoom->currentText(), sDirection);
    const OverviewZoom::Box saved{double(CLng(ControlGeometry::Left(ImgALL))),
                                  double(CLng(ControlGeometry::Top(ImgALL))),
                                  double(CLng(ControlGeometry::Width(ImgALL))),
                                  double(CLng(ControlGeometry::Height(ImgALL)))};
    // Hidden while it changes: drawn once, at its final size and place.
    ImgALL->setVisible(false);
    // A picture shown at its own size would keep that size in a larger box: from the
    // first step on, it is scaled into the box whatever the fit decided.
    ImgALL->setStretch(true);

    const double cy = (ControlGeometry::Height(FraALL) - ControlGeometry::Height(TxtALL)) / 2;
    const double cx = ControlGeometry::Width(FraALL) / 2;
    const OverviewZoom::Box asked = OverviewZoom::asked(saved, f, cx, cy);
    moveTo(ImgALL, asked);

    if (OverviewZoom::refused(prsnAllRatio, saved, asked, boxOf(ImgALL))) {
        // Put back before the message, so the overview behind it is the one kept.
        moveTo(ImgALL, saved);
        ImgALL->setVisible(true);
        platform::MsgBox(f > 1 ? QStringLiteral("これ以上大きくすることが出来ません。")
                               : QStringLiteral("これ以上小さくすることが出来ません。"),
                         platform::vbOKOnly | platform::vbExclamation, ErrorReport::kTitle);
        return;
    }
    ImgALL->setVisible(true);
}

void frmWMF::ImgALL_MouseDown(int, int, double x, double y) {
    priDrag = 1;
    prlnDragX = CLng(x);
    prlnDragY = CLng(y);
}

void frmWMF::ImgALL_MouseMove(int, int, double x, double y) {
    if (priDrag != 1)
        return;
    // X and Y are measured from the picture, which moves with the pointer: the point
    // grabbed stays under it. No limit: the picture may leave the frame altogether.
    const OverviewZoom::Box now = boxOf(ImgALL);
    moveTo(ImgALL, {now.left + (x - prlnDragX), now.top + (y - prlnDragY), now.width, now.height});
}

void frmWMF::ImgALL_MouseUp(int, int, double, double) {
    priDrag = 0;
    // The others follow once the picture is put down: moving a thousand tiles with
    // every movement of the mouse would make the drag itself stutter.
    pr_subPartImageUpdate();
}

void frmWMF::pr_subPartImageUpdate() {
    const OverviewZoom::Box overview = boxOf(ImgALL);
    ImgPart->setVisible(false);
    ImgPart->setStretch(true);
    moveTo(ImgPart, overview);
    ImgPart->setVisible(true);
    // A build still running has not made every tile yet: those are skipped. Tiles of
    // rows far out of view are hidden; they follow when they are shown (see
    // pr_subPlaceTiles), so that a step costs the rows in view, not all of them.
    for (int i = 1; i <= proDWFUBound(); ++i)
        if (clsDWF* t = tile(i); t && !(t->FraOne() && t->FraOne()->isHidden()))
            t->pu_subImageUpdate();
}
