#include "frmWMF.h"

#include "app/basWindowAPI.h"
#include "platform/ErrorReport.h"
#include "platform/MsgBox.h"
#include "platform/ProgramFolder.h"
#include "platform/VbError.h"

#include "acad/basAcadConnect.h"

void frmWMF::pu_subCmdRefresh_Click() {
    CmdRefresh_Click();
}

// The refresh: connect to the CAD, take its drawing, load the macro project and bring
// the CAD's window, then this one, to the front. Reading the layers and building the
// tiles follow from here. Every failure ends the refresh with the unexpected-error box.
void frmWMF::CmdRefresh_Click() {
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

        pu_subGetAcadDocument();
        pu_oAcadApp->LoadDVB(platform::programFolder() + QStringLiteral("/TARNIX.dvb"));

        pu_lnAcadHwnd = basWindowAPI::pu_fun_lnFindWindow(QString(), pu_oAcadApp->Caption());
        basWindowAPI::pu_subSetForeground(pu_lnAcadHwnd);
        basWindowAPI::pu_subSetForeground(hWnd());

        // Steps 5 on: the saved check, the layers to show, the rebuild.
        pr_subRefreshLayers();
    } catch (const std::exception& error) {
        ErrorReport::showUnexpectedError(QStringLiteral("CmdRefresh_Click"), error);
    }
}
