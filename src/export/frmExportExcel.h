#pragma once

#include "export/ExportChoices.h"

#include <QDialog>
#include <QStringList>
#include <functional>
#include <memory>

class ExportHost;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace platform {
class VbListBox;
}

// The export dialog: the drawing's layers to choose from, the chosen layers of the
// layer list preselected, the layout of the pictures. Opened only through pu_subShow,
// which makes a new dialog each time, so nothing chosen is remembered to the next.
// Positions are twips in the client area (design 6630 x 6195).
class frmExportExcel : public QDialog {
    Q_OBJECT
public:
    // Shows a new dialog modally, without an owner, for oAcadDoc with the layers named
    // in sLayerArray (any of its elements) selected; returns when it has closed.
    static void pu_subShow(std::shared_ptr<acad::AcadDocument> oAcadDoc,
                           const QStringList& sLayerArray, ExportHost& host);

    // What OK starts; tests put a recorder in place (nullptr restores the export run).
    using Runner = std::function<void(const ExportChoices&, frmExportExcel&)>;
    static void setRunnerForTesting(Runner runner);

    // Controls, by their design names.
    QLabel* LblHeader = nullptr;
    platform::VbListBox* LstLayer = nullptr;
    QPushButton* CmdSelectAll = nullptr;
    QGroupBox* FraLayout = nullptr;
    QRadioButton* OptSeparateSheet = nullptr;
    QRadioButton* OptOneSheet = nullptr;
    QComboBox* CboRowNum = nullptr;
    QLabel* LblRow = nullptr;
    QComboBox* CboColNum = nullptr;
    QLabel* LblCol = nullptr;
    QLabel* LblOffset = nullptr;
    QComboBox* CboOffset = nullptr;
    QLabel* LblOffset2 = nullptr;
    QLabel* LblWidth = nullptr;
    QComboBox* CboWidth = nullptr;
    QLabel* LblWidth2 = nullptr;
    QCheckBox* ChkFrame = nullptr;
    QComboBox* CboFrame = nullptr;
    QLabel* LblFrame = nullptr;
    QPushButton* CmdOK = nullptr;
    QPushButton* CmdCancel = nullptr;

    // What OK would hand to the export run, read from the controls now.
    ExportChoices choices() const;
    // The window id the window helpers take for this dialog.
    std::uint32_t hWnd() const;

    void CmdSelectAll_Click();
    void CmdOK_Click();
    void CmdCancel_Click();

    // Esc and the window's close button cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    frmExportExcel(std::shared_ptr<acad::AcadDocument> oAcadDoc, const QStringList& sLayerArray,
                   ExportHost& host);

    void pr_subCreateControls();
    void pr_subSetTabOrder();
    void Form_Load();
    void Form_Activate();
    void pr_subSetCombo();
    void pr_subSetEnabled();

    std::shared_ptr<acad::AcadDocument> m_oAcadDoc;
    QStringList m_sLayerArray;
    ExportHost& m_host;
    bool m_bActivated = false;
};
