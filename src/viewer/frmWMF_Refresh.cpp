#include "frmWMF.h"

#include "WorkFolder.h"

#include "app/basWindowAPI.h"
#include "app/frmSplash.h"
#include "platform/ErrorReport.h"
#include "platform/MsgBox.h"
#include "platform/ProgramFolder.h"
#include "platform/VbError.h"
#include "platform/VbListBox.h"
#include "tiles/clsDWF.h"

#include "acad/CallWait.h"
#include "acad/basAcadConnect.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <utility>

void frmWMF::pu_subCmdRefresh_Click() {
    CmdRefresh_Click();
}

namespace {

// Marks the window busy for the length of one refresh, whichever way the refresh ends.
class RefreshRun {
public:
    explicit RefreshRun(bool& running) : m_running(running) { m_running = true; }
    ~RefreshRun() { m_running = false; }
    RefreshRun(const RefreshRun&) = delete;
    RefreshRun& operator=(const RefreshRun&) = delete;

private:
    bool& m_running;
};

class StatusWindowDown {
public:
    StatusWindowDown() = default;
    ~StatusWindowDown() { frmSplash::Unload(); }
    StatusWindowDown(const StatusWindowDown&) = delete;
    StatusWindowDown& operator=(const StatusWindowDown&) = delete;
};

} // namespace

void frmWMF::closeEvent(QCloseEvent* event) {
    // A refresh lets window messages run between its steps, so a close can arrive in
    // the middle of one. The window must outlive the refresh, and the drawing must get
    // its layer states back: the refresh stops at its next step and closes the window
    // once it has unwound.
    if (m_refreshRunning) {
        m_closeRequested = true;
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void frmWMF::pr_subStopIfClosing() {
    // Once: the layer states are put back after the stop, and those calls must run.
    if (m_closeRequested && !m_refreshStopping) {
        m_refreshStopping = true;
        throw RefreshStopped();
    }
}

// The refresh: connect to the CAD, take its drawing, load the macro project and bring
// the CAD's window, then this one, to the front. Reading the layers and building the
// tiles follow from here. Every failure ends the refresh with the unexpected-error box.
void frmWMF::CmdRefresh_Click() {
    // One refresh at a time. The command line's refresh leaves the window enabled, so a
    // second request can arrive while the first lets messages run; it is ignored, and
    // the grid keeps matching the list of the refresh that runs.
    if (m_refreshRunning)
        return;
    {
        // A refresh that fails for every layer (a list of names the drawing lacks) says
        // so once.
        ErrorReport::Batch oneBox;
        // Whichever way the refresh ends, the status window goes with it: left on
        // screen, it kept the program alive after its main window had closed.
        const StatusWindowDown statusDown;
        RefreshRun run(m_refreshRunning);
        m_refreshStopping = false;
        // While the CAD takes long to answer (a macro, a CAD that stopped), the window
        // paints and a close ends the wait; the user's clicks wait for the refresh.
        acad::CallWait::Scope wait([this] {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            pr_subStopIfClosing();
        });
        pr_subRefreshOnce();
        if (m_closeRequested)
            oneBox.dropHeld();
    }
    if (m_closeRequested) {
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        return;
    }
    // The keyboard goes to the list of the layers just read, where their commands are,
    // once the toolbar has given the window back: left to the window, it went to the
    // first box that takes it, the overview's count text, with its caret blinking there.
    if (pu_bUpdateEnd) {
        QWidget* list = LstLayers;
        QMetaObject::invokeMethod(
            list, [list] { list->setFocus(Qt::OtherFocusReason); }, Qt::QueuedConnection);
    }
}

void frmWMF::pr_subRefreshOnce() {
    try {
        bool bCancel = false;
        QString sErrMsg;
        const bool bResult = pu_fun_bGetAcadObject(bCancel, sErrMsg);
        if (bResult && bCancel)
            return; // the user chose not to start the CAD
        if (!bResult && bCancel) {
            if (!sErrMsg.isEmpty())
                platform::MsgBox(QStringLiteral("AutoCADが見つかりません。AutoCADを起動して"
                                                "から試して下さい。"),
                                 platform::vbOKOnly | platform::vbCritical, sErrMsg);
            return;
        }

        // A drawing named on the command line is opened once, by the first refresh.
        if (!m_sDrawingToOpen.isEmpty())
            pu_oAcadApp->Open(std::exchange(m_sDrawingToOpen, QString()));
        pu_subGetAcadDocument();
        pu_oAcadApp->LoadDVB(WorkFolder::macroProject());

        pu_lnAcadHwnd = basWindowAPI::pu_fun_lnFindWindow(QString(), pu_oAcadApp->Caption());
        basWindowAPI::pu_subSetForeground(pu_lnAcadHwnd);
        basWindowAPI::pu_subSetForeground(hWnd());

        // Steps 5 on: the saved check, the layers to show, the rebuild.
        pr_subRefreshLayers();
    } catch (const RefreshStopped&) {
        // The window is closing: the rebuild has put the layer states back, and nobody
        // is left to read a message.
        frmSplash::Unload();
    } catch (const std::exception& error) {
        ErrorReport::showUnexpectedError(QStringLiteral("CmdRefresh_Click"), error);
    }
}
