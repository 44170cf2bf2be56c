// Waiting on the private automation socket: a wait sleeps in the kernel and wakes as
// soon as the peer writes or hangs up, and polling before the sleep is kept to answers
// that come quickly, so a side whose peer is busy elsewhere costs no processor time.
#include "acad/PrivateChannel.h"
#include "automation/AutomationWire.h"
#include "automation/WireSocket.h"

#include <QRandomGenerator>
#include <atomic>
#include <chrono>
#include <ctime>
#include <gtest/gtest.h>
#include <thread>

using namespace acadwire;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

std::chrono::microseconds threadCpu() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::duration_cast<std::chrono::microseconds>(
                                                  std::chrono::nanoseconds(now.tv_nsec));
}

struct SocketPair {
    SocketPair() {
        const QString address =
            QStringLiteral("unix:abstract=korvel-test-wait-%1")
                .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
        listener = WireSocket::listen(address);
        near = WireSocket::connect(address);
        while (!far.isValid() && listener.waitReadable(Clock::now() + 2s))
            far = listener.accept();
    }
    WireSocket listener;
    WireSocket near;
    WireSocket far;
};

} // namespace

TEST(WireSocket, AWaitWakesPromptlyOnDataAndOnThePeersEnd) {
    SocketPair pair;
    ASSERT_TRUE(pair.near.isValid() && pair.far.isValid());

    std::thread writer([&] {
        std::this_thread::sleep_for(100ms);
        pair.far.writeAll(QByteArray("x"), Clock::now() + 1s);
    });
    auto started = Clock::now();
    const auto cpuBefore = threadCpu();
    EXPECT_TRUE(pair.near.waitReadable(started + 5s));
    auto waited = Clock::now() - started;
    writer.join();
    EXPECT_GE(waited, 90ms);
    EXPECT_LT(waited, 1s) << "woken long after the data came";
    EXPECT_LT(threadCpu() - cpuBefore, 20ms) << "the wait did not sleep";
    FrameReader reader;
    EXPECT_EQ(pair.near.readAvailable(reader), WireSocket::ReadResult::Data);

    std::thread closer([&] {
        std::this_thread::sleep_for(100ms);
        pair.far = WireSocket();
    });
    started = Clock::now();
    EXPECT_TRUE(pair.near.waitReadable(started + 5s));
    waited = Clock::now() - started;
    closer.join();
    EXPECT_LT(waited, 1s) << "a hung-up peer must end the wait, not the deadline";
    EXPECT_EQ(pair.near.readAvailable(reader), WireSocket::ReadResult::Closed);

    // Nothing at all: the deadline ends it.
    SocketPair quiet;
    started = Clock::now();
    EXPECT_FALSE(quiet.near.waitReadable(started + 50ms));
    EXPECT_GE(Clock::now() - started, 50ms);
}

TEST(SpinGovernor, PollsOnlyWhileAnswersComeQuickly) {
    if (!spinningHelps())
        GTEST_SKIP() << "one core: polling never helps";
    SpinGovernor governor;
    EXPECT_GT(governor.nextSpin(), 0us);
    for (int i = 0; i < 20; ++i)
        governor.answered(10us);
    const auto quick = governor.nextSpin();
    EXPECT_GT(quick, 0us);
    EXPECT_LE(quick, SpinGovernor::kMaxSpin);

    // The peer goes off to do real work between calls: polling stops within a few
    // answers, but for one probe in every kProbeEvery waits.
    for (int i = 0; i < 4; ++i)
        governor.answered(5ms);
    int polled = 0;
    for (int i = 0; i < 4 * SpinGovernor::kProbeEvery; ++i) {
        const auto spin = governor.nextSpin();
        if (spin > 0us) {
            ++polled;
            EXPECT_EQ(spin, SpinGovernor::kMaxSpin);
        }
        governor.answered(5ms);
    }
    EXPECT_EQ(polled, 4);

    // Quick again: the probes see it and polling resumes, one slow answer among many
    // quick ones does not stop it.
    for (int i = 0; i < 40; ++i)
        governor.answered(15us);
    EXPECT_GT(governor.nextSpin(), 0us);
    governor.answered(3s);
    for (int i = 0; i < 30; ++i)
        governor.answered(15us);
    EXPECT_GT(governor.nextSpin(), 0us);
}

// The viewer's side: a host that takes a few milliseconds over each call is waited for
// asleep, and the calls still come back as fast as it answers.
TEST(PrivateChannel, WaitsForASlowHostWithoutPolling) {
    const QString address =
        QStringLiteral("unix:abstract=korvel-test-slowhost-%1")
            .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
    WireSocket listener = WireSocket::listen(address);
    ASSERT_TRUE(listener.isValid());
    std::atomic<bool> stop{false};
    std::thread host([&] {
        WireSocket client;
        while (!stop && !client.isValid()) {
            listener.waitReadable(Clock::now() + 20ms);
            client = listener.accept();
        }
        FrameReader reader;
        while (!stop) {
            client.waitReadable(Clock::now() + 20ms);
            if (client.readAvailable(reader) == WireSocket::ReadResult::Closed)
                return;
            while (auto payload = reader.next()) {
                const auto request = decodeRequest(*payload);
                if (!request)
                    return;
                std::this_thread::sleep_for(4ms); // the host at work
                client.writeAll(encode(Reply::success(request->serial, request->arguments)),
                                Clock::now() + 1s);
            }
        }
    });
    auto channel = acad::PrivateChannel::open(address);
    ASSERT_TRUE(channel);
    constexpr int kCalls = 100;
    const auto started = Clock::now();
    const auto cpuBefore = threadCpu();
    for (int i = 0; i < kCalls; ++i)
        ASSERT_EQ(channel->call("/Documents/1", "AutoCAD.Document", "Echo", {i}, 2000),
                  QVariantList{i});
    const auto cpu = threadCpu() - cpuBefore;
    const auto wall = Clock::now() - started;
    stop = true;
    host.join();
    EXPECT_GE(wall, kCalls * 4ms);
    // Polling 2 ms out of every 4 used to cost half of this; sleeping costs a few
    // microseconds a call.
    EXPECT_LT(cpu * 10, wall) << "cpu " << cpu.count() << " us over "
                              << std::chrono::duration_cast<std::chrono::milliseconds>(wall).count()
                              << " ms";
}
