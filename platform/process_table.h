#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarn::platform {

struct ProcessInfo {
    pid_t pid = 0;
    pid_t ppid = 0;
    std::string exePath;  // empty when unreadable (other user's process, kernel thread)
};

std::vector<ProcessInfo> ListProcesses();
// One process, nullopt when it is gone.
std::optional<ProcessInfo> ReadProcessInfo(pid_t pid);

// Parent pid from the text of /proc/<pid>/stat; the comm field may hold spaces and ')'.
std::optional<pid_t> ParseStatParentPid(std::string_view statText);

// Value of NAME=value from /proc/<pid>/environ, nullopt when absent or unreadable.
std::optional<std::string> ReadEnvironValue(pid_t pid, std::string_view name);
// Same lookup on the NUL-separated text of an environ file.
std::optional<std::string> FindEnvironValue(std::string_view environText, std::string_view name);

}  // namespace quarn::platform
