#pragma once
// The requests to stop the simulator: SIGINT and SIGTERM on POSIX, Ctrl+C, Ctrl+Break and closing
// the console on Windows. Installed before any thread starts, they arrive only through wait().

#include <cstdint>
#include <string>

namespace nimbrel::devsim {

class StopSignals {
public:
    // Takes the signals over for the whole process. Returns false and sets error on failure.
    bool install(std::string& error);
    ~StopSignals();

    // What UdpEndpoint::wait() waits on: a signalfd, or an event object on Windows.
    std::intptr_t handle() const { return handle_; }
    // The number of the signal that came (the POSIX number of its Windows counterpart); 0 when
    // it cannot tell.
    int take() const;

private:
    std::intptr_t handle_ = -1;
};

} // namespace nimbrel::devsim
