// The endpoint's receiving thread and its hand-over to the owner's thread, with a plain QObject
// standing in for the window. Built also under ThreadSanitizer (scripts/run-tsan), where every
// check here doubles as a race check of the hand-over. Loopback only, on ports the kernel picks.

#include "event_loop.h"
#include "net/udp_endpoint.h"
#include "udp_socket.h"

#include <QObject>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <arpa/inet.h>
#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace nimbrel;
using namespace nimbrel::testing;
using namespace std::chrono_literals;

namespace {

constexpr int kArrivalTimeoutMs = 20000;

// A UDP socket on a loopback address, sending to the endpoint.
class Sender {
public:
    explicit Sender(const char* address) : fd_(loopbackUdpSocket(address)) {}
    ~Sender() { ::close(fd_); }
    Sender(const Sender&) = delete;
    Sender& operator=(const Sender&) = delete;

    std::uint16_t port() const { return boundPort(fd_); }

    bool send(const std::string& bytes, std::uint16_t port) const
    {
        const sockaddr_in to = loopbackAddress("127.0.0.1", port);
        return ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                        sizeof to) == static_cast<ssize_t>(bytes.size());
    }

private:
    int fd_;
};

// What a window does with the endpoint: owns it as a child, handles on its own thread, and stops
// it first thing in its destructor, before its own members go.
class Owner : public QObject {
public:
    explicit Owner(std::uint16_t port)
        : endpoint(new UdpEndpoint(EndpointConfig{"127.0.0.1", port, "127.0.0.1"}, this))
    {
        endpoint->setHandler([this](const Datagram& d) { handle(d); });
    }
    ~Owner() override { endpoint->stop(); }

    std::function<void(const Datagram&)> onDatagram;
    UdpEndpoint* endpoint;
    std::vector<std::string> bytes;
    std::vector<std::string> senders;
    int depth = 0;
    int deepest = 0;
    bool wrongThread = false;
    std::atomic<int> handled{0};
    // By the last byte of the sender's address; read by the senders' threads for flow control.
    std::array<std::atomic<int>, 256> handledFrom{};

private:
    void handle(const Datagram& d)
    {
        deepest = std::max(deepest, ++depth);
        wrongThread = wrongThread || QThread::currentThread() != thread();
        bytes.push_back(d.bytes);
        senders.push_back(d.sender);
        if (onDatagram)
            onDatagram(d);
        --depth;
        ++handledFrom[ntohl(inet_addr(d.sender.c_str())) & 0xff];
        ++handled;
    }
};

// Sends "<tag> <n>" for n = 0, 1, ... from one loopback address, bounded in count and time.
// With a window, it stays at most that many datagrams ahead of what the owner has handled.
class Stream {
public:
    Stream(const char* address, std::string tag, std::uint16_t port, int count,
           const std::atomic<int>* handled = nullptr, int window = 0)
        : socket_(address),
          thread_([=, this, tag = std::move(tag)] { run(tag, port, count, handled, window); })
    {}
    ~Stream() { stop(); }
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    void stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    int sent() const { return sent_; }
    int delivered() const { return delivered_; }

private:
    void run(const std::string& tag, std::uint16_t port, int count, const std::atomic<int>* handled,
             int window)
    {
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        for (int n = 0; n < count && !stop_ && std::chrono::steady_clock::now() < deadline; ++n) {
            while (handled != nullptr && sent_ - *handled >= window && !stop_ &&
                   std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(100us);
            // Counted before it leaves: whoever reads the count knows nothing later was sent.
            ++sent_;
            socket_.send(tag + ' ' + std::to_string(n), port);
            // And once it has left: whoever reads this knows everything before it is out.
            ++delivered_;
            if (handled == nullptr)
                std::this_thread::sleep_for(50us);
        }
    }

    Sender socket_;
    std::atomic<bool> stop_{false};
    std::atomic<int> sent_{0};
    std::atomic<int> delivered_{0};
    std::thread thread_;
};

int numberOf(const std::string& bytes)
{
    return std::stoi(bytes.substr(bytes.find(' ') + 1));
}

} // namespace

class EndpointHandoverTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void concurrentSenders_eachInOrderNoneLost_data();
    void concurrentSenders_eachInOrderNoneLost();
    void ownerDestroyedUnderStream_noHandlerAfterwards();
    void restartCycles_noDatagramFromAnEarlierSession();
};

void EndpointHandoverTest::concurrentSenders_eachInOrderNoneLost_data()
{
    QTest::addColumn<int>("busyEveryMs");

    QTest::addRow("owner thread idle") << 0;
    // A timer that blocks the owner's thread now and then, as a paint or a write pause would.
    QTest::addRow("owner thread blocked now and then") << 7;
}

// Three devices at once: every datagram of each is handled once, in its sending order, on the
// owner's thread, one handler at a time.
void EndpointHandoverTest::concurrentSenders_eachInOrderNoneLost()
{
    QFETCH(int, busyEveryMs);
    constexpr int kPerSender = 1500;
    Owner owner(freeLoopbackPort());
    owner.endpoint->activate();
    QTimer busy;
    if (busyEveryMs > 0) {
        connect(&busy, &QTimer::timeout, &owner, [] { QThread::msleep(3); });
        busy.start(busyEveryMs);
    }

    {
        const char* addresses[] = {"127.0.0.2", "127.0.0.3", "127.0.0.4"};
        std::vector<std::unique_ptr<Stream>> streams;
        for (const char* address : addresses)
            streams.push_back(
                std::make_unique<Stream>(address, address, owner.endpoint->port(), kPerSender,
                                         &owner.handledFrom[ntohl(inet_addr(address)) & 0xff], 50));
        QVERIFY(runUntil([&] { return owner.handled == 3 * kPerSender; }, kArrivalTimeoutMs));
    }

    QCOMPARE(owner.deepest, 1);
    QVERIFY(!owner.wrongThread);
    for (const char* address : {"127.0.0.2", "127.0.0.3", "127.0.0.4"}) {
        int expected = 0;
        for (std::size_t i = 0; i < owner.bytes.size(); ++i) {
            if (owner.senders[i] != address)
                continue;
            QCOMPARE(owner.bytes[i], std::string(address) + ' ' + std::to_string(expected));
            ++expected;
        }
        QCOMPARE(expected, kPerSender);
    }
}

// The owner goes while a hand-over is queued for its thread: the handler, which touches the
// owner's members, must never run again (under ASan a late run is a use after free).
void EndpointHandoverTest::ownerDestroyedUnderStream_noHandlerAfterwards()
{
    std::atomic<int> lateCalls{0};
    std::atomic<bool> ownerGone{false};
    auto owner = std::make_unique<Owner>(freeLoopbackPort());
    owner->onDatagram = [&](const Datagram&) {
        if (ownerGone)
            ++lateCalls;
    };
    owner->endpoint->activate();
    Stream stream("127.0.0.2", "s", owner->endpoint->port(), 100000);
    QVERIFY(runUntil([&] { return owner->handled >= 20; }, kArrivalTimeoutMs));
    // Without the event loop turning, the receiving thread surely queues the next hand-over.
    std::this_thread::sleep_for(100ms);

    owner.reset();
    ownerGone = true;
    const int sentAtDestruction = stream.sent();
    runUntil([] { return false; }, 300);
    QVERIFY2(stream.sent() > sentAtDestruction, "the stream ended too early to show anything");
    stream.stop();
    QCOMPARE(lateCalls.load(), 0);
}

// Stop and start again, many times under a stream: whatever a session handles was sent after it
// started, so nothing queued in an earlier session leaks into a later one.
void EndpointHandoverTest::restartCycles_noDatagramFromAnEarlierSession()
{
    constexpr int kCycles = 15;
    Owner owner(freeLoopbackPort());
    // A nested event loop now and then, as a message box in a handler would run.
    owner.onDatagram = [](const Datagram& d) {
        if (numberOf(d.bytes) % 16 == 0)
            QTest::qWait(1);
    };
    Stream stream("127.0.0.2", "s", owner.endpoint->port(), 200000);

    // Datagrams fully sent before each start; one being sent meanwhile may reach the new socket.
    std::vector<int> firstOfSession;
    std::vector<std::size_t> sessionStart; // where each session's datagrams begin in owner.bytes
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        firstOfSession.push_back(stream.delivered());
        sessionStart.push_back(owner.bytes.size());
        owner.endpoint->activate();
        const std::size_t before = owner.bytes.size();
        QVERIFY(runUntil([&] { return owner.bytes.size() >= before + 5; }, kArrivalTimeoutMs));
        std::this_thread::sleep_for(20ms);
        owner.endpoint->stop();
    }
    stream.stop();
    QTest::qWait(50);

    QCOMPARE(owner.deepest, 1);
    QVERIFY(!owner.wrongThread);
    sessionStart.push_back(owner.bytes.size());
    int previous = -1;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        for (std::size_t i = sessionStart[cycle]; i < sessionStart[cycle + 1]; ++i) {
            const int n = numberOf(owner.bytes[i]);
            QVERIFY2(n >= firstOfSession[cycle],
                     qPrintable(QStringLiteral("session %1 handled datagram %2, sent before it "
                                               "started (at %3)")
                                    .arg(cycle)
                                    .arg(n)
                                    .arg(firstOfSession[cycle])));
            QVERIFY(n > previous);
            previous = n;
        }
    }
}

QTEST_GUILESS_MAIN(EndpointHandoverTest)
#include "tst_endpoint_handover.moc"
