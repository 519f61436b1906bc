#include "devsim/stop_signals.h"

#include <windows.h>

#include <atomic>
#include <csignal>

namespace nimbrel::devsim {

namespace {

HANDLE stop_event = nullptr;
std::atomic<int> received{0};

// Runs on a thread of the system's own; the main loop sees the event and returns from main, and
// the system waits for that as long as it waits for a console's programs to close.
BOOL WINAPI on_console_event(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
        received = SIGINT;
        break;
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        received = SIGTERM;
        break;
    default:
        return FALSE;
    }
    SetEvent(stop_event);
    return TRUE;
}

} // namespace

bool StopSignals::install(std::string& error)
{
    stop_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (stop_event == nullptr || !SetConsoleCtrlHandler(on_console_event, TRUE)) {
        error = "cannot take over Ctrl+C (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(stop_event);
    return true;
}

StopSignals::~StopSignals()
{
    if (handle_ != -1) {
        SetConsoleCtrlHandler(on_console_event, FALSE);
        CloseHandle(stop_event);
    }
}

int StopSignals::take() const
{
    return received;
}

} // namespace nimbrel::devsim
