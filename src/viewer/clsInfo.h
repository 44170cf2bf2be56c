#pragma once

#include <QDialog>
#include <QLabel>
#include <QString>

class QPushButton;

namespace platform {
class VbTextBox;
}

// A label that behaves as a link of the about window: a Click on the left button and
// a ForeColor as VB holds it.
class InfoLinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit InfoLinkLabel(QWidget* parent = nullptr);
    quint32 ForeColor() const { return m_foreColor; }
    void setForeColor(quint32 vbColor);

signals:
    void Click();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    quint32 m_foreColor = 0;
};

// The about window: the information text, the contact template and three links (the
// program's folder, the readme, the web page).
class clsInfo : public QDialog {
    Q_OBJECT
public:
    // Light blue of both text boxes, blue of a link, dark red of a visited link.
    static constexpr quint32 kBackColor = 0xFFC0C0u;    // RGB(192, 192, 255)
    static constexpr quint32 kLinkColor = 0xFF0000u;    // RGB(0, 0, 255)
    static constexpr quint32 kVisitedColor = 0x0000C0u; // RGB(192, 0, 0)
    static constexpr quint32 kTemplateColor = 0x808080u;

    explicit clsInfo(QWidget* parent = nullptr);

    // Fills the window and shows it modally; returns when it is closed.
    void pu_subFormShow(const QString& sMsg, const QString& sPath, const QString& sREADME);

    // The build's configuration values.
    static QString webUrl();
    static QString contactEmail();
    static QString authorName();
    // The contact template as designed, before "@URL@" and "@EMAIL@" are replaced.
    static QString contactTemplate();

    platform::VbTextBox* TxtMsg = nullptr;
    platform::VbTextBox* TxtURL = nullptr;
    InfoLinkLabel* LblURL = nullptr;
    InfoLinkLabel* LblInstallPath = nullptr;
    InfoLinkLabel* LblReadMe = nullptr;
    QPushButton* CmdClose = nullptr;

    void LblURL_Click();
    void LblInstallPath_Click();
    void LblReadMe_Click();
    void CmdClose_Click();

private:
    void pr_subSetText();

    QString m_sMsg;
    QString m_sPath;
    QString m_sREADME;
};
