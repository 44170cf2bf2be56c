#pragma once

#include <QString>
#include <exception>
#include <functional>
#include <initializer_list>

// The two ways a command meets failure. A trapped handler stops at the first failure
// and shows one box; a skipping command runs each statement on its own and drops what
// fails. Handlers hold only their work and say which of the two they are.
namespace ErrorTrap {

// A failure a handler reports in words of its own instead of the unexpected-error box.
struct KnownError {
    qint32 number;
    std::function<void()> report;
};

// Runs a handler's body. A failure whose number is one of `known` gets that report;
// any other failure the unexpected-error box naming the procedure. False when the body
// stopped at a failure.
bool trap(const QString& procedure, const std::function<void()>& body,
          std::initializer_list<KnownError> known = {});

// The same for a command on one or more layers: a layer or linetype the drawing no
// longer has reads as the stale-drawing message.
bool trapLayerCommand(const QString& procedure, const std::function<void()>& body,
                      std::initializer_list<KnownError> known = {});

// One statement of a command that goes on past failures: what fails is dropped.
template <class Statement> void skip(Statement&& statement) noexcept {
    try {
        statement();
    } catch (const std::exception&) {
    }
}

} // namespace ErrorTrap
