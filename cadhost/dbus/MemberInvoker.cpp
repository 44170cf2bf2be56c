#include "cadhost/dbus/MemberInvoker.h"

#include "automation/PlainValue.h"

#include "cadhost/model/CadErrors.h"
#include "cadhost/model/DrawingArguments.h"
#include "platform/VbError.h"

#include <QDBusVariant>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QObject>
#include <QStringList>
#include <array>
#include <limits>
#include <optional>

namespace cadhost::dbus {
namespace {

using acadwire::Reply;
using acadwire::Request;
namespace wireerr = acadwire::wireerr;

const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

// The interface an object answers for, as declared for the bus.
QString interfaceOf(const QMetaObject& meta) {
    const int index = meta.indexOfClassInfo("D-Bus Interface");
    return index < 0 ? QString() : QString::fromLatin1(meta.classInfo(index).value());
}

std::optional<int> asInt(const QVariant& value) {
    if (!detail::isWholeNumber(value))
        return std::nullopt;
    const qlonglong n = value.toLongLong();
    if (n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(n);
}

// A plain value as the member's parameter type wants it; nothing when it does not fit.
std::optional<QVariant> shaped(const QVariant& value, QMetaType type) {
    const int id = type.id();
    if (id == qMetaTypeId<QDBusVariant>())
        return QVariant::fromValue(QDBusVariant(value));
    if (id == qMetaTypeId<QList<int>>()) {
        if (value.typeId() != QMetaType::QVariantList)
            return std::nullopt;
        QList<int> numbers;
        for (const QVariant& item : value.toList()) {
            const auto n = asInt(item);
            if (!n)
                return std::nullopt;
            numbers << *n;
        }
        return QVariant::fromValue(numbers);
    }
    switch (id) {
    case QMetaType::QString:
    case QMetaType::Bool:
    case QMetaType::QVariantList:
        if (value.typeId() != id)
            return std::nullopt;
        return value;
    case QMetaType::Int:
        if (const auto n = asInt(value))
            return QVariant(*n);
        return std::nullopt;
    case QMetaType::Double:
        if (value.typeId() == QMetaType::Double || asInt(value))
            return QVariant(value.toDouble());
        return std::nullopt;
    case QMetaType::QStringList:
        if (value.typeId() == QMetaType::QStringList)
            return value;
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

Reply failed(const Request& request, qint32 number, const QString& description) {
    return Reply::failure(request.serial, number, description);
}

// Runs a member, turning what it throws into the reply the bus would have given.
template <typename Fn> Reply guardedReply(const Request& request, Fn&& fn) {
    try {
        return fn();
    } catch (const platform::VbError& error) {
        return failed(request, error.number(), error.description());
    } catch (const std::exception& error) {
        return failed(request, caderr::Failed, QString::fromLocal8Bit(error.what()));
    }
}

std::optional<QMetaProperty> scriptableProperty(const QMetaObject& meta, const QString& name) {
    const int index = meta.indexOfProperty(name.toLatin1().constData());
    if (index < QObject::staticMetaObject.propertyCount())
        return std::nullopt;
    const QMetaProperty property = meta.property(index);
    if (!property.isScriptable())
        return std::nullopt;
    return property;
}

Reply serveProperty(QObject& object, const Request& request) {
    const QMetaObject& meta = *object.metaObject();
    const QVariantList& args = request.arguments;
    const bool get = request.member == QLatin1String("Get");
    const bool set = request.member == QLatin1String("Set");
    if (!get && !set)
        return failed(request, wireerr::MemberNotFound, request.member);
    if (args.size() != (get ? 2 : 3))
        return failed(request, wireerr::BadParamCount, request.member);
    if (args[0].typeId() != QMetaType::QString || args[1].typeId() != QMetaType::QString)
        return failed(request, wireerr::TypeMismatch, request.member);
    const QString name = args[1].toString();
    const QString interface = args[0].toString();
    const auto property = scriptableProperty(meta, name);
    if (!property || (!interface.isEmpty() && interface != interfaceOf(meta)))
        return failed(request, wireerr::MemberNotFound, name);
    return guardedReply(request, [&] {
        if (get) {
            if (!property->isReadable())
                return failed(request, wireerr::MemberNotFound, name);
            return Reply::success(request.serial, {acadwire::plainValue(property->read(&object))});
        }
        const auto value = shaped(args[2], property->metaType());
        if (!property->isWritable() || !value)
            return failed(request,
                          property->isWritable() ? wireerr::TypeMismatch : wireerr::MemberNotFound,
                          name);
        property->write(&object, *value);
        return Reply::success(request.serial, {});
    });
}

Reply serveMethod(QObject& object, const Request& request) {
    const QMetaObject& meta = *object.metaObject();
    if (!request.interface.isEmpty() && request.interface != interfaceOf(meta))
        return failed(request, wireerr::MemberNotFound, request.member);
    const QByteArray name = request.member.toLatin1();
    bool named = false;
    for (int i = QObject::staticMetaObject.methodCount(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        if (method.methodType() != QMetaMethod::Slot || method.access() != QMetaMethod::Public ||
            !(method.attributes() & QMetaMethod::Scriptable) || method.name() != name)
            continue;
        named = true;
        if (method.parameterCount() != request.arguments.size())
            continue;
        // Moc's own dispatch runs the slot, so an exception it throws reaches us through
        // our own code only.
        std::array<QVariant, 10> arguments;
        std::array<void*, 11> pointers{};
        if (request.arguments.size() > qsizetype(arguments.size()))
            return failed(request, wireerr::BadParamCount, request.member);
        for (int p = 0; p < method.parameterCount(); ++p) {
            const auto value = shaped(request.arguments[p], method.parameterMetaType(p));
            if (!value)
                return failed(request, wireerr::TypeMismatch,
                              QStringLiteral("%1: argument %2").arg(request.member).arg(p + 1));
            arguments[std::size_t(p)] = *value;
            pointers[std::size_t(p) + 1] = arguments[std::size_t(p)].data();
        }
        const QMetaType returnType = method.returnMetaType();
        const bool returns = returnType.id() != QMetaType::Void;
        QVariant result = returns ? QVariant(returnType) : QVariant();
        pointers[0] = returns ? result.data() : nullptr;
        return guardedReply(request, [&] {
            object.qt_metacall(QMetaObject::InvokeMetaMethod, method.methodIndex(),
                               pointers.data());
            return Reply::success(request.serial, returns
                                                      ? QVariantList{acadwire::plainValue(result)}
                                                      : QVariantList{});
        });
    }
    return failed(request, named ? wireerr::BadParamCount : wireerr::MemberNotFound,
                  request.member);
}

} // namespace

Reply invokeMember(QObject& object, const Request& request) {
    if (request.interface == kPropertiesInterface)
        return serveProperty(object, request);
    return serveMethod(object, request);
}

} // namespace cadhost::dbus
