// The private automation socket against clients that misbehave: ones that never read
// their replies, ones that read late, and more of them than the host takes. Real
// sockets, the server in this test's main thread as in the host, clients in threads.
#include "cadhost/dbus/PrivateAutomationServer.h"

#include "automation/AutomationWire.h"
#include "automation/WireSocket.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <ctime>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <thread>
#include <vector>

using cadhost::dbus::PrivateAutomationServer;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

// What the clients call: text of a length they choose, so that replies can be made as
// large as a test needs.
class Blob : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "Korvel.Blob")
public slots:
    Q_SCRIPTABLE QString Text(int chars) { return QString(chars, QLatin1Char('x')); }
};

QCoreApplication& application() {
    static int argc = 1;
    static char name[] = "test_cadhost_privateserver";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    return *app;
}

QByteArray request(quint32 serial, int chars) {
    acadwire::Request r;
    r.serial = serial;
    r.path = QStringLiteral("/Blob");
    r.member = QStringLiteral("Text");
    r.arguments = {chars};
    return acadwire::encode(r);
}

// The next reply on the socket, or nothing by the deadline or when the host hung up.
std::optional<acadwire::Reply>
nextReply(acadwire::WireSocket& socket, acadwire::FrameReader& reader, Clock::time_point deadline) {
    for (;;) {
        if (auto payload = reader.next())
            return acadwire::decodeReply(*payload);
        if (!socket.waitReadable(deadline))
            return std::nullopt;
        if (socket.readAvailable(reader) == acadwire::WireSocket::ReadResult::Closed)
            return std::nullopt;
    }
}

std::chrono::microseconds threadCpu() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::duration_cast<std::chrono::microseconds>(
                                                  std::chrono::nanoseconds(now.tv_nsec));
}

// True when the host closes the connection before the deadline.
bool hungUp(acadwire::WireSocket& socket, Clock::time_point deadline) {
    acadwire::FrameReader reader;
    while (socket.waitReadable(deadline)) {
        if (socket.readAvailable(reader) == acadwire::WireSocket::ReadResult::Closed)
            return true;
    }
    return false;
}

class PrivateServerTest : public ::testing::Test {
protected:
    void SetUp() override { application(); }

    void start(PrivateAutomationServer::Limits limits = {}) {
        server = std::make_unique<PrivateAutomationServer>(
            [this](const QString& path) -> QObject* {
                return path == QLatin1String("/Blob") ? &blob : nullptr;
            },
            limits);
        ASSERT_TRUE(server->listen()) << server->errorString().toStdString();
    }

    acadwire::WireSocket connect() {
        QString error;
        acadwire::WireSocket socket = acadwire::WireSocket::connect(server->address(), &error);
        EXPECT_TRUE(socket.isValid()) << error.toStdString();
        return socket;
    }

    // Runs the host's event loop until done() or the time is up; the longest the loop
    // went without a turn is kept, as a user would feel it in the host's window.
    bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
        const auto deadline = Clock::now() + limit;
        auto last = Clock::now();
        while (!done()) {
            if (Clock::now() > deadline)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            const auto now = Clock::now();
            longestStall = std::max(longestStall, now - last);
            last = now;
        }
        return true;
    }

    Blob blob;
    std::unique_ptr<PrivateAutomationServer> server;
    Clock::duration longestStall{};
};

} // namespace

TEST_F(PrivateServerTest, ClientsThatNeverReadHoldUpNeitherTheHostNorOtherClients) {
    start();
    constexpr int kHogs = 2;
    std::atomic<int> hogsReady{0};
    std::atomic<bool> finished{false};
    std::vector<std::thread> hogs;
    for (int h = 0; h < kHogs; ++h) {
        hogs.emplace_back([&] {
            acadwire::WireSocket socket = connect();
            // Requests for 64 KiB replies until the host's side stops taking them.
            for (quint32 serial = 1; serial < 2000; ++serial)
                if (!socket.writeAll(request(serial, 65536), Clock::now() + 200ms))
                    break;
            ++hogsReady;
            while (!finished)
                std::this_thread::sleep_for(10ms);
        });
    }
    std::atomic<bool> done{false};
    int answered = 0;
    Clock::duration slowest{};
    std::thread polite([&] {
        // Once the others have filled what the host will take from them.
        const auto giveUp = Clock::now() + 10s;
        while (hogsReady < kHogs && Clock::now() < giveUp)
            std::this_thread::sleep_for(5ms);
        acadwire::WireSocket socket = connect();
        acadwire::FrameReader reader;
        for (quint32 serial = 1; serial <= 20; ++serial) {
            const auto sent = Clock::now();
            if (!socket.writeAll(request(serial, 10), sent + 5s))
                break;
            const auto reply = nextReply(socket, reader, sent + 5s);
            if (!reply || !reply->ok || reply->serial != serial)
                break;
            slowest = std::max(slowest, Clock::now() - sent);
            ++answered;
        }
        done = true;
    });
    const bool served = spinUntil([&] { return done.load(); }, 60s);
    finished = true;
    polite.join();
    for (std::thread& t : hogs)
        t.join();
    ASSERT_TRUE(served);
    EXPECT_EQ(answered, 20);
    EXPECT_LT(slowest, 1s);
    EXPECT_LT(longestStall, 500ms) << "the host's event loop stood still";
}

TEST_F(PrivateServerTest, AClientWhoseRepliesPileUpIsDropped) {
    PrivateAutomationServer::Limits limits;
    limits.pauseReadingAbove = 64 * 1024;
    limits.maxQueuedBytes = 256 * 1024;
    limits.stalledClient = 300ms;
    start(limits);

    // One reply beyond the bound on what may wait for a client.
    acadwire::WireSocket big = connect();
    ASSERT_TRUE(big.writeAll(request(1, 1024 * 1024), Clock::now() + 2s));
    std::atomic<int> bigDropped{-1};
    std::thread bigWatcher([&] { bigDropped = hungUp(big, Clock::now() + 5s) ? 1 : 0; });
    spinUntil([&] { return bigDropped >= 0; }, 6s);
    bigWatcher.join();
    EXPECT_EQ(bigDropped, 1);
    EXPECT_TRUE(spinUntil([&] { return server->connectionCount() == 0; }, 2s));

    // Small replies that are never read: the host stops serving the client when it is
    // behind, and lets it go once nothing moves.
    std::atomic<bool> sent{false}, seen{false};
    std::thread hog([&] {
        acadwire::WireSocket socket = connect();
        for (quint32 serial = 1; serial < 5000; ++serial)
            if (!socket.writeAll(request(serial, 4096), Clock::now() + 200ms))
                break;
        sent = true;
        // Held open, unread, until the test has seen the host let it go.
        while (!seen)
            std::this_thread::sleep_for(10ms);
    });
    EXPECT_TRUE(spinUntil([&] { return sent.load(); }, 10s));
    EXPECT_EQ(server->connectionCount(), 1);
    EXPECT_TRUE(spinUntil([&] { return server->connectionCount() == 0; }, 5s));
    seen = true;
    hog.join();

    // Meanwhile and afterwards a client that reads is served as ever.
    std::optional<acadwire::Reply> reply;
    std::atomic<bool> returned{false};
    std::thread polite([&] {
        acadwire::WireSocket socket = connect();
        acadwire::FrameReader reader;
        if (socket.writeAll(request(7, 100), Clock::now() + 2s))
            reply = nextReply(socket, reader, Clock::now() + 5s);
        returned = true;
    });
    spinUntil([&] { return returned.load(); }, 6s);
    polite.join();
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->ok);
    EXPECT_EQ(reply->serial, 7u);
    EXPECT_EQ(reply->values.value(0).toString().size(), 100);
}

TEST_F(PrivateServerTest, AClientThatReadsLateGetsEveryReplyInOrder) {
    PrivateAutomationServer::Limits limits;
    limits.pauseReadingAbove = 64 * 1024;
    start(limits);
    constexpr quint32 kCalls = 200;
    std::atomic<bool> done{false};
    quint32 inOrder = 0;
    std::thread client([&] {
        acadwire::WireSocket socket = connect();
        // Written from a second thread: the host stops reading while this client is
        // behind, so its writes wait until the replies are read.
        std::thread writer([&] {
            for (quint32 serial = 1; serial <= kCalls; ++serial)
                if (!socket.writeAll(request(serial, 8192), Clock::now() + 10s))
                    return;
        });
        std::this_thread::sleep_for(300ms);
        acadwire::FrameReader reader;
        for (quint32 serial = 1; serial <= kCalls; ++serial) {
            const auto reply = nextReply(socket, reader, Clock::now() + 10s);
            if (!reply || !reply->ok || reply->serial != serial ||
                reply->values.value(0).toString().size() != 8192)
                break;
            ++inOrder;
        }
        writer.join();
        done = true;
    });
    EXPECT_TRUE(spinUntil([&] { return done.load(); }, 30s));
    client.join();
    EXPECT_EQ(inOrder, kCalls);
}

// A client that works a few milliseconds between its calls (a viewer building its tiles)
// finds the host asleep in its event loop, not polling for the next call.
TEST_F(PrivateServerTest, AClientThatPausesBetweenCallsCostsTheHostNoPolling) {
    start();
    QEventLoop loop;
    std::atomic<int> answered{0};
    std::thread client([&] {
        acadwire::WireSocket socket = connect();
        acadwire::FrameReader reader;
        for (quint32 serial = 1; serial <= 80; ++serial) {
            if (!socket.writeAll(request(serial, 10), Clock::now() + 5s))
                break;
            const auto reply = nextReply(socket, reader, Clock::now() + 5s);
            if (!reply || !reply->ok || reply->serial != serial)
                break;
            ++answered;
            std::this_thread::sleep_for(4ms); // the client at work
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    const auto started = Clock::now();
    const auto cpuBefore = threadCpu();
    loop.exec();
    const auto cpu = threadCpu() - cpuBefore;
    const auto wall = Clock::now() - started;
    client.join();
    EXPECT_EQ(answered, 80);
    // Polling 2 ms after each reply used to take half of it.
    EXPECT_LT(cpu * 10, wall) << "host cpu " << cpu.count() << " us over "
                              << std::chrono::duration_cast<std::chrono::milliseconds>(wall).count()
                              << " ms";
}

// Connections left open, however many, never lock a new client out: when every place is
// taken the longest idle one makes room; and an idle connection is let go in time.
TEST_F(PrivateServerTest, AFullHostMakesRoomByLettingTheLongestIdleConnectionGo) {
    PrivateAutomationServer::Limits limits;
    limits.maxConnections = 3;
    start(limits);
    // One call on the socket, served while the host's loop runs.
    auto callOn = [&](acadwire::WireSocket& socket) {
        std::optional<acadwire::Reply> reply;
        std::atomic<bool> returned{false};
        std::thread t([&] {
            acadwire::FrameReader reader;
            if (socket.writeAll(request(3, 5), Clock::now() + 2s))
                reply = nextReply(socket, reader, Clock::now() + 5s);
            returned = true;
        });
        spinUntil([&] { return returned.load(); }, 6s);
        t.join();
        return reply && reply->ok;
    };
    auto closedByHost = [&](acadwire::WireSocket& socket) {
        std::atomic<int> closed{-1};
        std::thread watcher([&] { closed = hungUp(socket, Clock::now() + 2s) ? 1 : 0; });
        spinUntil([&] { return closed >= 0; }, 3s);
        watcher.join();
        return closed == 1;
    };
    std::vector<acadwire::WireSocket> held;
    for (int i = 0; i < limits.maxConnections; ++i)
        held.push_back(connect());
    ASSERT_TRUE(spinUntil([&] { return server->connectionCount() == limits.maxConnections; }, 5s));
    EXPECT_TRUE(callOn(held[0])); // at work: the second has been idle longest now

    acadwire::WireSocket late = connect();
    EXPECT_TRUE(callOn(late));
    EXPECT_TRUE(closedByHost(held[1]));
    EXPECT_EQ(server->connectionCount(), limits.maxConnections);
    EXPECT_TRUE(callOn(held[0]));
    EXPECT_TRUE(callOn(held[2]));

    limits.idleClient = 300ms;
    start(limits);
    acadwire::WireSocket idle = connect();
    acadwire::WireSocket busy = connect();
    const auto until = Clock::now() + 900ms;
    while (Clock::now() < until) {
        EXPECT_TRUE(callOn(busy));
        spinUntil([] { return false; }, 100ms);
    }
    EXPECT_TRUE(closedByHost(idle));
    EXPECT_TRUE(callOn(busy));
    EXPECT_EQ(server->connectionCount(), 1);
}

#include "tst_private_server.moc"
