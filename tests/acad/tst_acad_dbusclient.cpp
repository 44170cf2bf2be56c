// The D-Bus client against a scripted server on a private bus: how replies, variants
// and every kind of failure come back to the viewer. The server runs in its own thread,
// as a separate process would, so that blocking calls can be answered.
#include "ErrorNumber.h"
#include "PrivateSessionBus.h"
#include "acad/AcadDocument.h"
#include "acad/DBusBackend.h"
#include "acad/DBusConnector.h"
#include "automation/CadErrorNumbers.h"
#include "platform/VbError.h"
#include "platform/VbErrorText.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QMutex>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

using korvel::test::errorOf;

class FakeApplication : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "AutoCAD.Application")
    Q_PROPERTY(bool Visible READ visible WRITE setVisible)
    Q_PROPERTY(QString Caption READ caption)
    Q_PROPERTY(QString PeerAddress READ peerAddress)
public:
    bool visible() const { return m_visible; }
    QString peerAddress() const { return peer; }
    QString peer; // empty: the host offers no direct connection
    void setVisible(bool v) { m_visible = v; }
    QString caption() const { return QStringLiteral("CAD Host - [fake.dxf]"); }

public slots:
    QDBusObjectPath ActiveDocument() { return QDBusObjectPath(QStringLiteral("/Documents/1")); }

private:
    bool m_visible = false;
};

class FakeDocument : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "AutoCAD.Document")
    Q_PROPERTY(QString Name READ name)
    Q_PROPERTY(QString FullName READ fullName)
public:
    QString name() const { return QStringLiteral("fake.dxf"); }
    QString fullName() const { return QStringLiteral("/home/user/図面/fake.dxf"); }

    // What arrived, for the test thread to look at.
    QMutex mutex;
    QStringList received;

public slots:
    int LayerCount() { return 2; }
    QString LayerName(int i) {
        if (i < 0 || i > 1) {
            sendErrorReply(QStringLiteral("AutoCAD.Error"),
                           QStringLiteral("80200014: Key not found"));
            return {};
        }
        return i == 0 ? QStringLiteral("0") : QStringLiteral("壁");
    }
    QDBusVariant GetLayerProperty(const QString& layer, const QString& prop) {
        if (layer != QLatin1String("0") && layer != QStringLiteral("壁")) {
            sendErrorReply(QStringLiteral("AutoCAD.Error"),
                           QStringLiteral("80200014: Key not found"));
            return {};
        }
        if (prop == QLatin1String("Color"))
            return QDBusVariant(5);
        if (prop == QLatin1String("LayerOn"))
            return QDBusVariant(false);
        if (prop == QLatin1String("Lineweight"))
            return QDBusVariant(QStringLiteral("heavy")); // a host bug: wrong type
        return QDBusVariant(QStringLiteral("DASHED"));
    }
    void SetLayerProperty(const QString& layer, const QString& prop, const QDBusVariant& v) {
        QMutexLocker lock(&mutex);
        received << layer + QLatin1Char(' ') + prop + QLatin1Char(' ') +
                        QString::fromLatin1(v.variant().typeName()) + QLatin1Char('=') +
                        v.variant().toString();
    }
    QStringList LinetypeNames() { return {QStringLiteral("ByBlock"), QStringLiteral("鎖線")}; }
    void SelectAll(const QString& name, const QList<int>& codes, const QVariantList& values) {
        QMutexLocker lock(&mutex);
        QStringList v;
        for (const QVariant& x : values)
            v << QString::fromLatin1(x.typeName()) + QLatin1Char('=') + x.toString();
        received << QStringLiteral("SelectAll %1 %2 %3")
                        .arg(name)
                        .arg(codes.value(0))
                        .arg(v.join(QLatin1Char(',')));
    }
    int SelectionSetSize(const QString&) { return 7; }
    // A host stuck in a long operation.
    QString GetActiveLayer() {
        QThread::msleep(1500);
        return QStringLiteral("0");
    }
    // A host whose error text lacks the number.
    void Regen(int) { sendErrorReply(QStringLiteral("AutoCAD.Error"), QStringLiteral("broken")); }
    void SetActiveLayer(const QString&) {
        sendErrorReply(QStringLiteral("AutoCAD.Error"),
                       QStringLiteral("80210056: Layer is frozen\nsecond line"));
    }
};

class DBusClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus.isValid()) << bus.errorString().toStdString();
        app.moveToThread(&thread);
        doc.moveToThread(&thread);
        thread.start();
        server = QDBusConnection::connectToBus(bus.address(), QStringLiteral("fake-cad"));
        ASSERT_TRUE(server.isConnected());
        server.registerObject(QStringLiteral("/Application"), &app,
                              QDBusConnection::ExportAllSlots |
                                  QDBusConnection::ExportAllProperties);
        server.registerObject(QStringLiteral("/Documents/1"), &doc,
                              QDBusConnection::ExportAllSlots |
                                  QDBusConnection::ExportAllProperties);
        ASSERT_TRUE(server.registerService(QStringLiteral("Korvel.FakeCad")));
        client = bus.connection();
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-cad"));
        thread.quit();
        thread.wait();
    }

    std::shared_ptr<acad::ApplicationBackend> attach(acad::DBusTimeouts t = {}) {
        acad::DBusConnector connector(client, QStringLiteral("Korvel.FakeCad"));
        connector.setTimeouts(t);
        return connector.attach();
    }

    korvel::test::PrivateSessionBus bus;
    QThread thread;
    FakeApplication app;
    FakeDocument doc;
    QDBusConnection server{QString()};
    QDBusConnection client{QString()};
};

TEST_F(DBusClientTest, PropertiesMethodsAndVariantsComeBackTyped) {
    auto application = attach();
    EXPECT_FALSE(application->visible());
    application->setVisible(true);
    EXPECT_TRUE(application->visible());
    EXPECT_EQ(application->caption(), QStringLiteral("CAD Host - [fake.dxf]"));

    acad::AcadDocument document(application->activeDocument());
    EXPECT_EQ(document.Name(), QStringLiteral("fake.dxf"));
    EXPECT_EQ(document.FullName(), QStringLiteral("/home/user/図面/fake.dxf"));
    acad::AcadLayers layers = document.Layers();
    EXPECT_EQ(layers.Count(), 2);
    acad::AcadLayer wall = layers.Item(1);
    EXPECT_EQ(wall.addressedName(), QStringLiteral("壁"));
    EXPECT_EQ(wall.Color(), 5);
    EXPECT_FALSE(wall.LayerOn());
    EXPECT_EQ(wall.Linetype(), QStringLiteral("DASHED"));
    EXPECT_EQ(errorOf([&] { wall.Lineweight(); }), platform::vberr::TypeMismatch);
    EXPECT_EQ(document.Linetypes().names(), (QStringList{"ByBlock", "鎖線"}));

    // Writes go out as variants of the property's own type.
    wall.setFreeze(true);
    wall.setLinetype(QStringLiteral("鎖線"));
    acad::AcadSelectionSet set(document.backend(), QStringLiteral("cSet"));
    set.Select(acad::acSelectionSetAll, {8}, {QStringLiteral("壁")});
    EXPECT_EQ(set.Count(), 7);
    QMutexLocker lock(&doc.mutex);
    EXPECT_EQ(doc.received, (QStringList{"壁 Freeze bool=true", "壁 Linetype QString=鎖線",
                                         "SelectAll cSet 8 QString=壁"}));
}

TEST_F(DBusClientTest, CadErrorsKeepTheirNumberAndDescription) {
    acad::AcadDocument document(attach()->activeDocument());
    QString description;
    EXPECT_EQ(errorOf([&] { document.Layers().Item(2); }, &description), caderr::KeyNotFound);
    EXPECT_EQ(description, QStringLiteral("Key not found"));
    EXPECT_EQ(errorOf([&] { document.Layers().Item(QStringLiteral("Ghost")).Color(); }),
              caderr::KeyNotFound);
    EXPECT_EQ(errorOf([&] { document.setActiveLayer(document.Layers().Item(QStringLiteral("0"))); },
                      &description),
              caderr::FrozenLayerCurrent);
    EXPECT_EQ(description, QStringLiteral("Layer is frozen\nsecond line"));
    // Malformed error texts and unknown members still arrive as automation errors.
    EXPECT_EQ(errorOf([&] { document.Regen(1); }, &description), acad::dbuserr::ServerFault);
    EXPECT_EQ(description, QStringLiteral("broken"));
    EXPECT_EQ(errorOf([&] { document.SelectionSets().Count(); }), acad::dbuserr::ServerFault);
}

TEST_F(DBusClientTest, AHungHostTimesOutInsteadOfBlockingForever) {
    acad::DBusTimeouts shortWait;
    shortWait.callMs = 300;
    acad::AcadDocument document(attach(shortWait)->activeDocument());
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(errorOf([&] { document.ActiveLayer(); }), acad::dbuserr::RpcCallFailed);
    EXPECT_LT(timer.elapsed(), 10000); // the ordinary timeout would be 15 s
}

TEST_F(DBusClientTest, AVanishedHostIsReportedAndNeverReplaced) {
    auto application = attach();
    acad::AcadDocument document(application->activeDocument());
    EXPECT_EQ(document.Layers().Count(), 2);

    // The host goes away and another process takes the name: the old references stay
    // bound to the process they were made for.
    server = QDBusConnection(QString()); // the last reference: the connection closes
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-cad"));
    QElapsedTimer released;
    released.start();
    while (client.interface()->isServiceRegistered(QStringLiteral("Korvel.FakeCad")).value() &&
           released.elapsed() < 3000)
        QThread::msleep(20);
    QDBusConnection other = QDBusConnection::connectToBus(bus.address(), QStringLiteral("other"));
    ASSERT_TRUE(other.registerService(QStringLiteral("Korvel.FakeCad")));

    QString description;
    EXPECT_EQ(errorOf([&] { document.Layers().Count(); }, &description),
              acad::dbuserr::RpcServerUnavailable);
    EXPECT_EQ(description, QStringLiteral("RPC サーバーを利用できません。"));
    EXPECT_EQ(errorOf([&] { application->caption(); }), acad::dbuserr::RpcServerUnavailable);
    QDBusConnection::disconnectFromBus(QStringLiteral("other"));
}

// A host whose private address cannot be reached is still served through the bus.
TEST_F(DBusClientTest, AnUnreachableDirectAddressFallsBackToTheBus) {
    QTemporaryDir gone;
    app.peer = QStringLiteral("unix:path=") + gone.filePath(QStringLiteral("no-socket"));
    auto application = std::dynamic_pointer_cast<acad::DBusApplicationBackend>(attach());
    ASSERT_TRUE(application);
    EXPECT_FALSE(application->channel().isDirect());
    EXPECT_EQ(application->caption(), QStringLiteral("CAD Host - [fake.dxf]"));
    acad::AcadDocument document(application->activeDocument());
    EXPECT_EQ(document.Layers().Count(), 2);
}

TEST_F(DBusClientTest, ConnectorWithoutAnInstanceOrServiceFileFails) {
    acad::DBusConnector missing(client, QStringLiteral("Korvel.NotInstalled"));
    QString description;
    EXPECT_EQ(errorOf([&] { missing.attach(); }, &description), 429);
    EXPECT_EQ(description, platform::vbErrorText(429));
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(errorOf([&] { missing.create(); }), 429);
    EXPECT_LT(timer.elapsed(), 5000);
}

TEST(DBusErrorMapping, NumbersFromTheBusFailures) {
    const auto number = [](const QString& name, const QString& text) {
        return acad::toAutomationError(QDBusError(QDBusMessage::createError(name, text))).number();
    };
    EXPECT_EQ(number(QStringLiteral("AutoCAD.Error"), QStringLiteral("80200014: Key not found")),
              caderr::KeyNotFound);
    EXPECT_EQ(number(QStringLiteral("AutoCAD.Error"), QStringLiteral("80070057:x")),
              static_cast<qint32>(0x80070057u));
    EXPECT_EQ(number(QStringLiteral("AutoCAD.Error"), QStringLiteral("8021005: short")),
              acad::dbuserr::ServerFault);
    EXPECT_EQ(number(QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"), {}),
              acad::dbuserr::RpcServerUnavailable);
    EXPECT_EQ(number(QStringLiteral("org.freedesktop.DBus.Error.NoReply"), {}),
              acad::dbuserr::RpcCallFailed);
    EXPECT_EQ(number(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"), {}),
              acad::dbuserr::ServerFault);
    // A number the CAD sends in lower case is the same number.
    EXPECT_EQ(number(QStringLiteral("AutoCAD.Error"), QStringLiteral("8021001b: referenced")),
              static_cast<qint32>(0x8021001Bu));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "tst_acad_dbusclient.moc"
