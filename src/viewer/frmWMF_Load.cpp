#include "WorkFolder.h"
#include "frmWMF.h"

#include "app/basAPIini.h"
#include "app/basWindowAPI.h"
#include "platform/ProgramFolder.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "acad/basAcadConnect.h"

namespace {
const QString kSection = QStringLiteral("WMFPosi");
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
    const auto applyPosition = [&] {
        setLeft(lnLeft);
        setTop(lnTop);
        setWidth(lnWidth);
        setHeight(lnHeight);
    };
    applyPosition();

    show();
    // The saved values are the outer frame's. The frame exists only once the window is
    // shown, so they are applied again; otherwise the window would grow by its frame at
    // every start, as the position written at unload includes it.
    if (frameGeometry().size() != size())
        applyPosition();

    // The whole argument text is the list file's name, quotes and all; a name that is
    // no file is dropped without a word.
    prsCsvPath = QFileInfo(sCommand).isFile() ? sCommand : QString();

    pr_subZoomListSet();

    basWindowAPI::pu_subSetForeground(pu_lnAcadHwnd);
    QCoreApplication::processEvents();
    basWindowAPI::pu_subSetForeground(hWnd());

    if (!prsCsvPath.isEmpty())
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

    WorkFolder::remove();
}
