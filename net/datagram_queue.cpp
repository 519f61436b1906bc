#include "net/datagram_queue.h"

#include <algorithm>
#include <vector>

namespace nimbrel {

bool DatagramQueue::push(std::span<const DatagramView> datagrams, std::uint64_t dropped_by_size,
                         std::uint64_t receive_errors)
{
    std::vector<Datagram> copies;
    copies.reserve(datagrams.size());
    std::size_t planned = queued_bytes_.load(std::memory_order_relaxed);
    std::uint64_t overBound = 0;
    for (const DatagramView& datagram : datagrams) {
        const std::size_t cost = queueCost(datagram.bytes.size());
        if (planned + cost > bound_) {
            ++overBound;
            continue;
        }
        planned += cost;
        copies.push_back(Datagram{std::string(datagram.bytes), std::string(datagram.sender),
                                  datagram.interface_index});
    }

    std::lock_guard lock(mutex_);
    counters_.received += datagrams.size() + dropped_by_size;
    counters_.dropped_by_size += dropped_by_size;
    counters_.receive_errors += receive_errors;
    counters_.dropped_by_bound += overBound;
    std::size_t queued = queued_bytes_.load(std::memory_order_relaxed);
    for (Datagram& copy : copies) {
        queued += queueCost(copy.bytes.size());
        items_.push_back(std::move(copy));
    }
    queued_bytes_.store(queued, std::memory_order_relaxed);
    counters_.peak_queued_bytes = std::max(counters_.peak_queued_bytes, queued);
    if (awake_ || items_.empty())
        return false;
    awake_ = true;
    return true;
}

std::size_t DatagramQueue::takeInto(std::deque<Datagram>& into, std::size_t most)
{
    std::lock_guard lock(mutex_);
    if (items_.empty()) {
        awake_ = false;
        return 0;
    }
    const std::size_t count = std::min(most, items_.size());
    std::size_t freed = 0;
    for (std::size_t i = 0; i < count; ++i) {
        freed += queueCost(items_.front().bytes.size());
        into.push_back(std::move(items_.front()));
        items_.pop_front();
    }
    queued_bytes_.store(queued_bytes_.load(std::memory_order_relaxed) - freed,
                        std::memory_order_relaxed);
    counters_.taken += count;
    return count;
}

std::optional<Datagram> DatagramQueue::take()
{
    std::deque<Datagram> one;
    if (takeInto(one, 1) == 0)
        return std::nullopt;
    return std::move(one.front());
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
    queued_bytes_.store(0, std::memory_order_relaxed);
    awake_ = false;
}

QueueCounters DatagramQueue::counters() const
{
    std::lock_guard lock(mutex_);
    QueueCounters counters = counters_;
    counters.queued_bytes = queued_bytes_.load(std::memory_order_relaxed);
    return counters;
}

} // namespace nimbrel
