#include "loopback_peer.h"

#include <QTest>

namespace nimbrel::testing {

void LoopbackPeer::sendTo(const std::string& bytes, const std::string& host,
                          std::uint16_t port) const
{
    sendToLoopback(socket_, bytes, host, port);
}

std::vector<Received> LoopbackPeer::receiveFor(int milliseconds)
{
    std::vector<Received> all;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (auto datagram = receive(0))
            all.push_back(std::move(*datagram));
        else
            QTest::qWait(2);
    }
    return all;
}

} // namespace nimbrel::testing
