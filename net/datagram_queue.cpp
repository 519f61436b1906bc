#include "net/datagram_queue.h"

#include <algorithm>

namespace nimbrel {

bool DatagramQueue::push(std::span<const DatagramView> datagrams, std::uint64_t dropped_by_size,
                         std::uint64_t receive_errors)
{
    std::lock_guard lock(mutex_);
    counters_.received += datagrams.size() + dropped_by_size;
    counters_.dropped_by_size += dropped_by_size;
    counters_.receive_errors += receive_errors;
    for (const DatagramView& datagram : datagrams) {
        const std::size_t cost = queueCost(datagram.bytes.size());
        if (counters_.queued_bytes + cost > bound_) {
            ++counters_.dropped_by_bound;
            continue;
        }
        items_.push_back(Datagram{std::string(datagram.bytes), std::string(datagram.sender),
                                  datagram.interface_index});
        counters_.queued_bytes += cost;
    }
    counters_.peak_queued_bytes = std::max(counters_.peak_queued_bytes, counters_.queued_bytes);
    if (awake_ || items_.empty())
        return false;
    awake_ = true;
    return true;
}

std::optional<Datagram> DatagramQueue::take()
{
    std::lock_guard lock(mutex_);
    if (items_.empty()) {
        awake_ = false;
        return std::nullopt;
    }
    Datagram datagram = std::move(items_.front());
    items_.pop_front();
    counters_.queued_bytes -= queueCost(datagram.bytes.size());
    ++counters_.handled;
    return datagram;
}

bool DatagramQueue::keepAwake()
{
    std::lock_guard lock(mutex_);
    awake_ = !items_.empty();
    return awake_;
}

void DatagramQueue::clear()
{
    std::lock_guard lock(mutex_);
    counters_.discarded_at_stop += items_.size();
    // Swapped out rather than cleared: a deque keeps its blocks, and a queue that a flood filled
    // should give its memory back.
    std::deque<Datagram>().swap(items_);
    counters_.queued_bytes = 0;
    awake_ = false;
}

QueueCounters DatagramQueue::counters() const
{
    std::lock_guard lock(mutex_);
    return counters_;
}

} // namespace nimbrel
