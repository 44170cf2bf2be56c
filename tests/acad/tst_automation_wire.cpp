// The private automation socket from the viewer's side: frames that survive any cut of
// the byte stream, and a client that turns every misbehaviour of the other end (silence,
// a late answer, a dropped connection, garbage) into the automation error the bus would
// have given, never a hang or a reply to the wrong call.
#include "ErrorNumber.h"
#include "acad/DBusBackend.h"
#include "acad/PrivateChannel.h"
#include "automation/AutomationWire.h"
#include "automation/CadErrorNumbers.h"
#include "automation/WireSocket.h"
#include "platform/VbError.h"

#include <QDBusVariant>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtEndian>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

using namespace acadwire;
using Clock = std::chrono::steady_clock;

namespace {

using korvel::test::errorOf;

QByteArray payloadOf(const QByteArray& frame) {
    return frame.mid(4);
}

TEST(AutomationWire, RequestsAndRepliesRoundTrip) {
    Request request;
    request.serial = 41;
    request.path = QStringLiteral("/Documents/1");
    request.interface = QStringLiteral("AutoCAD.Document");
    request.member = QStringLiteral("SelectAll");
    request.arguments = {QStringLiteral("選択"), QVariantList{8, 62},
                         QVariantList{QStringLiteral("壁*"), 3.5, true}};
    const auto back = decodeRequest(payloadOf(encode(request)));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->serial, 41u);
    EXPECT_EQ(back->path, request.path);
    EXPECT_EQ(back->member, request.member);
    EXPECT_EQ(back->arguments, request.arguments);

    const auto ok = decodeReply(payloadOf(encode(Reply::success(7, {QStringList{"0", "壁"}}))));
    ASSERT_TRUE(ok);
    EXPECT_TRUE(ok->ok);
    EXPECT_EQ(ok->values.value(0).toStringList(), (QStringList{"0", "壁"}));

    const auto failed =
        decodeReply(payloadOf(encode(Reply::failure(8, caderr::KeyNotFound, "キー"))));
    ASSERT_TRUE(failed);
    EXPECT_FALSE(failed->ok);
    EXPECT_EQ(failed->serial, 8u);
    EXPECT_EQ(failed->errorNumber, caderr::KeyNotFound);
    EXPECT_EQ(failed->errorDescription, QStringLiteral("キー"));
}

TEST(AutomationWire, FramesComeOutWholeHoweverTheStreamIsCut) {
    QByteArray stream;
    QList<QByteArray> sent;
    for (int i = 0; i < 3; ++i) {
        const QByteArray frame =
            encode(Reply::success(quint32(i), {QString(i * 50, QChar(0x58F0))}));
        sent << payloadOf(frame);
        stream += frame;
    }
    for (const qsizetype cut : {qsizetype(1), qsizetype(3), qsizetype(7), stream.size()}) {
        FrameReader reader;
        QList<QByteArray> got;
        for (qsizetype at = 0; at < stream.size(); at += cut) {
            reader.append(stream.constData() + at, std::min(cut, stream.size() - at));
            while (auto payload = reader.next())
                got << *payload;
        }
        EXPECT_EQ(got, sent) << "pieces of " << cut << " bytes";
        EXPECT_FALSE(reader.broken());
    }
}

TEST(AutomationWire, DamagedInputIsRefused) {
    // A length beyond any honest message ends the stream for good.
    FrameReader reader;
    QByteArray huge(4, '\0');
    qToLittleEndian<quint32>(kMaxFrameBytes + 1, huge.data());
    reader.append(huge.constData(), huge.size());
    EXPECT_FALSE(reader.next());
    EXPECT_TRUE(reader.broken());
    const QByteArray good = encode(Reply::success(1, {}));
    reader.append(good.constData(), good.size());
    EXPECT_FALSE(reader.next());

    // Counts are believed only as far as the bytes go: a list claiming two billion
    // elements, or lists nested without end, are refused rather than allocated.
    QByteArray claim = payloadOf(encode(Reply::success(1, {})));
    qToBigEndian<quint32>(0x7FFFFFFFu, claim.data() + 5);
    EXPECT_FALSE(decodeReply(claim));
    QVariant nested = QVariantList{};
    for (int depth = 0; depth < 20; ++depth)
        nested = QVariantList{nested};
    EXPECT_FALSE(decodeReply(payloadOf(encode(Reply::success(1, {nested})))));
    QVariant shallow = QVariantList{};
    for (int depth = 0; depth < 7; ++depth)
        shallow = QVariantList{shallow};
    EXPECT_TRUE(decodeReply(payloadOf(encode(Reply::success(1, {shallow})))));

    // Payloads that do not hold exactly one message.
    EXPECT_FALSE(decodeRequest(QByteArray()));
    EXPECT_FALSE(decodeRequest(QByteArray("\x01\x02\x03", 3)));
    EXPECT_FALSE(decodeReply(payloadOf(encode(Reply::success(1, {}))) + "x"));
    QByteArray unknownKind = payloadOf(encode(Reply::success(1, {})));
    unknownKind[4] = char(9);
    EXPECT_FALSE(decodeReply(unknownKind));
    auto* random = QRandomGenerator::global();
    for (int i = 0; i < 200; ++i) {
        QByteArray noise(int(random->bounded(1, 64)), '\0');
        for (char& c : noise)
            c = char(random->bounded(256));
        (void)decodeRequest(noise); // must neither crash nor hang
        (void)decodeReply(noise);
    }
}

// A host stand-in on its own thread: answers each call through `answer`, which may
// also write raw bytes or close the connection.
class ScriptedHost {
public:
    using Answer = std::function<bool(WireSocket& socket, const Request& request)>;

    explicit ScriptedHost(Answer answer) : m_answer(std::move(answer)) {
        m_address = QStringLiteral("unix:abstract=korvel-test-wire-%1")
                        .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
        m_listener = WireSocket::listen(m_address);
        m_thread = std::thread([this] { run(); });
    }
    ~ScriptedHost() {
        m_stop = true;
        m_thread.join();
    }
    const QString& address() const { return m_address; }
    QList<Request> received() {
        std::lock_guard lock(m_mutex);
        return m_received;
    }

    static bool reply(WireSocket& socket, const Reply& reply) {
        return socket.writeAll(encode(reply), Clock::now() + std::chrono::seconds(5));
    }

private:
    void run() {
        WireSocket client;
        while (!m_stop && !client.isValid()) {
            m_listener.waitReadable(Clock::now() + std::chrono::milliseconds(20));
            client = m_listener.accept();
        }
        FrameReader reader;
        while (!m_stop) {
            client.waitReadable(Clock::now() + std::chrono::milliseconds(20));
            if (client.readAvailable(reader) == WireSocket::ReadResult::Closed)
                return;
            while (auto payload = reader.next()) {
                const auto request = decodeRequest(*payload);
                if (!request)
                    return;
                {
                    std::lock_guard lock(m_mutex);
                    m_received << *request;
                }
                if (!m_answer(client, *request))
                    return; // closes the connection
            }
        }
    }

    Answer m_answer;
    QString m_address;
    WireSocket m_listener;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    QList<Request> m_received;
};

const QString kDoc = QStringLiteral("AutoCAD.Document");

TEST(PrivateChannel, CarriesPlainArgumentsAndTheHostsErrors) {
    ScriptedHost host([](WireSocket& socket, const Request& request) {
        if (request.member == QLatin1String("Fail"))
            return ScriptedHost::reply(
                socket, Reply::failure(request.serial, caderr::KeyNotFound, "Key not found"));
        return ScriptedHost::reply(socket, Reply::success(request.serial, request.arguments));
    });
    auto channel = acad::PrivateChannel::open(host.address());
    ASSERT_TRUE(channel);
    EXPECT_TRUE(channel->isDirect());

    const QVariantList echoed =
        channel->call("/Documents/1", kDoc, "SelectAll",
                      {QStringLiteral("s"), QVariant::fromValue(QList<int>{8}),
                       QVariantList{QVariant::fromValue(QDBusVariant(QStringLiteral("壁")))}},
                      1000);
    // The bus's typing does not travel: variants as their contents, codes as numbers.
    EXPECT_EQ(echoed, (QVariantList{QStringLiteral("s"), QVariantList{8},
                                    QVariantList{QStringLiteral("壁")}}));

    try {
        channel->call("/Documents/1", kDoc, "Fail", {}, 1000);
        ADD_FAILURE() << "the host's error must be thrown";
    } catch (const platform::AutomationError& e) {
        EXPECT_EQ(e.number(), caderr::KeyNotFound);
        EXPECT_EQ(e.description(), QStringLiteral("Key not found"));
    }
    EXPECT_EQ(channel->call("/Documents/1", kDoc, "Echo", {5}, 1000), QVariantList{5})
        << "an error leaves the channel usable";
}

TEST(PrivateChannel, ASilentHostTimesOutAndItsLateAnswerIsNotTakenForTheNext) {
    std::atomic<int> calls{0};
    ScriptedHost host([&calls](WireSocket& socket, const Request& request) {
        if (++calls == 1)
            std::this_thread::sleep_for(std::chrono::milliseconds(400)); // answers too late
        return ScriptedHost::reply(socket, Reply::success(request.serial, {request.arguments}));
    });
    auto channel = acad::PrivateChannel::open(host.address());
    ASSERT_TRUE(channel);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(errorOf([&] { channel->call("/Documents/1", kDoc, "Slow", {1}, 150); }),
              acad::dbuserr::RpcCallFailed);
    EXPECT_LT(timer.elapsed(), 390);
    const QVariantList second = channel->call("/Documents/1", kDoc, "Quick", {2}, 2000);
    EXPECT_EQ(second, QVariantList{QVariantList{2}}) << "the reply to call 2, not the late one";
}

TEST(PrivateChannel, AHostThatGoesAwayOrTalksNonsenseIsReportedNotWaitedFor) {
    {
        ScriptedHost host([](WireSocket&, const Request&) { return false; }); // dies mid-call
        auto channel = acad::PrivateChannel::open(host.address());
        ASSERT_TRUE(channel);
        EXPECT_EQ(errorOf([&] {
                      channel->call("/Application", "AutoCAD.Application", "Caption", {}, 5000);
                  }),
                  acad::dbuserr::RpcCallFailed);
        EXPECT_EQ(errorOf([&] {
                      channel->call("/Application", "AutoCAD.Application", "Caption", {}, 5000);
                  }),
                  acad::dbuserr::RpcServerUnavailable)
            << "a gone host stays gone";
    }
    {
        ScriptedHost host([](WireSocket& socket, const Request&) {
            QByteArray garbage(4, '\0');
            qToLittleEndian<quint32>(3, garbage.data());
            garbage += "abc";
            return socket.writeAll(garbage, Clock::now() + std::chrono::seconds(1));
        });
        auto channel = acad::PrivateChannel::open(host.address());
        ASSERT_TRUE(channel);
        EXPECT_EQ(errorOf([&] { channel->call("/Documents/1", kDoc, "LayerCount", {}, 5000); }),
                  acad::dbuserr::ServerFault);
        EXPECT_EQ(errorOf([&] { channel->call("/Documents/1", kDoc, "LayerCount", {}, 5000); }),
                  acad::dbuserr::RpcServerUnavailable);
    }
    QString why;
    EXPECT_FALSE(
        acad::PrivateChannel::open(QStringLiteral("unix:abstract=korvel-test-nobody-here"), &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(acad::PrivateChannel::open(QStringLiteral("tcp:host=example.org"), &why));
    EXPECT_FALSE(
        acad::PrivateChannel::open(QStringLiteral("unix:abstract=") + QString(200, 'x'), &why))
        << "longer than a socket address can be";
}

} // namespace
