// cadhost: the stand-in CAD application. Opens DXF drawings, shows them, and serves the
// CAD's automation interface on the session bus as AutoCAD.Application.
//
//   cadhost               a new drawing, window shown
//   cadhost FILE.dxf      that drawing, window shown (handed to a running host if any)
//   started by D-Bus activation: a new drawing, hidden until Visible is set True
#include "automation/BusNames.h"
#include "cadhost/dbus/AutomationServer.h"
#include "cadhost/dxf/DxfStore.h"
#include "cadhost/macro/DrawingMacroHost.h"
#include "cadhost/model/CadApplication.h"
#include "cadhost/model/HostLog.h"
#include "cadhost/ui/DrawingView.h"
#include "cadhost/ui/MainWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDBusInterface>
#include <QDBusReply>
#include <QFileInfo>
#include <QMessageBox>

namespace {

// A second start with a file hands the file to the host that owns the name, as a CAD
// opens a double-clicked drawing in the running instance.
bool handOver(const QString& path) {
    QDBusInterface app(
        QString::fromLatin1(acadbus::kServiceName), QString::fromLatin1(acadbus::kApplicationPath),
        QString::fromLatin1(acadbus::kApplicationInterface), QDBusConnection::sessionBus());
    if (!app.isValid())
        return false;
    if (!path.isEmpty()) {
        const QDBusMessage reply =
            app.call(QStringLiteral("Open"), QFileInfo(path).absoluteFilePath());
        if (reply.type() == QDBusMessage::ErrorMessage) {
            QMessageBox::critical(nullptr, QStringLiteral("CAD Host"), reply.errorMessage());
            return true;
        }
    }
    app.setProperty("Visible", true);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("cadhost"));
    QApplication::setQuitOnLastWindowClosed(false); // a hidden host has no window yet

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The stand-in CAD application."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("drawing"), QStringLiteral("DXF file to open"));
    parser.process(qapp);
    const QString file = parser.positionalArguments().value(0);
    const bool activated = qEnvironmentVariableIsSet("DBUS_STARTER_ADDRESS");

    cadhost::CadApplication application;
    application.setDrawingStore(std::make_unique<cadhost::dxf::DxfStore>());
    application.setMacroEngine(cadhost::makeLuaMacroEngine(application));

    cadhost::dbus::AutomationServer server(&application,
                                           cadhost::dbus::AutomationServer::hostConnection());
    cadhost::MainWindow window(&application);
    QObject::connect(&server, &cadhost::dbus::AutomationServer::callsServed, window.view(),
                     &cadhost::DrawingView::postponeRepaint);

    // The drawing comes first: a client woken by the name must find an active document.
    if (file.isEmpty() || !window.openFile(file))
        application.add();

    if (!server.start()) {
        if (activated) {
            // The bus reports the failed activation to the client; the reason is ours.
            qCWarning(lcCadhost) << "automation interface not available:" << server.errorString();
            return 1;
        }
        if (handOver(file))
            return 0;
        QMessageBox::warning(&window, QStringLiteral("CAD Host"),
                             QStringLiteral("The automation interface is not available:\n%1")
                                 .arg(server.errorString()));
    }
    application.setVisible(!activated);
    return qapp.exec();
}
