#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <string_view>

namespace quarn::bench {

// Voluntary context switches of each thread of a process (its children, iperf, are other
// processes and not counted), by thread id.
using ThreadSwitches = std::map<long, long long>;

ThreadSwitches VoluntarySwitches(pid_t pid);

// Switches between two readings. A thread that began in between counts from zero; one
// that ended in between is lost (threads of a steady run live for all of it).
long long SwitchesBetween(const ThreadSwitches& before, const ThreadSwitches& after);

// The name of one thread as the system shows it (/proc/PID/task/TID/comm); empty once gone.
std::string ThreadName(pid_t pid, long tid);

// The names of a process's threads now, by thread id: read them while the threads live.
using ThreadNames = std::map<long, std::string>;
ThreadNames NamesOf(pid_t pid);

// Switches between two readings of those threads that carry `name` in `names`.
struct NamedSwitches {
    long long switches = 0;
    int threads = 0;  // how many threads had that name (0: none found, e.g. an older build)
};
NamedSwitches SwitchesOfThreadsNamed(const ThreadSwitches& before, const ThreadSwitches& after,
                                     const ThreadNames& names, std::string_view name);

// An idle reading split into the EndPoint's identity refresh thread, which the agent names
// "refresh", and every other thread of the process, per second.
struct IdleWakes {
    double all = 0;
    double refresh = 0;
    int refreshThreads = 0;
    double Rest() const { return all - refresh; }
};
IdleWakes IdleWakesBetween(pid_t pid, const ThreadSwitches& before, const ThreadSwitches& after,
                           double seconds);

// The threads that woke most often between two readings, as "name(tid) count" items,
// busiest first, at most `count` of them.
std::string BusiestThreads(const ThreadSwitches& before, const ThreadSwitches& after,
                           const ThreadNames& names, size_t count);

}  // namespace quarn::bench
