#include "loopback_flood.h"

#include "figures.h"
#include "send_loop.h"

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace nimbrel::bench {

long long flood(const std::vector<int>& senders, const std::vector<std::string>& texts,
                std::uint16_t port, long long count, int maxMs)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // One batch of every text in turn, sent with one call: the sender must outrun the receivers.
    constexpr std::size_t kBatch = 64;
    std::vector<iovec> parts(kBatch);
    std::vector<mmsghdr> batch(kBatch);
    for (std::size_t i = 0; i < kBatch; ++i) {
        const std::string& text = texts[i % texts.size()];
        parts[i] = {const_cast<char*>(text.data()), text.size()};
        batch[i].msg_hdr.msg_name = &to;
        batch[i].msg_hdr.msg_namelen = sizeof to;
        batch[i].msg_hdr.msg_iov = &parts[i];
        batch[i].msg_hdr.msg_iovlen = 1;
    }
    std::size_t round = 0;
    const testing::SendOutcome outcome = testing::sendBounded(
        {count, testing::SteadyClock::now() + std::chrono::milliseconds(maxMs)},
        [&](long long, long long atMost) -> long long {
            const auto size = static_cast<unsigned>(std::min<long long>(kBatch, atMost));
            return ::sendmmsg(senders[round++ % senders.size()], batch.data(), size, 0);
        });
    return outcome.done;
}

Reception receiveUntilQuiet(int fd, const std::atomic<bool>& senderDone, int quietMs, int maxMs)
{
    const timeval wake{0, 50'000}; // blocking, yet it looks at the clock now and then
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wake, sizeof wake);
    Reception reception;
    const double start = realtimeMs();
    double lastActivity = start;
    char buffer[65536];
    for (double now = start; now - start < maxMs; now = realtimeMs()) {
        sockaddr_in from{};
        socklen_t length = sizeof from;
        if (::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length) >=
            0) {
            ++reception.count;
            reception.lastMs = lastActivity = realtimeMs();
        } else if (senderDone && now - lastActivity > quietMs) {
            break;
        }
    }
    return reception;
}

Reception receiveBatchesUntilQuiet(int fd, const std::atomic<bool>& senderDone, int quietMs,
                                   int maxMs)
{
    const timeval wake{0, 50'000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wake, sizeof wake);
    constexpr unsigned kBatch = 64;
    constexpr std::size_t kSize = 8192;
    std::vector<char> buffers(kBatch * kSize);
    std::vector<iovec> parts(kBatch);
    std::vector<sockaddr_in> from(kBatch);
    std::vector<mmsghdr> batch(kBatch);
    Reception reception;
    const double start = realtimeMs();
    double lastActivity = start;
    for (double now = start; now - start < maxMs; now = realtimeMs()) {
        for (unsigned i = 0; i < kBatch; ++i) {
            parts[i] = {buffers.data() + i * kSize, kSize};
            batch[i].msg_hdr = msghdr{};
            batch[i].msg_hdr.msg_name = &from[i];
            batch[i].msg_hdr.msg_namelen = sizeof from[i];
            batch[i].msg_hdr.msg_iov = &parts[i];
            batch[i].msg_hdr.msg_iovlen = 1;
        }
        // MSG_WAITFORONE: block for the first, then take whatever else is queued.
        const int got = ::recvmmsg(fd, batch.data(), kBatch, MSG_WAITFORONE, nullptr);
        if (got > 0) {
            reception.count += got;
            reception.lastMs = lastActivity = realtimeMs();
        } else if (senderDone && now - lastActivity > quietMs) {
            break;
        }
    }
    return reception;
}

} // namespace nimbrel::bench
