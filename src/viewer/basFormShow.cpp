#include "basFormShow.h"

#include "clsInfo.h"
#include "platform/MsgBox.h"
#include "platform/ProgramFolder.h"
#include "platform/VbError.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QSysInfo>

namespace basFormShow {

QString readmeFileName() {
    return QStringLiteral("Readme") + kProductName + QStringLiteral(".txt");
}

QString pu_sInfoText(const QString& exePath) {
    const QFileInfo exe(exePath);
    const QDateTime built = exe.lastModified();
    if (!exe.isFile() || !built.isValid())
        throw platform::VbError(platform::vberr::FileNotFound,
                                QStringLiteral("ファイルが見つかりません。"));

    const QString crlf = QStringLiteral("\r\n");
    QString version = kVersion;
    version.remove(QLatin1Char('.'));
    // A Linux build states the system it runs on: a Windows version here would be wrong.
    const QString lines[] = {
        QString(),
        QStringLiteral("　【ソフト名称 】") + kProductName,
        QStringLiteral("　【バージョン 】Ver") + kVersion,
        QStringLiteral("　【配　布　名 】") + exe.completeBaseName().toUpper() + version +
            QStringLiteral(".lzh"),
        QStringLiteral("　【作　成　日 】") + built.toString(QStringLiteral("yyyy/MM/dd")),
        QStringLiteral("　【対応　O S　】") + QSysInfo::prettyProductName(),
        QStringLiteral("　【対応AutoCAD】AutoCAD2000-2006"),
        QString(),
        QStringLiteral("AutoCADのオブジェクトを画層単位にプレビュー表示します。"),
    };
    QStringList text;
    for (const QString& line : lines)
        text << line;
    return text.join(crlf);
}

void pu_subInfoShow() {
    const QString exePath = QCoreApplication::applicationFilePath();
    pu_subInfoShow(exePath, QDir(platform::fileLayout().data).filePath(readmeFileName()));
}

void pu_subInfoShow(const QString& exePath, const QString& readmePath) {
    QString sMsg;
    try {
        sMsg = pu_sInfoText(exePath);
    } catch (const std::exception& e) {
        const auto* vb = dynamic_cast<const platform::VbError*>(&e);
        const QString description = vb ? vb->description() : QString::fromLocal8Bit(e.what());
        platform::MsgBox(QStringLiteral("予期せぬエラー\r\n") + description, platform::vbCritical,
                         kInfoTitle);
        return;
    }
    clsInfo form;
    form.pu_subFormShow(sMsg, QFileInfo(exePath).absolutePath(), readmePath);
}

} // namespace basFormShow
