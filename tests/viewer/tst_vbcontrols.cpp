// The VB-like controls the window and the tiles are built from: twips geometry in
// whole pixels, colours, the Image control's sizing, painting and mouse events, the
// text box's line breaks, the sorted list.

#include "platform/ControlGeometry.h"
#include "platform/VbColor.h"
#include "platform/VbComboBox.h"
#include "platform/VbImage.h"
#include "platform/VbListBox.h"
#include "platform/VbPicture.h"
#include "platform/VbPictureBox.h"
#include "platform/VbTextBox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QStyleHints>
#include <QTest>
#include <QWheelEvent>
#include <cstdlib>
#include <gtest/gtest.h>

using platform::ControlGeometry;

namespace {

TEST(ControlGeometry, TwipsAreHeldInWholePixelsRoundingHalfToEven) {
    QWidget parent;
    QWidget child(&parent);
    struct Case {
        double in, held;
    } cases[] = {{2565, 2565}, {195, 195}, {7, 0}, {8, 15}, {22.5, 30}, {37.5, 30}, {-3085, -3090}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        ControlGeometry::setTop(&child, c.in);
        EXPECT_EQ(ControlGeometry::Top(&child), c.held);
    }
    ControlGeometry::Move(&child, 30, 3480, 5625, 4425);
    EXPECT_EQ(child.geometry(), QRect(2, 232, 375, 295));
}

TEST(ControlGeometry, SizesStayWithinZeroAndTheLargestBox) {
    QWidget parent;
    QWidget child(&parent);
    ControlGeometry::setWidth(&child, -600);
    EXPECT_EQ(ControlGeometry::Width(&child), 0);
    ControlGeometry::setHeight(&child, 1e9);
    EXPECT_EQ(child.height(), 32767);
    // Each setter leaves the other three measures alone.
    ControlGeometry::Move(&child, 150, 300, 450, 600);
    ControlGeometry::setWidth(&child, 900);
    EXPECT_EQ(child.geometry(), QRect(10, 20, 60, 40));
}

TEST(VbColor, PlainValuesAreBlueGreenRedAndSystemColoursFollowThePalette) {
    EXPECT_EQ(platform::vbColor(0xFF), QColor(255, 0, 0));
    EXPECT_EQ(platform::vbColor(0x800000), QColor(0, 0, 128));
    EXPECT_EQ(platform::vbColor(0x808080), QColor(128, 128, 128));
    EXPECT_EQ(platform::vbColorValue(QColor(1, 2, 3)), 0x030201u);
    QPalette pal;
    pal.setColor(QPalette::Base, QColor(10, 20, 30));
    pal.setColor(QPalette::Text, QColor(40, 50, 60));
    EXPECT_EQ(platform::vbColor(platform::vbWindowBackground, pal), QColor(10, 20, 30));
    EXPECT_EQ(platform::vbColor(platform::vbWindowText, pal), QColor(40, 50, 60));
}

// A picture that counts what it was asked to paint.
class ProbePicture : public platform::VbPicture {
public:
    explicit ProbePicture(QSizeF twips) : m_twips(twips) {}
    QSizeF naturalSizeTwips() const override { return m_twips; }
    void paint(QPainter& painter, const QRectF& target) const override {
        targets.push_back(target);
        clips.push_back(painter.clipBoundingRect());
        painter.fillRect(target, Qt::red);
    }
    mutable std::vector<QRectF> targets;
    mutable std::vector<QRectF> clips;

private:
    QSizeF m_twips;
};

// Only naturalSizeTwips and paint: what the metafile picture offers.
struct DuckPicture {
    QSize naturalSizeTwips() const { return {1500, 750}; }
    void paint(QPainter&, const QRectF&) const {}
};

TEST(VbImage, StretchOffTakesThePicturesSizeStretchOnKeepsTheBox) {
    QWidget parent;
    platform::VbImage image(&parent);
    ControlGeometry::Move(&image, 0, 270, 2535, 2415);
    auto picture = std::make_shared<ProbePicture>(QSizeF(3000, 1500));
    image.setPicture(picture);
    EXPECT_EQ(image.size(), QSize(200, 100));

    image.setStretch(true);
    ControlGeometry::Move(&image, 0, 0, 2535, 2415);
    image.setPicture(std::make_shared<ProbePicture>(QSizeF(30, 30)));
    EXPECT_EQ(image.size(), QSize(169, 161));

    image.setStretch(false);
    EXPECT_EQ(image.size(), QSize(2, 2));

    // A picture larger than the largest box is held at the cap.
    image.setPicture(std::make_shared<ProbePicture>(QSizeF(1e7, 15)));
    EXPECT_EQ(image.size(), QSize(32767, 1));

    image.setPicture(std::make_shared<const DuckPicture>());
    EXPECT_EQ(image.size(), QSize(100, 50));
}

TEST(VbImage, PaintsOnlyTheExposedPartOfAHugeBox) {
    QWidget parent;
    parent.resize(200, 200);
    platform::VbImage image(&parent);
    auto picture = std::make_shared<ProbePicture>(QSizeF(150, 150));
    image.setPicture(picture);
    image.setStretch(true);
    image.setGeometry(-10000, -10000, 32767, 32767);

    // Render what the parent shows: the part of the image inside the parent.
    QPixmap device(200, 200);
    parent.render(&device, QPoint(), QRegion(0, 0, 200, 200));
    ASSERT_FALSE(picture->targets.empty());
    EXPECT_EQ(picture->targets.back(), QRectF(0, 0, 32767, 32767));
    const QRectF clip = picture->clips.back();
    EXPECT_LE(clip.width(), 200.0);
    EXPECT_LE(clip.height(), 200.0);
    EXPECT_GE(clip.left(), 10000.0);
}

TEST(VbImage, MouseEventsCarryTwipsAndVbButtonNumbers) {
    QWidget parent;
    platform::VbImage image(&parent);
    image.setGeometry(0, 0, 100, 100);
    parent.show();
    QSignalSpy down(&image, &platform::VbImage::MouseDown);
    QSignalSpy up(&image, &platform::VbImage::MouseUp);
    QSignalSpy click(&image, &platform::VbImage::Click);
    QSignalSpy dbl(&image, &platform::VbImage::DblClick);

    QTest::mousePress(&image, Qt::RightButton, Qt::ShiftModifier, QPoint(10, 20));
    ASSERT_EQ(down.count(), 1);
    EXPECT_EQ(down[0][0].toInt(), 2);
    EXPECT_EQ(down[0][1].toInt(), 1);
    EXPECT_DOUBLE_EQ(down[0][2].toDouble(), 150.0);
    EXPECT_DOUBLE_EQ(down[0][3].toDouble(), 300.0);
    QTest::mouseRelease(&image, Qt::RightButton, Qt::NoModifier, QPoint(10, 20));
    EXPECT_EQ(up.count(), 1);
    EXPECT_EQ(click.count(), 1);

    // Released outside the control: no click.
    QTest::mousePress(&image, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseRelease(&image, Qt::LeftButton, Qt::NoModifier, QPoint(150, 5));
    EXPECT_EQ(click.count(), 1);

    // A double click is one Click and one DblClick, as VB raises them.
    auto send = [&image](QEvent::Type type) {
        QMouseEvent e(type, QPointF(5, 5), image.mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
        QCoreApplication::sendEvent(&image, &e);
    };
    // What the platform delivers for a double click: press, release, press, double
    // click, release.
    for (auto type :
         {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonPress,
          QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease})
        send(type);
    EXPECT_EQ(dbl.count(), 1);
    EXPECT_EQ(click.count(), 2);

    // An image that serves as a push button clicks with the left button alone.
    image.setClickButtons(Qt::LeftButton);
    for (const Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        QTest::mousePress(&image, button, Qt::NoModifier, QPoint(10, 20));
        QTest::mouseRelease(&image, button, Qt::NoModifier, QPoint(10, 20));
    }
    EXPECT_EQ(click.count(), 2);
    QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 20);
    QTest::mouseClick(&image, Qt::LeftButton, Qt::NoModifier, QPoint(10, 20));
    EXPECT_EQ(click.count(), 3);
}

TEST(VbComboBox, OnlyAChoiceFromTheListOrTheArrowKeysIsAClick) {
    for (const auto style :
         {platform::VbComboBox::Style::DropDownCombo, platform::VbComboBox::Style::DropDownList}) {
        QWidget parent;
        auto* box = new platform::VbComboBox(style, &parent);
        box->addItems(
            {QStringLiteral("Continuous"), QStringLiteral("DASHED"), QStringLiteral("CENTER")});
        box->setCurrentIndex(0);
        box->setGeometry(0, 0, 120, 24);
        parent.resize(200, 100);
        parent.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
        QSignalSpy click(box, &platform::VbComboBox::Click);

        // The wheel is left to what scrolls around the box (the platform passes an
        // ignored wheel on to the parents).
        QWheelEvent wheel(QPointF(10, 10), box->mapToGlobal(QPointF(10, 10)), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(box, &wheel);
        EXPECT_EQ(box->currentIndex(), 0);
        EXPECT_FALSE(wheel.isAccepted());

        if (style == platform::VbComboBox::Style::DropDownCombo) {
            // Typed text matching an item, and one matching none: neither chosen nor added.
            for (const QString& text : {QStringLiteral("center"), QStringLiteral("FOO")}) {
                box->lineEdit()->selectAll();
                QTest::keyClicks(box, text);
                QTest::keyClick(box, Qt::Key_Return);
                EXPECT_EQ(box->count(), 3);
                EXPECT_EQ(box->currentIndex(), 0);
            }
        }
        EXPECT_EQ(click.count(), 0);

        box->showPopup();
        QAbstractItemView* list = box->view();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(list->window()));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          list->visualRect(list->model()->index(2, 0)).center());
        EXPECT_EQ(click.count(), 1);
        EXPECT_EQ(box->currentText(), QStringLiteral("CENTER"));
        // A list opened and closed without a choice leaves nothing to report.
        box->showPopup();
        box->hidePopup();
        QTest::qWait(20);
        QTest::keyClick(box, Qt::Key_Up);
        EXPECT_EQ(click.count(), 2);
        EXPECT_EQ(box->currentText(), QStringLiteral("DASHED"));
    }
}

TEST(VbTextBox, AFittingBoxShowsItsWholeTextWhateverItsNumbers) {
    platform::VbTextBox box(true);
    box.resize(171, 29); // the overview's count box
    box.setFitText(true);
    box.setText(QStringLiteral("全ての画層\r\n画層数:1002 ｵﾌﾞｼﾞｪｸﾄ数:200000000"));
    box.show();
    const auto* editor = static_cast<const QPlainTextEdit*>(box.editor());
    const QFontMetricsF metrics(editor->font());
    const qreal room = editor->viewport()->width() - 2 * editor->document()->documentMargin();
    EXPECT_LE(metrics.horizontalAdvance(QStringLiteral("画層数:1002 ｵﾌﾞｼﾞｪｸﾄ数:200000000")), room);
    EXPECT_LE(2 * metrics.lineSpacing(), editor->viewport()->height());
    // A shorter text is shown larger again.
    const qreal small = editor->font().pointSizeF();
    box.setText(QStringLiteral("全ての画層\r\n画層数:12"));
    EXPECT_GT(editor->font().pointSizeF(), small);
}

TEST(VbTextBox, MultiLineTextKeepsCrLfAndSingleLineKeepsItsText) {
    platform::VbTextBox multi(true);
    multi.setText(QStringLiteral("全ての画層\r\n画層数:12 ｵﾌﾞｼﾞｪｸﾄ数:345"));
    EXPECT_EQ(multi.Text(), QStringLiteral("全ての画層\r\n画層数:12 ｵﾌﾞｼﾞｪｸﾄ数:345"));
    multi.setText(QStringLiteral("更新ボタンをクリックしてください\r\n"));
    EXPECT_EQ(multi.Text(), QStringLiteral("更新ボタンをクリックしてください\r\n"));

    platform::VbTextBox single;
    single.setText(QStringLiteral("Layer 1"));
    EXPECT_EQ(single.Text(), QStringLiteral("Layer 1"));
    single.setBackColor(0x800000);
    single.setForeColor(platform::vbWindowBackground);
    EXPECT_EQ(single.editor()->palette().color(QPalette::Base), QColor(0, 0, 128));
    EXPECT_EQ(single.editor()->palette().color(QPalette::Text),
              platform::vbColor(platform::vbWindowBackground));
}

TEST(VbTextBox, SystemColoursSetWhileTheWindowIsDisabledAreTheDesktopsNotTheGreyed) {
    QWidget window;
    const QPalette desktop = window.palette();
    // The test means something only where the disabled look differs.
    ASSERT_NE(desktop.color(QPalette::Disabled, QPalette::Text),
              desktop.color(QPalette::Active, QPalette::Text));
    window.setEnabled(false);
    auto* title = new platform::VbTextBox(false, &window);
    title->setBackColor(platform::vbWindowBackground);
    title->setForeColor(platform::vbWindowText);
    window.setEnabled(true);

    const QPalette shown = title->editor()->palette();
    EXPECT_EQ(shown.color(QPalette::Active, QPalette::Text),
              desktop.color(QPalette::Active, QPalette::Text));
    EXPECT_EQ(shown.color(QPalette::Active, QPalette::Base),
              desktop.color(QPalette::Active, QPalette::Base));
}

// Paints its whole box in one colour.
class FlatPicture : public platform::VbPicture {
public:
    explicit FlatPicture(QColor c) : m_colour(c) {}
    QSizeF naturalSizeTwips() const override { return {300, 300}; }
    void paint(QPainter& painter, const QRectF& target) const override {
        painter.fillRect(target, m_colour);
    }

private:
    QColor m_colour;
};

TEST(VbImage, APictureShownOnItsBackgroundStaysLegibleTheFileDoesNot) {
    const QColor grey(128, 128, 128);
    platform::VbImage image;
    image.setStretch(true);
    image.resize(20, 20);
    image.setPicture(std::make_shared<FlatPicture>(grey));
    EXPECT_EQ(image.grab().toImage().pixelColor(10, 10), grey);

    image.setLegibleOn(grey);
    const QColor shown = image.grab().toImage().pixelColor(10, 10);
    EXPECT_GE(std::abs(shown.lightness() - grey.lightness()), 64);
    // A colour that reads anyway is painted as it is.
    image.setPicture(std::make_shared<FlatPicture>(QColor(0, 0, 255)));
    EXPECT_EQ(image.grab().toImage().pixelColor(10, 10), QColor(0, 0, 255));
}

TEST(VbListBox, SortedBoxInsertsInCollatedOrderUnsortedAppends) {
    platform::VbListBox sorted(true);
    for (const char* s : {"wall", "Door", "0", "defpoints", "WALL-2", "Ａ"})
        sorted.AddItem(QString::fromUtf8(s));
    QStringList out;
    for (int i = 0; i < sorted.ListCount(); ++i)
        out << sorted.List(i);
    EXPECT_EQ(out.mid(0, 5), (QStringList{"0", "defpoints", "Door", "wall", "WALL-2"}));
    EXPECT_EQ(out.size(), 6);

    platform::VbListBox plain(false);
    plain.AddItem(QStringLiteral("b"));
    plain.AddItem(QStringLiteral("a"));
    EXPECT_EQ(plain.List(0), QStringLiteral("b"));
    EXPECT_EQ(plain.List(5), QString());
    plain.setSelected(1, true);
    EXPECT_TRUE(plain.Selected(1));
    EXPECT_FALSE(plain.Selected(0));
}

TEST(VbPictureBox, KeepsTagAndBackColorAndCapsItsSize) {
    platform::VbPictureBox box;
    EXPECT_TRUE(box.Tag.isEmpty());
    box.Tag = QStringLiteral("5");
    box.setBackColor(0xFF);
    EXPECT_EQ(box.BackColor(), 0xFFu);
    box.resize(40000, 40000);
    EXPECT_EQ(box.size(), QSize(32767, 32767));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
