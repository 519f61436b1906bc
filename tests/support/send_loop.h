#pragma once
// The one send loop of every flood in the tests and the benchmarks: bounded in count and in
// time, and stoppable from another thread. What one step sends (a datagram, a batch, from which
// socket, after which wait) is the caller's.

#include <atomic>
#include <chrono>
#include <functional>

namespace nimbrel::testing {

using SteadyClock = std::chrono::steady_clock;

struct SendBounds {
    long long count = 0;                     // datagrams in all, at most
    SteadyClock::time_point deadline;        // no step begins after it
    const std::atomic<bool>* stop = nullptr; // once set, no step begins either
};

// Sends up to atMost datagrams, the first of them number next of the loop, and returns how many
// it went through (refused ones included, if the caller counts them apart), or a negative number
// to end the loop.
using SendStep = std::function<long long(long long next, long long atMost)>;

struct SendOutcome {
    long long done = 0;    // datagrams the steps went through
    bool complete = false; // all of count
};

SendOutcome sendBounded(const SendBounds& bounds, const SendStep& step);

} // namespace nimbrel::testing
