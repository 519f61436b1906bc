#include "devsim/stop_signals.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/signalfd.h>
#include <unistd.h>

namespace nimbrel::devsim {

bool StopSignals::install(std::string& error)
{
    // Blocked before anything else so that every thread inherits the mask and the signals only
    // arrive through the signalfd.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    sigprocmask(SIG_BLOCK, &stop_signals, nullptr);
    const int fd = signalfd(-1, &stop_signals, SFD_CLOEXEC);
    if (fd < 0) {
        error = std::string("signalfd: ") + std::strerror(errno);
        return false;
    }
    handle_ = fd;
    return true;
}

StopSignals::~StopSignals()
{
    if (handle_ >= 0) {
        close(static_cast<int>(handle_));
    }
}

int StopSignals::take() const
{
    signalfd_siginfo info{};
    const auto got = read(static_cast<int>(handle_), &info, sizeof info);
    return got == sizeof info ? static_cast<int>(info.ssi_signo) : 0;
}

} // namespace nimbrel::devsim
