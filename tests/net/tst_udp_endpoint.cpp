// Every socket here is bound to 127.0.0.x on a port chosen at run time: no datagram of these
// tests can leave the machine, and none touches the device port.

#include "net/udp_endpoint.h"
#include "send_loop.h"
#include "udp_socket.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace nimbrel;
using namespace std::chrono_literals;

using namespace nimbrel::testing;

namespace {

constexpr int kArrivalTimeoutMs = 5000;

// A plain UDP socket standing in for a device or another program.
class PlainSocket {
public:
    explicit PlainSocket(const char* address, std::uint16_t port = 0)
        : socket_(loopbackUdpSocket(address, port))
    {}
    ~PlainSocket() { closeUdpSocket(socket_); }
    PlainSocket(const PlainSocket&) = delete;
    PlainSocket& operator=(const PlainSocket&) = delete;

    std::uint16_t port() const { return boundPort(socket_); }

    bool sendTo(const QByteArray& bytes, std::uint16_t port, const char* host = "127.0.0.1") const
    {
        return sendToLoopback(socket_, bytes.toStdString(), host, port);
    }

    // The next datagram and its sender "address:port", or nothing within the timeout.
    std::optional<std::pair<QByteArray, QByteArray>> receive(int timeout_ms) const
    {
        const auto datagram = receiveWithin(socket_, timeout_ms);
        if (!datagram)
            return std::nullopt;
        return std::pair{QByteArray::fromStdString(datagram->bytes),
                         QByteArray::fromStdString(datagram->sender) + ':' +
                             QByteArray::number(datagram->sender_port)};
    }

private:
    UdpSocketHandle socket_;
};

// The sender the endpoint must report for a device socket on 127.0.0.2: that address itself on
// Linux and Windows; under Wine, which sends such a socket's datagrams from 127.0.0.1, what a
// plain socket sees.
std::string deviceSender()
{
#ifdef _WIN32
    return seenSenderOf("127.0.0.2");
#else
    return "127.0.0.2";
#endif
}

EndpointConfig loopbackConfig(std::uint16_t port)
{
    return EndpointConfig{"127.0.0.1", port, "127.0.0.1"};
}

QByteArray byteRange(int first, int last)
{
    QByteArray bytes;
    for (int b = first; b <= last; ++b)
        bytes.append(static_cast<char>(b));
    return bytes;
}

// Sends numbered datagrams from 127.0.0.2 until told to stop, bounded in count and time.
class Flood {
public:
    explicit Flood(std::uint16_t port) : thread_([this, port] { run(port); }) {}
    ~Flood() { stop(); }
    Flood(const Flood&) = delete;
    Flood& operator=(const Flood&) = delete;

    void stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    int sent() const { return sent_; }

private:
    void run(std::uint16_t port)
    {
        const PlainSocket socket("127.0.0.2");
        sendBounded({100000, SteadyClock::now() + 15s, &stop_}, [&](long long i, long long) {
            if (socket.sendTo("flood " + QByteArray::number(i), port))
                ++sent_;
            std::this_thread::sleep_for(200us);
            return 1LL;
        });
    }

    std::atomic<bool> stop_{false};
    std::atomic<int> sent_{0};
    std::thread thread_;
};

// Blocks this thread without running its event loop, so that under a stream the receiving thread
// has surely read the next datagram and queued it for this thread.
void waitForHandOver()
{
    std::this_thread::sleep_for(100ms);
}

// Keeps this thread busy, its event loop not turning, until the condition holds (at most 5 s):
// the window's thread inside a long handler or a write's pauses.
bool busyUntil(const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    return done();
}

// The ways a handler or a click can turn a nested event loop, as a message box does.
enum class NestedLoop { EventLoopExec, QTestWait, ProcessEvents };

// Turns a nested event loop of that kind until the condition holds (at most 5 s).
bool runNestedUntil(NestedLoop kind, const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    switch (kind) {
    case NestedLoop::EventLoopExec: {
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            if (done() || clock.elapsed() > 5000)
                loop.quit();
        });
        check.start(1);
        loop.exec();
        break;
    }
    case NestedLoop::QTestWait:
        while (!done() && clock.elapsed() < 5000)
            QTest::qWait(5);
        break;
    case NestedLoop::ProcessEvents:
        while (!done() && clock.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        break;
    }
    return done();
}

void addNestedLoopRows()
{
    QTest::addColumn<NestedLoop>("nested");

    QTest::addRow("QEventLoop::exec") << NestedLoop::EventLoopExec;
    QTest::addRow("QTest::qWait") << NestedLoop::QTestWait;
    QTest::addRow("QCoreApplication::processEvents") << NestedLoop::ProcessEvents;
}

} // namespace

Q_DECLARE_METATYPE(NestedLoop)

class UdpEndpointTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void receivesExactBytes_data();
    void receivesExactBytes();
    void sizeLimit_data();
    void sizeLimit();
    void sendReplacesHighBytes();
    void broadcastSendsOneDatagram_data();
    void broadcastSendsOneDatagram();
    void handlersNeverOverlap_data();
    void handlersNeverOverlap();
    void throwingHandlerKeepsReceiving();
    void nestedLoopInsideHandler_nextWaitsUntilItReturns_data();
    void nestedLoopInsideHandler_nextWaitsUntilItReturns();
    void nestedLoopOutsideHandler_datagramsHandledMeanwhile_data();
    void nestedLoopOutsideHandler_datagramsHandledMeanwhile();
    void queueBoundReached_laterDatagramsDroppedAndCounted_data();
    void queueBoundReached_laterDatagramsDroppedAndCounted();
    void longQueue_otherEventsRunBetweenSlices();
    void stop_queuedDatagramsNeverHandledAfterRestart_data();
    void stop_queuedDatagramsNeverHandledAfterRestart();
    void bindConflict_data();
    void bindConflict();
    void noHandlerAfterStop_data();
    void noHandlerAfterStop();
    void restartDeliversOnlyNewDatagrams();
    void activeState();
    void sendWhenInactiveThrows_data();
    void sendWhenInactiveThrows();

private:
    // An active endpoint on a fresh loopback port whose handler records every datagram.
    void startRecording();
    QByteArrayList receivedBytes() const;

    std::uint16_t port_ = 0;
    std::unique_ptr<UdpEndpoint> endpoint_;
    std::vector<Datagram> received_;
};

void UdpEndpointTest::init()
{
    received_.clear();
    port_ = freeLoopbackPort();
    endpoint_ = std::make_unique<UdpEndpoint>(loopbackConfig(port_));
}

void UdpEndpointTest::cleanup()
{
    endpoint_.reset();
}

void UdpEndpointTest::startRecording()
{
    endpoint_->setHandler([this](const Datagram& d) { received_.push_back(d); });
    endpoint_->activate();
}

QByteArrayList UdpEndpointTest::receivedBytes() const
{
    QByteArrayList list;
    for (const Datagram& d : received_)
        list.append(QByteArray::fromStdString(d.bytes));
    return list;
}

void UdpEndpointTest::receivesExactBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");

    QTest::addRow("text") << QByteArray("im_QUORIX;QUORIX;");
    QTest::addRow("0 bytes") << QByteArray();
    QTest::addRow("zero bytes inside") << QByteArray("a\0b\0\0", 5);
    QTest::addRow("8-bit bytes untouched") << byteRange(0x80, 0xff);
    QTest::addRow("8192 bytes") << QByteArray(8192, 'x');
}

void UdpEndpointTest::receivesExactBytes()
{
    QFETCH(QByteArray, bytes);
    startRecording();

    const PlainSocket device("127.0.0.2");
    QVERIFY(device.sendTo(bytes, port_));

    QTRY_COMPARE_WITH_TIMEOUT(received_.size(), std::size_t(1), kArrivalTimeoutMs);
    QCOMPARE(QByteArray::fromStdString(received_[0].bytes), bytes);
    QCOMPARE(received_[0].sender, deviceSender());
    QCOMPARE(received_[0].interface_index, loopbackInterfaceIndex());
}

void UdpEndpointTest::sizeLimit_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("passed");

    QTest::addRow("8191") << 8191 << true;
    QTest::addRow("8192") << 8192 << true;
    QTest::addRow("8193") << 8193 << false;
    QTest::addRow("9000") << 9000 << false;
    QTest::addRow("largest UDP datagram") << 65507 << false;
}

// A datagram over the limit is dropped whole, not cut, and the one after it still arrives.
void UdpEndpointTest::sizeLimit()
{
    QFETCH(int, size);
    QFETCH(bool, passed);
    startRecording();

    const PlainSocket device("127.0.0.2");
    const QByteArray big(size, 'b');
    QVERIFY(device.sendTo(big, port_));
    QVERIFY(device.sendTo("next", port_));

    QTRY_VERIFY_WITH_TIMEOUT(!received_.empty() && received_.back().bytes == "next",
                             kArrivalTimeoutMs);
    const QByteArrayList expected = passed ? QByteArrayList{big, "next"} : QByteArrayList{"next"};
    QCOMPARE(receivedBytes(), expected);
    const EndpointCounters counters = endpoint_->counters();
    QCOMPARE(counters.received, std::uint64_t(2));
    QCOMPARE(counters.dropped_by_size, std::uint64_t(passed ? 0 : 1));
    QCOMPARE(counters.handled, std::uint64_t(passed ? 2 : 1));
}

void UdpEndpointTest::sendReplacesHighBytes()
{
    startRecording();
    const PlainSocket device("127.0.0.2");

    endpoint_->send(byteRange(0, 0xff).toStdString(), "127.0.0.2", device.port());

    const auto datagram = device.receive(kArrivalTimeoutMs);
    QVERIFY(datagram.has_value());
    QCOMPARE(datagram->first, byteRange(0, 0x7f) + QByteArray(0x80, '?'));
    QCOMPARE(datagram->second, "127.0.0.1:" + QByteArray::number(port_));
    QVERIFY(!device.receive(0).has_value());
}

void UdpEndpointTest::broadcastSendsOneDatagram_data()
{
    // The interface to name, or -1 for broadcast() over every interface.
    QTest::addColumn<int>("via");

    QTest::addRow("broadcast") << -1;
    QTest::addRow("broadcastVia 0") << 0;
    QTest::addRow("broadcastVia an interface") << loopbackInterfaceIndex();
}

// With a plain address configured, a broadcast is one datagram to it, at the endpoint's own port.
void UdpEndpointTest::broadcastSendsOneDatagram()
{
    QFETCH(int, via);
    startRecording();

    if (via < 0)
        QCOMPARE(endpoint_->broadcast("find_QUORIX\xe9"), 1);
    else
        endpoint_->broadcastVia("find_QUORIX\xe9", via);

    // Datagrams on one socket keep their order: once the marker is in, nothing else is coming.
    const PlainSocket device("127.0.0.2");
    QVERIFY(device.sendTo("marker", port_));
    QTRY_VERIFY_WITH_TIMEOUT(!received_.empty() && received_.back().bytes == "marker",
                             kArrivalTimeoutMs);
    QCOMPARE(receivedBytes(), (QByteArrayList{"find_QUORIX?", "marker"}));
    QCOMPARE(received_[0].sender, std::string("127.0.0.1"));
}

void UdpEndpointTest::handlersNeverOverlap_data()
{
    QTest::addColumn<bool>("useEventLoop");

    QTest::addRow("QTest::qWait in handler") << false;
    QTest::addRow("QEventLoop in handler") << true;
}

void UdpEndpointTest::handlersNeverOverlap()
{
    QFETCH(bool, useEventLoop);

    int depth = 0;
    int deepest = 0;
    endpoint_->setHandler([&](const Datagram& d) {
        deepest = std::max(deepest, ++depth);
        received_.push_back(d);
        // The first few handlers wait with the event loop running while the rest are queued.
        if (received_.size() <= 3) {
            if (useEventLoop) {
                QEventLoop loop;
                QTimer::singleShot(100, &loop, &QEventLoop::quit);
                loop.exec();
            } else {
                QTest::qWait(100);
            }
        }
        --depth;
    });
    endpoint_->activate();

    const PlainSocket device("127.0.0.2");
    QByteArrayList sent;
    for (int i = 0; i < 8; ++i) {
        sent.append("d" + QByteArray::number(i));
        QVERIFY(device.sendTo(sent.back(), port_));
    }

    QTRY_COMPARE_WITH_TIMEOUT(received_.size(), std::size_t(8), kArrivalTimeoutMs);
    QCOMPARE(deepest, 1);
    QCOMPARE(receivedBytes(), sent);
}

void UdpEndpointTest::throwingHandlerKeepsReceiving()
{
    endpoint_->setHandler([this](const Datagram& d) {
        received_.push_back(d);
        if (d.bytes == "std")
            throw std::runtime_error("handler failed");
        if (d.bytes == "int")
            throw 42;
    });
    endpoint_->activate();

    const PlainSocket device("127.0.0.2");
    for (const char* text : {"std", "int", "std", "after"})
        QVERIFY(device.sendTo(text, port_));

    QTRY_COMPARE_WITH_TIMEOUT(received_.size(), std::size_t(4), kArrivalTimeoutMs);
    QCOMPARE(receivedBytes(), (QByteArrayList{"std", "int", "std", "after"}));
}

void UdpEndpointTest::nestedLoopInsideHandler_nextWaitsUntilItReturns_data()
{
    addNestedLoopRows();
}

// A verdict box opened while a datagram is handled: the datagrams that arrive meanwhile are
// received and queued, but none is handled until the handler has returned; then all, in order.
void UdpEndpointTest::nestedLoopInsideHandler_nextWaitsUntilItReturns()
{
    QFETCH(NestedLoop, nested);
    const PlainSocket device("127.0.0.2");
    const QByteArrayList later{"d1", "d2", "", "d4", "d5"};
    std::size_t handledInside = 0;
    bool allQueuedInside = false;
    int depth = 0;
    int deepest = 0;
    endpoint_->setHandler([&](const Datagram& d) {
        deepest = std::max(deepest, ++depth);
        received_.push_back(d);
        if (d.bytes == "box") {
            for (const QByteArray& bytes : later)
                device.sendTo(bytes, port_);
            allQueuedInside = runNestedUntil(nested, [&] {
                return endpoint_->counters().received == std::uint64_t(1 + later.size());
            });
            // The loop turned a while longer: a wrongly started datagram would show here.
            runNestedUntil(nested, [start = std::chrono::steady_clock::now()] {
                return std::chrono::steady_clock::now() - start > 50ms;
            });
            handledInside = received_.size();
        }
        --depth;
    });
    endpoint_->activate();

    QVERIFY(device.sendTo("box", port_));
    QTRY_COMPARE_WITH_TIMEOUT(received_.size(), std::size_t(1 + later.size()), kArrivalTimeoutMs);
    QVERIFY2(allQueuedInside, "the later datagrams never reached the queue");
    QCOMPARE(handledInside, std::size_t(1));
    QCOMPARE(deepest, 1);
    QCOMPARE(receivedBytes(), QByteArrayList{"box"} + later);
}

void UdpEndpointTest::nestedLoopOutsideHandler_datagramsHandledMeanwhile_data()
{
    addNestedLoopRows();
}

// A box opened by a click ("No device selected"): its event loop handles datagrams as they come.
void UdpEndpointTest::nestedLoopOutsideHandler_datagramsHandledMeanwhile()
{
    QFETCH(NestedLoop, nested);
    startRecording();
    const PlainSocket device("127.0.0.2");
    const QByteArrayList sent{"a", "b", "c", "d"};
    bool clicked = false;
    std::size_t handledInBox = 0;
    QTimer::singleShot(0, [&] {
        clicked = true;
        for (const QByteArray& bytes : sent)
            device.sendTo(bytes, port_);
        runNestedUntil(nested, [&] { return received_.size() == std::size_t(sent.size()); });
        handledInBox = received_.size();
    });

    QTRY_VERIFY_WITH_TIMEOUT(clicked && handledInBox > 0, kArrivalTimeoutMs);
    QCOMPARE(handledInBox, std::size_t(sent.size()));
    QCOMPARE(receivedBytes(), sent);
}

void UdpEndpointTest::queueBoundReached_laterDatagramsDroppedAndCounted_data()
{
    QTest::addColumn<int>("size");

    QTest::addRow("0 bytes") << 0;
    QTest::addRow("100 bytes") << 100;
    QTest::addRow("8192 bytes") << 8192;
}

// While the owner's thread is busy the queue fills; past its bound every further datagram is
// dropped and counted, and the ones within it are handled in order once the thread is free.
void UdpEndpointTest::queueBoundReached_laterDatagramsDroppedAndCounted()
{
    QFETCH(int, size);
    constexpr int kFit = 4;
    constexpr int kSent = 12;
    const std::size_t bound = kFit * (static_cast<std::size_t>(size) + kQueueBookkeepingBytes);
    endpoint_ =
        std::make_unique<UdpEndpoint>(EndpointConfig{"127.0.0.1", port_, "127.0.0.1", bound});
    startRecording();

    const PlainSocket device("127.0.0.2");
    QByteArrayList sent;
    for (int i = 0; i < kSent; ++i) {
        QByteArray bytes(size, 'x');
        bytes.replace(0, std::min(size, 2), QByteArray::number(i + 10).left(size));
        sent.append(bytes);
        QVERIFY(device.sendTo(bytes, port_));
    }
    QVERIFY(busyUntil([&] { return endpoint_->counters().received == std::uint64_t(kSent); }));

    QTRY_COMPARE_WITH_TIMEOUT(received_.size(), std::size_t(kFit), kArrivalTimeoutMs);
    QTest::qWait(50);
    QCOMPARE(receivedBytes(), sent.mid(0, kFit));
    const EndpointCounters counters = endpoint_->counters();
    QCOMPARE(counters.received, std::uint64_t(kSent));
    QCOMPARE(counters.dropped_by_bound, std::uint64_t(kSent - kFit));
    QCOMPARE(counters.handled, std::uint64_t(kFit));
    QCOMPARE(counters.peak_queued_bytes, bound);
    QCOMPARE(counters.queued_bytes, std::size_t(0));

    // Room again: the next one is handled.
    QVERIFY(device.sendTo("after", port_));
    QTRY_COMPARE_WITH_TIMEOUT(received_.size(), std::size_t(kFit + 1), kArrivalTimeoutMs);
    QCOMPARE(received_.back().bytes, std::string("after"));
}

// Hundreds of queued datagrams whose handlers take a while: a timer due meanwhile runs before the
// queue is worked off, so the window's thread keeps answering the user during a burst.
void UdpEndpointTest::longQueue_otherEventsRunBetweenSlices()
{
    constexpr int kQueued = 300;
    std::optional<std::size_t> handledWhenTimerRan;
    endpoint_->setHandler([&](const Datagram& d) {
        received_.push_back(d);
        // Due at once, so it runs as soon as the event loop gets its turn.
        if (received_.size() == 1)
            QTimer::singleShot(0, [&] { handledWhenTimerRan = received_.size(); });
        std::this_thread::sleep_for(1ms);
    });
    endpoint_->activate();
    const PlainSocket device("127.0.0.2");
    for (int i = 0; i < kQueued; ++i)
        QVERIFY(device.sendTo("q" + QByteArray::number(i), port_));
    QVERIFY(busyUntil([&] { return endpoint_->counters().received == std::uint64_t(kQueued); }));

    QTRY_COMPARE_WITH_TIMEOUT(received_.size(), std::size_t(kQueued), 20000);

    QVERIFY(handledWhenTimerRan.has_value());
    qInfo("the timer ran after %zu of %d handlers of 1 ms", *handledWhenTimerRan, kQueued);
    QVERIFY2(*handledWhenTimerRan < std::size_t(kQueued),
             "the whole queue was handled in one go: the window's thread stalled");
    for (int i = 0; i < kQueued; ++i)
        QCOMPARE(QByteArray::fromStdString(received_[static_cast<std::size_t>(i)].bytes),
                 "q" + QByteArray::number(i));
}

void UdpEndpointTest::stop_queuedDatagramsNeverHandledAfterRestart_data()
{
    QTest::addColumn<bool>("fromHandler");

    QTest::addRow("queued while the owner's thread is busy") << false;
    QTest::addRow("queued behind a handler that restarts the endpoint") << true;
}

// Datagrams received before a stop() are dropped with it (and counted); after activate() only
// datagrams sent afterwards are handled.
void UdpEndpointTest::stop_queuedDatagramsNeverHandledAfterRestart()
{
    QFETCH(bool, fromHandler);
    constexpr int kQueued = 5;
    const PlainSocket device("127.0.0.2");
    auto sendQueued = [&] {
        for (int i = 0; i < kQueued; ++i)
            device.sendTo("old " + QByteArray::number(i), port_);
    };
    auto restart = [&] {
        endpoint_->stop();
        endpoint_->activate();
        device.sendTo("fresh", port_);
    };
    int depth = 0;
    int deepest = 0;
    endpoint_->setHandler([&](const Datagram& d) {
        deepest = std::max(deepest, ++depth);
        received_.push_back(d);
        if (d.bytes == "restart") {
            sendQueued();
            runNestedUntil(NestedLoop::EventLoopExec, [&] {
                return endpoint_->counters().received == std::uint64_t(1 + kQueued);
            });
            restart();
            // Still inside the handler: the new session's datagram waits for it as well.
            runNestedUntil(NestedLoop::EventLoopExec, [&] {
                return endpoint_->counters().received == std::uint64_t(2 + kQueued);
            });
        }
        --depth;
    });
    endpoint_->activate();

    QByteArrayList expected;
    if (fromHandler) {
        QVERIFY(device.sendTo("restart", port_));
        expected = {"restart", "fresh"};
    } else {
        sendQueued();
        QVERIFY(
            busyUntil([&] { return endpoint_->counters().received == std::uint64_t(kQueued); }));
        restart();
        expected = {"fresh"};
    }

    QTRY_VERIFY_WITH_TIMEOUT(!received_.empty() && received_.back().bytes == "fresh",
                             kArrivalTimeoutMs);
    QTest::qWait(50);
    QCOMPARE(receivedBytes(), expected);
    QCOMPARE(deepest, 1);
    QCOMPARE(endpoint_->counters().discarded_at_stop, std::uint64_t(kQueued));
}

void UdpEndpointTest::bindConflict_data()
{
    QTest::addColumn<bool>("heldByEndpoint");

    QTest::addRow("port held by another endpoint") << true;
    QTest::addRow("port held by another program") << false;
}

void UdpEndpointTest::bindConflict()
{
    QFETCH(bool, heldByEndpoint);

    std::unique_ptr<PlainSocket> program;
    if (heldByEndpoint)
        startRecording();
    else
        program = std::make_unique<PlainSocket>("127.0.0.1", port_);

    UdpEndpoint second(loopbackConfig(port_));
    try {
        second.activate();
        QFAIL("bind to a held port did not throw");
    } catch (const NetworkError& error) {
        QCOMPARE(QByteArray(error.what()),
                 QByteArray("Could not bind socket. Address and port are already in use."));
    }
    QVERIFY(!second.isActive());

    // The holder keeps its port.
    const PlainSocket device("127.0.0.2");
    QVERIFY(device.sendTo("still here", port_));
    if (heldByEndpoint) {
        QTRY_COMPARE_WITH_TIMEOUT(received_.size(), std::size_t(1), kArrivalTimeoutMs);
        QCOMPARE(received_[0].bytes, std::string("still here"));
    } else {
        const auto datagram = program->receive(kArrivalTimeoutMs);
        QVERIFY(datagram.has_value());
        QCOMPARE(datagram->first, QByteArray("still here"));
    }
}

void UdpEndpointTest::noHandlerAfterStop_data()
{
    QTest::addColumn<bool>("destroy");

    QTest::addRow("stop()") << false;
    QTest::addRow("destructor") << true;
}

// Shutting down under a steady stream: it returns, and datagrams already received or handed over
// are never handled afterwards (nor touch a destroyed endpoint).
void UdpEndpointTest::noHandlerAfterStop()
{
    QFETCH(bool, destroy);
    int calls = 0;
    endpoint_->setHandler([&calls](const Datagram&) { ++calls; });
    endpoint_->activate();

    Flood flood(port_);
    QTRY_VERIFY_WITH_TIMEOUT(calls >= 5, kArrivalTimeoutMs);
    waitForHandOver();

    QElapsedTimer clock;
    clock.start();
    if (destroy)
        endpoint_.reset();
    else
        endpoint_->stop();
    const qint64 elapsed = clock.elapsed();
    qInfo("shutdown took %lld ms under a stream of datagrams", static_cast<long long>(elapsed));
    QVERIFY2(elapsed < 5000, "shutdown did not return");

    const int callsAtStop = calls;
    const int sentAtStop = flood.sent();
    QTest::qWait(300);
    QVERIFY2(flood.sent() > sentAtStop, "the stream ended too early to show anything");
    flood.stop();
    QCOMPARE(calls, callsAtStop);
    if (!destroy)
        QVERIFY(!endpoint_->isActive());
}

// A datagram handed over before stop() must not surface after the endpoint is started again.
void UdpEndpointTest::restartDeliversOnlyNewDatagrams()
{
    std::vector<std::string> seen;
    int depth = 0;
    int deepest = 0;
    endpoint_->setHandler([&](const Datagram& d) {
        deepest = std::max(deepest, ++depth);
        seen.push_back(d.bytes);
        if (d.bytes != "fresh")
            QTest::qWait(5);
        --depth;
    });
    endpoint_->activate();

    Flood flood(port_);
    QTRY_VERIFY_WITH_TIMEOUT(seen.size() >= 5, kArrivalTimeoutMs);
    waitForHandOver();
    endpoint_->stop();
    flood.stop();
    const std::size_t seenAtStop = seen.size();

    endpoint_->activate();
    const PlainSocket device("127.0.0.2");
    QVERIFY(device.sendTo("fresh", port_));
    QTRY_VERIFY_WITH_TIMEOUT(seen.size() > seenAtStop && seen.back() == "fresh", kArrivalTimeoutMs);
    QCOMPARE(seen.size(), seenAtStop + 1);
    QCOMPARE(deepest, 1);
}

void UdpEndpointTest::activeState()
{
    QVERIFY(!endpoint_->isActive());
    QCOMPARE(endpoint_->receiveBufferSize(), 0);

    endpoint_->activate();
    QVERIFY(endpoint_->isActive());
    QCOMPARE(endpoint_->port(), port_);
    QVERIFY(endpoint_->receiveBufferSize() > 0);
    qInfo("receive buffer granted: %d bytes", endpoint_->receiveBufferSize());

    // Idle, the receiving thread notices the stop only when its wait for a datagram ends.
    QElapsedTimer clock;
    clock.start();
    endpoint_->stop();
    qInfo("idle stop took %lld ms", static_cast<long long>(clock.elapsed()));
    QVERIFY2(clock.elapsed() < 5000, "stop did not return");
    QVERIFY(!endpoint_->isActive());
    QCOMPARE(endpoint_->receiveBufferSize(), 0);
}

void UdpEndpointTest::sendWhenInactiveThrows_data()
{
    QTest::addColumn<bool>("wasActive");

    QTest::addRow("never activated") << false;
    QTest::addRow("stopped") << true;
}

void UdpEndpointTest::sendWhenInactiveThrows()
{
    QFETCH(bool, wasActive);
    if (wasActive) {
        endpoint_->activate();
        endpoint_->stop();
    }
    const PlainSocket device("127.0.0.2");

    QVERIFY_THROWS_EXCEPTION(NetworkError,
                             endpoint_->send("get_network", "127.0.0.2", device.port()));
    QVERIFY_THROWS_EXCEPTION(NetworkError, endpoint_->broadcast("find_QUORIX"));
    QVERIFY_THROWS_EXCEPTION(NetworkError, endpoint_->broadcastVia("find_QUORIX", 0));
    QVERIFY(!device.receive(100).has_value());
}

QTEST_GUILESS_MAIN(UdpEndpointTest)
#include "tst_udp_endpoint.moc"
