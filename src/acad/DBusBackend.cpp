#include "DBusBackend.h"

#include "AcadLog.h"
#include "platform/VbError.h"
#include "platform/VbErrorText.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QRegularExpression>

namespace acad {
namespace {

const QString kAppPath = QStringLiteral("/Application");
const QString kAppInterface = QStringLiteral("AutoCAD.Application");
const QString kDocInterface = QStringLiteral("AutoCAD.Document");
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kCadErrorName = QStringLiteral("AutoCAD.Error");

// Qt hands variants and object paths over wrapped; callers want the plain value.
QVariant unwrap(const QVariant& v) {
    if (v.userType() == qMetaTypeId<QDBusVariant>())
        return unwrap(qvariant_cast<QDBusVariant>(v).variant());
    if (v.userType() == qMetaTypeId<QDBusObjectPath>())
        return qvariant_cast<QDBusObjectPath>(v).path();
    if (v.userType() == qMetaTypeId<QDBusArgument>()) {
        const auto arg = qvariant_cast<QDBusArgument>(v);
        if (arg.currentSignature() == QLatin1String("as"))
            return qdbus_cast<QStringList>(arg);
    }
    return v;
}

// One synchronous call; the reply's arguments, or the failure as an automation error.
QList<QVariant> call(const QDBusConnection& bus, const QString& service, const QString& path,
                     const QString& interface, const QString& method, const QVariantList& args,
                     int timeoutMs) {
    QDBusMessage msg = QDBusMessage::createMethodCall(service, path, interface, method);
    msg.setArguments(args);
    // The references are bound to one process; never let a call start a new one.
    msg.setAutoStartService(false);
    QElapsedTimer timer;
    timer.start();
    const QDBusMessage reply = bus.call(msg, QDBus::Block, timeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        const QDBusError error(reply);
        qCDebug(lcAcad) << method << path << "failed after" << timer.elapsed()
                        << "ms:" << error.name() << error.message();
        throw toAutomationError(error);
    }
    if (reply.type() != QDBusMessage::ReplyMessage)
        throw platform::automationError(dbuserr::RpcCallFailed);
    qCDebug(lcAcad) << method << path << "took" << timer.elapsed() << "ms";
    return reply.arguments();
}

QVariant callValue(const QDBusConnection& bus, const QString& service, const QString& path,
                   const QString& interface, const QString& method, const QVariantList& args,
                   int timeoutMs) {
    const QList<QVariant> out = call(bus, service, path, interface, method, args, timeoutMs);
    if (out.isEmpty()) {
        qCWarning(lcAcad) << method << path << "answered without a value";
        throw platform::automationError(dbuserr::ServerFault);
    }
    return unwrap(out.first());
}

[[noreturn]] void throwBadReply(const QString& what) {
    qCWarning(lcAcad) << what << "came back as a value of an unexpected type";
    throw platform::automationError(dbuserr::ServerFault);
}

QString asString(const QVariant& v, const QString& what) {
    if (v.typeId() != QMetaType::QString)
        throwBadReply(what);
    return v.toString();
}

int asInt(const QVariant& v, const QString& what) {
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    if (!ok || v.typeId() == QMetaType::QString || v.typeId() == QMetaType::Bool || n < INT32_MIN ||
        n > INT32_MAX)
        throwBadReply(what);
    return static_cast<int>(n);
}

// The CAD's layer properties travel as variants of their own type.
QVariant wrap(const QVariant& v) {
    return QVariant::fromValue(QDBusVariant(v));
}

QVariant getProperty(const QDBusConnection& bus, const QString& service, const QString& path,
                     const QString& interface, const QString& name, int timeoutMs) {
    return callValue(bus, service, path, kPropertiesInterface, QStringLiteral("Get"),
                     {interface, name}, timeoutMs);
}

} // namespace

platform::AutomationError toAutomationError(const QDBusError& error) {
    if (error.name() == kCadErrorName) {
        static const QRegularExpression numbered(QStringLiteral("^([0-9A-Fa-f]{8}): ?(.*)$"),
                                                 QRegularExpression::DotMatchesEverythingOption);
        const auto m = numbered.match(error.message());
        if (m.hasMatch()) {
            const quint32 number = m.captured(1).toUInt(nullptr, 16);
            return platform::AutomationError(static_cast<qint32>(number), m.captured(2));
        }
        return platform::AutomationError(dbuserr::ServerFault, error.message());
    }
    if (error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return platform::automationError(dbuserr::RpcServerUnavailable);
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::Disconnected:
        return platform::automationError(dbuserr::RpcServerUnavailable);
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
        return platform::automationError(dbuserr::RpcCallFailed);
    default:
        break;
    }
    // Unknown object or method, bad arguments: the server could not serve the call.
    const QString text = error.message().isEmpty() ? error.name() : error.message();
    return platform::AutomationError(dbuserr::ServerFault, text);
}

// ---- application ----

DBusApplicationBackend::DBusApplicationBackend(QDBusConnection bus, QString service,
                                               DBusTimeouts timeouts)
    : m_bus(std::move(bus)), m_service(std::move(service)), m_timeouts(timeouts) {}

bool DBusApplicationBackend::visible() {
    const QVariant v = getProperty(m_bus, m_service, kAppPath, kAppInterface,
                                   QStringLiteral("Visible"), m_timeouts.callMs);
    if (v.typeId() != QMetaType::Bool)
        throwBadReply(QStringLiteral("Visible"));
    return v.toBool();
}

void DBusApplicationBackend::setVisible(bool visible) {
    call(m_bus, m_service, kAppPath, kPropertiesInterface, QStringLiteral("Set"),
         {kAppInterface, QStringLiteral("Visible"), wrap(visible)}, m_timeouts.callMs);
}

QString DBusApplicationBackend::caption() {
    return asString(getProperty(m_bus, m_service, kAppPath, kAppInterface,
                                QStringLiteral("Caption"), m_timeouts.callMs),
                    QStringLiteral("Caption"));
}

std::shared_ptr<DocumentBackend> DBusApplicationBackend::activeDocument() {
    const QString path =
        asString(callValue(m_bus, m_service, kAppPath, kAppInterface,
                           QStringLiteral("ActiveDocument"), {}, m_timeouts.callMs),
                 QStringLiteral("ActiveDocument"));
    return std::make_shared<DBusDocumentBackend>(m_bus, m_service, path, m_timeouts);
}

void DBusApplicationBackend::loadDVB(const QString& path) {
    call(m_bus, m_service, kAppPath, kAppInterface, QStringLiteral("LoadDVB"), {path},
         m_timeouts.loadDvbMs);
}

void DBusApplicationBackend::runMacro(const QString& name) {
    call(m_bus, m_service, kAppPath, kAppInterface, QStringLiteral("RunMacro"), {name},
         m_timeouts.runMacroMs);
}

std::shared_ptr<DocumentBackend> DBusApplicationBackend::open(const QString& path) {
    // Opening reads a whole drawing file; give it the time a macro load gets.
    const QString doc = asString(callValue(m_bus, m_service, kAppPath, kAppInterface,
                                           QStringLiteral("Open"), {path}, m_timeouts.loadDvbMs),
                                 QStringLiteral("Open"));
    return std::make_shared<DBusDocumentBackend>(m_bus, m_service, doc, m_timeouts);
}

std::shared_ptr<DocumentBackend> DBusApplicationBackend::add() {
    const QString doc = asString(callValue(m_bus, m_service, kAppPath, kAppInterface,
                                           QStringLiteral("Add"), {}, m_timeouts.callMs),
                                 QStringLiteral("Add"));
    return std::make_shared<DBusDocumentBackend>(m_bus, m_service, doc, m_timeouts);
}

// ---- document ----

DBusDocumentBackend::DBusDocumentBackend(QDBusConnection bus, QString service, QString path,
                                         DBusTimeouts timeouts)
    : m_bus(std::move(bus)), m_service(std::move(service)), m_path(std::move(path)),
      m_timeouts(timeouts) {}

QString DBusDocumentBackend::name() {
    return asString(getProperty(m_bus, m_service, m_path, kDocInterface, QStringLiteral("Name"),
                                m_timeouts.callMs),
                    QStringLiteral("Name"));
}

QString DBusDocumentBackend::fullName() {
    return asString(getProperty(m_bus, m_service, m_path, kDocInterface, QStringLiteral("FullName"),
                                m_timeouts.callMs),
                    QStringLiteral("FullName"));
}

QString DBusDocumentBackend::getActiveLayer() {
    return asString(callValue(m_bus, m_service, m_path, kDocInterface,
                              QStringLiteral("GetActiveLayer"), {}, m_timeouts.callMs),
                    QStringLiteral("GetActiveLayer"));
}

void DBusDocumentBackend::setActiveLayer(const QString& name) {
    call(m_bus, m_service, m_path, kDocInterface, QStringLiteral("SetActiveLayer"), {name},
         m_timeouts.callMs);
}

void DBusDocumentBackend::regen(int which) {
    call(m_bus, m_service, m_path, kDocInterface, QStringLiteral("Regen"), {which},
         m_timeouts.callMs);
}

int DBusDocumentBackend::layerCount() {
    return asInt(callValue(m_bus, m_service, m_path, kDocInterface, QStringLiteral("LayerCount"),
                           {}, m_timeouts.callMs),
                 QStringLiteral("LayerCount"));
}

QString DBusDocumentBackend::layerName(int index) {
    return asString(callValue(m_bus, m_service, m_path, kDocInterface, QStringLiteral("LayerName"),
                              {index}, m_timeouts.callMs),
                    QStringLiteral("LayerName"));
}

QVariant DBusDocumentBackend::getLayerProperty(const QString& layer, const QString& property) {
    return callValue(m_bus, m_service, m_path, kDocInterface, QStringLiteral("GetLayerProperty"),
                     {layer, property}, m_timeouts.callMs);
}

void DBusDocumentBackend::setLayerProperty(const QString& layer, const QString& property,
                                           const QVariant& value) {
    call(m_bus, m_service, m_path, kDocInterface, QStringLiteral("SetLayerProperty"),
         {layer, property, wrap(value)}, m_timeouts.callMs);
}

QStringList DBusDocumentBackend::linetypeNames() {
    const QVariant v = callValue(m_bus, m_service, m_path, kDocInterface,
                                 QStringLiteral("LinetypeNames"), {}, m_timeouts.callMs);
    if (v.typeId() != QMetaType::QStringList)
        throwBadReply(QStringLiteral("LinetypeNames"));
    return v.toStringList();
}

int DBusDocumentBackend::selectionSetCount() {
    return asInt(callValue(m_bus, m_service, m_path, kDocInterface,
                           QStringLiteral("SelectionSetCount"), {}, m_timeouts.callMs),
                 QStringLiteral("SelectionSetCount"));
}

void DBusDocumentBackend::deleteSelectionSet(int index) {
    call(m_bus, m_service, m_path, kDocInterface, QStringLiteral("DeleteSelectionSet"), {index},
         m_timeouts.callMs);
}

void DBusDocumentBackend::addSelectionSet(const QString& name) {
    call(m_bus, m_service, m_path, kDocInterface, QStringLiteral("AddSelectionSet"), {name},
         m_timeouts.callMs);
}

void DBusDocumentBackend::clearSelectionSet(const QString& name) {
    call(m_bus, m_service, m_path, kDocInterface, QStringLiteral("ClearSelectionSet"), {name},
         m_timeouts.callMs);
}

void DBusDocumentBackend::selectAll(const QString& name, const QList<int>& codes,
                                    const QVariantList& values) {
    // A QVariantList goes out as "av", each filter datum a variant of its own type.
    call(m_bus, m_service, m_path, kDocInterface, QStringLiteral("SelectAll"),
         {name, QVariant::fromValue(codes), QVariant::fromValue(values)}, m_timeouts.callMs);
}

int DBusDocumentBackend::selectionSetSize(const QString& name) {
    return asInt(callValue(m_bus, m_service, m_path, kDocInterface,
                           QStringLiteral("SelectionSetSize"), {name}, m_timeouts.callMs),
                 QStringLiteral("SelectionSetSize"));
}

void DBusDocumentBackend::addLayer(const QString& name) {
    call(m_bus, m_service, m_path, kDocInterface, QStringLiteral("AddLayer"), {name},
         m_timeouts.callMs);
}

void DBusDocumentBackend::deleteLayer(const QString& name) {
    call(m_bus, m_service, m_path, kDocInterface, QStringLiteral("DeleteLayer"), {name},
         m_timeouts.callMs);
}

void DBusDocumentBackend::save() {
    call(m_bus, m_service, m_path, kDocInterface, QStringLiteral("Save"), {}, m_timeouts.loadDvbMs);
}

void DBusDocumentBackend::saveAs(const QString& path) {
    call(m_bus, m_service, m_path, kDocInterface, QStringLiteral("SaveAs"), {path},
         m_timeouts.loadDvbMs);
}

} // namespace acad
