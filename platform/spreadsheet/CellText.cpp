#include "platform/spreadsheet/CellText.h"

#include <cmath>

namespace spreadsheet {

CellKind cellKind(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        return CellKind::Empty;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
        return CellKind::Number;
    case QMetaType::Bool:
        return CellKind::Boolean;
    default:
        return value.toString().isEmpty() ? CellKind::Empty : CellKind::Text;
    }
}

QString shownText(const QVariant& value) {
    switch (cellKind(value)) {
    case CellKind::Empty:
        return {};
    case CellKind::Boolean:
        return value.toBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case CellKind::Number: {
        if (value.typeId() != QMetaType::Double && value.typeId() != QMetaType::Float)
            return value.toString();
        const double d = value.toDouble();
        if (!std::isfinite(d))
            return QStringLiteral("#NUM!");
        // General shows about ten significant digits before it turns to exponents.
        return QString::number(d, 'g', 10);
    }
    case CellKind::Text:
        break;
    }
    return value.toString();
}

} // namespace spreadsheet
