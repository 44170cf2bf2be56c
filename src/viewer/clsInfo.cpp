#include "clsInfo.h"

#include "DesktopService.h"
#include "platform/ControlGeometry.h"
#include "platform/Twips.h"
#include "platform/VbColor.h"
#include "platform/VbTextBox.h"

#include <QDir>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>

namespace {

// The labels of the information text line up only in a monospaced Japanese face; the
// design's face is rarely installed on Linux, so the usual free ones follow it.
QFont infoFont() {
    QFont font(QStringLiteral("ＭＳ ゴシック"), 9);
    font.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"),
                      QStringLiteral("IPAゴシック"), QStringLiteral("Noto Sans Mono CJK JP"),
                      QStringLiteral("VL Gothic"), QStringLiteral("TakaoGothic")});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

// A pointing hand in blue and white, drawn here rather than shipped as a file.
QCursor linkCursor() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath hand;
    hand.addRoundedRect(QRectF(9, 2, 5, 14), 2.5, 2.5); // the finger
    hand.addRoundedRect(QRectF(7, 12, 16, 13), 4, 4);   // the palm
    hand.addRoundedRect(QRectF(3, 13, 6, 8), 3, 3);     // the thumb
    p.setPen(QPen(QColor(0, 0, 128), 1.2));
    p.setBrush(QColor(255, 255, 255));
    p.drawPath(hand.simplified());
    p.setPen(QPen(QColor(0, 0, 255), 1));
    p.drawLine(QPointF(15, 16), QPointF(15, 22));
    p.drawLine(QPointF(19, 16), QPointF(19, 22));
    p.end();
    return QCursor(pixmap, 11, 2);
}

void applyFore(QWidget* widget, quint32 vbColor) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, platform::vbColor(vbColor));
    widget->setPalette(palette);
}

} // namespace

InfoLinkLabel::InfoLinkLabel(QWidget* parent) : QLabel(parent) {
    setForeColor(clsInfo::kLinkColor);
}

void InfoLinkLabel::setForeColor(quint32 vbColor) {
    m_foreColor = vbColor;
    applyFore(this, vbColor);
}

void InfoLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit Click();
}

clsInfo::clsInfo(QWidget* parent) : QDialog(parent) {
    using platform::ControlGeometry;
    setObjectName(QStringLiteral("clsInfo"));
    setWindowTitle(QStringLiteral("バージョン情報"));
    setFixedSize(platform::twipsToPixels(5760), platform::twipsToPixels(5715));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    TxtMsg = new platform::VbTextBox(true, this);
    TxtMsg->setObjectName(QStringLiteral("TxtMsg"));
    TxtMsg->setBackColor(kBackColor);
    TxtMsg->setLocked(true);
    TxtMsg->editor()->setFont(infoFont());
    ControlGeometry::Move(TxtMsg, 120, 120, 5505, 4065);

    // Lies over the lower part of TxtMsg, in the same colour, so the two read as one.
    TxtURL = new platform::VbTextBox(true, this);
    TxtURL->setObjectName(QStringLiteral("TxtURL"));
    TxtURL->setBackColor(kBackColor);
    TxtURL->setForeColor(kTemplateColor);
    TxtURL->setBorderStyle(0);
    TxtURL->setLocked(true);
    TxtURL->editor()->setFont(infoFont());
    TxtURL->setText(contactTemplate());
    ControlGeometry::Move(TxtURL, 165, 3360, 5415, 780);

    const QCursor cursor = linkCursor();
    auto makeLink = [&](const char* name, double left, double top, double width, double height) {
        auto* label = new InfoLinkLabel(this);
        label->setObjectName(QString::fromLatin1(name));
        label->setCursor(cursor);
        ControlGeometry::Move(label, left, top, width, height);
        return label;
    };
    LblURL = makeLink("LblURL", 480, 4395, 4605, 285);
    LblURL->setToolTip(QStringLiteral("最新版のダウンロード。（作者のホームページを表示します）"));
    LblInstallPath = makeLink("LblInstallPath", 480, 4755, 2760, 285);
    LblInstallPath->setText(QStringLiteral("ソフトのインストール先を表示"));
    LblInstallPath->setToolTip(QStringLiteral("エクスプローラを起動します。"));
    LblReadMe = makeLink("LblReadMe", 3270, 4755, 1815, 285);
    LblReadMe->setText(QStringLiteral("ReadMeを表示"));
    LblReadMe->setToolTip(QStringLiteral("ReadMeファイルを表示します。"));

    CmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    CmdClose->setObjectName(QStringLiteral("CmdClose"));
    CmdClose->setAutoDefault(false);
    ControlGeometry::Move(CmdClose, 4395, 5205, 1185, 375);

    connect(LblURL, &InfoLinkLabel::Click, this, &clsInfo::LblURL_Click);
    connect(LblInstallPath, &InfoLinkLabel::Click, this, &clsInfo::LblInstallPath_Click);
    connect(LblReadMe, &InfoLinkLabel::Click, this, &clsInfo::LblReadMe_Click);
    connect(CmdClose, &QPushButton::clicked, this, &clsInfo::CmdClose_Click);
}

QString clsInfo::webUrl() {
    return QStringLiteral(KORVEL_WEB_URL);
}

QString clsInfo::contactEmail() {
    return QStringLiteral(KORVEL_CONTACT_EMAIL);
}

QString clsInfo::authorName() {
    return QStringLiteral(KORVEL_AUTHOR);
}

QString clsInfo::contactTemplate() {
    const QString crlf = QStringLiteral("\r\n");
    return QString(58, QLatin1Char('-')) + crlf + authorName() + QStringLiteral(" <@EMAIL@>") +
           crlf + QStringLiteral("WEB-URL <@URL@>") + crlf;
}

void clsInfo::pu_subFormShow(const QString& sMsg, const QString& sPath, const QString& sREADME) {
    m_sMsg = sMsg;
    m_sPath = sPath;
    m_sREADME = sREADME;
    pr_subSetText();
    exec();
}

void clsInfo::pr_subSetText() {
    QString contact = TxtURL->Text();
    contact.replace(QStringLiteral("@URL@"), webUrl());
    LblURL->setText(webUrl());
    contact.replace(QStringLiteral("@EMAIL@"), contactEmail());
    TxtURL->setText(contact);
    TxtMsg->setText(m_sMsg);
}

void clsInfo::LblURL_Click() {
    desktopService().openUrl(LblURL->text());
    LblURL->setForeColor(kVisitedColor);
}

void clsInfo::LblInstallPath_Click() {
    desktopService().openFolder(m_sPath);
    LblInstallPath->setForeColor(kVisitedColor);
}

void clsInfo::LblReadMe_Click() {
    // One whole path, however many blanks the folder's name holds.
    desktopService().openTextFile(QDir(m_sPath).filePath(m_sREADME));
    LblReadMe->setForeColor(kVisitedColor);
}

void clsInfo::CmdClose_Click() {
    reject();
}
