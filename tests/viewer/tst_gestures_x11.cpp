// The everyday gestures of a user scrolling, clicking and typing over the tiles and the
// list, as real input of a real X server with a window manager (XTest, through xdotool),
// against the real host; what they did is read back from the host. None of them may
// change the drawing unasked.

#include "CadHostWindowTest.h"

#include "PrivateXServer.h"
#include "platform/VbComboBox.h"
#include "platform/VbFrame.h"
#include "platform/VbImage.h"
#include "platform/VbListBox.h"
#include "platform/VbTextBox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStyleHints>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <functional>
#include <memory>

namespace {

korvel::test::PrivateXServer* g_x = nullptr;

// Input as the X server delivers it from a mouse and a keyboard.
class XInput {
public:
    explicit XInput(QString display) : m_display(std::move(display)) {
        // Away from wherever the last test left the pointer (see clickAt).
        run({QStringLiteral("mousemove"), QStringLiteral("0"), QStringLiteral("0")});
        m_pointer = QPoint(0, 0);
    }

    // Button 1 left, 2 middle, 3 right, 4 and 5 the wheel up and down.
    void click(QWidget* control, int button) {
        clickAt(control->mapToGlobal(control->rect().center()), button);
    }
    void clickAt(QPoint global, int button) {
        // A synchronous move to where the pointer is already waits in vain for a motion.
        if (global != m_pointer)
            run({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(global.x()),
                 QString::number(global.y())});
        m_pointer = global;
        run({QStringLiteral("click"), QString::number(button)});
        settle();
    }
    void key(const QString& keys) {
        run({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), keys});
        settle();
    }
    void type(const QString& text) {
        run({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), text});
        settle();
    }
    // The window to the front and given the keyboard, as a click on its title does.
    void activate(QWidget* window) {
        run({QStringLiteral("windowactivate"), QStringLiteral("--sync"),
             QString::number(window->winId())});
        QTest::qWait(100);
    }
    // Lets the window take what the server delivered.
    static void settle() {
        QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 80);
    }

private:
    void run(const QStringList& arguments) {
        QProcess xdotool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        xdotool.setProcessEnvironment(env);
        xdotool.start(QStringLiteral("xdotool"), arguments);
        // The events are delivered while the tool runs; the window takes them meanwhile.
        while (!xdotool.waitForFinished(10))
            QCoreApplication::processEvents();
        EXPECT_EQ(xdotool.exitCode(), 0)
            << arguments.join(' ').toStdString() << xdotool.readAllStandardError().toStdString();
    }
    QString m_display;
    QPoint m_pointer{-1, -1};
};

class GesturesTest : public viewertest::CadHostWindowTest {
protected:
    void SetUp() override {
        if (!g_x || !g_x->isRunning())
            GTEST_SKIP() << (g_x ? g_x->whyNot().toStdString() : "no X server");
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            GTEST_SKIP() << "no xdotool here";
        CadHostWindowTest::SetUp();
        input = std::make_unique<XInput>(g_x->display());
        window.setHeight(8625);
    }

    // The plan refreshed whole (twelve layers, two columns), the window in front.
    void refreshAll() {
        openPlan();
        window.Toolbar1_ButtonClick(7);
        ASSERT_EQ(window.proDWFUBound(), 12);
        for (const auto& b : boxes.boxes)
            ADD_FAILURE() << b.prompt.toStdString();
        boxes.boxes.clear();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        input->activate(&window);
    }

    QString linetype(const QString& layer) { return doc->Layers().Item(layer).Linetype(); }
    QWidget* toolButton(int index) {
        return window.Toolbar1->widgetForAction(window.toolbarButton(index));
    }
    // The overview as the screen shows it.
    QImage overviewOnScreen() {
        QTest::qWait(200);
        const QPoint at = window.FraALL->mapTo(&window, QPoint(0, 0));
        return window.screen()
            ->grabWindow(window.winId(), at.x(), at.y(), window.FraALL->width(),
                         window.FraALL->height())
            .toImage();
    }

    // What the server delivers arrives in its own time on a loaded machine.
    static bool eventually(const std::function<bool()>& done) {
        for (int waited = 0; !done() && waited < 5000; waited += 50)
            QTest::qWait(50);
        return done();
    }

    std::unique_ptr<XInput> input;
};

TEST_F(GesturesTest, TheSortingListIsNeverSeenAndNeverTakesTheKeyboard) {
    refreshAll();
    EXPECT_FALSE(window.LstLayersSort->isVisible());
    const QImage afterRefresh = overviewOnScreen();
    window.Toolbar1_ButtonClick(5); // fit
    EXPECT_EQ(overviewOnScreen(), afterRefresh);

    // A box opened and closed over the window brings nothing back.
    platform::resetMsgBoxHandler();
    QTimer::singleShot(300, &window, [] {
        if (QWidget* box = QApplication::activeModalWidget())
            box->close();
    });
    platform::MsgBox(QStringLiteral("確認"), platform::vbOKOnly, QStringLiteral("KORVEL"));
    EXPECT_FALSE(window.LstLayersSort->isVisible());
    EXPECT_NE(QApplication::focusWidget(), window.LstLayersSort);

    // Down and Ctrl+A reach the real list once it has been clicked.
    input->click(window.LstLayers->viewport(), 1);
    EXPECT_EQ(QApplication::focusWidget(), window.LstLayers);
    input->key(QStringLiteral("ctrl+a"));
    for (int i = 0; i < window.LstLayers->ListCount(); ++i)
        EXPECT_TRUE(window.LstLayers->Selected(i)) << i;
}

TEST_F(GesturesTest, OnlyAChoiceFromTheListChangesALayersLinetype) {
    refreshAll();
    clsDWF& first = tile(1);  // on the template: a drop-down list
    clsDWF& second = tile(2); // made at run time: editable
    const QString firstBefore = linetype(first.sLayerName());
    const QString secondBefore = linetype(second.sLayerName());
    const int items = second.CboLineType()->count();

    // Text typed and Enter: no item chosen, none added, no message.
    for (const QString& text : {QStringLiteral("dashed"), QStringLiteral("FOO")}) {
        input->click(second.CboLineType()->lineEdit(), 1);
        input->key(QStringLiteral("ctrl+a"));
        input->type(text);
        input->key(QStringLiteral("Return"));
        EXPECT_EQ(linetype(second.sLayerName()), secondBefore) << text.toStdString();
        EXPECT_EQ(second.CboLineType()->count(), items);
    }
    EXPECT_TRUE(boxes.boxes.empty());

    // The wheel over either box scrolls the grid and leaves the linetype.
    const int top = window.ScrBarV->value();
    const auto scrolledTo = [&](int value) {
        return eventually([&] { return window.ScrBarV->value() == value; });
    };
    input->click(first.CboLineType(), 5);
    EXPECT_TRUE(scrolledTo(top + 1));
    EXPECT_EQ(linetype(first.sLayerName()), firstBefore);
    input->click(window.ScrBarV, 4);
    EXPECT_TRUE(scrolledTo(top));
    input->click(second.CboLineType(), 5);
    EXPECT_TRUE(scrolledTo(top + 1));
    EXPECT_EQ(linetype(second.sLayerName()), secondBefore);
    // Over a tile's title, too: the first one the pointer can reach now.
    QWidget* title = nullptr;
    for (int i = 1; i <= window.proDWFUBound() && !title; ++i) {
        QWidget* t = tile(i).TxtOne();
        QWidget* at = QApplication::widgetAt(t->mapToGlobal(t->rect().center()));
        if (at && (at == t || t->isAncestorOf(at)))
            title = t;
    }
    ASSERT_TRUE(title);
    input->click(title, 4);
    EXPECT_TRUE(scrolledTo(top));

    // The list opened and an item clicked: that is the command.
    input->click(first.CboLineType(), 1);
    QAbstractItemView* list = first.CboLineType()->view();
    ASSERT_TRUE(eventually([&] { return list->isVisible(); }));
    const int dashed =
        first.CboLineType()->findText(QStringLiteral("DASHED"), Qt::MatchFixedString);
    ASSERT_GE(dashed, 0);
    const QRect item = list->visualRect(list->model()->index(dashed, 0));
    input->clickAt(list->viewport()->mapToGlobal(item.center()), 1);
    EXPECT_TRUE(eventually(
        [&] { return linetype(first.sLayerName()).toUpper() == QStringLiteral("DASHED"); }));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(GesturesTest, RightAndMiddleClicksOnTheStateButtonsSwitchNothing) {
    refreshAll();
    clsDWF& t = tile(1);
    const QString name = t.sLayerName();
    for (QWidget* button :
         {static_cast<QWidget*>(t.CmdView()), static_cast<QWidget*>(t.CmdFreeze()),
          static_cast<QWidget*>(t.CmdLock())}) {
        for (const int mouseButton : {2, 3})
            input->click(button, mouseButton);
    }
    EXPECT_EQ(states().at(name), before.at(name));
    // The left button still does.
    input->click(t.CmdLock(), 1);
    EXPECT_NE(states().at(name).locked, before.at(name).locked);
}

TEST_F(GesturesTest, ATileClickLeavesExactlyItsLayerSelectedForTheListCommands) {
    refreshAll();
    // After the refresh the keyboard is the list's: Ctrl+A selects every layer.
    XInput::settle();
    input->key(QStringLiteral("ctrl+a"));
    const int last = window.LstLayers->ListCount() - 1;
    ASSERT_TRUE(window.LstLayers->Selected(last));

    // The first tile, scrolled into view as a user scrolls.
    while (window.ScrBarV->value() > window.ScrBarV->minimum())
        input->click(window.ScrBarV, 4);
    clsDWF& first = tile(1);
    const QString name = first.sLayerName();
    input->click(first.ImgOne(), 1);
    for (int i = 0; i <= last; ++i)
        EXPECT_EQ(window.LstLayers->Selected(i), i == 0) << i;
    // "Selected off" switches that one layer off, no other.
    input->click(toolButton(12), 1);
    for (const auto& [layer, state] : states())
        EXPECT_EQ(state.on, layer == name ? false : before.at(layer).on) << layer.toStdString();

    // The mark of the selection ends with the next refresh.
    EXPECT_TRUE(tile(1).isSelected());
    window.Toolbar1_ButtonClick(7);
    EXPECT_FALSE(tile(1).isSelected());
    EXPECT_EQ(tile(1).TxtOne()->BackColor(), tile(2).TxtOne()->BackColor());
}

} // namespace

int main(int argc, char** argv) {
    // The X server first: the application connects to it as it starts.
    korvel::test::PrivateXServer x(korvel::test::PrivateXServer::WithWindowManager);
    g_x = &x;
    if (x.isRunning()) {
        qputenv("DISPLAY", x.display().toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
