// Loading and closing the main window: settings, position, the command line, the zoom
// list, and the work folder that closing removes.

#include "viewer/WorkFolder.h"
#include "viewer/frmWMF.h"

#include "ViewerTestSupport.h"
#include "app/basAPIini.h"
#include "platform/ControlGeometry.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

#include "acad/basAcadConnect.h"

using viewertest::FakeConnector;

namespace {

QString readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

void writeFile(const QString& path, const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

class LoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        basAPIini::pu_bIniWrite = false;
        connector = std::make_shared<FakeConnector>();
        acad::setConnector(connector);
        // The CAD "declines" quietly: a refresh that starts is seen in the connector.
        boxes.answers = {platform::vbNo, platform::vbNo};
    }
    void TearDown() override { acad::resetConnector(); }

    QString ini() const { return folder.path() + QStringLiteral("/TARNIX.ini"); }
    int iniValue(const char* key) {
        QString name = ini();
        return basAPIini::GetINI(name, QStringLiteral("WMFPosi"), QString::fromLatin1(key), -1,
                                 true)
            .toInt();
    }

    viewertest::ScratchProgramFolder folder;
    viewertest::MsgBoxRecorder boxes;
    std::shared_ptr<FakeConnector> connector;
};

TEST_F(LoadTest, FirstStartUsesDefaultsAndUnloadWritesThePosition) {
    frmWMF window;
    window.Form_Load(QString());
    EXPECT_TRUE(QFileInfo::exists(ini()));
    EXPECT_EQ(window.state().prsIniFile, ini());
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.Left(), 0);
    EXPECT_EQ(window.Top(), 0);
    EXPECT_EQ(window.Width(), 5820);
    EXPECT_EQ(window.Height(), 8625);
    EXPECT_EQ(connector->attachCalls, 0);

    window.setLeft(1500);
    window.setTop(300);
    window.setWidth(6000);
    window.setHeight(7005);
    window.close();

    EXPECT_EQ(iniValue("left"), 1500);
    EXPECT_EQ(iniValue("top"), 300);
    EXPECT_EQ(iniValue("width"), 6000);
    EXPECT_EQ(iniValue("height"), 7005);
    // Keys in the order left, top, width, height.
    const QString text = readFile(ini());
    EXPECT_LT(text.indexOf(QStringLiteral("left=")), text.indexOf(QStringLiteral("top=")));
    EXPECT_LT(text.indexOf(QStringLiteral("top=")), text.indexOf(QStringLiteral("width=")));
    EXPECT_LT(text.indexOf(QStringLiteral("width=")), text.indexOf(QStringLiteral("height=")));
}

TEST_F(LoadTest, SavedPositionIsRestoredAndTooSmallSizesSpringBack) {
    writeFile(ini(), "[WMFPosi]\r\nleft=450\r\ntop=600\r\nwidth=9000\r\nheight=100\r\n");
    frmWMF window;
    window.Form_Load(QString());
    QCoreApplication::processEvents();
    EXPECT_EQ(window.Left(), 450);
    EXPECT_EQ(window.Top(), 600);
    EXPECT_EQ(window.Width(), 9000);
    EXPECT_EQ(window.Height(), 4380);
}

TEST_F(LoadTest, DamagedSettingsOpenAUsableWindowOnTheScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const struct {
        const char* what;
        const char* content;
    } cases[] = {
        {"sizes of 0", "[WMFPosi]\nleft=0\ntop=0\nwidth=0\nheight=0\n"},
        {"negative sizes", "[WMFPosi]\nleft=0\ntop=0\nwidth=-4000\nheight=-1\n"},
        {"no numbers", "[WMFPosi]\nleft=x\ntop=y\nwidth=wide\nheight=tall\n"},
        {"huge sizes", "[WMFPosi]\nleft=0\ntop=0\nwidth=99999999\nheight=99999999\n"},
        {"far away", "[WMFPosi]\nleft=-99999999\ntop=99999999\nwidth=6000\nheight=7000\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(ini(), c.content);
        frmWMF window;
        window.Form_Load(QString());
        QCoreApplication::processEvents();
        EXPECT_TRUE(window.isVisible());
        EXPECT_GE(window.Width(), frmWMF::kMinWidth);
        EXPECT_GE(window.Height(), frmWMF::kMinHeight);
        EXPECT_LE(window.frameGeometry().width(), std::max(screen.width(), 206));
        EXPECT_LE(window.frameGeometry().height(), std::max(screen.height(), 292));
        EXPECT_TRUE(screen.intersects(window.frameGeometry()));
        window.close();
    }
}

TEST_F(LoadTest, ReadOnlySettingsAreReadButNeverWritten) {
    const QByteArray content = "[WMFPosi]\nleft=300\ntop=450\nwidth=6000\nheight=7500\n";
    writeFile(ini(), content);
    QFile::setPermissions(ini(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    {
        frmWMF window;
        window.Form_Load(QString());
        EXPECT_EQ(window.Left(), 300);
        EXPECT_EQ(window.Top(), 450);
        EXPECT_EQ(window.Width(), 6000);
        EXPECT_EQ(window.Height(), 7500);
        window.setWidth(8000);
        window.close();
    }
    EXPECT_EQ(readFile(ini()).toUtf8(), content);
    QFile::setPermissions(ini(), QFile::ReadOwner | QFile::WriteOwner);
}

TEST_F(LoadTest, UnloadDeletesTheWorkFolderWithEverythingInIt) {
    const QString work = folder.path() + QStringLiteral("/LAYER");
    ASSERT_TRUE(QDir().mkpath(work + QStringLiteral("/SYS")));
    writeFile(work + QStringLiteral("/A.wmf"), "x");
    writeFile(work + QStringLiteral("/SYS/all.wmf"), "y");
    frmWMF window;
    window.Form_Load(QString());
    window.close();
    EXPECT_FALSE(QFileInfo::exists(work));
    // The settings beside it stay.
    EXPECT_TRUE(QFileInfo::exists(ini()));
}

TEST_F(LoadTest, AWorkFolderThatIsALinkIsUnlinkedNeverEmptied) {
    QTemporaryDir elsewhere;
    writeFile(elsewhere.filePath(QStringLiteral("keep.wmf")), "mine");
    const QString work = folder.path() + QStringLiteral("/LAYER");
    ASSERT_TRUE(QFile::link(elsewhere.path(), work));
    frmWMF window;
    window.Form_Load(QString());
    window.close();
    EXPECT_FALSE(QFileInfo(work).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(elsewhere.filePath(QStringLiteral("keep.wmf"))));
}

TEST(WorkFolder, LayerNamesNeverLeadOutOfTheWorkFolder) {
    QTemporaryDir root;
    platform::setProgramFolderForTesting(root.path());
    EXPECT_EQ(WorkFolder::layerPicturePath(QStringLiteral("A-WALL")),
              root.path() + QStringLiteral("/LAYER/A-WALL.wmf"));
    EXPECT_EQ(WorkFolder::layerPicturePath(QStringLiteral("..x")),
              root.path() + QStringLiteral("/LAYER/..x.wmf"));
    for (const QString& name :
         {QString(), QStringLiteral("."), QStringLiteral(".."), QStringLiteral("../../etc/x"),
          QStringLiteral("a/b"), QStringLiteral("a") + QChar(0) + QStringLiteral("b"),
          QString(84, QChar(0x753B))})
        EXPECT_TRUE(WorkFolder::layerPicturePath(name).isEmpty()) << name.toStdString();
    EXPECT_FALSE(WorkFolder::layerPicturePath(QString(83, QChar(0x753B))).isEmpty());
    platform::setProgramFolderForTesting(QString());
}

TEST_F(LoadTest, UnloadWithoutAWorkFolderIsFine) {
    frmWMF window;
    window.Form_Load(QString());
    window.close();
    EXPECT_FALSE(QFileInfo::exists(folder.path() + QStringLiteral("/LAYER")));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(LoadTest, CommandLineNamingAFileStartsARefresh) {
    const QString list = folder.path() + QStringLiteral("/layers list.csv");
    writeFile(list, "A\r\nB\r\n");
    frmWMF window;
    window.Form_Load(list);
    EXPECT_EQ(connector->attachCalls, 1);
    EXPECT_EQ(window.state().prsCsvPath, list);
}

TEST_F(LoadTest, CommandLineNamingNoFileStartsNothing) {
    const QString list = folder.path() + QStringLiteral("/layers.csv");
    writeFile(list, "A\r\n");
    const QString cases[] = {
        folder.path() + QStringLiteral("/missing.csv"),
        QLatin1Char('"') + list + QLatin1Char('"'), // quotes stay part of the name
        folder.path(),                              // a folder is no list file
    };
    for (const QString& command : cases) {
        SCOPED_TRACE(command.toStdString());
        frmWMF window;
        window.Form_Load(command);
        EXPECT_TRUE(window.state().prsCsvPath.isEmpty());
        EXPECT_EQ(connector->attachCalls, 0);
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(LoadTest, ZoomListHoldsFiveToNinetyFiveWithFortySelected) {
    frmWMF window;
    window.Form_Load(QString());
    ASSERT_EQ(window.CboZoom->count(), 19);
    for (int i = 0; i < 19; ++i)
        EXPECT_EQ(window.CboZoom->itemText(i), QString::number(5 * (i + 1)));
    EXPECT_EQ(window.CboZoom->currentIndex(), 7);
    EXPECT_EQ(window.CboZoom->currentText(), QStringLiteral("40"));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
