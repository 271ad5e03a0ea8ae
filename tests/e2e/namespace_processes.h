#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace quarn::e2e {

struct ProcessView {
    pid_t pid = 0;
    pid_t parent = 0;
    std::string name;  // /proc/<pid>/comm
    std::vector<std::string> argv;

    bool HasArguments(const std::string& option, const std::string& value) const;
    std::string CommandLine() const;
};

// The processes living in a network namespace, read from "ip netns pids" and /proc.
std::vector<ProcessView> ProcessesInNamespace(const std::string& netns);

// Only those named "iperf".
std::vector<ProcessView> IperfProcesses(const std::string& netns);

}  // namespace quarn::e2e
