#include "process_watch.h"

#include <csignal>
#include <ctime>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>

extern char** environ;

namespace nimbrel::bench {

pid_t startProcess(const std::string& program, const std::vector<std::string>& arguments)
{
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start " + program);
    return pid;
}

bool isRunning(pid_t pid)
{
    return ::waitpid(pid, nullptr, WNOHANG) == 0;
}

void endProcess(pid_t pid)
{
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) != 0)
            return;
        sleepMs(10);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

long statusKb(pid_t pid, const std::string& field)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (!line.starts_with(field + ":"))
            continue;
        std::istringstream value(line.substr(field.size() + 1));
        long kb = 0;
        value >> kb;
        return kb;
    }
    return 0;
}

long long cpuTicks(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(stat, text);
    // The command name may hold spaces; the fields after it are plain.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long long utime = 0;
    long long stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::stoll(field);
        if (i == 15)
            stime = std::stoll(field);
    }
    return utime + stime;
}

void sleepMs(int ms)
{
    const timespec pause{ms / 1000, (ms % 1000) * 1'000'000L};
    ::nanosleep(&pause, nullptr);
}

} // namespace nimbrel::bench
