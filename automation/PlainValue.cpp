#include "PlainValue.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusVariant>

namespace acadwire {

QVariant plainValue(const QVariant& value) {
    const int type = value.userType();
    if (type == qMetaTypeId<QDBusVariant>())
        return plainValue(qvariant_cast<QDBusVariant>(value).variant());
    if (type == qMetaTypeId<QDBusObjectPath>())
        return qvariant_cast<QDBusObjectPath>(value).path();
    if (type == qMetaTypeId<QDBusArgument>()) {
        const auto argument = qvariant_cast<QDBusArgument>(value);
        if (argument.currentSignature() == QLatin1String("as"))
            return qdbus_cast<QStringList>(argument);
        return value;
    }
    if (type == qMetaTypeId<QList<int>>()) {
        QVariantList numbers;
        for (int n : qvariant_cast<QList<int>>(value))
            numbers << n;
        return numbers;
    }
    if (type == QMetaType::QVariantList) {
        QVariantList items = value.toList();
        for (QVariant& item : items)
            item = plainValue(item);
        return items;
    }
    return value;
}

} // namespace acadwire
