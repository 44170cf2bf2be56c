#pragma once

#include "acad/AutomationChannel.h"
#include "platform/VbError.h"

#include <memory>
#include <optional>

namespace acad {

// A host that once failed to answer is not asked again. A call that timed out means
// the CAD is not answering (stopped, swapped out, stuck); one that lost the connection
// means it is gone. Either way every further call of the session would wait out its own
// timeout for nothing, so from the first such failure on each call fails at once with
// that same error. The CAD's own errors (a layer not in the drawing) change nothing.
class FailFastChannel : public AutomationChannel {
public:
    explicit FailFastChannel(std::shared_ptr<AutomationChannel> inner);

    QVariantList call(const QString& path, const QString& interface, const QString& member,
                      const QVariantList& arguments, int timeoutMs) override;
    bool isDirect() const override { return m_inner->isDirect(); }
    bool hasFailed() const override { return m_failure.has_value(); }
    void throwIfFailed() const override;

    // Whether an error of this number means the connection, not the CAD, failed.
    static bool isConnectionFailure(qint32 number);

private:
    std::shared_ptr<AutomationChannel> m_inner;
    std::optional<platform::AutomationError> m_failure;
};

} // namespace acad
