// The four outcomes of connecting to the CAD, with the message-box double answering and
// an in-process CAD standing in for the running or started one.
#include "InProcessBackend.h"
#include "acad/StatusWindow.h"
#include "acad/basAcadConnect.h"
#include "app/frmSplash.h"
#include "platform/MsgBox.h"
#include "platform/VbError.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace {

const QString kQuestion = QStringLiteral("AutoCADが起動されていません。\r起動して宜しいですか？");

struct Box {
    QString prompt;
    int buttons;
    QString title;
};

class ConnectTest : public ::testing::Test {
protected:
    void SetUp() override {
        connector = std::make_shared<acad::inprocess::Connector>();
        acad::setConnector(connector);
        acad::setStatusWindow({frmSplash::pu_subShow, frmSplash::Unload});
        platform::setMsgBoxHandler([this](const QString& p, int b, const QString& t) {
            boxes.push_back({p, b, t});
            splashDuringBox = frmSplash::isLoaded();
            return answer;
        });
        connector->setOnCreate([this] {
            splashDuringCreate = frmSplash::isLoaded();
            splashText = frmSplash::message();
        });
        pu_oAcadApp.reset();
        pu_oAcadDoc.reset();
    }
    void TearDown() override {
        platform::resetMsgBoxHandler();
        acad::resetConnector();
        acad::resetStatusWindow();
        frmSplash::Unload();
        pu_oAcadApp.reset();
        pu_oAcadDoc.reset();
    }

    std::shared_ptr<acad::inprocess::Connector> connector;
    std::vector<Box> boxes;
    int answer = platform::vbNo;
    bool splashDuringBox = false;
    bool splashDuringCreate = false;
    QString splashText;
    // Output arguments start with the values a previous refresh might have left.
    bool bCancel = true;
    QString sErrMsg = QStringLiteral("left over");
};

TEST_F(ConnectTest, RunningCadIsTakenWithoutQuestionOrStatusWindow) {
    cadhost::CadApplication running;
    running.add();
    connector->setRunning(&running);

    EXPECT_TRUE(pu_fun_bGetAcadObject(bCancel, sErrMsg));
    EXPECT_FALSE(bCancel);
    EXPECT_TRUE(sErrMsg.isEmpty());
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(connector->createCalls, 0);
    EXPECT_FALSE(frmSplash::isLoaded());
    ASSERT_TRUE(pu_oAcadApp);
    // Attaching does not change the user's CAD: a hidden one stays hidden.
    EXPECT_FALSE(running.visible());

    pu_subGetAcadDocument();
    ASSERT_TRUE(pu_oAcadDoc);
    EXPECT_EQ(pu_oAcadDoc->Name(), QStringLiteral("Drawing1.dxf"));
}

TEST_F(ConnectTest, NotRunningAndTheUserDeclinesLeavesNothingBehind) {
    // A reference from an earlier refresh is dropped too.
    cadhost::CadApplication earlier;
    pu_oAcadApp = std::make_shared<acad::AcadApplication>(
        std::make_shared<acad::inprocess::ApplicationBackend>(&earlier));
    answer = platform::vbNo;

    EXPECT_TRUE(pu_fun_bGetAcadObject(bCancel, sErrMsg));
    EXPECT_TRUE(bCancel);
    EXPECT_TRUE(sErrMsg.isEmpty());
    EXPECT_FALSE(pu_oAcadApp);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].prompt, kQuestion);
    EXPECT_EQ(boxes[0].buttons, platform::vbYesNo | platform::vbExclamation);
    EXPECT_EQ(boxes[0].title, QStringLiteral("KORVEL Ver4.00"));
    EXPECT_FALSE(splashDuringBox);
    EXPECT_EQ(connector->createCalls, 0);
    EXPECT_FALSE(frmSplash::isLoaded());
}

TEST_F(ConnectTest, StartFailingShowsTheStatusWindowThenReportsNotFound) {
    answer = platform::vbYes;
    connector->setFactory([] { return nullptr; });

    EXPECT_FALSE(pu_fun_bGetAcadObject(bCancel, sErrMsg));
    EXPECT_TRUE(bCancel);
    EXPECT_EQ(sErrMsg, QStringLiteral("404 Not Find AutoCAD.Application"));
    EXPECT_FALSE(pu_oAcadApp);
    EXPECT_EQ(boxes.size(), 1u); // the question only: the caller shows the failure box
    EXPECT_EQ(connector->createCalls, 1);
    EXPECT_TRUE(splashDuringCreate);
    EXPECT_EQ(splashText, QStringLiteral("AutoCAD起動中．．．"));
    EXPECT_FALSE(frmSplash::isLoaded());
}

TEST_F(ConnectTest, StartedCadIsMadeVisibleAndHeld) {
    answer = platform::vbYes;
    std::vector<std::unique_ptr<cadhost::CadApplication>> started;
    connector->setFactory([&] {
        started.push_back(std::make_unique<cadhost::CadApplication>());
        started.back()->add();
        return started.back().get();
    });

    EXPECT_TRUE(pu_fun_bGetAcadObject(bCancel, sErrMsg));
    EXPECT_FALSE(bCancel);
    EXPECT_TRUE(sErrMsg.isEmpty());
    ASSERT_EQ(started.size(), 1u);
    EXPECT_TRUE(started[0]->visible());
    ASSERT_TRUE(pu_oAcadApp);
    EXPECT_TRUE(pu_oAcadApp->Visible());
    EXPECT_TRUE(splashDuringCreate);
    EXPECT_FALSE(frmSplash::isLoaded());

    // The next refresh attaches to the instance it started: no second question.
    boxes.clear();
    EXPECT_TRUE(pu_fun_bGetAcadObject(bCancel, sErrMsg));
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(started.size(), 1u);
}

TEST_F(ConnectTest, FailuresOfAnyKindDuringTheAttemptsNeverEscape) {
    class Throwing : public acad::Connector {
    public:
        std::shared_ptr<acad::ApplicationBackend> attach() override {
            throw std::runtime_error("bus exploded");
        }
        std::shared_ptr<acad::ApplicationBackend> create() override { throw 42; }
    };
    acad::setConnector(std::make_shared<Throwing>());
    answer = platform::vbYes;
    bool result = true;
    EXPECT_NO_THROW(result = pu_fun_bGetAcadObject(bCancel, sErrMsg));
    EXPECT_FALSE(result);
    EXPECT_EQ(sErrMsg, QStringLiteral("404 Not Find AutoCAD.Application"));
    EXPECT_FALSE(frmSplash::isLoaded());
}

TEST_F(ConnectTest, ActiveDocumentErrorsReachTheCaller) {
    // No CAD held at all.
    EXPECT_THROW(pu_subGetAcadDocument(), platform::VbError);

    cadhost::CadApplication empty; // running, but no drawing open
    connector->setRunning(&empty);
    ASSERT_TRUE(pu_fun_bGetAcadObject(bCancel, sErrMsg));
    try {
        pu_subGetAcadDocument();
        FAIL() << "no drawing is open";
    } catch (const platform::AutomationError& e) {
        EXPECT_EQ(e.number(), static_cast<qint32>(0x80200001u));
    }
    EXPECT_FALSE(pu_oAcadDoc);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
