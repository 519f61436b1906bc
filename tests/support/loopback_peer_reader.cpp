// The loopback peer where the system reports no receive time (Windows): a thread of its own
// waits on the socket and stamps each datagram the moment it arrives, so the gaps between
// datagrams are measured even while the test's thread is busy, as a write's pauses keep it.

#include "loopback_peer.h"

#include <QTest>

#include <atomic>
#include <deque>
#include <mutex>
#include <thread>

namespace nimbrel::testing {

struct LoopbackPeer::Reader {
    std::mutex mutex;
    std::deque<Received> arrived;
    std::atomic<bool> stop{false};
    std::thread thread;

    void run(UdpSocketHandle socket)
    {
        while (!stop) {
            auto datagram = receiveWithin(socket, 20);
            if (!datagram)
                continue;
            const auto at = std::chrono::steady_clock::now().time_since_epoch();
            const std::lock_guard lock(mutex);
            arrived.push_back({std::move(datagram->bytes), std::move(datagram->sender), at});
        }
    }
    std::optional<Received> take()
    {
        const std::lock_guard lock(mutex);
        if (arrived.empty())
            return std::nullopt;
        Received first = std::move(arrived.front());
        arrived.pop_front();
        return first;
    }
};

LoopbackPeer::LoopbackPeer(const std::string& address, std::uint16_t port)
    : address_(address), socket_(loopbackUdpSocket(address, port)),
      reader_(std::make_unique<Reader>())
{
    reader_->thread = std::thread([this] { reader_->run(socket_); });
}

LoopbackPeer::~LoopbackPeer()
{
    reader_->stop = true;
    reader_->thread.join();
    closeUdpSocket(socket_);
}

std::optional<Received> LoopbackPeer::receive(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (auto datagram = reader_->take())
            return datagram;
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        QTest::qWait(1);
    }
}

} // namespace nimbrel::testing
