#include "frmSplash.h"

#include "platform/ErrorReport.h"
#include "platform/WindowSystem.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>
#include <QWidget>

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
    QCoreApplication::processEvents();
    window()->show();
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
