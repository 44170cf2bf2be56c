#pragma once

#include "platform/VbError.h"

#include <QString>

namespace cadhost {

// Error numbers the host raises besides the two the viewer tells apart
// (platform::acaderr). They follow the CAD's and COM's numbering so that an error box
// shows what a user of the real CAD would recognise.
namespace hosterr {
inline constexpr qint32 InvalidArgument = static_cast<qint32>(0x80070057u);
inline constexpr qint32 TypeMismatch = static_cast<qint32>(0x80020005u);
inline constexpr qint32 UnknownName = static_cast<qint32>(0x80020006u);
inline constexpr qint32 DuplicateKey = static_cast<qint32>(0x80200018u);
inline constexpr qint32 ObjectReferenced = static_cast<qint32>(0x8021001Bu);
inline constexpr qint32 Failed = static_cast<qint32>(0x80004005u);
inline constexpr qint32 NoDocument = static_cast<qint32>(0x80200001u);
} // namespace hosterr

// The description the host gives with each number.
QString cadErrorDescription(qint32 number);

// Throws platform::AutomationError with the number and its standard description, or
// with the given one.
[[noreturn]] void throwCadError(qint32 number, const QString& description = {});

} // namespace cadhost
