// Named sets of layer states: every layer's on, frozen, locked, colour and linetype saved
// under a name the user types, and put back into the drawing as one step of the way
// back. The commands sit in the layer list's context menu (Ctrl+S, Ctrl+R); the sets of a
// drawing live in the user's data folder, and one set can be exported to a file the user
// picks and imported from one, so that colleagues can share them.

#include "frmWMF.h"

#include "LayerStateDialogs.h"
#include "LayerStateSet.h"
#include "acad/AcadDocument.h"
#include "platform/ErrorReport.h"
#include "platform/ErrorTrap.h"
#include "platform/MsgBox.h"
#include "platform/VbListBox.h"
#include "tiles/clsDWF.h"

#include <QAction>
#include <QFileInfo>

namespace {

void showRefreshFirst() {
    platform::MsgBox(
        QStringLiteral("図面更新ボタン（ビックリマーク）で図面を読み込んでから実行してください。"),
        platform::vbOKOnly | platform::vbExclamation, ErrorReport::kTitle);
}

void showNotice(const QString& text) {
    platform::MsgBox(text, platform::vbOKOnly | platform::vbExclamation, ErrorReport::kTitle);
}

} // namespace

void frmWMF::pr_subCreateLayerStateMenu() {
    LstLayers->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto add = [this](const QString& text, const char* name, const QKeySequence& keys,
                      void (frmWMF::*command)()) {
        auto* action = new QAction(text, LstLayers);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(keys);
        // The keys work wherever the window has the focus, not only in the list.
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [this, command] { (this->*command)(); });
        LstLayers->addAction(action);
        return action;
    };
    m_layerStateSave = add(QStringLiteral("画層状態の保存..."), "layerStateSave",
                           QKeySequence(Qt::CTRL | Qt::Key_S), &frmWMF::pr_subLayerStateSave);
    m_layerStateRestore = add(QStringLiteral("画層状態の復元..."), "layerStateRestore",
                              QKeySequence(Qt::CTRL | Qt::Key_R), &frmWMF::pr_subLayerStateRestore);
    auto* separator = new QAction(LstLayers);
    separator->setSeparator(true);
    LstLayers->addAction(separator);
    add(QStringLiteral("画層状態の書き出し..."), "layerStateExport", QKeySequence(),
        &frmWMF::pr_subLayerStateExport);
    add(QStringLiteral("画層状態の読み込み..."), "layerStateImport", QKeySequence(),
        &frmWMF::pr_subLayerStateImport);
}

// The drawing's full path, which names its sets; empty (and the user told) before the
// first refresh or when the CAD cannot say.
QString frmWMF::pr_fun_sLayerStateDrawing() {
    if (!proAcadDoc || !pu_bUpdateEnd || m_refreshRunning) {
        showRefreshFirst();
        return QString();
    }
    QString sFullName;
    ErrorTrap::trapLayerCommand(QStringLiteral("pr_fun_sLayerStateDrawing"),
                                [&] { sFullName = proAcadDoc->FullName(); });
    return sFullName;
}

// A name for a set of `sDrawing` asked under `sCaption`; a set of that name is only
// replaced when the user agrees. Nothing when the user cancels.
std::optional<QString> frmWMF::pr_fun_AskLayerStateName(const QString& sDrawing,
                                                        const QString& sCaption,
                                                        const QString& sSuggested) {
    const std::optional<QString> name =
        LayerStateDialogs::instance().askName(this, sCaption, sSuggested);
    if (!name || name->isEmpty())
        return std::nullopt;
    if (LayerStateStore().names(sDrawing).contains(*name) &&
        platform::MsgBox(QStringLiteral("『 ") + *name +
                             QStringLiteral(" 』は既に保存されています。上書きしますか？"),
                         platform::vbYesNo | platform::vbExclamation,
                         ErrorReport::kTitle) != platform::vbYes)
        return std::nullopt;
    return name;
}

void frmWMF::pr_subLayerStateKeep(const QString& sDrawing, const QString& sName,
                                  const LayerStateSet& set) {
    const LayerStateStore store;
    if (!store.save(sDrawing, sName, set))
        showNotice(QStringLiteral("画層状態を保存できませんでした。\r\n") +
                   store.fileFor(sDrawing, sName));
}

void frmWMF::pr_subLayerStateSave() {
    const QString sDrawing = pr_fun_sLayerStateDrawing();
    if (sDrawing.isEmpty())
        return;
    const std::optional<QString> name =
        pr_fun_AskLayerStateName(sDrawing, QStringLiteral("画層状態の保存"), QString());
    if (!name)
        return;
    LayerStateSet set;
    if (!ErrorTrap::trapLayerCommand(QStringLiteral("pr_subLayerStateSave"),
                                     [&] { set = LayerStateSet::capture(*proAcadDoc); }))
        return;
    pr_subLayerStateKeep(sDrawing, *name, set);
}

// A set saved for this drawing, chosen by the user under `sCaption`; nothing when
// there is none, the user cancels, or its file cannot be read (each said).
std::optional<LayerStateSet> frmWMF::pr_fun_ChooseSavedLayerState(const QString& sCaption,
                                                                  QString* sChosen) {
    const QString sDrawing = pr_fun_sLayerStateDrawing();
    if (sDrawing.isEmpty())
        return std::nullopt;
    const LayerStateStore store;
    const QStringList names = store.names(sDrawing);
    if (names.isEmpty()) {
        showNotice(QStringLiteral("この図面に保存された画層状態はありません。"));
        return std::nullopt;
    }
    const std::optional<QString> name =
        LayerStateDialogs::instance().chooseSet(this, sCaption, names);
    if (!name || name->isEmpty())
        return std::nullopt;
    std::optional<LayerStateSet> set = store.load(sDrawing, *name);
    if (!set) {
        showNotice(QStringLiteral("画層状態を読み込めませんでした。\r\n") +
                   store.fileFor(sDrawing, *name));
        return std::nullopt;
    }
    if (sChosen)
        *sChosen = *name;
    return set;
}

void frmWMF::pr_subLayerStateRestore() {
    if (const auto set = pr_fun_ChooseSavedLayerState(QStringLiteral("画層状態の復元")))
        pr_subLayerStateApply(*set);
}

void frmWMF::pr_subLayerStateApply(const LayerStateSet& set) {
    QStringList missing;
    {
        LayerStateRecorder step(QStringLiteral("画層状態の復元"), pr_fun_StepSink());
        ErrorTrap::trapLayerCommand(QStringLiteral("pr_subLayerStateRestore"),
                                    [&] { missing = set.restore(*proAcadDoc, step); });
    }
    ErrorTrap::skip([&] { proAcadDoc->Regen(acad::acAllViewports); });
    pu_subCtrlViewUpdate();
    if (!missing.isEmpty())
        showNotice(QStringLiteral("次の画層は図面にないため復元しませんでした。\r\n") +
                   missing.join(QStringLiteral("\r\n")));
}

void frmWMF::pr_subLayerStateExport() {
    QString name;
    const auto set = pr_fun_ChooseSavedLayerState(QStringLiteral("画層状態の書き出し"), &name);
    if (!set)
        return;
    const QString path =
        LayerStateDialogs::instance().exportFile(this, name + QStringLiteral(".csv"));
    if (path.isEmpty())
        return;
    if (!set->write(path))
        showNotice(QStringLiteral("画層状態を書き出せませんでした。\r\n") + path);
}

void frmWMF::pr_subLayerStateImport() {
    const QString sDrawing = pr_fun_sLayerStateDrawing();
    if (sDrawing.isEmpty())
        return;
    const QString path = LayerStateDialogs::instance().importFile(this);
    if (path.isEmpty())
        return;
    const std::optional<LayerStateSet> set = LayerStateSet::read(path);
    if (!set) {
        showNotice(QStringLiteral("画層状態のファイルとして読み込めませんでした。\r\n") + path);
        return;
    }
    const std::optional<QString> name = pr_fun_AskLayerStateName(
        sDrawing, QStringLiteral("画層状態の読み込み"), QFileInfo(path).completeBaseName());
    if (!name)
        return;
    pr_subLayerStateKeep(sDrawing, *name, *set);
}
