#include "cadhost/model/CadErrors.h"

namespace cadhost {

QString cadErrorDescription(qint32 number) {
    switch (number) {
    case platform::acaderr::KeyNotFound:
        return QStringLiteral("Key not found");
    case platform::acaderr::FrozenLayerCurrent:
        return QStringLiteral("Invalid layer");
    case hosterr::InvalidArgument:
        return QStringLiteral("Invalid argument");
    case hosterr::TypeMismatch:
        return QStringLiteral("Type mismatch");
    case hosterr::UnknownName:
        return QStringLiteral("Unknown name");
    case hosterr::DuplicateKey:
        return QStringLiteral("Duplicate key");
    case hosterr::ObjectReferenced:
        return QStringLiteral("Object is referenced by other object(s)");
    case hosterr::NoDocument:
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
