// A host that stopped answering is not asked again: the first connection failure ends
// the conversation, the CAD's own errors do not.

#include "acad/DBusBackend.h"
#include "acad/FailFastChannel.h"
#include "automation/CadErrorNumbers.h"

#include <deque>
#include <gtest/gtest.h>

namespace {

// Answers from a script of error numbers (0: a good reply) and counts the calls.
class ScriptedChannel : public acad::AutomationChannel {
public:
    QVariantList call(const QString&, const QString&, const QString&, const QVariantList&,
                      int) override {
        ++calls;
        const qint32 number = script.empty() ? 0 : script.front();
        if (!script.empty())
            script.pop_front();
        if (number != 0)
            throw platform::AutomationError(number, QStringLiteral("scripted"));
        return {42};
    }
    bool isDirect() const override { return true; }
    std::deque<qint32> script;
    int calls = 0;
};

qint32 numberOf(acad::AutomationChannel& channel) {
    try {
        channel.call({}, {}, {}, {}, 1000);
    } catch (const platform::AutomationError& e) {
        return e.number();
    }
    return 0;
}

TEST(FailFastChannel, TheFirstConnectionFailureEndsTheConversation) {
    for (const qint32 failure : {acad::dbuserr::RpcCallFailed, acad::dbuserr::RpcServerUnavailable,
                                 acad::dbuserr::ServerFault}) {
        auto inner = std::make_shared<ScriptedChannel>();
        inner->script = {0, failure, 0, 0};
        acad::FailFastChannel channel(inner);
        EXPECT_EQ(numberOf(channel), 0);
        EXPECT_FALSE(channel.hasFailed());
        EXPECT_EQ(numberOf(channel), failure);
        EXPECT_TRUE(channel.hasFailed());
        // Asked no more: the same failure at once, the inner road untouched.
        EXPECT_EQ(numberOf(channel), failure);
        EXPECT_EQ(numberOf(channel), failure);
        EXPECT_EQ(inner->calls, 2);
        EXPECT_THROW(channel.throwIfFailed(), platform::AutomationError);
    }
}

TEST(FailFastChannel, TheCadsOwnErrorsLeaveTheConnectionStanding) {
    auto inner = std::make_shared<ScriptedChannel>();
    inner->script = {caderr::KeyNotFound, caderr::FrozenLayerCurrent, caderr::InvalidArgument, 0};
    acad::FailFastChannel channel(inner);
    EXPECT_EQ(numberOf(channel), caderr::KeyNotFound);
    EXPECT_EQ(numberOf(channel), caderr::FrozenLayerCurrent);
    EXPECT_EQ(numberOf(channel), caderr::InvalidArgument);
    EXPECT_FALSE(channel.hasFailed());
    EXPECT_NO_THROW(channel.throwIfFailed());
    EXPECT_EQ(numberOf(channel), 0);
    EXPECT_EQ(inner->calls, 4);
    EXPECT_TRUE(channel.isDirect());
}

} // namespace
