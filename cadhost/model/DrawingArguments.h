#pragma once

// Converts automation arguments for the Drawing's members; the automation server types
// the private socket's arguments by the same rules.

#include "cadhost/model/CadErrors.h"

#include <QVariant>
#include <climits>
#include <cmath>

namespace cadhost::detail {

// Automation callers hand over whatever their language holds. A Boolean property takes
// a Boolean only, as the CAD's does (VB's True, -1, arrives as a Boolean there): a number
// or a text is a type mismatch, since "False" as a string or 2 as a flag would silently
// turn into True. Texts are not taken as numbers either.
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
    if (value.typeId() != QMetaType::Bool)
        throwCadError(caderr::TypeMismatch);
    return value.toBool();
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
