#pragma once
// The datagrams received but not yet handled, between the endpoint's receiving thread and its
// owner's thread. The receiving thread empties the socket into it as fast as the kernel delivers,
// so a small kernel buffer (an ordinary user's) no longer loses a burst while the owner's thread is
// busy; the owner takes them one at a time, oldest first. Bounded by bytes, so a flood cannot grow
// memory without limit: what would pass the bound is dropped and counted.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace nimbrel {

struct Datagram {
    std::string bytes;
    std::string sender;      // dotted quad
    int interface_index = 0; // interface it arrived on, 0 when unknown
};

// What one queued datagram is charged against the bound besides its bytes: the record itself and
// the allocator's share, rounded up so the bound is one on memory, not just on payload.
inline constexpr std::size_t kQueueBookkeepingBytes = 128;

// A datagram still in the receiving thread's buffers.
struct DatagramView {
    std::string_view bytes;
    std::string_view sender;
    int interface_index = 0;
};

inline std::size_t queueCost(std::size_t payload_bytes)
{
    return payload_bytes + kQueueBookkeepingBytes;
}

// How much the queue of received datagrams may hold. A privileged program's kernel buffer of
// 32 MiB held every burst measured without a loss; the same in the program's own memory holds
// about 147,000 answers of 100 bytes (the kernel charges some 830 bytes for each, the queue 228),
// far beyond the largest network measured, or 4,000 datagrams of the protocol's largest size,
// and keeps a flood's memory well below 200 MiB resident.
inline constexpr std::size_t kDefaultQueueBound = 32u * 1024 * 1024;

struct QueueCounters {
    std::uint64_t received = 0;         // read from the socket, whatever became of them
    std::uint64_t dropped_by_size = 0;  // longer than the protocol's 8192 bytes
    std::uint64_t dropped_by_bound = 0; // the queue was full
    std::uint64_t receive_errors = 0;   // reads the platform failed
    std::uint64_t taken = 0;            // taken by the owner's thread
    std::uint64_t discarded_at_stop = 0;
    std::size_t queued_bytes = 0;
    std::size_t peak_queued_bytes = 0;
};

class DatagramQueue {
public:
    explicit DatagramQueue(std::size_t bound_bytes) : bound_(bound_bytes) {}

    // Appends what the receiving thread read in one go, in order, copying each datagram that fits
    // under the bound and dropping the others (a dropped one costs no allocation). The copies are
    // made before the lock is taken, so the owner's thread never waits for them. The counts of
    // datagrams the receiving thread dropped itself come along. Answers whether the owner must be
    // woken: true once after the queue had been found empty, so a burst costs one wake-up however
    // many reads it spans.
    bool push(std::span<const DatagramView> datagrams, std::uint64_t dropped_by_size,
              std::uint64_t receive_errors);

    // Moves up to `most` of the oldest datagrams to the end of `into`, under one lock, so the
    // owner's thread and the receiving thread rarely meet at it. Answers how many; none also
    // means the owner must be woken again for the next push.
    std::size_t takeInto(std::deque<Datagram>& into, std::size_t most);
    // The oldest datagram, or nothing (as takeInto with one).
    std::optional<Datagram> take();
    // Asks for a wake-up although datagrams may remain (the owner pauses to let other events run).
    // Answers whether any remain.
    bool keepAwake();
    // Drops everything queued (a stop: none of it may be handled in a later session).
    void clear();

    QueueCounters counters() const;
    std::size_t bound() const { return bound_; }

private:
    const std::size_t bound_;
    mutable std::mutex mutex_;
    std::deque<Datagram> items_;
    // Written under the lock; read without it to decide which datagrams to copy. With one thread
    // pushing it can only shrink meanwhile, so a datagram found to fit still fits under the lock.
    std::atomic<std::size_t> queued_bytes_{0};
    // Set when the owner has been (or is being) woken and has not yet found the queue empty.
    bool awake_ = false;
    QueueCounters counters_;
};

} // namespace nimbrel
