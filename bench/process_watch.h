#pragma once
// Another process as /proc shows it: memory, CPU time, and ending it.

#include <string>
#include <sys/types.h>
#include <vector>

namespace nimbrel::bench {

// Starts the program with the arguments; throws when it cannot.
pid_t startProcess(const std::string& program, const std::vector<std::string>& arguments);
bool isRunning(pid_t pid);
// TERM, and KILL when it has not ended within two seconds; reaps it.
void endProcess(pid_t pid);

// A "Vm..:  N kB" line of /proc/<pid>/status, in kB (0 when missing).
long statusKb(pid_t pid, const std::string& field);
// User plus system CPU time so far, in clock ticks.
long long cpuTicks(pid_t pid);

void sleepMs(int ms);

} // namespace nimbrel::bench
