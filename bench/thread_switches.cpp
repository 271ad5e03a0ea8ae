#include "bench/thread_switches.h"

#include <dirent.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace quarn::bench {

ThreadSwitches VoluntarySwitches(pid_t pid) {
    ThreadSwitches switches;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(tasks.c_str());
    if (dir == nullptr) {
        return switches;
    }
    while (const dirent* entry = readdir(dir)) {
        const long tid = std::strtol(entry->d_name, nullptr, 10);
        if (tid <= 0) {
            continue;
        }
        std::ifstream status(tasks + "/" + entry->d_name + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
                switches[tid] = std::strtoll(line.c_str() + line.find(':') + 1, nullptr, 10);
            }
        }
    }
    closedir(dir);
    return switches;
}

long long SwitchesBetween(const ThreadSwitches& before, const ThreadSwitches& after) {
    long long total = 0;
    for (const auto& [tid, count] : after) {
        const auto earlier = before.find(tid);
        total += count - (earlier == before.end() ? 0 : earlier->second);
    }
    return total;
}

}  // namespace quarn::bench
