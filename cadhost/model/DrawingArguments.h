#pragma once

// Converts automation arguments for the Drawing's members; the automation server types
// the private socket's arguments by the same rules.

#include "cadhost/model/CadErrors.h"

#include <QVariant>
#include <climits>
#include <cmath>

namespace cadhost::detail {

// Automation callers hand over whatever their language holds: VB's True is -1, a
// D-Bus client may send an int or a bool. Texts are not taken as flags or numbers,
// because "False" as a string would silently turn into True.
inline bool isWholeNumber(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::Char:
    case QMetaType::SChar:
        return true;
    default:
        return false;
    }
}

inline bool toFlag(const QVariant& value) {
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (isWholeNumber(value))
        return value.toLongLong() != 0;
    throwCadError(caderr::TypeMismatch);
}

inline int toInteger(const QVariant& value) {
    if (isWholeNumber(value)) {
        const qlonglong v = value.toLongLong();
        if (v < INT_MIN || v > INT_MAX)
            throwCadError(caderr::InvalidArgument);
        return int(v);
    }
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        if (!std::isfinite(d) || d != std::floor(d) || std::fabs(d) > INT_MAX)
            throwCadError(caderr::TypeMismatch);
        return int(d);
    }
    default:
        throwCadError(caderr::TypeMismatch);
    }
}

inline QString toText(const QVariant& value) {
    if (value.typeId() != QMetaType::QString)
        throwCadError(caderr::TypeMismatch);
    return value.toString();
}

} // namespace cadhost::detail
