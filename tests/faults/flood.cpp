#include "flood.h"

#include "send_loop.h"
#include "virtual_lan.h"

#include <pthread.h>
#include <sched.h>

namespace nimbrel::testing {

namespace {

using namespace std::chrono_literals;

constexpr std::uint16_t kWindowPort = 12340;
constexpr int kQueueCheckEvery = 16;

// Packets leave through the queue of the CPU that sent them: a sender that moves between CPUs
// can overtake itself. On one CPU, they arrive in the order sent.
void stayOnThisCpu()
{
    const int cpu = sched_getcpu();
    if (cpu < 0)
        return;
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    pthread_setaffinity_np(pthread_self(), sizeof set, &set);
}

} // namespace

Flood::Flood(int lan, std::vector<FloodPhase> phases, Limits limits)
    : sender_(lan), phases_(std::move(phases)), limits_(limits), thread_([this] { run(); })
{}

void Flood::stop()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

void Flood::run()
{
    stayOnThisCpu();
    const auto deadline = Clock::now() + limits_.maxTime;
    for (std::size_t p = 0; p < phases_.size(); ++p) {
        while (released_ < static_cast<int>(p) && !stop_ && Clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        if (!sendPhase(phases_[p], deadline))
            break;
    }
    finished_ = true;
}

void Flood::waitForQueueRoom(Clock::time_point deadline) const
{
    for (;;) {
        const auto socket = udpSocketState(kWindowPort);
        if (!socket || socket->receiveQueueBytes <= limits_.maxQueuedBytes || stop_ ||
            Clock::now() >= deadline)
            return;
        std::this_thread::sleep_for(200us);
    }
}

bool Flood::sendPhase(const FloodPhase& phase, Clock::time_point deadline)
{
    const auto start = Clock::now();
    long long copies = 0;
    for (const FloodDatagram& datagram : phase)
        copies += datagram.repeat;
    std::size_t item = 0;
    int copy = 0;
    const SendOutcome outcome =
        sendBounded({copies, deadline, &stop_}, [&](long long next, long long) -> long long {
            if (next % kQueueCheckEvery == 0)
                waitForQueueRoom(deadline);
            while (copy >= phase[item].repeat) {
                ++item;
                copy = 0;
            }
            ++copy;
            if (sender_.send(phase[item].bytes, phase[item].from))
                ++sent_;
            else
                ++refused_;
            return 1;
        });
    sendingUs_ +=
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
    return outcome.complete;
}

} // namespace nimbrel::testing
