// The main window's frame: controls where the design puts them, the toolbar, the
// minimum size and the layout arithmetic, the caption before and after a refresh.

#include "viewer/frmWMF.h"

#include "ViewerTestSupport.h"
#include "platform/ControlGeometry.h"
#include "platform/Twips.h"
#include "platform/VbComboBox.h"
#include "platform/VbFrame.h"
#include "platform/VbImage.h"
#include "platform/VbListBox.h"
#include "platform/VbPictureBox.h"
#include "platform/VbTextBox.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

using platform::ControlGeometry;

namespace {

struct DesignPlace {
    const char* name;
    const char* className;
    double left, top, width, height;
};

// Positions in twips relative to each control's container.
const DesignPlace kDesign[] = {
    {"FraALL", "platform::VbFrame", 60, 420, 2565, 2895},
    {"ImgALL", "platform::VbImage", 0, 30, 2535, 2415},
    {"TxtALL", "platform::VbTextBox", 0, 2460, 2565, 435},
    {"FraPart", "platform::VbFrame", 2970, 420, 2565, 2895},
    {"ImgPart", "platform::VbImage", 0, 30, 2535, 2415},
    {"TxtPart", "platform::VbTextBox", 0, 2460, 2565, 435},
    {"LstLayers", "platform::VbListBox", 2970, 420, 2625, 2880},
    {"FraViewDblClick", "QGroupBox", 5820, 480, 3855, 1065},
    {"OptDblClickActive", "QRadioButton", 180, 300, 3555, 255},
    {"OptDblClickExclusiveView", "QRadioButton", 180, 660, 3405, 255},
    {"ChkViewOnly", "QCheckBox", 5850, 1740, 4275, 255},
    {"LstLayersSort", "platform::VbListBox", 90, 450, 1005, 1260},
    {"CboZoom", "QComboBox", 30, 30, 615, 300},
    {"FraBar1", "platform::VbFrame", 0, 2700, 2565, 315},
    {"ImgOne1", "platform::VbImage", 0, 270, 2535, 2415},
    {"CmdView1", "platform::VbImage", 60, 60, 195, 195},
    {"CmdFreeze1", "platform::VbImage", 360, 60, 195, 195},
    {"CmdLock1", "platform::VbImage", 660, 60, 195, 195},
    {"CmdColor1", "platform::VbPictureBox", 930, 60, 195, 195},
    {"TxtOne1", "platform::VbTextBox", 0, 0, 2565, 255},
};

class FrameTest : public ::testing::Test {
protected:
    viewertest::ScratchProgramFolder folder;
    viewertest::MsgBoxRecorder boxes;
    frmWMF window;
};

TEST_F(FrameTest, EveryControlHasItsNameKindAndDesignPlace) {
    for (const DesignPlace& d : kDesign) {
        SCOPED_TRACE(d.name);
        QWidget* w = window.findChild<QWidget*>(QString::fromLatin1(d.name));
        ASSERT_NE(w, nullptr);
        EXPECT_STREQ(w->metaObject()->className(), d.className);
        EXPECT_EQ(ControlGeometry::Left(w), d.left);
        EXPECT_EQ(ControlGeometry::Top(w), d.top);
        EXPECT_EQ(ControlGeometry::Width(w), d.width);
        EXPECT_EQ(ControlGeometry::Height(w), d.height);
    }
}

TEST_F(FrameTest, ControlsLiveInTheirContainers) {
    EXPECT_EQ(window.ImgALL->parentWidget(), window.FraALL);
    EXPECT_EQ(window.TxtPart->parentWidget(), window.FraPart);
    EXPECT_EQ(window.OptDblClickActive->parentWidget(), window.FraViewDblClick);
    EXPECT_EQ(window.FraOne1->parentWidget(), window.PicMain);
    EXPECT_EQ(window.FraBar1->parentWidget(), window.FraOne1);
    EXPECT_EQ(window.ImgOne1->parentWidget(), window.FraOne1);
    EXPECT_EQ(window.TxtOne1->parentWidget(), window.FraOne1);
    for (QWidget* w :
         std::initializer_list<QWidget*>{window.CmdView1, window.CmdFreeze1, window.CmdLock1,
                                         window.CmdColor1, window.CboLineType1})
        EXPECT_EQ(w->parentWidget(), window.FraBar1) << w->objectName().toStdString();
    for (QWidget* w : std::initializer_list<QWidget*>{window.CmdViewOn, window.CmdViewOff,
                                                      window.CmdFreezeOn, window.CmdFreezeOff,
                                                      window.CmdLockOn, window.CmdLockOff}) {
        EXPECT_EQ(w->parentWidget(), window.PicMain) << w->objectName().toStdString();
    }
}

TEST_F(FrameTest, CaptionsAndDesignStateBeforeAnyRefresh) {
    EXPECT_EQ(window.windowTitle(), QStringLiteral("画層ビューワ"));
    EXPECT_EQ(window.FraViewDblClick->title(), QStringLiteral("画面ダブルクリック時動作"));
    EXPECT_EQ(window.OptDblClickActive->text(),
              QStringLiteral("画層をｱｸﾃｨﾌﾞにしてAutoCADを前面にする"));
    EXPECT_TRUE(window.OptDblClickActive->isChecked());
    EXPECT_FALSE(window.OptDblClickExclusiveView->isChecked());
    EXPECT_EQ(window.OptDblClickExclusiveView->text(),
              QStringLiteral("当該画層以外非表示にする（排他表示）"));
    EXPECT_EQ(window.ChkViewOnly->text(),
              QStringLiteral("現在表示設定となっている画層のみをプレビュー"));
    EXPECT_FALSE(window.ChkViewOnly->isChecked());
    EXPECT_EQ(window.TxtALL->Text(), QStringLiteral("更新ボタンをクリックしてください\r\n"));
    EXPECT_TRUE(window.TxtALL->MultiLine());
    EXPECT_EQ(window.TxtALL->BackColor(), 0xFFFFFFu);
    EXPECT_EQ(window.CboZoom->toolTip(), QStringLiteral("ズーム率"));
    EXPECT_FALSE(window.CboZoom->isEditable());
    EXPECT_EQ(window.LstLayers->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_TRUE(window.LstLayersSort->Sorted());
    EXPECT_EQ(window.state().prlnDWFCount, 0);
    EXPECT_EQ(window.proDWFUBound(), 0);
    EXPECT_FALSE(window.state().prbShowEnd);
    EXPECT_EQ(window.state().prsnAllRatio, 0.0f);
}

TEST_F(FrameTest, TileTemplateIsHiddenAndItsLinetypeBoxIsADropDownList) {
    window.show();
    EXPECT_FALSE(window.FraOne1->isVisible());
    EXPECT_FALSE(window.CboLineType1->isEditable());
    EXPECT_EQ(window.FraOne1->BackColor(), 0x808080u);
    EXPECT_EQ(window.FraOne1->BorderStyle(), 0);
    EXPECT_EQ(window.FraBar1->BackColor(), 0xFFFFFFu);
    EXPECT_EQ(ControlGeometry::Width(window.FraOne1), 2565);
    EXPECT_EQ(ControlGeometry::Height(window.FraOne1), 3015);
    EXPECT_EQ(window.CmdColor1->Appearance(), 0);
    EXPECT_EQ(window.TxtOne1->Appearance(), 0);
    EXPECT_FALSE(window.TxtOne1->MultiLine());
}

TEST_F(FrameTest, StateImagesAreHidden13PixelIconsWithTransparentCorners) {
    window.show();
    for (platform::VbImage* image : {window.CmdViewOn, window.CmdViewOff, window.CmdFreezeOn,
                                     window.CmdFreezeOff, window.CmdLockOn, window.CmdLockOff}) {
        SCOPED_TRACE(image->objectName().toStdString());
        EXPECT_FALSE(image->isVisible());
        ASSERT_TRUE(image->Picture());
        EXPECT_EQ(image->size(), QSize(13, 13));
        QImage canvas(13, 13, QImage::Format_ARGB32);
        canvas.fill(Qt::transparent);
        QPainter painter(&canvas);
        image->Picture()->paint(painter, QRectF(0, 0, 13, 13));
        painter.end();
        EXPECT_EQ(qAlpha(canvas.pixel(0, 12)), 0) << "background must stay transparent";
        int opaque = 0;
        for (int y = 0; y < 13; ++y)
            for (int x = 0; x < 13; ++x)
                opaque += qAlpha(canvas.pixel(x, y)) > 0;
        EXPECT_GT(opaque, 15) << "the icon draws something";
    }
    // The on and off pictures of one state must be told apart at a glance.
    auto render = [](platform::VbImage* image) {
        QImage canvas(13, 13, QImage::Format_ARGB32);
        canvas.fill(Qt::transparent);
        QPainter painter(&canvas);
        image->Picture()->paint(painter, QRectF(0, 0, 13, 13));
        return canvas;
    };
    EXPECT_NE(render(window.CmdViewOn), render(window.CmdViewOff));
    EXPECT_NE(render(window.CmdFreezeOn), render(window.CmdFreezeOff));
    EXPECT_NE(render(window.CmdLockOn), render(window.CmdLockOff));
}

TEST_F(FrameTest, ToolbarHasSeventeenButtonsWithSeparatorsAndTooltips) {
    const std::map<int, QString> tips = {
        {3, QStringLiteral("ズームアップ")},
        {4, QStringLiteral("ズームダウン")},
        {5, QStringLiteral("全体表示")},
        {7, QStringLiteral("更新（アクティブ図面の画像を読み込みます）")},
        {9, QStringLiteral("画層の一覧をExcelへ出力")},
        {11, QStringLiteral("選択したリストの画層を表示に設定します")},
        {12, QStringLiteral("選択したリストの画層を非表示に設定します")},
        {13, QStringLiteral("選択したリスト及びリストに該当するビューを削除します")},
        {14, QStringLiteral("全ての画層を表示に設定します")},
        {15, QStringLiteral("全ての画層を非表示に設定します")},
        {17, QStringLiteral("ソフト情報")},
    };
    // The seventeen described come first; what the viewer adds follows them.
    ASSERT_GE(window.Toolbar1->actions().size(), 17);
    EXPECT_EQ(window.toolbarButton(0), nullptr);
    EXPECT_EQ(window.toolbarButton(18), nullptr);
    int pictures = 0;
    for (int i = 1; i <= 17; ++i) {
        SCOPED_TRACE(i);
        QAction* button = window.toolbarButton(i);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button, window.Toolbar1->actions().at(i - 1));
        auto tip = tips.find(i);
        if (tip == tips.end()) {
            EXPECT_TRUE(button->icon().isNull());
            EXPECT_TRUE(button->toolTip().isEmpty() || button->isSeparator());
        } else {
            EXPECT_FALSE(button->isSeparator());
            EXPECT_EQ(button->toolTip(), tip->second);
            EXPECT_FALSE(button->icon().pixmap(QSize(16, 16)).isNull());
            ++pictures;
        }
    }
    EXPECT_EQ(pictures, 11);
    for (int i : {6, 8, 10, 16})
        EXPECT_TRUE(window.toolbarButton(i)->isSeparator()) << i;
}

TEST_F(FrameTest, TheAdditionsFollowTheLastButtonAndMoveNothing) {
    const QList<QAction*> actions = window.Toolbar1->actions();
    const qsizetype undo = actions.indexOf(window.undoButton());
    const qsizetype redo = actions.indexOf(window.redoButton());
    const qsizetype search = actions.indexOf(window.Toolbar1->actions().constLast());
    EXPECT_GT(undo, 16);
    EXPECT_EQ(redo, undo + 1);
    EXPECT_EQ(window.Toolbar1->widgetForAction(actions.at(search)),
              static_cast<QWidget*>(window.layerSearch()));

    // The described buttons' places with the additions, and without them.
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto places = [this] {
        std::vector<QRect> rects;
        for (int i = 1; i <= 17; ++i) {
            QWidget* w = window.Toolbar1->widgetForAction(window.toolbarButton(i));
            rects.push_back(w ? w->geometry() : QRect());
        }
        return rects;
    };
    const std::vector<QRect> with = places();
    for (qsizetype k = 17; k < actions.size(); ++k)
        window.Toolbar1->removeAction(actions.at(k));
    QApplication::processEvents();
    EXPECT_EQ(places(), with);
    // The zoom list still lies over the two placeholders.
    EXPECT_EQ(ControlGeometry::Left(window.CboZoom), 30);
}

TEST_F(FrameTest, ToolbarPicturesAreSharpAtDoubleResolution) {
    const QIcon icon = window.toolbarButton(7)->icon();
    const QPixmap hi = icon.pixmap(QSize(16, 16), 2.0);
    EXPECT_EQ(hi.size(), QSize(32, 32));
}

TEST_F(FrameTest, ButtonsWithoutACommandDoNothing) {
    for (int i : {1, 2, 6, 8, 10, 16})
        window.Toolbar1_ButtonClick(i);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("画層ビューワ"));
}

TEST_F(FrameTest, LayoutFitsTheTileAreaToTheWindow) {
    window.show();
    struct Case {
        double width, height;
    } cases[] = {{5820, 8625}, {10710, 8235}, {4005, 6000}, {3090, 4380}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        window.setWidth(c.width);
        window.setHeight(c.height);
        QCoreApplication::processEvents();
        ASSERT_EQ(window.Width(), c.width);
        ASSERT_EQ(window.Height(), c.height);
        // The bars span the client area, which is the window less its frame.
        const double clientWidth = platform::pixelsToTwips(window.width());
        const double clientHeight = platform::pixelsToTwips(window.height());
        const double statusTop = ControlGeometry::Top(window.StatusMain);
        EXPECT_EQ(statusTop + 285, clientHeight);
        EXPECT_EQ(ControlGeometry::Width(window.StatusMain), clientWidth);
        EXPECT_EQ(ControlGeometry::Width(window.Toolbar1), clientWidth);
        // The tile area follows the outer width, held in whole pixels.
        EXPECT_EQ(ControlGeometry::Width(window.PicMain), platform::snapTwips(c.width - 160));
        EXPECT_EQ(ControlGeometry::Height(window.PicMain), platform::snapTwips(statusTop - 3480));
        EXPECT_EQ(ControlGeometry::Top(window.PicMain), 3480);
        EXPECT_EQ(ControlGeometry::Left(window.ScrBarV), platform::snapTwips(c.width - 420));
        EXPECT_EQ(ControlGeometry::Height(window.ScrBarV),
                  platform::snapTwips(ControlGeometry::Height(window.PicMain) - 60));
    }
}

TEST_F(FrameTest, TooSmallWindowSpringsBackToTheMinimum) {
    window.show();
    window.setWidth(6000);
    window.setHeight(6000);
    QCoreApplication::processEvents();

    window.setWidth(1500);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.Width(), 3090);
    EXPECT_EQ(window.Height(), 6000);

    window.setHeight(900);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.Height(), 4380);
    EXPECT_EQ(window.Width(), 3090);

    // Both at once: each springs back in turn, and the layout then follows.
    window.resize(20, 20);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(window.Width(), 3090);
    EXPECT_EQ(window.Height(), 4380);
    EXPECT_EQ(ControlGeometry::Width(window.PicMain), platform::snapTwips(3090 - 160));

    // Exactly the minimum is accepted as it is.
    window.setWidth(3105);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.Width(), 3105);
}

TEST_F(FrameTest, ResizeBeforeAnyRefreshChangesOnlyTheLayout) {
    window.show();
    const int scrollMax = window.ScrBarV->maximum();
    window.setWidth(9000);
    QCoreApplication::processEvents();
    window.Form_Resize();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("画層ビューワ"));
    EXPECT_EQ(window.ScrBarV->maximum(), scrollMax);
    EXPECT_EQ(ControlGeometry::Width(window.PicMain), platform::snapTwips(9000 - 160));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(FrameTest, TilesGetTheWindowsArtworkOverviewAndDoubleClickOption) {
    const TileHost& host = window;
    using Picture = TileHost::StatePicture;
    const std::pair<Picture, platform::VbImage*> artwork[] = {
        {Picture::ViewOn, window.CmdViewOn},     {Picture::ViewOff, window.CmdViewOff},
        {Picture::FreezeOn, window.CmdFreezeOn}, {Picture::FreezeOff, window.CmdFreezeOff},
        {Picture::LockOn, window.CmdLockOn},     {Picture::LockOff, window.CmdLockOff}};
    for (const auto& [which, image] : artwork) {
        ASSERT_TRUE(image->Picture() != nullptr);
        EXPECT_EQ(host.statePicture(which), image->Picture());
    }

    ControlGeometry::Move(window.ImgALL, 105, 45, 1995, 1500);
    const TileLayout::Rect overview = host.overviewPictureGeometry();
    EXPECT_EQ(overview.left, 105);
    EXPECT_EQ(overview.top, 45);
    EXPECT_EQ(overview.width, 1995);
    EXPECT_EQ(overview.height, 1500);

    EXPECT_EQ(host.doubleClickAction(), TileHost::DoubleClickAction::MakeCurrent);
    window.OptDblClickExclusiveView->setChecked(true);
    EXPECT_EQ(host.doubleClickAction(), TileHost::DoubleClickAction::ExclusiveView);
    // Neither option: the radio group is exclusive, so uncheck through its group rule.
    window.OptDblClickExclusiveView->setAutoExclusive(false);
    window.OptDblClickExclusiveView->setChecked(false);
    EXPECT_EQ(host.doubleClickAction(), TileHost::DoubleClickAction::None);
}

TEST_F(FrameTest, SortListOrdersNamesWithoutRegardToCase) {
    window.LstLayersSort->Clear();
    for (const char* name : {"B", "a", "C", "b2", "A"})
        window.LstLayersSort->AddItem(QString::fromLatin1(name));
    QStringList sorted;
    for (int i = 0; i < window.LstLayersSort->ListCount(); ++i)
        sorted << window.LstLayersSort->List(i);
    EXPECT_EQ(sorted, (QStringList{"a", "A", "B", "b2", "C"}));
}

TEST_F(FrameTest, WindowGeometryIsTheOuterFrameInTwips) {
    window.setLeft(1500);
    window.setTop(750);
    window.setWidth(5820);
    window.setHeight(8625);
    EXPECT_EQ(window.Left(), 1500);
    EXPECT_EQ(window.Top(), 750);
    EXPECT_EQ(window.Width(), 5820);
    EXPECT_EQ(window.Height(), 8625);
    // Whole pixels: 5830 twips is 388.67 pixels, held as 389.
    window.setWidth(5830);
    EXPECT_EQ(window.Width(), 5835);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
