// nimbrel-devsim: plays any number of Talvonex devices on one UDP socket.

#include "devsim/options.h"
#include "devsim/simulator.h"
#include "devsim/stop_signals.h"
#include "devsim/udp_endpoint.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>

namespace {

using namespace nimbrel;
using namespace nimbrel::devsim;

void print_line(const std::string& line)
{
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int poll_timeout_ms(const Simulator& simulator)
{
    const auto end = simulator.next_restart_end();
    if (!end) {
        return -1;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*end - Clock::now());
    return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(wait.count(), 0, 60'000));
}

void serve_waiting_datagrams(UdpEndpoint& endpoint, Simulator& simulator,
                             std::chrono::microseconds answer_delay)
{
    ReceivedDatagram received;
    // Bounded so that a flood cannot starve the signal check.
    for (int i = 0; i < 1024 && endpoint.receive(received); ++i) {
        const Datagram datagram{received.bytes, received.sender, received.sender_port,
                                received.destination};
        const auto received_at = Clock::now();
        const HandleResult result = simulator.handle(datagram, received_at);
        std::string error;
        const auto failed = endpoint.send(result.replies, answer_delay, error);
        const std::chrono::duration<double, std::milli> took = Clock::now() - received_at;
        for (const auto& event : result.events) {
            print_line(event);
        }
        if (result.replies.size() > 1) {
            char figure[32];
            std::snprintf(figure, sizeof figure, "%.1f", took.count());
            print_line("sent " + std::to_string(result.replies.size()) + " replies in " + figure +
                       " ms");
        }
        if (failed > 0) {
            print_line("could not send " + std::to_string(failed) + " of " +
                       std::to_string(result.replies.size()) + " replies (" + error + ")");
        }
    }
}

int run(const ProgramOptions& options, const StopSignals& stop)
{
    std::string error;
    auto endpoint =
        UdpEndpoint::open(options.bind_address, options.port, error, options.share_port);
    if (!endpoint) {
        std::fprintf(stderr, "nimbrel-devsim: cannot open %s:%u: %s\n",
                     int_to_ip(options.bind_address).c_str(), options.port, error.c_str());
        return 1;
    }
    Simulator simulator(options.devices, options.simulator);
    print_line("started with " + std::to_string(simulator.device_count()) + " devices on " +
               int_to_ip(options.bind_address) + ":" + std::to_string(options.port));
    for (;;) {
        const UdpEndpoint::Wake wake = endpoint->wait(stop, poll_timeout_ms(simulator), error);
        if (wake == UdpEndpoint::Wake::Failed) {
            std::fprintf(stderr, "nimbrel-devsim: %s\n", error.c_str());
            return 1;
        }
        if (wake == UdpEndpoint::Wake::Stop) {
            print_line("stopped by signal " + std::to_string(stop.take()));
            return 0;
        }
        for (const auto& event : simulator.finish_restarts(Clock::now())) {
            print_line(event);
        }
        if (wake == UdpEndpoint::Wake::Datagram) {
            serve_waiting_datagrams(*endpoint, simulator, options.answer_delay);
        }
    }
}

} // namespace

int main(int argc, char* argv[])
{
    // Before anything else, so that no thread is started that could take a stop signal.
    StopSignals stop;
    std::string stop_error;
    const bool stop_installed = stop.install(stop_error);

    QCoreApplication app(argc, argv);
    const ParsedCommandLine parsed = parse_command_line(QCoreApplication::arguments());
    if (parsed.show_help) {
        std::fputs(parsed.help_text.c_str(), stdout);
        return 0;
    }
    if (!parsed.options) {
        std::fprintf(stderr, "nimbrel-devsim: %s\nTry 'nimbrel-devsim --help'.\n",
                     parsed.error.c_str());
        return 2;
    }
    if (!stop_installed) {
        std::fprintf(stderr, "nimbrel-devsim: %s\n", stop_error.c_str());
        return 1;
    }
    return run(*parsed.options, stop);
}
