#include "ViewerTestSupport.h"
#include "platform/ControlGeometry.h"
#include "platform/VbTextBox.h"
#include "viewer/DesktopService.h"
#include "viewer/basFormShow.h"
#include "viewer/clsInfo.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPushButton>
#include <QStringDecoder>
#include <QSysInfo>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

struct Recorded {
    QString what;
    QString target;
};

class RecordingDesktop : public DesktopService {
public:
    explicit RecordingDesktop(std::vector<Recorded>* log) : m_log(log) {}
    void openFolder(const QString& f) override { m_log->push_back({QStringLiteral("folder"), f}); }
    void openTextFile(const QString& p) override { m_log->push_back({QStringLiteral("text"), p}); }
    void openUrl(const QString& u) override { m_log->push_back({QStringLiteral("url"), u}); }

private:
    std::vector<Recorded>* m_log;
};

// An executable stand-in with a known name and modification date.
QString makeExe(const QTemporaryDir& dir, const QString& name, const QDateTime& stamp) {
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n");
    f.close();
    EXPECT_TRUE(f.open(QIODevice::ReadWrite));
    EXPECT_TRUE(f.setFileTime(stamp, QFileDevice::FileModificationTime));
    f.close();
    return path;
}

// Runs body while the window is shown modally, then lets the test close it; fails the
// test rather than hanging if the window never opens or never closes.
void whileShown(clsInfo& form, const std::function<void(clsInfo&)>& body, const QString& msg,
                const QString& folder, const QString& readme) {
    bool ran = false;
    QTimer::singleShot(0, &form, [&] {
        ran = true;
        body(form);
        if (form.isVisible())
            form.reject();
    });
    form.pu_subFormShow(msg, folder, readme);
    EXPECT_TRUE(ran);
    EXPECT_FALSE(form.isVisible());
}

class AboutTest : public ::testing::Test {
protected:
    void SetUp() override {
        setDesktopServiceForTesting(std::make_unique<RecordingDesktop>(&calls));
    }
    void TearDown() override { setDesktopServiceForTesting(nullptr); }
    std::vector<Recorded> calls;
};

} // namespace

TEST(AboutText, NineLinesWithPaddedLabelsNameAndDate) {
    QTemporaryDir dir;
    const QDateTime stamp(QDate(2005, 3, 7), QTime(23, 30));
    const QString exe = makeExe(dir, QStringLiteral("tarnix"), stamp);
    const QStringList lines = basFormShow::pu_sInfoText(exe).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 9);
    EXPECT_EQ(lines[0], QString());
    EXPECT_EQ(lines[1], QStringLiteral("　【ソフト名称 】KORVEL"));
    EXPECT_EQ(lines[2], QStringLiteral("　【バージョン 】Ver4.00"));
    EXPECT_EQ(lines[3], QStringLiteral("　【配　布　名 】TARNIX400.lzh"));
    EXPECT_EQ(lines[4],
              QStringLiteral("　【作　成　日 】") + stamp.toString(QStringLiteral("yyyy/MM/dd")));
    EXPECT_EQ(lines[4], QStringLiteral("　【作　成　日 】2005/03/07"));
    EXPECT_EQ(lines[5], QStringLiteral("　【対応　O S　】") + QSysInfo::prettyProductName());
    EXPECT_FALSE(lines[5].contains(QStringLiteral("Windows")));
    EXPECT_EQ(lines[6], QStringLiteral("　【対応AutoCAD】AutoCAD2000-2006"));
    EXPECT_EQ(lines[7], QString());
    EXPECT_EQ(lines[8], QStringLiteral("AutoCADのオブジェクトを画層単位にプレビュー表示します。"));
    EXPECT_FALSE(basFormShow::pu_sInfoText(exe).endsWith(QLatin1Char('\n')));
}

TEST(AboutText, DistributionNameDropsTheExtensionAndDateKeepsLeadingZeros) {
    QTemporaryDir dir;
    const QString exe =
        makeExe(dir, QStringLiteral("Tarnix.exe"), QDateTime(QDate(2026, 11, 1), QTime(0, 5)));
    const QStringList lines = basFormShow::pu_sInfoText(exe).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 9);
    EXPECT_EQ(lines[3], QStringLiteral("　【配　布　名 】TARNIX400.lzh"));
    EXPECT_EQ(lines[4], QStringLiteral("　【作　成　日 】2026/11/01"));
}

TEST(AboutText, MissingExecutableShowsTheErrorBoxAndNoWindow) {
    QTemporaryDir dir;
    viewertest::MsgBoxRecorder boxes;
    bool windowOpened = false;
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [&] {
        if (auto* modal = QApplication::activeModalWidget()) {
            windowOpened = true;
            modal->close();
        }
    });
    guard.start(10);
    EXPECT_THROW(basFormShow::pu_sInfoText(dir.filePath(QStringLiteral("gone"))),
                 platform::VbError);
    basFormShow::pu_subInfoShow(dir.filePath(QStringLiteral("gone")), QString());
    EXPECT_FALSE(windowOpened);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].prompt.startsWith(QStringLiteral("予期せぬエラー\r\n")));
    EXPECT_GT(boxes.boxes[0].prompt.size(), QStringLiteral("予期せぬエラー\r\n").size());
    EXPECT_EQ(boxes.boxes[0].buttons, platform::vbCritical);
    EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("バージョン情報"));
}

TEST_F(AboutTest, WindowCaptionsTooltipsTemplateAndColours) {
    clsInfo form;
    const QString url = clsInfo::webUrl();
    const QString email = clsInfo::contactEmail();
    ASSERT_FALSE(url.isEmpty());
    ASSERT_FALSE(email.isEmpty());
    EXPECT_TRUE(clsInfo::contactTemplate().contains(QStringLiteral("@URL@")));
    whileShown(
        form,
        [&](clsInfo& f) {
            EXPECT_EQ(f.windowTitle(), QStringLiteral("バージョン情報"));
            EXPECT_EQ(f.TxtMsg->Text(), QStringLiteral("\r\nline"));
            const QStringList contact = f.TxtURL->Text().split(QStringLiteral("\r\n"));
            ASSERT_EQ(contact.size(), 4); // three lines, each ending in CR LF
            EXPECT_EQ(contact[0], QString(58, QLatin1Char('-')));
            EXPECT_EQ(contact[1],
                      clsInfo::authorName() + QStringLiteral(" <") + email + QStringLiteral(">"));
            EXPECT_EQ(contact[2], QStringLiteral("WEB-URL <") + url + QStringLiteral(">"));
            EXPECT_EQ(contact[3], QString());
            EXPECT_FALSE(f.TxtURL->Text().contains(QLatin1Char('@') + QStringLiteral("URL")));
            EXPECT_EQ(f.LblURL->text(), url);
            EXPECT_EQ(f.LblURL->toolTip(),
                      QStringLiteral("最新版のダウンロード。（作者のホームページを表示します）"));
            EXPECT_EQ(f.LblInstallPath->text(), QStringLiteral("ソフトのインストール先を表示"));
            EXPECT_EQ(f.LblInstallPath->toolTip(), QStringLiteral("エクスプローラを起動します。"));
            EXPECT_EQ(f.LblReadMe->text(), QStringLiteral("ReadMeを表示"));
            EXPECT_EQ(f.LblReadMe->toolTip(), QStringLiteral("ReadMeファイルを表示します。"));
            EXPECT_EQ(f.CmdClose->text(), QStringLiteral("閉じる"));
            EXPECT_EQ(f.TxtMsg->BackColor(), 0xFFC0C0u);
            EXPECT_EQ(f.TxtURL->BackColor(), 0xFFC0C0u);
            for (InfoLinkLabel* l : {f.LblURL, f.LblInstallPath, f.LblReadMe}) {
                EXPECT_EQ(l->ForeColor(), 0xFF0000u);
                EXPECT_EQ(l->cursor().shape(), Qt::BitmapCursor);
            }
            EXPECT_EQ(platform::ControlGeometry::Left(f.LblReadMe), 3270);
            EXPECT_EQ(platform::ControlGeometry::Top(f.CmdClose), 5205);
        },
        QStringLiteral("\r\nline"), QStringLiteral("/opt/korvel"),
        QStringLiteral("ReadmeKORVEL.txt"));
}

TEST_F(AboutTest, LabelsOfTheInformationTextLineUpInItsFont) {
    clsInfo form;
    const QFontMetrics metrics(form.TxtMsg->editor()->font());
    const int width = metrics.horizontalAdvance(QStringLiteral("　【ソフト名称 】"));
    for (const char* label : {"　【バージョン 】", "　【配　布　名 】", "　【作　成　日 】",
                              "　【対応　O S　】", "　【対応AutoCAD】"})
        EXPECT_EQ(metrics.horizontalAdvance(QString::fromUtf8(label)), width) << label;
}

TEST_F(AboutTest, LinksGoToTheDesktopAsWholePathsAndTurnDarkRed) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("my programs/korvel 4"));
    ASSERT_TRUE(QDir().mkpath(folder));
    clsInfo form;
    whileShown(
        form,
        [&](clsInfo& f) {
            QTest::mouseClick(f.LblReadMe, Qt::LeftButton);
            EXPECT_EQ(f.LblReadMe->ForeColor(), 0x0000C0u);
            EXPECT_EQ(f.LblURL->ForeColor(), 0xFF0000u); // the others stay unvisited
            QTest::mouseClick(f.LblInstallPath, Qt::LeftButton);
            QTest::mouseClick(f.LblURL, Qt::LeftButton);
            QTest::mouseClick(f.LblURL, Qt::LeftButton);
            QTest::mouseClick(f.LblURL, Qt::RightButton); // not a click of the link
            for (InfoLinkLabel* l : {f.LblURL, f.LblInstallPath, f.LblReadMe})
                EXPECT_EQ(l->ForeColor(), 0x0000C0u);
        },
        QStringLiteral("text"), folder, QStringLiteral("ReadmeKORVEL.txt"));
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].what, QStringLiteral("text"));
    EXPECT_EQ(calls[0].target, folder + QStringLiteral("/ReadmeKORVEL.txt"));
    EXPECT_EQ(calls[1].what, QStringLiteral("folder"));
    EXPECT_EQ(calls[1].target, folder);
    for (int i : {2, 3}) {
        EXPECT_EQ(calls[i].what, QStringLiteral("url"));
        EXPECT_EQ(calls[i].target, clsInfo::webUrl());
    }
}

TEST_F(AboutTest, EscapeAndTheCloseButtonCloseTheWindow) {
    clsInfo form;
    whileShown(
        form,
        [](clsInfo& f) {
            ASSERT_TRUE(f.isVisible());
            QTest::keyClick(&f, Qt::Key_Escape);
            EXPECT_FALSE(f.isVisible());
        },
        QString(), QString(), QString());
    clsInfo second;
    whileShown(
        second,
        [](clsInfo& f) {
            QTest::mouseClick(f.CmdClose, Qt::LeftButton);
            EXPECT_FALSE(f.isVisible());
        },
        QString(), QString(), QString());
    EXPECT_TRUE(calls.empty());
}

TEST(AboutReadme, ShipsBesideTheProgramAsUtf8InJapaneseAndEnglish) {
    QFile readme(QDir(QStringLiteral(KORVEL_BIN_DIR)).filePath(basFormShow::readmeFileName()));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly)) << readme.fileName().toStdString();
    const QByteArray bytes = readme.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    EXPECT_FALSE(utf8.hasError());
    EXPECT_EQ(basFormShow::readmeFileName(), QStringLiteral("ReadmeKORVEL.txt"));
    for (const char* topic :
         {"cadhost", "tarnix", "画層リストファイル", "ツールバー", "English", "ソフト情報"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(topic))) << topic;
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
