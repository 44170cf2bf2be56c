#pragma once

#include "automation/BusNames.h"

#include <QDBusContext>
#include <QString>
#include <exception>

namespace cadhost::dbus {

// The bus error every failed automation call answers with.
inline constexpr const char* kErrorName = acadbus::kErrorName;

// "80200014: Key not found": eight hex digits of the number, a colon, the description.
QString errorMessage(qint32 number, const QString& description);

// Runs one automation call on behalf of a bus client: a thrown AutomationError (or
// any other failure) becomes an AutoCAD.Error reply with its number; the slot then
// returns a default value the bus discards.
template <typename Fn> auto guarded(QDBusContext& context, Fn&& fn) -> decltype(fn());

void replyError(QDBusContext& context, const std::exception& error);

template <typename Fn> auto guarded(QDBusContext& context, Fn&& fn) -> decltype(fn()) {
    using Result = decltype(fn());
    try {
        return fn();
    } catch (const std::exception& e) {
        replyError(context, e);
        if constexpr (!std::is_void_v<Result>)
            return Result{};
    }
}

} // namespace cadhost::dbus
