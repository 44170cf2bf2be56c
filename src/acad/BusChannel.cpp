#include "BusChannel.h"

#include "acad/CallWait.h"
#include "acad/DBusBackend.h"
#include "automation/PlainValue.h"
#include "platform/VbError.h"
#include "platform/VbErrorText.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QElapsedTimer>
#include <QThread>

namespace acad {

BusChannel::BusChannel(QDBusConnection bus, QString service)
    : m_bus(std::move(bus)), m_service(std::move(service)) {}

// The bus hands the reply over on its own thread: waiting here in short steps lets the
// window's pump run once the call takes a while.
QDBusMessage BusChannel::callPumping(const QDBusMessage& msg, int timeoutMs) {
    QDBusPendingCall pending = m_bus.asyncCall(msg, timeoutMs);
    QElapsedTimer waited;
    waited.start();
    while (!pending.isFinished()) {
        // Polled closely at first: most calls are answered within a millisecond.
        if (waited.elapsed() < 2) {
            QThread::usleep(50);
            continue;
        }
        CallWait::pumpIfDue();
        QThread::usleep(500);
    }
    return pending.reply();
}

QVariantList BusChannel::call(const QString& path, const QString& interface, const QString& member,
                              const QVariantList& arguments, int timeoutMs) {
    QDBusMessage msg = QDBusMessage::createMethodCall(m_service, path, interface, member);
    msg.setArguments(arguments);
    // The references are bound to one process; never let a call start a new one.
    msg.setAutoStartService(false);
    CallWait::pumpIfDue();
    const QDBusMessage reply = CallWait::hasPump() ? callPumping(msg, timeoutMs)
                                                   : m_bus.call(msg, QDBus::Block, timeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage)
        throw toAutomationError(QDBusError(reply));
    if (reply.type() != QDBusMessage::ReplyMessage)
        throw platform::automationError(dbuserr::RpcCallFailed);
    QVariantList values = reply.arguments();
    for (QVariant& value : values)
        value = acadwire::plainValue(value);
    return values;
}

} // namespace acad
