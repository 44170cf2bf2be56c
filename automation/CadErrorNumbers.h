#pragma once

#include <QtGlobal>

// The CAD's error numbers, written once for both sides: the host raises them and the
// viewer tells some of them apart. They follow the CAD's and COM's numbering so that an
// error box shows what a user of the real CAD would recognise, and are stored as the
// signed 32-bit value a Long holds, so they print in decimal as the CAD's own boxes do.
namespace caderr {

// The two the viewer looks for.
inline constexpr qint32 KeyNotFound = static_cast<qint32>(0x80200014u);
inline constexpr qint32 FrozenLayerCurrent = static_cast<qint32>(0x80210056u);

inline constexpr qint32 InvalidArgument = static_cast<qint32>(0x80070057u);
inline constexpr qint32 TypeMismatch = static_cast<qint32>(0x80020005u);
inline constexpr qint32 UnknownName = static_cast<qint32>(0x80020006u);
inline constexpr qint32 DuplicateKey = static_cast<qint32>(0x80200018u);
inline constexpr qint32 ObjectReferenced = static_cast<qint32>(0x8021001Bu);
inline constexpr qint32 Failed = static_cast<qint32>(0x80004005u);
inline constexpr qint32 NoDocument = static_cast<qint32>(0x80200001u);

} // namespace caderr
