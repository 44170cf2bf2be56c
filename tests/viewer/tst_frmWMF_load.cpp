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
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <sys/stat.h>

#include "acad/basAcadConnect.h"

using viewertest::FakeConnector;

namespace {

// Which file a path names: a picture rewritten in place keeps it.
ino_t inodeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

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

// A refresh keeps the last refresh's layer pictures for the macro to rewrite and, once
// it has run, removes those it did not: LAYER holds this refresh's pictures only.
class RefreshPicturesTest : public ::testing::Test {
protected:
    void SetUp() override { platform::setProgramFolderForTesting(root.path()); }
    void TearDown() override { platform::setProgramFolderForTesting(QString()); }
    QStringList layerFiles() const {
        return QDir(work).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot,
                                    QDir::Name);
    }
    QTemporaryDir root;
    const QString work = root.path() + QStringLiteral("/LAYER");
};

TEST_F(RefreshPicturesTest, OnlyThePicturesRewrittenSinceTheRefreshBeganStay) {
    ASSERT_TRUE(QDir().mkpath(work));
    for (const char* name : {"Walls.wmf", "Gone.wmf", "Doors.wmf", "wall.wmf"})
        writeFile(work + QLatin1Char('/') + QLatin1String(name), "last");
    const ino_t inodeBefore = inodeOf(work + QStringLiteral("/Walls.wmf"));

    WorkFolder::RefreshPictures pictures;
    EXPECT_EQ(pictures.sysPath(), work + QStringLiteral("/SYS"));
    EXPECT_TRUE(QFileInfo(pictures.sysPath()).isDir());
    // Rewritten at once, well within the file system clock's tick of the last write,
    // in place as the host writes; Doors as a new file under its old name; New new.
    writeFile(work + QStringLiteral("/Walls.wmf"), "this");
    ASSERT_TRUE(QFile::remove(work + QStringLiteral("/Doors.wmf")));
    writeFile(work + QStringLiteral("/Doors.wmf"), "this");
    writeFile(work + QStringLiteral("/New.wmf"), "this");
    EXPECT_EQ(pictures.sweep(), 2); // Gone, and wall: a layer's old spelling

    EXPECT_EQ(layerFiles(), (QStringList{"Doors.wmf", "New.wmf", "SYS", "Walls.wmf"}));
    EXPECT_EQ(readFile(work + QStringLiteral("/Walls.wmf")), QStringLiteral("this"));
    EXPECT_EQ(inodeOf(work + QStringLiteral("/Walls.wmf")), inodeBefore);
    // A second sweep finds nothing more to do, and the next refresh starts from these.
    EXPECT_EQ(pictures.sweep(), 0);
    {
        WorkFolder::RefreshPictures next;
        writeFile(work + QStringLiteral("/New.wmf"), "next");
    } // a refresh that failed: what it did not write goes all the same
    EXPECT_EQ(layerFiles(), (QStringList{"New.wmf", "SYS"}));
}

TEST_F(RefreshPicturesTest, NothingButPicturesIsKeptAndLinksAreNeverFollowed) {
    QTemporaryDir elsewhere;
    const QString outside = elsewhere.filePath(QStringLiteral("mine.wmf"));
    writeFile(outside, "mine");
    ASSERT_TRUE(QDir().mkpath(work + QStringLiteral("/SYS")));
    ASSERT_TRUE(QDir().mkpath(work + QStringLiteral("/Folder.wmf")));
    writeFile(work + QStringLiteral("/SYS/all.wmf"), "last overview");
    writeFile(work + QStringLiteral("/notes.txt"), "x");
    writeFile(work + QStringLiteral("/Kept.wmf"), "last");
    ASSERT_TRUE(QFile::link(outside, work + QStringLiteral("/Linked.wmf")));
    ASSERT_TRUE(QFile::link(elsewhere.path(), work + QStringLiteral("/Away")));

    WorkFolder::RefreshPictures pictures;
    // The host would refuse to write through a link; the overviews are made afresh.
    EXPECT_EQ(layerFiles(), (QStringList{"Kept.wmf", "SYS"}));
    EXPECT_TRUE(QDir(pictures.sysPath()).isEmpty());
    writeFile(work + QStringLiteral("/Kept.wmf"), "this");
    EXPECT_EQ(pictures.sweep(), 0);
    EXPECT_EQ(readFile(outside), QStringLiteral("mine"));
    EXPECT_TRUE(QFileInfo::exists(elsewhere.path()));
}

TEST_F(RefreshPicturesTest, AWorkFolderThatIsALinkIsReplacedByAFolderOfItsOwn) {
    QTemporaryDir elsewhere;
    writeFile(elsewhere.filePath(QStringLiteral("keep.wmf")), "mine");
    ASSERT_TRUE(QFile::link(elsewhere.path(), work));
    {
        WorkFolder::RefreshPictures pictures;
        EXPECT_FALSE(QFileInfo(work).isSymLink());
        EXPECT_TRUE(QFileInfo(work).isDir());
        pictures.sweep();
    }
    EXPECT_EQ(readFile(elsewhere.filePath(QStringLiteral("keep.wmf"))), QStringLiteral("mine"));
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
