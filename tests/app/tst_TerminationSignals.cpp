// A logout or a kill ends the viewer as a close of its window does.

#include "app/TerminationSignals.h"

#include "ViewerProcess.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>

namespace {

bool waitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return done();
}

TEST(TerminationSignals, ArriveOnTheMainThreadInsteadOfEndingTheProcess) {
    TerminationSignals& handlers = TerminationSignals::install();
    EXPECT_EQ(&TerminationSignals::install(), &handlers);
    QSignalSpy spy(&handlers, &TerminationSignals::received);
    ASSERT_EQ(::raise(SIGTERM), 0);
    ASSERT_EQ(::raise(SIGHUP), 0);
    ASSERT_TRUE(waitFor([&] { return spy.count() >= 2; }, 5000));
    EXPECT_EQ(spy.at(0).at(0).toInt(), SIGTERM);
    EXPECT_EQ(spy.at(1).at(0).toInt(), SIGHUP);
}

TEST(TerminationSignals, ADialogLeftOpenDoesNotKeepTheProgramRunning) {
    QWidget mainWindow;
    mainWindow.show();
    QDialog about(&mainWindow);
    int ended = 0;
    // The signal arrives while the dialog's own loop runs, as a logout finds it open.
    QTimer::singleShot(50, &about,
                       [&] { TerminationSignals::closeAll(&mainWindow, [&] { ++ended; }); });
    QTimer::singleShot(5000, &about, [&] { about.done(42); }); // the test's own way out
    EXPECT_NE(about.exec(), 42);
    EXPECT_FALSE(about.isVisible());
    EXPECT_FALSE(mainWindow.isVisible());
    EXPECT_EQ(ended, 1);
}

TEST(TerminationSignals, AnErrorBoxInsideADialogEndsWithItAndTheProgramEnds) {
    QWidget mainWindow;
    mainWindow.show();
    // A dialog that refuses to close, as one does while its command runs, with the
    // command's error box open inside it.
    class BusyDialog : public QDialog {
    public:
        using QDialog::QDialog;
        void closeEvent(QCloseEvent* event) override { event->ignore(); }
    } dialog(&mainWindow);
    int ended = 0;
    bool boxReturned = false;
    QTimer::singleShot(0, &dialog, [&] {
        QTimer::singleShot(100, &dialog,
                           [&] { TerminationSignals::closeAll(&mainWindow, [&] { ++ended; }); });
        QMessageBox box(QMessageBox::Critical, QStringLiteral("KORVEL Ver4.00"),
                        QStringLiteral("番号：75"), QMessageBox::Ok, &dialog);
        QTimer::singleShot(5000, &box, [&] { box.done(42); }); // the test's own way out
        EXPECT_NE(box.exec(), 42);
        boxReturned = true;
    });
    QTimer::singleShot(6000, &dialog, [&] { dialog.done(42); });
    EXPECT_NE(dialog.exec(), 42);
    EXPECT_TRUE(boxReturned);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(mainWindow.isVisible());
    EXPECT_EQ(ended, 1);
}

// The built viewer in a program folder of its own, ended as a logout ends it.
TEST(TerminationSignals, TheViewerEndedBySigtermSavesItsPositionAndRemovesItsWorkFolder) {
    korvel::test::ViewerProcess viewer;
    ASSERT_TRUE(viewer.isValid());
    // A work folder as a refresh leaves it.
    ASSERT_TRUE(QDir(viewer.folder()).mkpath(QStringLiteral("LAYER/SYS")));
    QFile picture(viewer.filePath(QStringLiteral("LAYER/0.wmf")));
    ASSERT_TRUE(picture.open(QIODevice::WriteOnly));
    picture.close();

    ASSERT_TRUE(viewer.start()) << viewer.output().toStdString();
    EXPECT_TRUE(viewer.terminate()) << viewer.output().toStdString();
    EXPECT_FALSE(QFileInfo::exists(viewer.filePath(QStringLiteral("LAYER"))));
    QFile settings(viewer.filePath(QStringLiteral("TARNIX.ini")));
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    const QByteArray text = settings.readAll();
    EXPECT_TRUE(text.contains("[WMFPosi]")) << text.toStdString();
    EXPECT_TRUE(text.contains("width=")) << text.toStdString();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
