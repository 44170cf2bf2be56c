#include "basAcadConnect.h"

#include "acad/Connector.h"
#include "acad/StatusWindow.h"
#include "platform/ErrorReport.h"
#include "platform/MsgBox.h"
#include "platform/VbError.h"
#include "platform/VbErrorText.h"

bool pu_fun_bGetAcadObject(bool& bCancel, QString& sErrMsg) {
    bool result = true;
    sErrMsg.clear();
    bCancel = false;

    // Every step here continues past its errors; only the attach and the start are
    // looked at. Anything at all thrown counts as "could not", never as a crash.
    try {
        pu_oAcadApp = std::make_shared<acad::AcadApplication>(acad::connector().attach());
        return result;
    } catch (...) {
    }

    int answer = platform::vbNo;
    try {
        answer =
            platform::MsgBox(QStringLiteral("AutoCADが起動されていません。") +
                                 QStringLiteral("\r") + QStringLiteral("起動して宜しいですか？"),
                             platform::vbYesNo | platform::vbExclamation, ErrorReport::kTitle);
    } catch (...) {
    }
    if (answer != platform::vbYes) {
        pu_oAcadApp.reset();
        bCancel = true;
        return result;
    }

    try {
        if (const auto& status = acad::statusWindow(); status.show)
            status.show(QStringLiteral("AutoCAD起動中．．．"));
    } catch (...) {
    }
    bool started = false;
    try {
        pu_oAcadApp = std::make_shared<acad::AcadApplication>(acad::connector().create());
        started = true;
    } catch (...) {
    }
    if (!started) {
        sErrMsg = QStringLiteral("404 Not Find AutoCAD.Application");
        result = false;
        bCancel = true;
        pu_oAcadApp.reset();
    } else {
        try {
            pu_oAcadApp->setVisible(true);
        } catch (...) {
        }
    }
    try {
        if (const auto& status = acad::statusWindow(); status.unload)
            status.unload();
    } catch (...) {
    }
    return result;
}

void pu_subGetAcadDocument() {
    if (!pu_oAcadApp)
        throw platform::vbError(platform::vberr::ObjectNotSet);
    pu_oAcadDoc = pu_oAcadApp->ActiveDocument();
}
