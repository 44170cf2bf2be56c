#pragma once

#include "platform/VbError.h"

#include <QString>
#include <functional>

namespace korvel::test {

// The number of the error a call raises, 0 when it raises none; the description too
// when asked for.
inline qint32 errorOf(const std::function<void()>& call, QString* description = nullptr) {
    try {
        call();
    } catch (const platform::VbError& e) {
        if (description)
            *description = e.description();
        return e.number();
    }
    return 0;
}

} // namespace korvel::test
