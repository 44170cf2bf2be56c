#include "cadhost/model/CadErrors.h"

namespace cadhost {

QString cadErrorDescription(qint32 number) {
    switch (number) {
    case caderr::KeyNotFound:
        return QStringLiteral("Key not found");
    case caderr::FrozenLayerCurrent:
        return QStringLiteral("Invalid layer");
    case caderr::InvalidArgument:
        return QStringLiteral("Invalid argument");
    case caderr::TypeMismatch:
        return QStringLiteral("Type mismatch");
    case caderr::UnknownName:
        return QStringLiteral("Unknown name");
    case caderr::DuplicateKey:
        return QStringLiteral("Duplicate key");
    case caderr::ObjectReferenced:
        return QStringLiteral("Object is referenced by other object(s)");
    case caderr::NoDocument:
        return QStringLiteral("No document is open");
    default:
        return QStringLiteral("Automation error");
    }
}

void throwCadError(qint32 number, const QString& description) {
    throw platform::AutomationError(number, description.isEmpty() ? cadErrorDescription(number)
                                                                  : description);
}

} // namespace cadhost
