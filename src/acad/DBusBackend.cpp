#include "DBusBackend.h"

#include "AcadLog.h"
#include "automation/BusNames.h"
#include "platform/VbError.h"
#include "platform/VbErrorText.h"

#include <QDBusVariant>
#include <QElapsedTimer>
#include <QRegularExpression>

namespace acad {
namespace {

const QString kAppPath = QString::fromLatin1(acadbus::kApplicationPath);
const QString kAppInterface = QString::fromLatin1(acadbus::kApplicationInterface);
const QString kDocInterface = QString::fromLatin1(acadbus::kDocumentInterface);
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kCadErrorName = QString::fromLatin1(acadbus::kErrorName);

// One synchronous call, traced; the reply's values, or the failure thrown.
QVariantList call(AutomationChannel& channel, const QString& path, const QString& interface,
                  const QString& method, const QVariantList& args, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    try {
        QVariantList values = channel.call(path, interface, method, args, timeoutMs);
        qCDebug(lcAcad) << method << path << "took" << timer.elapsed() << "ms";
        return values;
    } catch (const platform::AutomationError& error) {
        qCDebug(lcAcad) << method << path << "failed after" << timer.elapsed() << "ms:" << Qt::hex
                        << quint32(error.number()) << error.description();
        throw;
    }
}

QVariant callValue(AutomationChannel& channel, const QString& path, const QString& interface,
                   const QString& method, const QVariantList& args, int timeoutMs) {
    const QVariantList out = call(channel, path, interface, method, args, timeoutMs);
    if (out.isEmpty()) {
        qCWarning(lcAcad) << method << path << "answered without a value";
        throw platform::automationError(dbuserr::ServerFault);
    }
    return out.first();
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

QVariant getProperty(AutomationChannel& channel, const QString& path, const QString& interface,
                     const QString& name, int timeoutMs) {
    return callValue(channel, path, kPropertiesInterface, QStringLiteral("Get"), {interface, name},
                     timeoutMs);
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

DBusApplicationBackend::DBusApplicationBackend(std::shared_ptr<AutomationChannel> channel,
                                               DBusTimeouts timeouts)
    : m_channel(std::move(channel)), m_timeouts(timeouts) {}

bool DBusApplicationBackend::visible() {
    const QVariant v = getProperty(*m_channel, kAppPath, kAppInterface, QStringLiteral("Visible"),
                                   m_timeouts.callMs);
    if (v.typeId() != QMetaType::Bool)
        throwBadReply(QStringLiteral("Visible"));
    return v.toBool();
}

void DBusApplicationBackend::setVisible(bool visible) {
    call(*m_channel, kAppPath, kPropertiesInterface, QStringLiteral("Set"),
         {kAppInterface, QStringLiteral("Visible"), wrap(visible)}, m_timeouts.callMs);
}

QString DBusApplicationBackend::caption() {
    return asString(getProperty(*m_channel, kAppPath, kAppInterface, QStringLiteral("Caption"),
                                m_timeouts.callMs),
                    QStringLiteral("Caption"));
}

std::shared_ptr<DocumentBackend> DBusApplicationBackend::activeDocument() {
    const QString path =
        asString(callValue(*m_channel, kAppPath, kAppInterface, QStringLiteral("ActiveDocument"),
                           {}, m_timeouts.callMs),
                 QStringLiteral("ActiveDocument"));
    return std::make_shared<DBusDocumentBackend>(m_channel, path, m_timeouts);
}

void DBusApplicationBackend::loadDVB(const QString& path) {
    call(*m_channel, kAppPath, kAppInterface, QStringLiteral("LoadDVB"), {path},
         m_timeouts.loadDvbMs);
}

void DBusApplicationBackend::runMacro(const QString& name) {
    call(*m_channel, kAppPath, kAppInterface, QStringLiteral("RunMacro"), {name},
         m_timeouts.runMacroMs);
}

std::shared_ptr<DocumentBackend> DBusApplicationBackend::open(const QString& path) {
    // Opening reads a whole drawing file; give it the time a macro load gets.
    const QString doc = asString(callValue(*m_channel, kAppPath, kAppInterface,
                                           QStringLiteral("Open"), {path}, m_timeouts.loadDvbMs),
                                 QStringLiteral("Open"));
    return std::make_shared<DBusDocumentBackend>(m_channel, doc, m_timeouts);
}

std::shared_ptr<DocumentBackend> DBusApplicationBackend::add() {
    const QString doc = asString(callValue(*m_channel, kAppPath, kAppInterface,
                                           QStringLiteral("Add"), {}, m_timeouts.callMs),
                                 QStringLiteral("Add"));
    return std::make_shared<DBusDocumentBackend>(m_channel, doc, m_timeouts);
}

// ---- document ----

DBusDocumentBackend::DBusDocumentBackend(std::shared_ptr<AutomationChannel> channel, QString path,
                                         DBusTimeouts timeouts)
    : m_channel(std::move(channel)), m_path(std::move(path)), m_timeouts(timeouts) {}

QString DBusDocumentBackend::name() {
    return asString(
        getProperty(*m_channel, m_path, kDocInterface, QStringLiteral("Name"), m_timeouts.callMs),
        QStringLiteral("Name"));
}

QString DBusDocumentBackend::fullName() {
    return asString(getProperty(*m_channel, m_path, kDocInterface, QStringLiteral("FullName"),
                                m_timeouts.callMs),
                    QStringLiteral("FullName"));
}

QString DBusDocumentBackend::getActiveLayer() {
    return asString(callValue(*m_channel, m_path, kDocInterface, QStringLiteral("GetActiveLayer"),
                              {}, m_timeouts.callMs),
                    QStringLiteral("GetActiveLayer"));
}

void DBusDocumentBackend::setActiveLayer(const QString& name) {
    call(*m_channel, m_path, kDocInterface, QStringLiteral("SetActiveLayer"), {name},
         m_timeouts.callMs);
}

void DBusDocumentBackend::regen(int which) {
    call(*m_channel, m_path, kDocInterface, QStringLiteral("Regen"), {which}, m_timeouts.callMs);
}

int DBusDocumentBackend::layerCount() {
    return asInt(callValue(*m_channel, m_path, kDocInterface, QStringLiteral("LayerCount"), {},
                           m_timeouts.callMs),
                 QStringLiteral("LayerCount"));
}

QString DBusDocumentBackend::layerName(int index) {
    return asString(callValue(*m_channel, m_path, kDocInterface, QStringLiteral("LayerName"),
                              {index}, m_timeouts.callMs),
                    QStringLiteral("LayerName"));
}

QVariant DBusDocumentBackend::getLayerProperty(const QString& layer, const QString& property) {
    return callValue(*m_channel, m_path, kDocInterface, QStringLiteral("GetLayerProperty"),
                     {layer, property}, m_timeouts.callMs);
}

void DBusDocumentBackend::setLayerProperty(const QString& layer, const QString& property,
                                           const QVariant& value) {
    call(*m_channel, m_path, kDocInterface, QStringLiteral("SetLayerProperty"),
         {layer, property, wrap(value)}, m_timeouts.callMs);
}

QStringList DBusDocumentBackend::linetypeNames() {
    const QVariant v = callValue(*m_channel, m_path, kDocInterface, QStringLiteral("LinetypeNames"),
                                 {}, m_timeouts.callMs);
    if (v.typeId() != QMetaType::QStringList)
        throwBadReply(QStringLiteral("LinetypeNames"));
    return v.toStringList();
}

int DBusDocumentBackend::selectionSetCount() {
    return asInt(callValue(*m_channel, m_path, kDocInterface, QStringLiteral("SelectionSetCount"),
                           {}, m_timeouts.callMs),
                 QStringLiteral("SelectionSetCount"));
}

void DBusDocumentBackend::deleteSelectionSet(int index) {
    call(*m_channel, m_path, kDocInterface, QStringLiteral("DeleteSelectionSet"), {index},
         m_timeouts.callMs);
}

void DBusDocumentBackend::addSelectionSet(const QString& name) {
    call(*m_channel, m_path, kDocInterface, QStringLiteral("AddSelectionSet"), {name},
         m_timeouts.callMs);
}

void DBusDocumentBackend::clearSelectionSet(const QString& name) {
    call(*m_channel, m_path, kDocInterface, QStringLiteral("ClearSelectionSet"), {name},
         m_timeouts.callMs);
}

void DBusDocumentBackend::selectAll(const QString& name, const QList<int>& codes,
                                    const QVariantList& values) {
    // A QVariantList goes out as "av", each filter datum a variant of its own type.
    call(*m_channel, m_path, kDocInterface, QStringLiteral("SelectAll"),
         {name, QVariant::fromValue(codes), QVariant::fromValue(values)}, m_timeouts.callMs);
}

int DBusDocumentBackend::selectionSetSize(const QString& name) {
    return asInt(callValue(*m_channel, m_path, kDocInterface, QStringLiteral("SelectionSetSize"),
                           {name}, m_timeouts.callMs),
                 QStringLiteral("SelectionSetSize"));
}

void DBusDocumentBackend::addLayer(const QString& name) {
    call(*m_channel, m_path, kDocInterface, QStringLiteral("AddLayer"), {name}, m_timeouts.callMs);
}

void DBusDocumentBackend::deleteLayer(const QString& name) {
    call(*m_channel, m_path, kDocInterface, QStringLiteral("DeleteLayer"), {name},
         m_timeouts.callMs);
}

void DBusDocumentBackend::save() {
    call(*m_channel, m_path, kDocInterface, QStringLiteral("Save"), {}, m_timeouts.loadDvbMs);
}

void DBusDocumentBackend::saveAs(const QString& path) {
    call(*m_channel, m_path, kDocInterface, QStringLiteral("SaveAs"), {path}, m_timeouts.loadDvbMs);
}

} // namespace acad
