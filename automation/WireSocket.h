#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>

namespace acadwire {

class FrameReader;

// A non-blocking local stream socket, closed with the object.
class WireSocket {
public:
    WireSocket() = default;
    explicit WireSocket(int fd) : m_fd(fd) {}
    WireSocket(WireSocket&& other) noexcept : m_fd(other.release()) {}
    WireSocket& operator=(WireSocket&& other) noexcept;
    WireSocket(const WireSocket&) = delete;
    WireSocket& operator=(const WireSocket&) = delete;
    ~WireSocket();

    // "unix:abstract=NAME" (Linux: no file, gone with the process) or "unix:path=FILE".
    // An invalid socket, with the reason, when the address cannot be listened on or
    // reached.
    static WireSocket listen(const QString& address, QString* error = nullptr);
    static WireSocket connect(const QString& address, QString* error = nullptr);

    bool isValid() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    int release();

    // A listening socket's next client, invalid when none is waiting. Clients that run
    // as another user are turned away: the host acts for the user who started it.
    WireSocket accept();

    enum class ReadResult { Data, Nothing, Closed };
    // Whatever has arrived, into the reader, without waiting.
    ReadResult readAvailable(FrameReader& reader);
    // All of it, waiting while the peer's buffer is full; false when the peer is gone
    // or the deadline passed.
    bool writeAll(const QByteArray& bytes, std::chrono::steady_clock::time_point deadline);
    // As much as the peer's buffer takes now, without waiting: the count written (0 when
    // the buffer is full), or -1 when the peer is gone.
    qsizetype writeSome(const char* data, qsizetype size);
    // Until data, the peer's end, or the deadline; false only for the deadline.
    bool waitReadable(std::chrono::steady_clock::time_point deadline);

private:
    int m_fd = -1;
};

// Both ends answer faster by polling for a short while before they sleep: on a machine
// where waking a sleeping process costs tens of microseconds, a conversation of small
// calls would otherwise spend much of its time waking up. Only where a second core lets
// the other side run meanwhile.
bool spinningHelps();
// One round of polling: gives the core to any other runnable thread first, so that a
// busy machine loses nothing to the polling side.
void spinPause();

// How long one side of a conversation polls before it sleeps, learnt from how soon the
// other side has been answering. Polling pays only while answers come within about the
// time a wake-up costs; a side that polled a fixed while after every call burnt that
// while on each call whose answer took longer (the peer building a window, writing
// pictures), which on a 2-core machine is a core taken from whichever side does the work.
// So the wait polls for twice the recent typical gap, at most kMaxSpin, and not at all
// once gaps grow longer than that. A gap measured after sleeping includes the wake-up,
// which alone may be longer than polling is worth; every kProbeEvery-th wait therefore
// polls for the full while anyway, so a peer that answers quickly again is noticed.
class SpinGovernor {
public:
    static constexpr std::chrono::microseconds kMaxSpin{150};
    static constexpr int kProbeEvery = 16;

    // How long the wait about to start polls before it sleeps; zero where polling
    // cannot help.
    std::chrono::microseconds nextSpin();
    // The time from the start of a wait to the peer's data.
    void answered(std::chrono::steady_clock::duration gap);

private:
    // Recent gaps, averaged with weight 1/8 for the newest; a gap far beyond polling
    // range counts as a cap, so one long pause is forgotten after a few quick answers.
    std::chrono::microseconds m_typicalGap{0};
    int m_sinceProbe = 0;
};

} // namespace acadwire
