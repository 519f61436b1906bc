// nimbrel-devsim: plays any number of Talvonex devices on one UDP socket.

#include "devsim/options.h"
#include "devsim/simulator.h"
#include "devsim/udp_endpoint.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

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

int run(const ProgramOptions& options, int signal_fd)
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
        pollfd fds[] = {{endpoint->fd(), POLLIN, 0}, {signal_fd, POLLIN, 0}};
        if (poll(fds, 2, poll_timeout_ms(simulator)) < 0 && errno != EINTR) {
            std::perror("nimbrel-devsim: poll");
            return 1;
        }
        if (fds[1].revents & POLLIN) {
            signalfd_siginfo info{};
            const auto got = read(signal_fd, &info, sizeof info);
            print_line("stopped by signal " +
                       std::to_string(got == sizeof info ? info.ssi_signo : 0));
            return 0;
        }
        for (const auto& event : simulator.finish_restarts(Clock::now())) {
            print_line(event);
        }
        if (fds[0].revents & POLLIN) {
            serve_waiting_datagrams(*endpoint, simulator, options.answer_delay);
        }
    }
}

} // namespace

int main(int argc, char* argv[])
{
    // Blocked before anything else so that every thread inherits the mask and the signals only
    // arrive through the signalfd.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    sigprocmask(SIG_BLOCK, &stop_signals, nullptr);

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
    const int signal_fd = signalfd(-1, &stop_signals, SFD_CLOEXEC);
    if (signal_fd < 0) {
        std::perror("nimbrel-devsim: signalfd");
        return 1;
    }
    const int status = run(*parsed.options, signal_fd);
    close(signal_fd);
    return status;
}
