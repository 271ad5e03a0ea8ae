#pragma once

#include <functional>
#include <string>

namespace quarn::platform {

// The iperf search order both systems share; each system's FindIperf fills in what it
// answers differently (its environment, separators, program name, what runs).
struct IperfSearch {
    std::string overridden;  // $QUARN_IPERF, empty when unset
    std::string pathList;    // $PATH
    char listSeparator = ':';
    char dirSeparator = '/';
    std::string program;  // "iperf", "iperf.exe"
    std::function<bool(const std::string& path)> isProgram;
};

// The override, else the program beside our own executable, else the first on the path
// list, else the bare program name.
std::string FindIperfBy(const IperfSearch& search, const std::string& ownExeDir);

}  // namespace quarn::platform
