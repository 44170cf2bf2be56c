// Start-up pieces: the command-line text, the last-resort error handler, and the
// window helpers over the window system (a recording double, and the X11 one against
// a private Xvfb when the machine has one).

#include "app/basMain.h"

#include "PrivateXServer.h"
#include "app/basWindowAPI.h"
#include "platform/MsgBox.h"
#include "platform/VbError.h"
#include "platform/VbErrorText.h"
#include "platform/WindowSystem.h"
#include "platform/WindowSystemX11.h"

#include <QEvent>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

namespace {

TEST(CommandLine, ArgumentsAfterTheProgramAreJoinedBySingleBlanks) {
    using basMain::commandLineText;
    EXPECT_EQ(commandLineText({"tarnix"}), QString());
    EXPECT_EQ(commandLineText({"tarnix", "/data/layers.csv"}), QStringLiteral("/data/layers.csv"));
    EXPECT_EQ(commandLineText({"tarnix", "/data/my", "layers.csv"}),
              QStringLiteral("/data/my layers.csv"));
    // Quotes that reach the program stay part of the text.
    EXPECT_EQ(commandLineText({"tarnix", "\"/data/a.csv\""}), QStringLiteral("\"/data/a.csv\""));
}

class Thrower : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User)
            throw platform::vbError(platform::vberr::InvalidProcedureCall);
        if (e->type() == QEvent::User + 1)
            throw 42;
        return QObject::event(e);
    }
};

TEST(LastResortHandler, AnUntrappedErrorIsShownAndTheProgramGoesOn) {
    std::vector<std::pair<QString, QString>> shown;
    platform::setMsgBoxHandler([&](const QString& p, int b, const QString& t) {
        EXPECT_EQ(b, platform::vbOKOnly | platform::vbCritical);
        shown.emplace_back(p, t);
        return int(platform::vbOK);
    });
    Thrower thrower;
    thrower.setObjectName(QStringLiteral("frmWMF"));
    QEvent user(QEvent::User);
    EXPECT_NO_THROW(QCoreApplication::sendEvent(&thrower, &user));
    QEvent other(QEvent::Type(QEvent::User + 1));
    EXPECT_NO_THROW(QCoreApplication::sendEvent(&thrower, &other));
    platform::resetMsgBoxHandler();

    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].first,
              QStringLiteral("予期せぬエラーが frmWMF で発生しました。\r番号：5\r内容：") +
                  platform::vbErrorText(5));
    EXPECT_EQ(shown[0].second, QStringLiteral("KORVEL Ver4.00"));
    EXPECT_TRUE(shown[1].first.contains(QStringLiteral("番号：51")));
}

class RecordingWindows : public platform::WindowSystem {
public:
    std::uint32_t findWindow(const QString& title) override {
        titles << title;
        return 7;
    }
    void setForeground(std::uint32_t w) override { calls.push_back({'F', w}); }
    void setTopMost(std::uint32_t w) override { calls.push_back({'T', w}); }
    QStringList titles;
    std::vector<std::pair<char, std::uint32_t>> calls;
};

TEST(WindowHelpers, ForwardToTheWindowSystemAndIgnoreTheNullHandle) {
    auto owned = std::make_unique<RecordingWindows>();
    RecordingWindows* ws = owned.get();
    platform::WindowSystem::setInstanceForTesting(std::move(owned));
    EXPECT_EQ(basWindowAPI::pu_fun_lnFindWindow(QString(), QStringLiteral("cadhost")), 7u);
    basWindowAPI::pu_subSetForeground(0);
    basWindowAPI::pu_subSetTopMost(0);
    basWindowAPI::pu_subSetForeground(12);
    basWindowAPI::pu_subSetTopMost(13);
    EXPECT_EQ(ws->titles, QStringList{QStringLiteral("cadhost")});
    const std::vector<std::pair<char, std::uint32_t>> expected{{'F', 12}, {'T', 13}};
    EXPECT_EQ(ws->calls, expected);
    platform::WindowSystem::setInstanceForTesting(nullptr);
}

TEST(WindowHelpers, OffscreenGetsTheNullWindowSystem) {
    platform::WindowSystem::setInstanceForTesting(nullptr);
    EXPECT_EQ(platform::WindowSystem::instance().findWindow(QStringLiteral("anything")), 0u);
}

// A bare X server without a window manager, as run.sh uses when there is no display.
TEST(X11WindowSystem, FindsATopLevelWindowByItsExactTitleAndRaisesIt) {
    korvel::test::PrivateXServer x;
    if (!x.isRunning())
        GTEST_SKIP() << x.whyNot().toStdString();
    const QByteArray name = x.display().toLatin1();
    xcb_connection_t* c = xcb_connect(name.constData(), nullptr);
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    auto makeWindow = [&](const QByteArray& title) {
        xcb_window_t w = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, w, screen->root, 0, 0, 50, 50, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                            title.size(), title.constData());
        xcb_map_window(c, w);
        return w;
    };
    const xcb_window_t cad = makeWindow("cadhost - [plan.dxf]");
    const xcb_window_t other = makeWindow("cadhost - [plan.dxf] (2)");
    xcb_flush(c);

    auto ws = platform::X11WindowSystem::open(name.constData());
    ASSERT_TRUE(ws);
    EXPECT_EQ(ws->findWindow(QStringLiteral("cadhost - [plan.dxf]")), cad);
    EXPECT_EQ(ws->findWindow(QStringLiteral("cadhost - [plan.dxf] (2)")), other);
    EXPECT_EQ(ws->findWindow(QStringLiteral("cadhost")), 0u) << "titles match exactly";
    EXPECT_EQ(ws->findWindow(QStringLiteral("CADHOST - [PLAN.DXF]")), 0u);

    // Without a window manager the window is raised directly: it ends on top.
    ws->setTopMost(other);
    ws->setForeground(cad);
    auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, screen->root), nullptr);
    ASSERT_NE(tree, nullptr);
    const xcb_window_t* kids = xcb_query_tree_children(tree);
    const int n = xcb_query_tree_children_length(tree);
    ASSERT_GE(n, 2);
    EXPECT_EQ(kids[n - 1], cad) << "the last foreground call wins on a bare server";
    std::free(tree);

    // Left out of the task bar, a window keeps the states it had.
    EXPECT_FALSE(ws->skipsTaskbar(cad));
    ws->setSkipTaskbar(other);
    EXPECT_TRUE(ws->skipsTaskbar(other));
    EXPECT_FALSE(ws->skipsTaskbar(cad));
    ws->setTopMost(other);
    EXPECT_TRUE(ws->skipsTaskbar(other)) << "a later state is added, not put in its place";
    xcb_disconnect(c);
}

} // namespace

int main(int argc, char** argv) {
    KorvelApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
