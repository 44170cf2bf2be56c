#include "UnrestoredLayerStates.h"

#include "acad/AcadDocument.h"
#include "acad/AcadLayers.h"
#include "platform/ErrorReport.h"
#include "platform/MsgBox.h"

#include <QStringList>

namespace {

constexpr qsizetype kNamesShown = 20;

} // namespace

void UnrestoredLayerStates::keep(const QString& sFullName, std::vector<typLayerState> records) {
    m_sFullName = sFullName;
    m_records = std::move(records);
}

void UnrestoredLayerStates::offer(acad::AcadDocument& oAcadDoc) {
    if (m_records.empty())
        return;
    try {
        if (oAcadDoc.FullName() != m_sFullName)
            return;
    } catch (const std::exception&) {
        return; // not answering yet: asked again at the next command
    }
    QStringList names;
    for (const typLayerState& rec : m_records)
        names << rec.sName;
    const int answer = platform::MsgBox(
        QStringLiteral("前回の更新で次の画層の表示・フリーズの状態を元に戻せませんでした。") +
            QLatin1Char('\r') + ErrorReport::layerNamesText(names, kNamesShown) +
            QLatin1Char('\r') + QStringLiteral("更新前の状態に戻しますか？"),
        platform::vbYesNo | platform::vbQuestion, ErrorReport::kTitle);
    if (answer != platform::vbYes) {
        m_records.clear();
        return;
    }
    std::vector<typLayerState> failed;
    for (const typLayerState& rec : m_records) {
        try {
            acad::AcadLayer oLayer = oAcadDoc.Layers().Item(rec.sName);
            oLayer.setLayerOn(rec.bLayerOn);
            oLayer.setFreeze(rec.bFreeze);
        } catch (const std::exception&) {
            failed.push_back(rec);
        }
    }
    m_records = std::move(failed);
    try {
        oAcadDoc.Regen(acad::acAllViewports);
    } catch (const std::exception&) {
    }
}
