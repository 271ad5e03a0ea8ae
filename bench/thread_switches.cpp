#include "bench/thread_switches.h"

#include <dirent.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

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

std::string ThreadName(pid_t pid, long tid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

ThreadNames NamesOf(pid_t pid) {
    ThreadNames names;
    for (const auto& [tid, count] : VoluntarySwitches(pid)) {
        names[tid] = ThreadName(pid, tid);
    }
    return names;
}

NamedSwitches SwitchesOfThreadsNamed(const ThreadSwitches& before, const ThreadSwitches& after,
                                     const ThreadNames& names, std::string_view name) {
    NamedSwitches named;
    for (const auto& [tid, count] : after) {
        const auto known = names.find(tid);
        if (known == names.end() || known->second != name) {
            continue;
        }
        const auto earlier = before.find(tid);
        named.switches += count - (earlier == before.end() ? 0 : earlier->second);
        ++named.threads;
    }
    return named;
}

IdleWakes IdleWakesBetween(pid_t pid, const ThreadSwitches& before, const ThreadSwitches& after,
                           double seconds) {
    const NamedSwitches refresh = SwitchesOfThreadsNamed(before, after, NamesOf(pid), "refresh");
    IdleWakes wakes;
    wakes.all = static_cast<double>(SwitchesBetween(before, after)) / seconds;
    wakes.refresh = static_cast<double>(refresh.switches) / seconds;
    wakes.refreshThreads = refresh.threads;
    return wakes;
}

std::string BusiestThreads(const ThreadSwitches& before, const ThreadSwitches& after,
                           const ThreadNames& names, size_t count) {
    std::vector<std::pair<long long, long>> woke;
    for (const auto& [tid, switches] : after) {
        const auto earlier = before.find(tid);
        woke.emplace_back(switches - (earlier == before.end() ? 0 : earlier->second), tid);
    }
    std::sort(woke.rbegin(), woke.rend());
    std::string text;
    for (size_t i = 0; i < std::min(count, woke.size()); ++i) {
        const auto known = names.find(woke[i].second);
        const std::string name = known == names.end() ? std::string() : known->second;
        text += (i > 0 ? ", " : "") + name + "(" + std::to_string(woke[i].second) + ") " +
                std::to_string(woke[i].first);
    }
    return text;
}

}  // namespace quarn::bench
