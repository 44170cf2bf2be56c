// The macro project through the real cadhost on a private bus, as the viewer drives it:
// Open, LoadDVB (twice), the four RunMacro calls, and the errors a client sees.

#include "DxfFixture.h"
#include "PrivateSessionBus.h"
#include "metafile/MetafilePicture.h"

#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kService = QStringLiteral("AutoCAD.Application");

class MacrosOverDBusTest : public ::testing::Test {
protected:
    korvel::test::PrivateSessionBus bus;
    QTemporaryDir dir;
    QString folder; // F: where the project file lies and the pictures go

    void SetUp() override {
        ASSERT_TRUE(bus.isValid()) << bus.errorString().toStdString();
        folder = dir.filePath("F");
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(QFile::copy(QStringLiteral(KORVEL_SOURCE_DIR "/src/acad/TARNIX.dvb"),
                                folder + "/TARNIX.dvb"));
    }

    QDBusMessage call(const QString& method, const QVariantList& args = {}) {
        QDBusInterface app(kService, "/Application", kService, bus.connection());
        app.setTimeout(60000);
        return app.callWithArgumentList(QDBus::Block, method, args);
    }
    QDBusMessage callDocument(const QString& path, const QString& method,
                              const QVariantList& args = {}) {
        QDBusInterface doc(kService, path, "AutoCAD.Document", bus.connection());
        return doc.callWithArgumentList(QDBus::Block, method, args);
    }

    QStringList files() const {
        QStringList result;
        QDirIterator it(folder + "/LAYER", QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            result << QDir(folder + "/LAYER").relativeFilePath(it.next());
        result.sort();
        return result;
    }
};

void expectOk(const QDBusMessage& reply, const char* what) {
    EXPECT_NE(reply.type(), QDBusMessage::ErrorMessage)
        << what << ": " << reply.errorMessage().toStdString();
}

} // namespace

TEST_F(MacrosOverDBusTest, TheFourMacrosWriteThePicturesTheViewerReads) {
    korvel::test::DxfFixture dxf;
    dxf.addLayer("0", 7);
    dxf.addLayer("WALL", 1);
    korvel::test::DxfFixture::LayerState off;
    off.on = false;
    dxf.addLayer("DOOR", 3, off);
    korvel::test::DxfFixture::LayerState frozen;
    frozen.frozen = true;
    dxf.addLayer("FROZEN", 5, frozen);
    dxf.addLayer("文字", 2);
    dxf.addLine("WALL", 0, 0, 100, 0);
    dxf.addLine("WALL", 100, 0, 100, 60);
    dxf.addLine("DOOR", 200, 100, 260, 140);
    dxf.addCircle("FROZEN", -30, -20, 10);
    dxf.addText("文字", 10, 30, 5, QStringLiteral("日本語の画層"));
    const QString drawingPath = dir.filePath("plan.dxf");
    ASSERT_TRUE(dxf.write(drawingPath));

    const QDBusMessage opened = call("Open", {drawingPath});
    ASSERT_NE(opened.type(), QDBusMessage::ErrorMessage) << opened.errorMessage().toStdString();
    const QString document = opened.arguments().value(0).value<QDBusObjectPath>().path();

    // The viewer loads the project at every refresh: a second load must succeed.
    expectOk(call("LoadDVB", {folder + "/TARNIX.dvb"}), "LoadDVB");
    expectOk(call("LoadDVB", {folder + "/TARNIX.dvb"}), "LoadDVB again");

    expectOk(call("RunMacro", {"TARNIX.basWMF.pu_subMakeWMF_All"}), "All");
    expectOk(call("RunMacro", {"TARNIX.basWMF.pu_subMakeWMF_Part"}), "Part");
    expectOk(call("RunMacro", {"TARNIX.basWMF.pu_subMakeWMF_ViewLayer"}), "ViewLayer");
    EXPECT_EQ(files(), (QStringList{"0.wmf", "FROZEN.wmf", "SYS/all.wmf", "SYS/part.wmf",
                                    "WALL.wmf", "文字.wmf"}));
    // The viewer turns every layer on before the all-layers pictures.
    expectOk(callDocument(document, "SetLayerProperty",
                          {"DOOR", "LayerOn", QVariant::fromValue(QDBusVariant(true))}),
             "DOOR on");
    expectOk(call("RunMacro", {"TARNIX.basWMF.pu_subMakeWMF_AllLayer"}), "AllLayer");
    EXPECT_EQ(files(), (QStringList{"0.wmf", "DOOR.wmf", "FROZEN.wmf", "SYS/all.wmf",
                                    "SYS/part.wmf", "WALL.wmf", "文字.wmf"}));

    QByteArray header;
    for (const QString& file : files()) {
        QFile f(folder + "/LAYER/" + file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray h = f.read(16);
        if (header.isEmpty())
            header = h;
        EXPECT_EQ(h, header) << file.toStdString(); // one window for every picture
        EXPECT_TRUE(metafile::MetafilePicture::load(f.fileName())) << file.toStdString();
    }
    const auto text = metafile::MetafilePicture::load(folder + "/LAYER/文字.wmf");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->texts(), QStringList{"日本語の画層"});
    // WALL's lines run along the bottom and right of its own extent, and that extent
    // lies left of DOOR's: its picture ends well left of the frame's right side.
    const auto wall = metafile::MetafilePicture::load(folder + "/LAYER/WALL.wmf");
    const auto door = metafile::MetafilePicture::load(folder + "/LAYER/DOOR.wmf");
    ASSERT_TRUE(wall && door);
    EXPECT_LT(wall->drawnBounds().right(), door->drawnBounds().left());
}

TEST_F(MacrosOverDBusTest, FailuresReachTheClientAsAutomationErrors) {
    const QDBusMessage missing = call("LoadDVB", {folder + "/NONE.dvb"});
    ASSERT_EQ(missing.type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(missing.errorName(), "AutoCAD.Error");
    EXPECT_TRUE(missing.errorMessage().startsWith("80070002:"))
        << missing.errorMessage().toStdString();

    QFile broken(folder + "/BROKEN.dvb");
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("basWMF = {\n");
    broken.close();
    const QDBusMessage syntax = call("LoadDVB", {broken.fileName()});
    ASSERT_EQ(syntax.type(), QDBusMessage::ErrorMessage);
    EXPECT_TRUE(syntax.errorMessage().startsWith("80004005:"))
        << syntax.errorMessage().toStdString();
    EXPECT_TRUE(syntax.errorMessage().contains("BROKEN.dvb:"))
        << syntax.errorMessage().toStdString();

    expectOk(call("LoadDVB", {folder + "/TARNIX.dvb"}), "LoadDVB");
    const QDBusMessage unknown = call("RunMacro", {"TARNIX.basWMF.pu_subNoSuchMacro"});
    ASSERT_EQ(unknown.type(), QDBusMessage::ErrorMessage);
    EXPECT_TRUE(unknown.errorMessage().startsWith("80020006:"))
        << unknown.errorMessage().toStdString();

    // The host stays up and usable after every failure.
    expectOk(call("RunMacro", {"TARNIX.basWMF.pu_subMakeWMF_All"}), "All after errors");
    EXPECT_TRUE(QFile::exists(folder + "/LAYER/SYS/all.wmf"));
}

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
