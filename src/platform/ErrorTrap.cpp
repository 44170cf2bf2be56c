#include "platform/ErrorTrap.h"

#include "automation/CadErrorNumbers.h"
#include "platform/ErrorReport.h"
#include "platform/VbError.h"

#include <vector>

namespace ErrorTrap {

namespace {

void report(const QString& procedure, const std::exception& error,
            const std::vector<KnownError>& known) {
    if (auto* vb = dynamic_cast<const platform::VbError*>(&error)) {
        for (const KnownError& k : known) {
            if (k.number == vb->number()) {
                k.report();
                return;
            }
        }
    }
    ErrorReport::showUnexpectedError(procedure, error);
}

bool run(const QString& procedure, const std::function<void()>& body,
         const std::vector<KnownError>& known) {
    try {
        body();
        return true;
    } catch (const std::exception& error) {
        report(procedure, error, known);
        return false;
    }
}

} // namespace

bool trap(const QString& procedure, const std::function<void()>& body,
          std::initializer_list<KnownError> known) {
    return run(procedure, body, std::vector<KnownError>(known));
}

bool trapLayerCommand(const QString& procedure, const std::function<void()>& body,
                      std::initializer_list<KnownError> known) {
    std::vector<KnownError> all{
        {caderr::KeyNotFound, [] { ErrorReport::showStaleDrawingMessage(); }}};
    all.insert(all.end(), known.begin(), known.end());
    return run(procedure, body, all);
}

} // namespace ErrorTrap
