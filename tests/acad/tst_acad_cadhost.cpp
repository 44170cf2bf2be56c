// The CAD link against the real cadhost, started by D-Bus activation on a private bus.
#include "DxfFixture.h"
#include "ErrorNumber.h"
#include "PrivateSessionBus.h"
#include "acad/AcadApplication.h"
#include "acad/AcadLayers.h"
#include "acad/BusChannel.h"
#include "acad/CallWait.h"
#include "acad/DBusBackend.h"
#include "acad/DBusConnector.h"
#include "acad/StatusWindow.h"
#include "acad/basAcadConnect.h"
#include "acad/basAcadUse.h"
#include "acad/basDWF_Acad.h"
#include "app/frmSplash.h"
#include "automation/AutomationWire.h"
#include "automation/CadErrorNumbers.h"
#include "automation/WireSocket.h"
#include "platform/MsgBox.h"
#include "platform/VbError.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <vector>

namespace {

using korvel::test::errorOf;

const QString kCad = QStringLiteral("AutoCAD.Application");

// Forwards to the D-Bus connector and notes what the user saw while the CAD started.
class WatchingConnector : public acad::Connector {
public:
    explicit WatchingConnector(std::shared_ptr<acad::Connector> inner)
        : m_inner(std::move(inner)) {}
    std::shared_ptr<acad::ApplicationBackend> attach() override { return m_inner->attach(); }
    std::shared_ptr<acad::ApplicationBackend> create() override {
        splashText = frmSplash::isLoaded() ? frmSplash::message() : QString();
        return m_inner->create();
    }
    QString splashText;

private:
    std::shared_ptr<acad::Connector> m_inner;
};

class CadHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus.isValid()) << bus.errorString().toStdString();
        connector = std::make_shared<acad::DBusConnector>(bus.connection());
        acad::setStatusWindow({frmSplash::pu_subShow, frmSplash::Unload});
        platform::setMsgBoxHandler([this](const QString& p, int, const QString&) {
            prompts << p;
            return answer;
        });
    }
    void TearDown() override {
        platform::resetMsgBoxHandler();
        acad::resetConnector();
        acad::resetStatusWindow();
        frmSplash::Unload();
        pu_oAcadApp.reset();
        pu_oAcadDoc.reset();
    }

    // Opens a drawing whose layer order is not alphabetical in a freshly started host.
    std::shared_ptr<acad::DBusDocumentBackend> openPlan() {
        korvel::test::DxfFixture dxf;
        dxf.addLinetype(QStringLiteral("DASHED"), QStringLiteral("Dashed"));
        dxf.addLayer(QStringLiteral("0"));
        korvel::test::DxfFixture::LayerState off;
        off.on = false;
        dxf.addLayer(QStringLiteral("Walls"), 1, off);
        korvel::test::DxfFixture::LayerState frozen;
        frozen.frozen = true;
        frozen.locked = true;
        frozen.linetype = QStringLiteral("DASHED");
        dxf.addLayer(QStringLiteral("Doors"), 3, frozen);
        dxf.addLayer(QStringLiteral("Alpha"), 5);
        for (int i = 0; i < 3; ++i)
            dxf.addLine(QStringLiteral("Walls"), 0, i, 100, i);
        dxf.addCircle(QStringLiteral("Doors"), 10, 10, 2);
        dxf.addText(QStringLiteral("Doors"), 0, 0, 2.5, QStringLiteral("扉"));
        const QString path = dir.filePath(QStringLiteral("plan.dxf"));
        EXPECT_TRUE(dxf.write(path));
        auto app = std::dynamic_pointer_cast<acad::DBusApplicationBackend>(connector->create());
        EXPECT_TRUE(app);
        return std::static_pointer_cast<acad::DBusDocumentBackend>(app->open(path));
    }

    korvel::test::PrivateSessionBus bus;
    QTemporaryDir dir;
    std::shared_ptr<acad::DBusConnector> connector;
    QStringList prompts;
    int answer = platform::vbNo;
};

TEST_F(CadHostTest, AttachFindsOnlyARunningHostAndCreateStartsAHiddenOne) {
    EXPECT_EQ(errorOf([&] { connector->attach(); }), 429);
    EXPECT_EQ(bus.ownerPid(kCad), 0) << "attaching must not start the host";

    acad::AcadApplication created(connector->create());
    EXPECT_NE(bus.ownerPid(kCad), 0);
    EXPECT_FALSE(created.Visible());
    auto doc = created.ActiveDocument();
    EXPECT_EQ(doc->Name(), QStringLiteral("Drawing1.dxf"));
    EXPECT_TRUE(doc->FullName().isEmpty());
    EXPECT_EQ(created.Caption(), QStringLiteral("CAD Host - [Drawing1.dxf]"));

    acad::AcadApplication attached(connector->attach());
    attached.setVisible(true);
    EXPECT_TRUE(created.Visible()) << "both references reach the same host";
}

// The host answers on a private address as well; the references the connector makes
// use it, and documents opened after the client connected are reachable there too.
TEST_F(CadHostTest, CallsGoDirectlyToTheHostAndMatchTheBus) {
    auto app = std::dynamic_pointer_cast<acad::DBusApplicationBackend>(connector->create());
    ASSERT_TRUE(app);
    EXPECT_TRUE(app->channel().isDirect());

    korvel::test::DxfFixture dxf;
    dxf.addLayer(QStringLiteral("0"));
    dxf.addLayer(QStringLiteral("Walls"), 1);
    dxf.addLine(QStringLiteral("Walls"), 0, 0, 10, 0);
    const QString path = dir.filePath(QStringLiteral("direct.dxf"));
    ASSERT_TRUE(dxf.write(path));
    auto doc = std::static_pointer_cast<acad::DBusDocumentBackend>(app->open(path));
    EXPECT_EQ(doc->path(), QStringLiteral("/Documents/2"));
    EXPECT_EQ(doc->layerCount(), 2);
    doc->setLayerProperty(QStringLiteral("walls"), QStringLiteral("Color"), 6);
    EXPECT_EQ(errorOf([&] { doc->getLayerProperty(QStringLiteral("Roof"), "Color"); }),
              caderr::KeyNotFound);

    // The same drawing through the bus sees the change made on the direct connection.
    acad::DBusDocumentBackend viaBus(std::make_shared<acad::BusChannel>(bus.connection(), kCad),
                                     doc->path());
    EXPECT_EQ(viaBus.getLayerProperty(QStringLiteral("Walls"), QStringLiteral("Color")).toInt(), 6);
    EXPECT_EQ(viaBus.layerName(1), QStringLiteral("Walls"));

    // A second reference to the same host shares the one direct connection.
    auto again = std::dynamic_pointer_cast<acad::DBusApplicationBackend>(connector->attach());
    ASSERT_TRUE(again);
    EXPECT_EQ(&again->channel(), &app->channel());
    EXPECT_EQ(again->caption(), QStringLiteral("CAD Host - [direct.dxf]"));
}

// A client that sends nonsense on the private socket loses its own connection; the
// host goes on serving everybody else.
TEST_F(CadHostTest, NonsenseOnThePrivateSocketHarmsNobodyElse) {
    auto app = std::dynamic_pointer_cast<acad::DBusApplicationBackend>(connector->create());
    ASSERT_TRUE(app);
    acad::BusChannel viaBus(bus.connection(), kCad);
    const QString address =
        viaBus
            .call(QStringLiteral("/Application"), QStringLiteral("org.freedesktop.DBus.Properties"),
                  QStringLiteral("Get"),
                  {QStringLiteral("AutoCAD.Application"), QStringLiteral("PeerAddress")}, 5000)
            .value(0)
            .toString();
    ASSERT_TRUE(address.startsWith(QStringLiteral("unix:abstract="))) << address.toStdString();

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    acadwire::WireSocket rogue = acadwire::WireSocket::connect(address);
    ASSERT_TRUE(rogue.isValid());
    QByteArray nonsense(4, '\0');
    nonsense[0] = char(0x05); // a five-byte frame that is no message
    nonsense += "hello";
    ASSERT_TRUE(rogue.writeAll(nonsense, deadline));
    // The host hangs up on it...
    acadwire::FrameReader reader;
    auto result = acadwire::WireSocket::ReadResult::Nothing;
    while (result == acadwire::WireSocket::ReadResult::Nothing && rogue.waitReadable(deadline))
        result = rogue.readAvailable(reader);
    EXPECT_EQ(result, acadwire::WireSocket::ReadResult::Closed);
    // ...and still answers the well-behaved client.
    EXPECT_EQ(app->caption(), QStringLiteral("CAD Host - [Drawing1.dxf]"));
    EXPECT_TRUE(app->channel().isDirect());
}

TEST_F(CadHostTest, AConnectionTheHostLetGoWhileIdleIsTakenAnewAtTheNextSession) {
    auto app = std::dynamic_pointer_cast<acad::DBusApplicationBackend>(connector->create());
    ASSERT_TRUE(app);
    ASSERT_TRUE(app->channel().isDirect());
    const QString address =
        acad::BusChannel(bus.connection(), kCad)
            .call(QStringLiteral("/Application"), QStringLiteral("org.freedesktop.DBus.Properties"),
                  QStringLiteral("Get"),
                  {QStringLiteral("AutoCAD.Application"), QStringLiteral("PeerAddress")}, 5000)
            .value(0)
            .toString();
    // Other clients fill every place the host has: it lets the longest idle one go, ours.
    std::vector<acadwire::WireSocket> others;
    for (int i = 0; i < 40; ++i) {
        others.push_back(acadwire::WireSocket::connect(address));
        QThread::msleep(5);
    }
    QThread::msleep(300);
    auto again = std::dynamic_pointer_cast<acad::DBusApplicationBackend>(connector->attach());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->caption(), QStringLiteral("CAD Host - [Drawing1.dxf]"));
    EXPECT_TRUE(again->channel().isDirect());
}

TEST_F(CadHostTest, ConnectionOutcomesAgainstTheRealHost) {
    auto watching = std::make_shared<WatchingConnector>(connector);
    acad::setConnector(watching);
    bool bCancel = true;
    QString sErrMsg;

    // Not running, No: nothing asked beyond the question, nothing started.
    answer = platform::vbNo;
    EXPECT_TRUE(pu_fun_bGetAcadObject(bCancel, sErrMsg));
    EXPECT_TRUE(bCancel);
    EXPECT_EQ(prompts.size(), 1);
    EXPECT_EQ(bus.ownerPid(kCad), 0);

    // Not running, Yes: started by activation and made visible.
    answer = platform::vbYes;
    EXPECT_TRUE(pu_fun_bGetAcadObject(bCancel, sErrMsg));
    EXPECT_FALSE(bCancel);
    EXPECT_TRUE(sErrMsg.isEmpty());
    EXPECT_EQ(watching->splashText, QStringLiteral("AutoCAD起動中．．．"));
    EXPECT_FALSE(frmSplash::isLoaded());
    ASSERT_TRUE(pu_oAcadApp);
    EXPECT_TRUE(acad::AcadApplication(connector->attach()).Visible());
    pu_subGetAcadDocument();
    EXPECT_EQ(pu_oAcadDoc->Name(), QStringLiteral("Drawing1.dxf"));

    // Running: no question.
    prompts.clear();
    watching->splashText.clear();
    EXPECT_TRUE(pu_fun_bGetAcadObject(bCancel, sErrMsg));
    EXPECT_FALSE(bCancel);
    EXPECT_TRUE(prompts.isEmpty());
    EXPECT_TRUE(watching->splashText.isEmpty());

    // The viewer letting go of its references leaves the host running.
    const qint64 pid = bus.ownerPid(kCad);
    pu_oAcadApp.reset();
    pu_oAcadDoc.reset();
    EXPECT_EQ(bus.ownerPid(kCad), pid);
}

TEST_F(CadHostTest, NoServiceFileMeansTheStartFails) {
    // A bus that knows no service of that name, as a machine without the CAD.
    auto watching = std::make_shared<WatchingConnector>(std::make_shared<acad::DBusConnector>(
        bus.connection(), QStringLiteral("AutoCAD.NotInstalled")));
    acad::setConnector(watching);
    answer = platform::vbYes;
    bool bCancel = false;
    QString sErrMsg;
    EXPECT_FALSE(pu_fun_bGetAcadObject(bCancel, sErrMsg));
    EXPECT_TRUE(bCancel);
    EXPECT_EQ(sErrMsg, QStringLiteral("404 Not Find AutoCAD.Application"));
    EXPECT_EQ(watching->splashText, QStringLiteral("AutoCAD起動中．．．"));
    EXPECT_FALSE(frmSplash::isLoaded());
    EXPECT_FALSE(pu_oAcadApp);
}

TEST_F(CadHostTest, SnapshotPropertiesWritesAndErrorsOverTheBus) {
    auto backend = openPlan();
    ASSERT_TRUE(backend);
    pu_oAcadDoc = std::make_shared<acad::AcadDocument>(backend);
    EXPECT_EQ(pu_oAcadDoc->Name(), QStringLiteral("plan.dxf"));

    pu_subLayerSnapshot();
    ASSERT_EQ(pu_typLayerState.size(), 5u);
    QStringList order;
    for (std::size_t k = 1; k < pu_typLayerState.size(); ++k)
        order << pu_typLayerState[k].sName;
    EXPECT_EQ(order, (QStringList{"0", "Walls", "Doors", "Alpha"}));
    EXPECT_FALSE(pu_typLayerState[2].bLayerOn);
    EXPECT_EQ(pu_typLayerState[2].lnColor, 1);
    EXPECT_TRUE(pu_typLayerState[3].bFreeze);
    EXPECT_TRUE(pu_typLayerState[3].bLock);
    EXPECT_EQ(pu_typLayerState[3].sLineType.toUpper(), QStringLiteral("DASHED"));
    EXPECT_EQ(pu_typLayerState[4].lnColor, 5);

    acad::AcadLayer walls = pu_oAcadDoc->Layers().Item(QStringLiteral("walls"));
    walls.setLayerOn(true);
    walls.setLock(true);
    EXPECT_TRUE(walls.LayerOn());
    EXPECT_TRUE(walls.Lock());
    pu_oAcadDoc->Regen(acad::acAllViewports);

    EXPECT_EQ(errorOf([] { pu_oAcadDoc->Layers().Item(QStringLiteral("Ghost")).LayerOn(); }),
              caderr::KeyNotFound);
    EXPECT_EQ(errorOf([&] { walls.setLinetype(QStringLiteral("NOTLOADED")); }),
              caderr::KeyNotFound);
    EXPECT_EQ(errorOf([] {
                  pu_oAcadDoc->setActiveLayer(pu_oAcadDoc->Layers().Item(QStringLiteral("Doors")));
              }),
              caderr::FrozenLayerCurrent);
    EXPECT_NE(errorOf([] { pu_oAcadDoc->Layers().Item(4); }), 0);

    pu_subLineTypeList();
    ASSERT_GE(pu_sLineTypeArray.size(), 3);
    EXPECT_TRUE(pu_sLineTypeArray[0].isEmpty());
    for (const QString& name : pu_sLineTypeArray.mid(1))
        EXPECT_FALSE(name.compare(QLatin1String("ByLayer"), Qt::CaseInsensitive) == 0 ||
                     name.compare(QLatin1String("ByBlock"), Qt::CaseInsensitive) == 0);
    EXPECT_TRUE(pu_sLineTypeArray.contains(QStringLiteral("DASHED"), Qt::CaseInsensitive));
}

TEST_F(CadHostTest, ObjectCountsOverTheBusLeaveOneCSet) {
    auto backend = openPlan();
    ASSERT_TRUE(backend);
    acad::AcadDocument doc(backend);
    backend->addSelectionSet(QStringLiteral("Mine"));

    EXPECT_EQ(pu_fun_lnObjectCount(doc, QStringList{QString()}), 0);
    EXPECT_EQ(backend->selectionSetCount(), 1);
    EXPECT_EQ(pu_fun_lnObjectCount(doc, QStringLiteral("Walls")), 3);
    EXPECT_EQ(pu_fun_lnObjectCount(doc, QStringList{QString(), "Walls"}), 3);
    EXPECT_EQ(pu_fun_lnObjectCount(doc, QStringList{QString(), "Walls", "Doors"}), 5);
    EXPECT_EQ(backend->selectionSetCount(), 1);
    EXPECT_EQ(backend->selectionSetSize(QStringLiteral("cSet")), 2); // Doors, counted last
}

TEST_F(CadHostTest, AHostKilledDuringTheSessionGivesAnAutomationError) {
    acad::AcadApplication app(connector->create());
    auto doc = app.ActiveDocument();
    EXPECT_EQ(doc->Layers().Count(), 1);
    ASSERT_TRUE(bus.killOwner(kCad));

    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(errorOf([&] { doc->Layers().Count(); }), acad::dbuserr::RpcServerUnavailable);
    EXPECT_EQ(errorOf([&] { app.Caption(); }), acad::dbuserr::RpcServerUnavailable);
    EXPECT_LT(timer.elapsed(), 5000);
    // The dead reference did not start a new host behind the viewer's back.
    EXPECT_EQ(bus.ownerPid(kCad), 0);
}

// Continues a stopped host whatever way the test ends.
class StoppedHost {
public:
    explicit StoppedHost(qint64 pid) : m_pid(pid) { ::kill(pid_t(m_pid), SIGSTOP); }
    ~StoppedHost() { resume(); }
    void resume() {
        if (m_pid > 0)
            ::kill(pid_t(m_pid), SIGCONT);
        m_pid = 0;
    }

private:
    qint64 m_pid;
};

TEST_F(CadHostTest, AStoppedHostIsGivenUpOnAfterTheCallTimeoutAndAskedNoMore) {
    // A short ordinary timeout; loading a project may take a minute, as on a real CAD.
    connector->setTimeouts({2000, 60000, 600000});
    acad::AcadApplication app(connector->create());
    auto doc = app.ActiveDocument();
    ASSERT_EQ(doc->Layers().Count(), 1);
    const qint64 pid = bus.ownerPid(kCad);
    ASSERT_GT(pid, 0);

    int pumped = 0;
    acad::CallWait::Scope wait([&] { ++pumped; });
    StoppedHost stopped(pid);
    QElapsedTimer timer;
    timer.start();
    // The long call is not waited out: the host is stopped, not busy.
    EXPECT_EQ(errorOf([&] { app.LoadDVB(QStringLiteral("/nonexistent/TARNIX.dvb")); }),
              acad::dbuserr::RpcCallFailed);
    const qint64 firstFailure = timer.elapsed();
    EXPECT_GE(firstFailure, 1900);
    EXPECT_LT(firstFailure, 15000);
    // The wait let its owner's pump run all along, not only at the end.
    EXPECT_GT(pumped, 20);
    EXPECT_THROW(app.CheckConnection(), platform::AutomationError);

    // Every further call of the session fails at once with the same error.
    timer.restart();
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(errorOf([&] { doc->Layers().Count(); }), acad::dbuserr::RpcCallFailed);
    EXPECT_LT(timer.elapsed(), 500);

    // Continued, the host answers a new session; the CAD's own errors do not end one.
    stopped.resume();
    acad::AcadApplication again(connector->attach());
    EXPECT_NO_THROW(again.CheckConnection());
    auto doc2 = again.ActiveDocument();
    EXPECT_EQ(errorOf([&] { doc2->Layers().Item(QStringLiteral("nope")).LayerOn(); }),
              caderr::KeyNotFound);
    EXPECT_NO_THROW(again.CheckConnection());
    EXPECT_EQ(doc2->Layers().Count(), 1);
}

TEST_F(CadHostTest, ARoadReusedAfterTheTimeoutsChangedGivesUpOnAStoppedHostAtTheNewOne) {
    // The road is opened with the ordinary timeouts; the session that reuses it runs
    // with a short one, as a refresh after a change of settings does.
    acad::AcadApplication first(connector->create());
    ASSERT_EQ(first.ActiveDocument()->Layers().Count(), 1);
    connector->setTimeouts({2000, 60000, 600000});
    acad::AcadApplication app(connector->attach());
    ASSERT_EQ(app.ActiveDocument()->Layers().Count(), 1);
    const qint64 pid = bus.ownerPid(kCad);
    ASSERT_GT(pid, 0);

    StoppedHost stopped(pid);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(errorOf([&] { app.LoadDVB(QStringLiteral("/nonexistent/TARNIX.dvb")); }),
              acad::dbuserr::RpcCallFailed);
    EXPECT_GE(timer.elapsed(), 1900);
    // Well before the ordinary call timeout the road was opened with.
    EXPECT_LT(timer.elapsed(), qint64(acad::dbustimeout::kCallMs) - 3000);
}

// One viewer session in a process of its own, as a viewer started by the user: attach to
// the running host and read every layer of the active drawing. Prints the milliseconds
// the calls took.
int viewerSession() {
    QElapsedTimer timer;
    timer.start();
    try {
        acad::DBusConnector connector(QDBusConnection::sessionBus());
        acad::AcadApplication app(connector.attach());
        auto doc = app.ActiveDocument();
        acad::AcadLayers layers = doc->Layers();
        int on = 0;
        for (acad::AcadLayer layer : layers)
            on += layer.LayerOn() && !layer.Freeze() && layer.Color() > 0 ? 1 : 0;
        std::printf("%lld %d\n", timer.elapsed(), on);
        return 0;
    } catch (const platform::VbError& e) {
        std::fprintf(stderr, "session failed: %d %s\n", e.number(), qPrintable(e.description()));
        return 1;
    }
}

// The host outlives the viewer: every start of the viewer but the first meets a host
// that served an earlier one, and its calls must be answered as promptly as the first
// viewer's. Each session is a process of its own, as a viewer is.
TEST_F(CadHostTest, EveryViewerSessionAgainstOneHostIsAsQuickAsTheFirst) {
    korvel::test::DxfFixture dxf;
    for (int i = 0; i < 200; ++i) {
        const QString name = QStringLiteral("L%1").arg(i, 3, 10, QLatin1Char('0'));
        dxf.addLayer(name, 1 + i % 255);
        dxf.addLine(name, i, 0, i + 1, 1);
    }
    const QString path = dir.filePath(QStringLiteral("layers.dxf"));
    ASSERT_TRUE(dxf.write(path));
    auto host = std::dynamic_pointer_cast<acad::DBusApplicationBackend>(connector->create());
    ASSERT_TRUE(host);
    host->open(path);
    host.reset(); // the test's own connection to the host is not a viewer's

    for (int session = 1; session <= 3; ++session) {
        SCOPED_TRACE(session);
        QProcess viewer;
        viewer.setProgram(QCoreApplication::applicationFilePath());
        viewer.setArguments({QStringLiteral("--viewer-session")});
        QElapsedTimer timer;
        timer.start();
        viewer.start();
        ASSERT_TRUE(viewer.waitForFinished(60000));
        const qint64 wall = timer.elapsed();
        const QByteArray out = viewer.readAllStandardOutput();
        EXPECT_EQ(viewer.exitCode(), 0) << viewer.readAllStandardError().toStdString();
        std::printf("viewer session %d: calls %s ms, process %lld ms\n", session,
                    out.split(' ').value(0).constData(), wall);
        // 200 layers' worth of calls take milliseconds; a call that waits out its 15 s
        // timeout cannot hide under this bound.
        EXPECT_LT(out.split(' ').value(0).toLongLong(), 5000) << out.toStdString();
        // The 200 layers and layer "0", all on, thawed and coloured.
        EXPECT_EQ(out.split(' ').value(1).trimmed().toInt(), 201) << out.toStdString();
    }
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "--viewer-session") == 0)
        return viewerSession();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
