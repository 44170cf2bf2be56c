#include "WorkFolder.h"
#include "frmWMF.h"

#include "WindowPlacement.h"
#include "app/basAPIini.h"
#include "app/basWindowAPI.h"
#include "platform/DxfSignature.h"
#include "platform/ProgramFolder.h"
#include "platform/Twips.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include "acad/basAcadConnect.h"

namespace {

const QString kSection = QStringLiteral("WMFPosi");
// How long a start waits for the window manager to frame the window.
constexpr qint64 kFrameWaitMs = 1000;

QRectF twips(const QRect& pixels) {
    return QRectF(platform::pixelsToTwips(pixels.x()), platform::pixelsToTwips(pixels.y()),
                  platform::pixelsToTwips(pixels.width()),
                  platform::pixelsToTwips(pixels.height()));
}

// The screens' available areas, the primary one first.
QList<QRectF> screensTwips() {
    QList<QRectF> areas;
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary)
        areas << twips(primary->availableGeometry());
    for (QScreen* screen : QGuiApplication::screens())
        if (screen != primary)
            areas << twips(screen->availableGeometry());
    return areas;
}

} // namespace

void frmWMF::pr_subWaitForFrame() {
    QWindow* handle = windowHandle();
    if (!handle)
        return;
    QElapsedTimer waited;
    waited.start();
    // Exposed means mapped, and a reparenting manager maps the window inside its frame:
    // from then on the frame's size is known.
    while (!handle->isExposed() && waited.elapsed() < kFrameWaitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::processEvents();
}

void frmWMF::Form_Load(const QString& sCommand) {
    prsIniFile = QStringLiteral("TARNIX.ini");
    basAPIini::SetINI(prsIniFile);

    auto readPosition = [this](const char* key, int fallback) {
        return basAPIini::GetINI(prsIniFile, kSection, QString::fromLatin1(key), fallback, true)
            .toInt();
    };
    const int lnLeft = readPosition("left", 0);
    const int lnTop = readPosition("top", 0);
    const int lnWidth = readPosition("width", 5820);
    const int lnHeight = readPosition("height", 8625);
    const QRectF place = WindowPlacement::onScreen(QRectF(lnLeft, lnTop, lnWidth, lnHeight),
                                                   QSizeF(kMinWidth, kMinHeight), screensTwips());
    const auto applyPosition = [&] {
        setLeft(place.left());
        setTop(place.top());
        setWidth(place.width());
        setHeight(place.height());
    };
    applyPosition();

    show();
    // The saved values are the outer frame's, and the frame is the window manager's: it
    // is known only once the manager has framed the window, some time after show().
    // Applied before, the frame would be added to the saved size, and the window would
    // grow by it at every start and close.
    pr_subWaitForFrame();
    if (frameGeometry().size() != size())
        applyPosition();

    // The whole argument text names a file, quotes and all; a name that is no file is
    // dropped without a word. A drawing (the desktop's "Open with" hands one over) is
    // opened in the CAD and shown whole; any other file is the layer list.
    prsCsvPath.clear();
    m_sDrawingToOpen.clear();
    if (QFileInfo(sCommand).isFile()) {
        if (DxfSignature::isDxfFile(sCommand))
            m_sDrawingToOpen = QFileInfo(sCommand).absoluteFilePath();
        else
            prsCsvPath = sCommand;
    }

    pr_subZoomListSet();

    basWindowAPI::pu_subSetForeground(pu_lnAcadHwnd);
    QCoreApplication::processEvents();
    basWindowAPI::pu_subSetForeground(hWnd());

    if (!prsCsvPath.isEmpty() || !m_sDrawingToOpen.isEmpty())
        CmdRefresh_Click();
}

void frmWMF::pr_subZoomListSet() {
    CboZoom->clear();
    for (int percent = 5; percent <= 95; percent += 5)
        CboZoom->addItem(QString::number(percent));
    CboZoom->setCurrentIndex(7);
}

void frmWMF::Form_Unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;

    const auto write = [this](const char* key, double value) {
        basAPIini::WriteINI(prsIniFile, kSection, QString::fromLatin1(key),
                            QString::number(qint64(value)));
    };
    write("left", Left());
    write("top", Top());
    write("width", Width());
    write("height", Height());

    WorkFolder::release();
}
