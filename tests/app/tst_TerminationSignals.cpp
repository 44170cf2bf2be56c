// A logout or a kill ends the viewer as a close of its window does.

#include "app/TerminationSignals.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
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

// The built viewer in a program folder of its own, ended as a logout ends it.
TEST(TerminationSignals, TheViewerEndedBySigtermSavesItsPositionAndRemovesItsWorkFolder) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString program = folder.filePath(QStringLiteral("tarnix"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(KORVEL_BIN_DIR "/tarnix"), program));
    QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
    // A work folder as a refresh leaves it.
    ASSERT_TRUE(QDir(folder.path()).mkpath(QStringLiteral("LAYER/SYS")));
    QFile picture(folder.filePath(QStringLiteral("LAYER/0.wmf")));
    ASSERT_TRUE(picture.open(QIODevice::WriteOnly));
    picture.close();

    QProcess viewer;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    viewer.setProcessEnvironment(env);
    viewer.start(program, {});
    ASSERT_TRUE(viewer.waitForStarted(10000));
    // The settings file is made at load, after the handlers are in place.
    const QString ini = folder.filePath(QStringLiteral("TARNIX.ini"));
    ASSERT_TRUE(waitFor([&] { return QFileInfo::exists(ini); }, 20000));
    QThread::msleep(200);

    viewer.terminate(); // SIGTERM
    ASSERT_TRUE(viewer.waitForFinished(20000));
    EXPECT_EQ(viewer.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(viewer.exitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(folder.filePath(QStringLiteral("LAYER"))));
    QFile settings(ini);
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
