#include "frmSplash.h"

#include "platform/ErrorReport.h"
#include "platform/WindowSystem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

namespace frmSplash {
namespace {

class SplashWindow : public QWidget {
public:
    SplashWindow() : QWidget(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint) {
        setObjectName(QStringLiteral("frmSplash"));
        setAttribute(Qt::WA_DeleteOnClose);
        LblMsg = new QLabel(this);
        LblMsg->setObjectName(QStringLiteral("LblMsg"));
        LblMsg->setAlignment(Qt::AlignCenter);
        LblMsg->setMinimumSize(300, 60);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(LblMsg);
    }
    QLabel* LblMsg;
};

// How long a new status window may take to appear before the caller goes on.
constexpr qint64 kMapWaitMs = 500;

QPointer<SplashWindow>& window() {
    static QPointer<SplashWindow> w;
    return w;
}

} // namespace

void pu_subShow(const QString& sMsg) {
    if (!window()) {
        window() = new SplashWindow;
        window()->winId();
        platform::WindowSystem::instance().setTopMost(
            static_cast<std::uint32_t>(window()->winId()));
    }
    window()->LblMsg->setText(sMsg);
    window()->setWindowTitle(ErrorReport::kTitle);
    window()->show();
    // What follows is usually a call that blocks this thread (starting the CAD, a
    // macro): the text must be on screen before it. Wait, briefly, for the window
    // system to map the window, then paint it at once.
    QElapsedTimer waited;
    waited.start();
    QWindow* handle = window()->windowHandle();
    while (handle && !handle->isExposed() && waited.elapsed() < kMapWaitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    window()->repaint();
    QCoreApplication::processEvents();
}

void Unload() {
    if (window()) {
        delete window().data();
        window() = nullptr;
    }
}

bool isLoaded() {
    return !window().isNull();
}

QString message() {
    return window() ? window()->LblMsg->text() : QString();
}

} // namespace frmSplash
