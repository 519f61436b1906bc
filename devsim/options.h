#pragma once
// The command line of nimbrel-devsim.

#include "devsim/simulator.h"

#include <QStringList>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace nimbrel::devsim {

struct ProgramOptions {
    AddressValue bind_address = 0;
    std::uint16_t port = 12340;
    std::vector<DeviceInfo> devices;
    SimulatorConfig simulator;
    std::chrono::microseconds answer_delay{0};
    bool share_port = false; // another simulator may bind the same port (two devices, one address)
};

struct ParsedCommandLine {
    std::optional<ProgramOptions> options; // set when the program should run
    bool show_help = false;
    std::string help_text;
    std::string error; // set when the arguments or the device file are bad
};

// arguments includes the program name first, as QCoreApplication::arguments() gives it. Reads the
// --config file if one is named. Never opens a socket.
ParsedCommandLine parse_command_line(const QStringList& arguments);

} // namespace nimbrel::devsim
