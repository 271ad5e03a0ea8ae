#pragma once

#include <sys/types.h>

#include <map>
#include <string>

namespace quarn::bench {

// Voluntary context switches of each thread of a process (its children, iperf, are other
// processes and not counted), by thread id.
using ThreadSwitches = std::map<long, long long>;

ThreadSwitches VoluntarySwitches(pid_t pid);

// Switches between two readings. A thread that began in between counts from zero; one
// that ended in between is lost (threads of a steady run live for all of it).
long long SwitchesBetween(const ThreadSwitches& before, const ThreadSwitches& after);

// The threads that woke most often between two readings, as "name(tid) count" items,
// busiest first, at most `count` of them.
std::string BusiestThreads(pid_t pid, const ThreadSwitches& before, const ThreadSwitches& after,
                           size_t count);

}  // namespace quarn::bench
