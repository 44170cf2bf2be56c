// The real cadhost on a private bus, started by activation, driven as the viewer and a
// user with gdbus drive it.
#include "DxfFixture.h"
#include "PrivateSessionBus.h"

#include <QCoreApplication>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class CadhostBusTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(bus.isValid()) << bus.errorString().toStdString(); }

    QDBusInterface app() {
        return QDBusInterface(QStringLiteral("AutoCAD.Application"), QStringLiteral("/Application"),
                              QStringLiteral("AutoCAD.Application"), bus.connection());
    }
    QDBusInterface document(const QString& path) {
        return QDBusInterface(QStringLiteral("AutoCAD.Application"), path,
                              QStringLiteral("AutoCAD.Document"), bus.connection());
    }
    QString activeDocument() {
        QDBusInterface a = app();
        const QDBusReply<QDBusObjectPath> reply = a.call(QStringLiteral("ActiveDocument"));
        EXPECT_TRUE(reply.isValid()) << reply.error().message().toStdString();
        return reply.value().path();
    }

    korvel::test::PrivateSessionBus bus;
};

} // namespace

TEST_F(CadhostBusTest, ActivationStartsAHiddenHostWithANewDrawing) {
    EXPECT_EQ(bus.ownerPid(QStringLiteral("AutoCAD.Application")), 0);
    // The first call starts the host: the bus activates it from the build's service file.
    const QString path = activeDocument();
    EXPECT_EQ(path, QStringLiteral("/Documents/1"));
    EXPECT_NE(bus.ownerPid(QStringLiteral("AutoCAD.Application")), 0);

    QDBusInterface a = app();
    EXPECT_EQ(a.property("Visible"), QVariant(false));
    EXPECT_EQ(a.property("Caption").toString(), QStringLiteral("CAD Host - [Drawing1.dxf]"));
    EXPECT_TRUE(a.setProperty("Visible", true));
    EXPECT_EQ(a.property("Visible"), QVariant(true));

    QDBusInterface doc = document(path);
    EXPECT_EQ(doc.property("Name").toString(), QStringLiteral("Drawing1.dxf"));
    EXPECT_EQ(doc.property("FullName").toString(), QString());
    const QDBusReply<int> count = doc.call(QStringLiteral("LayerCount"));
    EXPECT_EQ(count.value(), 1);

    // Introspection names every interface once.
    for (const QString& object : {QStringLiteral("/Application"), path}) {
        const QDBusReply<QString> xml = bus.connection().call(QDBusMessage::createMethodCall(
            QStringLiteral("AutoCAD.Application"), object,
            QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect")));
        EXPECT_EQ(xml.value().count(
                      QStringLiteral("<interface name=\"org.freedesktop.DBus.Properties\">")),
                  1)
            << xml.value().toStdString();
    }
}

TEST_F(CadhostBusTest, LayerCallsAndErrorNumbers) {
    QTemporaryDir dir;
    korvel::test::DxfFixture dxf;
    dxf.addLinetype(QStringLiteral("DASHED"));
    dxf.addLayer(QStringLiteral("WALL"), 1);
    korvel::test::DxfFixture::LayerState frozen;
    frozen.frozen = true;
    dxf.addLayer(QStringLiteral("GRID"), 8, frozen);
    dxf.addLayer(QStringLiteral("居間"), 3);
    dxf.addLine(QStringLiteral("WALL"), 0, 0, 10, 0);
    dxf.addLine(QStringLiteral("wall"), 0, 0, 0, 10);
    dxf.addText(QStringLiteral("居間"), 1, 1, 1, QStringLiteral("居間"));
    const QString file = dir.filePath(QStringLiteral("plan.dxf"));
    ASSERT_TRUE(dxf.write(file));

    QDBusInterface a = app();
    const QDBusReply<QDBusObjectPath> opened = a.call(QStringLiteral("Open"), file);
    ASSERT_TRUE(opened.isValid()) << opened.error().message().toStdString();
    EXPECT_EQ(opened.value().path(), activeDocument());
    EXPECT_EQ(a.property("Caption").toString(), QStringLiteral("CAD Host - [plan.dxf]"));

    QDBusInterface doc = document(opened.value().path());
    EXPECT_EQ(doc.property("FullName").toString(), file);
    QStringList names;
    const int n = QDBusReply<int>(doc.call(QStringLiteral("LayerCount"))).value();
    for (int i = 0; i < n; ++i)
        names << QDBusReply<QString>(doc.call(QStringLiteral("LayerName"), i)).value();
    EXPECT_EQ(names, QStringList({QStringLiteral("0"), QStringLiteral("WALL"),
                                  QStringLiteral("GRID"), QStringLiteral("居間")}));

    const QDBusReply<QDBusVariant> color = doc.call(
        QStringLiteral("GetLayerProperty"), QStringLiteral("wall"), QStringLiteral("Color"));
    EXPECT_EQ(color.value().variant(), QVariant(1));
    QDBusMessage r = doc.call(QStringLiteral("SetLayerProperty"), QStringLiteral("WALL"),
                              QStringLiteral("LayerOn"), QVariant::fromValue(QDBusVariant(false)));
    EXPECT_EQ(r.type(), QDBusMessage::ReplyMessage) << r.errorMessage().toStdString();
    const QDBusReply<QDBusVariant> on = doc.call(QStringLiteral("GetLayerProperty"),
                                                 QStringLiteral("WALL"), QStringLiteral("LayerOn"));
    EXPECT_EQ(on.value().variant(), QVariant(false));

    r = doc.call(QStringLiteral("GetLayerProperty"), QStringLiteral("NOPE"),
                 QStringLiteral("Color"));
    EXPECT_EQ(r.errorName(), QStringLiteral("AutoCAD.Error"));
    EXPECT_EQ(r.errorMessage(), QStringLiteral("80200014: Key not found"));
    r = doc.call(QStringLiteral("SetActiveLayer"), QStringLiteral("grid"));
    EXPECT_TRUE(r.errorMessage().startsWith(QStringLiteral("80210056: ")))
        << r.errorMessage().toStdString();
    r = doc.call(QStringLiteral("SetLayerProperty"), QStringLiteral("WALL"),
                 QStringLiteral("Linetype"),
                 QVariant::fromValue(QDBusVariant(QStringLiteral("CENTER"))));
    EXPECT_EQ(r.errorMessage(), QStringLiteral("80200014: Key not found"));

    // The object count as the viewer makes it: clear every set, add cSet, select by name.
    doc.call(QStringLiteral("AddSelectionSet"), QStringLiteral("old"));
    const int sets = QDBusReply<int>(doc.call(QStringLiteral("SelectionSetCount"))).value();
    for (int i = 0; i < sets; ++i)
        doc.call(QStringLiteral("DeleteSelectionSet"), 0);
    doc.call(QStringLiteral("AddSelectionSet"), QStringLiteral("cSet"));
    doc.call(QStringLiteral("ClearSelectionSet"), QStringLiteral("cSet"));
    r = doc.call(QStringLiteral("SelectAll"), QStringLiteral("cSet"),
                 QVariant::fromValue(QList<int>{8}),
                 QVariantList{QVariant::fromValue(QDBusVariant(QStringLiteral("Wall")))});
    EXPECT_EQ(r.type(), QDBusMessage::ReplyMessage) << r.errorMessage().toStdString();
    EXPECT_EQ(QDBusReply<int>(doc.call(QStringLiteral("SelectionSetSize"), QStringLiteral("cSet")))
                  .value(),
              2);
    EXPECT_EQ(QDBusReply<int>(doc.call(QStringLiteral("SelectionSetCount"))).value(), 1);

    const QDBusReply<QStringList> linetypes = doc.call(QStringLiteral("LinetypeNames"));
    EXPECT_TRUE(linetypes.value().contains(QStringLiteral("DASHED")));
    EXPECT_TRUE(linetypes.value().contains(QStringLiteral("ByLayer")));

    // Opening a damaged file answers the error and keeps the active drawing.
    const QString bad = dir.filePath(QStringLiteral("bad.dxf"));
    QFile bf(bad);
    ASSERT_TRUE(bf.open(QIODevice::WriteOnly));
    bf.write("0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n");
    bf.close();
    r = a.call(QStringLiteral("Open"), bad);
    EXPECT_TRUE(r.errorMessage().startsWith(QStringLiteral("80004005: cannot open bad.dxf: line ")))
        << r.errorMessage().toStdString();
    EXPECT_EQ(activeDocument(), opened.value().path());

    // Save as, then the saved file opens in a second host the same way.
    const QString copy = dir.filePath(QStringLiteral("copy.dxf"));
    r = doc.call(QStringLiteral("SaveAs"), copy);
    EXPECT_EQ(r.type(), QDBusMessage::ReplyMessage) << r.errorMessage().toStdString();
    EXPECT_EQ(doc.property("Name").toString(), QStringLiteral("copy.dxf"));
    EXPECT_TRUE(QFile::exists(copy));
    // A link put in the drawing's place: the client learns why the save was refused.
    QFile::remove(copy);
    ASSERT_TRUE(QFile::link(file, copy));
    r = doc.call(QStringLiteral("Save"));
    EXPECT_EQ(r.errorMessage(),
              QStringLiteral("80004005: cannot save copy.dxf: the path is a symbolic link"));
}

TEST_F(CadhostBusTest, GdbusOpenWorksAsTheReadmeShowsIt) {
    QTemporaryDir dir;
    korvel::test::DxfFixture dxf;
    dxf.addLayer(QStringLiteral("A"), 2);
    const QString file = dir.filePath(QStringLiteral("g.dxf"));
    ASSERT_TRUE(dxf.write(file));
    QProcess gdbus;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    gdbus.setProcessEnvironment(env);
    gdbus.start(QStringLiteral("gdbus"),
                {QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"),
                 QStringLiteral("AutoCAD.Application"), QStringLiteral("--object-path"),
                 QStringLiteral("/Application"), QStringLiteral("--method"),
                 QStringLiteral("AutoCAD.Application.Open"), file});
    ASSERT_TRUE(gdbus.waitForFinished(30000));
    EXPECT_EQ(gdbus.exitCode(), 0) << gdbus.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(gdbus.readAllStandardOutput()).trimmed(),
              QStringLiteral("(objectpath '/Documents/2',)"));
    EXPECT_EQ(app().property("Caption").toString(), QStringLiteral("CAD Host - [g.dxf]"));
}

TEST_F(CadhostBusTest, AKilledHostLeavesTheNameFree) {
    activeDocument();
    ASSERT_TRUE(bus.killOwner(QStringLiteral("AutoCAD.Application")));
    EXPECT_EQ(bus.ownerPid(QStringLiteral("AutoCAD.Application")), 0);
    // The next call activates a fresh host, again with Drawing1.dxf.
    QDBusInterface doc = document(activeDocument());
    EXPECT_EQ(doc.property("Name").toString(), QStringLiteral("Drawing1.dxf"));
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

TEST_F(CadhostBusTest, PropertiesOfTheWrongTypeAreRefusedAsTheSocketRefusesThem) {
    activeDocument(); // starts the host
    auto set = [&](const QString& path, const QString& interface, const QString& name,
                   const QVariant& value) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("AutoCAD.Application"), path,
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"));
        call << interface << name << QVariant::fromValue(QDBusVariant(value));
        return bus.connection().call(call);
    };
    auto visible = [&] {
        QDBusInterface a = app();
        return a.property("Visible");
    };
    const QString application = QStringLiteral("AutoCAD.Application");
    ASSERT_EQ(visible(), QVariant(false));
    for (const QVariant& wrong : {QVariant(QStringLiteral("yes")), QVariant(QStringLiteral("true")),
                                  QVariant(1), QVariant(1.0)}) {
        const QDBusMessage reply =
            set(QStringLiteral("/Application"), application, QStringLiteral("Visible"), wrong);
        ASSERT_EQ(reply.type(), QDBusMessage::ErrorMessage) << wrong.toString().toStdString();
        EXPECT_EQ(reply.errorName(), QStringLiteral("AutoCAD.Error"));
        EXPECT_TRUE(reply.errorMessage().startsWith(QStringLiteral("80020005:")))
            << reply.errorMessage().toStdString();
        EXPECT_EQ(visible(), QVariant(false));
    }
    // The right type still works, through the same road, and reads back.
    const QDBusMessage ok =
        set(QStringLiteral("/Application"), application, QStringLiteral("Visible"), true);
    EXPECT_EQ(ok.type(), QDBusMessage::ReplyMessage) << ok.errorMessage().toStdString();
    EXPECT_EQ(visible(), QVariant(true));
    // A property that cannot be written, or does not exist, is the CAD's error too.
    const QDBusMessage readOnly = set(QStringLiteral("/Application"), application,
                                      QStringLiteral("Caption"), QStringLiteral("x"));
    EXPECT_EQ(readOnly.errorName(), QStringLiteral("AutoCAD.Error"));
    // Reading every property at once answers what reading them one by one answers.
    QDBusMessage getAll = QDBusMessage::createMethodCall(
        QStringLiteral("AutoCAD.Application"), QStringLiteral("/Application"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
    getAll << application;
    const QDBusMessage all = bus.connection().call(getAll);
    ASSERT_EQ(all.type(), QDBusMessage::ReplyMessage) << all.errorMessage().toStdString();
    const QVariantMap map = qdbus_cast<QVariantMap>(all.arguments().value(0));
    EXPECT_EQ(map.value(QStringLiteral("Visible")), QVariant(true));
    QDBusInterface a = app();
    EXPECT_EQ(map.value(QStringLiteral("Caption")), a.property("Caption"));
}
